// The rules of a run and of its joystick roster, as the window shows them: a recording view
// in the window's place, the workers played by a table that records what was started and
// can refuse or outlive its wait, the system's pad list by another, and a pad of the
// substitute HID parser whose reports the test hands over.
#include <atomic>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "session/EmulationSession.h"
#include "session/ProfileCommands.h"
#include "support/JoystickFixture.h"
#include "text/BuiltInTexts.h"

namespace {

std::string Utf8(const char16_t* text) {
    std::string out;
    for (; *text != 0; ++text)
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

// What the window was told, one word per call: rN+ and rN- show and hide row N, rN=P
// shows P % in it, p+ p- show and hide "Pressionado", p=1 p=0 check it; the profile
// commands' dialog says ask (open and delete mode) or ask-new and answers with name
// (cancelling when empty), a question says ? and is answered ok. The selector's
// lines are kept as the window's combo box keeps them, "-" first for "[Nenhum joystick]";
// a selection past the end clears it, as Windows documents for CB_SETCURSEL.
class RecordingView : public SessionView, public ProfileView {
  public:
    void ShowRow(int32_t m, bool shown) override { Say("r" + std::to_string(m) + (shown ? "+" : "-")); }
    void UpdateRow(int32_t m, int32_t p) override { Say("r" + std::to_string(m) + "=" + std::to_string(p)); }
    void ShowPressed(bool shown) override { Say(shown ? "p+" : "p-"); }
    void CheckPressed(bool checked) override { Say(checked ? "p=1" : "p=0"); }
    void ShowPort(uint32_t port) override { Say("port" + std::to_string(port)); }
    void CheckJoystickOnly(bool checked) override { Say(checked ? "joystick-only" : "port-mode"); }
    void ShowRunning(bool running) override { Say(running ? "running" : "idle"); }
    void ShowError(const char16_t* text) override { Say("error:" + Utf8(text)); }
    void ShowFailure(const char16_t* prefix, HResult code) override {
        Say("failure:" + Utf8(prefix) + std::to_string(static_cast<uint32_t>(code) & 0xFFFF));
    }
    void AddJoystickEntry(const char16_t* name) override {
        Say("add:" + Utf8(name));
        lines.push_back(Utf8(name));
    }
    void RemoveJoystickEntry(int32_t index) override {
        Say("remove" + std::to_string(index));
        lines.erase(lines.begin() + index + 1);
    }
    void ShowJoystickEntry(int32_t index, const char16_t* name, bool away) override {
        Say("entry" + std::to_string(index) + ":" + Utf8(name) + (away ? ":away" : ""));
    }
    void SelectJoystickEntry(int32_t index) override {
        shown = index + 1 < static_cast<int32_t>(lines.size()) ? index + 1 : -1;
    }
    void ShowEditor(JoystickDevice* device) override {
        Say(device != nullptr ? "editor" : "no-editor");
        for (int32_t i = 0; device != nullptr && i < device->InputCount(); ++i)
            model->AddInputRef(&device->Inputs()[i], nullptr);
    }
    String* AskProfileName(const char16_t*, bool existingOnly, bool* nameExists) override {
        Say(existingOnly ? "ask" : "ask-new");
        *nameExists = exists;
        return name.empty() ? nullptr : new String(u"P");
    }
    bool Confirm(const char16_t* question) override {
        Say(std::u16string(question).find(u"P\"?") != std::u16string::npos ? "?" : "??");
        return ok;
    }
    void ShowProfileInfo(const char16_t* text) override { Say("info:" + Utf8(text)); }
    void ShowProfileError(const char16_t* text) override { Say("error:" + Utf8(text)); }
    void ShowProfileFailure(HResult code) override { ShowFailure(u"", code); }
    std::string name = "P";
    bool exists = true, ok = true;
    std::vector<std::string> lines{"-", "Controller"};
    int32_t shown = 0;
    AssociationModel* model = nullptr;  // whose input list the editor builds
    // The words said since the last call, separated by spaces.
    std::string Take() { return std::exchange(said, std::string()); }

  private:
    void Say(const std::string& word) { said += (said.empty() ? "" : " ") + word; }
    std::string said;
};

constexpr HResult kPortBusy = static_cast<HResult>(0x80070005u);

// The workers: a responder and an association thread that exist only as words in log.
struct FakeWorkers {
    static inline std::string log, failing;  // failing: the start that fails with kPortBusy
    static inline bool workersEnd;           // Wait's answer
    static inline uint32_t waited;           // the milliseconds of every Wait
    static inline int32_t linkedWhenThreadStarts;
    static inline int worker;  // the address handed out as a Worker

    // Logs the call; a start hands out a worker unless it is the failing one.
    static HResult Say(const std::string& word, Worker* out = nullptr) {
        log += (log.empty() ? "" : " ") + word;
        const bool fails = word == failing;
        if (out != nullptr)
            *out = fails ? nullptr : &worker;
        return fails ? kPortBusy : kOk;
    }
    static HResult StartReading(JoystickDevice& device) {
        return Failed(Say("read")) ? kPortBusy : ::StartReading(device);
    }
    static void StopReading(JoystickDevice& device) {
        Say("stop-reading");
        ::StopReading(device);
    }
    static HResult StartResponder(BoardState&, LineCounters&, const PortLostTarget&, uint32_t port,
                                  Worker* out) {
        return Say("responder" + std::to_string(port), out);
    }
    static HResult StartAssociations(const AssociationRun* run, Worker* out) {
        linkedWhenThreadStarts = run->Board->Value(kChannelInputB);
        return Say("associations", out);
    }
    static bool Wait(Worker, uint32_t ms) { return (waited += ms, workersEnd); }
    static void Close(Worker) { Say("close"); }
    static constexpr SessionWorkers kTable = {StartReading,      StopReading, StartResponder,
                                              StartAssociations, Wait,        Close};
};

// The system's pad list, and the removals posted to the reader (pN: Handle(N)).
struct FakePlatform {
    static inline std::vector<void*> listed;
    static inline HResult listing = kOk;
    static inline std::string posted;
    static inline StrictLayout* layout;

    static JoystickDevice* Make(void* handle) {
        return MakeDevice({handle, 0x45E, 0, 0, 1, 5}, layout, sizeof *layout, false);
    }
    static HResult List(void** handles, uint32_t, uint32_t* count) {
        *count = static_cast<uint32_t>(std::copy(listed.begin(), listed.end(), handles) - handles);
        return listing;
    }
    static bool PostRemoval(void* handle) {
        posted += "p" + std::to_string(reinterpret_cast<uintptr_t>(handle) - 0x1000);
        return true;
    }
    static constexpr JoystickPlatform kTable = {Make, List, PostRemoval};

    // The profile store: one record under any name, read, written and deleted as the
    // workers' words (failing "read" refuses the key, "invalid" hands back a bad record).
    static inline std::vector<uint8_t> record;
    static Buffer* Read(const char16_t*) {
        auto* buffer = Failed(FakeWorkers::Say("read")) ? nullptr : new Buffer();
        const std::vector<uint8_t> invalid = {1, 2, 3},
                                   &bytes = FakeWorkers::failing == "invalid" ? invalid : record;
        if (buffer != nullptr)
            buffer->Assign(bytes.data(), static_cast<int32_t>(bytes.size()));
        return buffer;
    }
    static HResult Write(const char16_t*, const void* bytes, uint32_t length) {
        record.assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
        return FakeWorkers::Say("write");
    }
    static HResult Delete(const char16_t*) { return FakeWorkers::Say("delete"); }
    static constexpr ProfileStore kStore = {Read, Write, Delete};
};

class EmulationSessionTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        FakeWorkers::failing.clear();
        FakeWorkers::workersEnd = true;
        FakePlatform::layout = &layout;
        view.model = &session.Associations();
        auto* found = new ObjectList();
        JoystickDevice* pad = MakePad(Handle(1), 0x45E);
        found->Append(pad);
        pad->Release();
        session.Roster().Prepare(found);
        session.RestoreSettings(DefaultSavedValues());
        view.Take();
    }
    void TearDown() override {
        EXPECT_TRUE(session.Shutdown());
        sessionHolder.reset();
        JoystickFixture::TearDown();
    }
    JoystickDevice& Pad() { return *static_cast<JoystickDevice*>(session.Joysticks()->At(0)); }
    // A pad of the given make as enumeration builds one, unprepared, named "Controller".
    JoystickDevice* MakePad(void* handle, uint32_t vendor) {
        return MakeDevice({handle, vendor, 0, 0, 1, 5}, &layout, sizeof layout, false);
    }
    // Selects the pad and links button 1 to "Tecla A", button 2 to the board's button and
    // the X axis to "Entrada B" (channel name 1, wire channel 2, row 2), as the editor would.
    void Link() {
        AssociationModel& model = session.Associations();
        model.SetSelectedJoystick(&Pad());
        for (JoystickInput* input : {&Pad().Buttons[0], &Pad().Buttons[1], &Pad().Axes[0]})
            model.AddInputRef(input, nullptr);
        model.AddAssociationForInput(0, false, 8);
        model.AddAssociationForInput(1, false, 0);
        model.AddAssociationForInput(2, true, 1);
    }
    // What the association thread would have taken from the reports meanwhile.
    void Report(uint32_t x, std::initializer_list<uint16_t> buttons) {
        ReportBuilder report(layout);
        for (uint16_t button : buttons)
            report.Press(button);
        Deliver(Handle(1), report.Set(0x30, x).Bytes());
        Poll(Pad());
    }
    void Start(bool joystickOnly = false, bool portIsNumber = true) {
        FakeWorkers::log.clear();
        session.Start({joystickOnly, portIsNumber, 31});
    }

    StrictLayout layout = GamePadLayout();
    RecordingView view;
    std::optional<EmulationSession> sessionHolder{std::in_place, view, FakeWorkers::kTable,
                                                  FakePlatform::kTable};
    EmulationSession& session = *sessionHolder;
};

// The rows go to wire channels 0, 1, 2, 4, 5, 6, 7 through their conversions, the button
// to 3, and the settings captured for the exit are those restored.
TEST_F(EmulationSessionTest, SettingsComeBackIntoTheRowsAndTheBoardAndTheJoysticksArePrepared) {
    const uint8_t record[kSavedValuesLength] = {99, 0, 100, 50, 75, 25, 100, 1, 248, 1};
    session.RestoreSettings(ParseSavedValues(record, kSavedValuesLength));
    EXPECT_EQ(view.Take(), "r0=99 r1=0 r2=100 r3=50 r4=75 r5=25 r6=100 p=1 port249 joystick-only");
    const uint8_t byWire[kChannelCount] = {99, 0, 100, 1, 50, 75, 25, 100};
    for (int32_t channel = 0; channel < kChannelCount; ++channel)
        EXPECT_EQ(byWire[channel], session.Board().Percent(channel)) << "wire channel " << channel;
    EXPECT_EQ(session.Board().Value(kChannelInputD), 1016) << "99 % on an input";
    EXPECT_EQ(session.Board().Value(kChannelSound), 74) << "25 % on the sound sensor";
    EXPECT_EQ(session.Board().Value(kChannelButton), 0) << "a pressed button reads 0";
    uint8_t captured[kSavedValuesLength];
    SerializeSavedValues(session.CaptureSettings(), captured);
    EXPECT_EQ(std::vector<uint8_t>(captured, captured + 10), std::vector<uint8_t>(record, record + 10));
    // Prepared as the editor needs: the 8-bit axis scaled to 0..1023, the hat's directions made.
    EXPECT_NE(Pad().Axes[0].Scale, 0.0f);
    EXPECT_NE(Pad().Hats[0].Directions, nullptr);
}

// Which rows and boxes a run hides, what the board takes at its start (before any worker
// exists) and what its stop hands back, in port mode and in joystick-only mode.
TEST_F(EmulationSessionTest, ARunHidesWhatTheJoystickDrivesAndItsStopHandsTheLastPositionsBack) {
    Link();
    Start();
    EXPECT_EQ(FakeWorkers::log, "read responder31 associations");
    EXPECT_EQ(FakeWorkers::linkedWhenThreadStarts, 514) << "the axis at rest, on the board before the thread";
    EXPECT_EQ(view.Take(), "running p- r2-");
    Report(255, {2});
    session.Stop();
    EXPECT_EQ(view.Take(), "idle p=1 p+ r2+ r2=100");
    EXPECT_EQ(session.Board().Value(kChannelInputB), 1023);
    EXPECT_EQ(session.Board().Value(kChannelButton), 0);
    EXPECT_EQ(session.CaptureSettings().positions[2], 100);

    Start(true);
    EXPECT_EQ(FakeWorkers::log, "read associations");
    EXPECT_EQ(view.Take(), "running r0- r1- r2- r3- r4- r5- r6- p-");
    Report(0, {});
    session.Stop();
    EXPECT_EQ(view.Take(), "idle r0+ r1+ r2+ r3+ r4+ r5+ r6+ p+ p=0 p+");
    EXPECT_EQ(session.Board().Value(kChannelInputB), 1023) << "joystick-only hands no channel back";
}

// A start that fails tells why and leaves the board and the rows as the user set them.
TEST_F(EmulationSessionTest, AFailedStartTellsWhyAndLeavesTheBoardAsTheUserSetIt) {
    Link();
    const std::string started = "failure:" + Utf8(Text(Texts::kEmulatorStartFailed)) + "5";
    const struct {
        bool joystickOnly, portIsNumber;
        const char* failing;
        std::string said, log;
    } cases[] = {
        {true, true, "", "error:" + Utf8(Text(Texts::kJoystickOnlyNeedsKeys)), ""},  // no key link
        {false, false, "", "", ""},  // no number in the port field
        {false, true, "read", "failure:" + Utf8(Text(Texts::kJoystickStartFailed)) + "5", "read"},
        {false, true, "responder31", "idle " + started, "read responder31 stop-reading"},
        {false, true, "associations", "idle " + started, "read responder31 associations close stop-reading"},
    };
    session.Associations().RemoveAssociation(0);  // the key association, until the third case
    for (const auto& c : cases) {
        if (&c == &cases[2])
            session.Associations().AddAssociationForInput(0, false, 8);
        FakeWorkers::failing = c.failing;
        Start(c.joystickOnly, c.portIsNumber);
        EXPECT_EQ(view.Take(), c.said) << c.log;
        EXPECT_EQ(FakeWorkers::log, c.log);
        EXPECT_FALSE(session.IsRunning()) << c.log;
        EXPECT_EQ(session.Board().Percent(kChannelInputB), 100) << c.log;
        EXPECT_EQ(session.Board().Value(kChannelInputB), 1023) << c.log;
    }
}

// A worker that outlives its wait is parked: a new start is refused while it runs, a close
// must keep what it reads, and both work again once it has ended.
TEST_F(EmulationSessionTest, AWorkerThatOutlivesItsWaitBlocksStartsAndCloseUntilItEnds) {
    Link();
    session.SetWorkerWait(1);
    Start();
    FakeWorkers::workersEnd = false;
    FakeWorkers::waited = 0;
    session.Stop();
    EXPECT_TRUE(session.WorkersParked());
    view.Take();
    Start();
    EXPECT_EQ(FakeWorkers::log, "") << "a second run beside the parked worker";
    EXPECT_EQ(view.Take(), "error:" + Utf8(Text(Texts::kPreviousRunNotEnded)));
    EXPECT_FALSE(session.IsRunning());
    EXPECT_FALSE(session.Shutdown()) << "a close would free what the worker reads";
    EXPECT_EQ(FakeWorkers::waited, 2u) << "each of the two workers is waited for once in all";
    FakeWorkers::workersEnd = true;
    EXPECT_FALSE(session.WorkersParked());
    EXPECT_EQ(FakeWorkers::log, "close close");
    Start();
    EXPECT_TRUE(session.IsRunning());
}

// The port of a run stops working: the run ends as "Parar" would and the user is told; the
// news from a run that has ended since changes nothing.
TEST_F(EmulationSessionTest, APortThatStopsWorkingEndsItsOwnRunOnly) {
    Link();
    Start();
    const uint32_t first = session.Board().generation.load();
    session.Stop();
    Start();
    view.Take();
    session.OnPortLost(first, kPortBusy);
    EXPECT_TRUE(session.IsRunning());
    EXPECT_EQ(view.Take(), "");
    session.OnPortLost(session.Board().generation.load(), kPortBusy);
    EXPECT_FALSE(session.IsRunning());
    EXPECT_EQ(view.Take(), "idle p=0 p+ r2+ r2=50 failure:" + Utf8(Text(Texts::kPortStopped)) + "5");
}

// Pads plugged in and out, told by the reader or found by a re-listing: another make joins
// the list, the selected pad stays while it is away and comes back under a new handle with
// its associations and a run that reads it.
TEST_F(EmulationSessionTest, JoysticksThatComeAndGoKeepTheSelectionAndItsAssociations) {
    Link();
    session.Roster().OnArrived(MakePad(Handle(2), 0x79));
    session.Roster().OnArrived(MakePad(Handle(2), 0x79));  // told twice
    session.Roster().OnRemoved(Handle(2));
    session.Roster().OnRemoved(Handle(9));  // never listed
    EXPECT_EQ(view.Take(), "add:Controller remove1");
    EXPECT_NE(Pad().Axes[0].Scale, 0.0f) << "an arrival is prepared";

    Start();
    view.Take();
    DeviceRemoved(Handle(1));  // the reader thread first, as it hears of it first
    session.Roster().OnRemoved(Handle(1));
    session.Roster().OnArrived(MakePad(Handle(3), 0x79));  // another make meanwhile
    session.Roster().OnArrived(MakePad(Handle(4), 0x45E));
    EXPECT_EQ(view.Take(), "entry0:Controller:away add:Controller entry0:Controller");
    // Where the system sends no notifications: a listing that fails changes nothing, and
    // the pad re-plugged under a new handle before the reader handled its old one's
    // removal is the pad that went, not a new entry beside it marked away.
    FakePlatform::listing = kPortBusy;  // with nothing listed
    session.Roster().Relist();
    EXPECT_EQ(FakePlatform::posted + view.Take(), "");
    FakePlatform::listing = kOk;
    FakePlatform::listed = {Handle(3), Handle(5)};
    session.Roster().Relist();
    session.Roster().OnChange(false, Handle(4));  // the reader's news of the old handle, later
    session.Roster().OnChange(true, Handle(5));   // and the system's of the new one
    EXPECT_EQ(FakePlatform::posted + " " + view.Take(), "p4 entry0:Controller");
    EXPECT_EQ(Pad().RawHandle, Handle(5));
    EXPECT_TRUE(session.IsRunning());
    EXPECT_EQ(session.Associations().AllAssociations().Count(), 3);

    session.Stop();
    session.Roster().OnRemoved(Handle(5));
    session.Roster().DropAway();
    EXPECT_EQ(session.Joysticks()->Count(), 2) << "the selected pad stays while it is away";
}

// Three pads: the selector shows the selected pad after another leaves before, after or
// beside it, also when the one leaving was selected, went away and another was chosen.
TEST_F(EmulationSessionTest, TheSelectorShowsTheSelectedPadAfterAnotherLeaves) {
    // The selected pad, the one leaving, and whether it was chosen after the other went.
    const int32_t cases[][3] = {{1, 0, 0}, {1, 2, 0}, {2, 1, 0}, {0, 1, 0}, {2, 1, 1}, {0, 1, 1}};
    for (const auto& c : cases) {
        auto* found = new ObjectList();
        for (uintptr_t p = 0; p < 3; ++p) {
            JoystickDevice* pad = MakePad(Handle(11 + p), 0x45E);
            found->Append(pad);
            pad->Release();
        }
        session.Roster().Prepare(found);
        view.lines.assign(4, "Controller");
        const int32_t first = c[2] != 0 ? c[1] : c[0];
        view.SelectJoystickEntry(first);  // the user's choice, which the session then takes
        session.SelectJoystick(first);
        session.Roster().OnRemoved(Handle(11 + c[1]));
        if (c[2] != 0) {
            view.SelectJoystickEntry(c[0]);
            session.SelectJoystick(c[0]);  // which drops the pad that went
        }
        // The selected pad's entry, counted in the list as it is now.
        EXPECT_EQ(view.shown, c[0] + (c[1] < c[0] ? 0 : 1)) << c[0] << c[1] << c[2];
    }
}

// Choosing another pad carries the links over to it and stops reading the old one; a
// choice while a run reads the lists is refused and the selector goes back; "[Nenhum
// joystick]" hides the editor and keeps no link.
TEST_F(EmulationSessionTest, ChoosingAPadCarriesTheLinksOverAndARefusedChoiceShowsTheSelectedPad) {
    Link();
    session.Roster().OnArrived(MakePad(Handle(2), 0x79));
    StartReading(Pad());
    FakeWorkers::log.clear();
    session.SelectJoystick(1);
    // The old pad is no longer read, and its three links are the new one's.
    EXPECT_EQ(FakeWorkers::log + std::to_string(session.Associations().AllAssociations().Count()),
              "stop-reading3");
    Start();
    view.SelectJoystickEntry(0);  // the user picks another entry, the selector being locked
    session.SelectJoystick(0);
    EXPECT_EQ(view.shown, 2);
    session.Stop();
    view.Take();
    session.SelectJoystick(-1);
    EXPECT_EQ(view.Take() + std::to_string(session.Associations().AllAssociations().Count()), "no-editor0");
}

// The profile commands over the linked pad: each goes ahead only past its guards and tells
// what stopped it; a saved profile opens again.
TEST_F(EmulationSessionTest, EachProfileCommandGoesAheadOnlyPastItsGuardsAndTellsWhatStoppedIt) {
    Link();
    const std::string noPad = "info:" + Utf8(Text(Texts::kSelectJoystickFirst));
    const struct {
        const char* command;  // "open-locked": while the lists must not change
        bool selected, exists, ok;
        const char *name, *failing;
        std::string said, log;
    } cases[] = {
        {"save", false, true, true, "P", "", noPad, ""},
        {"save", true, true, false, "P", "", "ask-new ?", ""},  // not replaced
        {"save", true, false, true, "P", "write", "ask-new failure:5", "write"},
        {"save", true, true, true, "P", "", "ask-new ?", "write"},
        {"open-locked", true, true, true, "P", "", "", ""},
        {"open", false, true, true, "P", "", noPad, ""},
        {"open", true, true, true, "", "", "ask", ""},  // cancelled
        {"open", true, true, true, "P", "read", "ask", "read"},
        {"open", true, true, true, "P", "invalid", "ask error:" + Utf8(Text(Texts::kInvalidProfile)), "read"},
        {"open", true, true, true, "P", "", "ask", "read"},  // the profile saved above
        {"delete", false, true, false, "P", "", "ask ?", ""},
        {"delete", false, true, true, "P", "delete", "ask ? failure:5", "delete"},
    };
    ProfileCommands commands(view, FakePlatform::kStore, session.Associations());
    for (const auto& c : cases) {
        session.Associations().SetSelectedJoystick(c.selected ? &Pad() : nullptr);
        std::tie(view.exists, view.ok, view.name, FakeWorkers::failing) =
            std::tie(c.exists, c.ok, c.name, c.failing);
        FakeWorkers::log.clear();
        const std::string command = c.command;
        command == "save"     ? commands.Save()
        : command == "delete" ? commands.Delete()
                              : commands.Open(command == "open");
        EXPECT_EQ(view.Take() + "|" + FakeWorkers::log, c.said + "|" + c.log) << c.command;
    }
    EXPECT_EQ(session.Associations().AllAssociations().Count(), 3);
}

std::atomic<bool> gRefuseNothrowNew{false};

// Memory runs out while the association model is built: the session says it cannot be
// used, and goes without touching the lists it never had.
TEST(EmulationSessionMemory, AModelWithoutItsListsMakesASessionThatCannotRunAndStillGoes) {
    RecordingView view;
    gRefuseNothrowNew = true;
    EXPECT_FALSE(EmulationSession(view, FakeWorkers::kTable, FakePlatform::kTable).IsValid());
}

}  // namespace

// Refuses the next allocation without exceptions once asked; the model takes its lists so.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return gRefuseNothrowNew.exchange(false) ? nullptr : ::operator new(size);
}
