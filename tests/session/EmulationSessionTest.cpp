// The rules of a run, as the window shows them: a recording view in the window's place,
// the workers played by a table that records what was started and can refuse or outlive
// its wait, and a pad of the substitute HID parser whose reports the test hands over.
#include <optional>
#include <string>
#include <utility>

#include "session/EmulationSession.h"
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
// shows P % in it, p+ p- show and hide "Pressionado", p=1 p=0 check it.
class RecordingView : public SessionView {
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
    void AddJoystickEntry(const char16_t* name) override { Say("add:" + Utf8(name)); }
    void RemoveJoystickEntry(int32_t index) override { Say("remove" + std::to_string(index)); }
    void ShowJoystickEntry(int32_t index, const char16_t* name, bool away) override {
        Say("entry" + std::to_string(index) + ":" + Utf8(name) + (away ? ":away" : ""));
    }
    // The words said since the last call, separated by spaces.
    std::string Take() { return std::exchange(said, std::string()); }

  private:
    void Say(const std::string& word) { said += (said.empty() ? "" : " ") + word; }
    std::string said;
};

// The workers: a responder and an association thread that exist only as words in log.
struct FakeWorkers {
    static inline HResult readingFails, responderFails, associationsFail;
    static inline bool workersEnd;  // Wait's answer
    static inline std::string log;
    static inline int32_t linkedWhenThreadStarts;
    static inline int worker;  // the address handed out as a Worker

    static void Log(const std::string& word) { log += (log.empty() ? "" : " ") + word; }
    static HResult StartReading(JoystickDevice& device) {
        Log("read");
        return Failed(readingFails) ? readingFails : ::StartReading(device);
    }
    static void StopReading(JoystickDevice& device) {
        Log("stop-reading");
        ::StopReading(device);
    }
    static HResult StartResponder(void*, uint32_t port, Worker* out) {
        Log("responder" + std::to_string(port));
        *out = Failed(responderFails) ? nullptr : &worker;
        return responderFails;
    }
    static HResult StartAssociations(void*, const AssociationRun* run, Worker* out) {
        Log("associations");
        linkedWhenThreadStarts = run->Board->Value(kChannelInputB);
        *out = Failed(associationsFail) ? nullptr : &worker;
        return associationsFail;
    }
    static bool Wait(Worker, uint32_t) { return workersEnd; }
    static void Close(Worker) { Log("close"); }
    static constexpr SessionWorkers kTable = {StartReading,      StopReading, StartResponder,
                                              StartAssociations, Wait,        Close};
};

constexpr HResult kPortBusy = static_cast<HResult>(0x80070005u);

class EmulationSessionTest : public JoystickFixture {
  protected:
    void SetUp() override {
        JoystickFixture::SetUp();
        FakeWorkers::readingFails = FakeWorkers::responderFails = FakeWorkers::associationsFail = kOk;
        FakeWorkers::workersEnd = true;
        FakeWorkers::log.clear();
        auto* found = new ObjectList();
        JoystickDevice* pad = MakePad(Handle(1), 0x45E);
        ASSERT_NE(pad, nullptr);
        found->Append(pad);
        pad->Release();
        session.PrepareJoysticks(found);
        SavedValues saved = DefaultSavedValues();
        saved.positions[3] = 40;  // Entrada A
        saved.positions[4] = 60;  // light
        session.RestoreSettings(saved);
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
        DeviceIdentity identity;
        identity.RawHandle = handle;
        identity.VendorId = vendor;
        identity.UsagePage = 1;
        identity.Usage = 5;
        return MakeDevice(identity, &layout, sizeof layout, false);
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
    std::optional<EmulationSession> sessionHolder{std::in_place, view, FakeWorkers::kTable};
    EmulationSession& session = *sessionHolder;
};

TEST_F(EmulationSessionTest, SettingsComeBackIntoTheRowsAndTheJoysticksArePrepared) {
    SavedValues saved = DefaultSavedValues();
    saved.positions[6] = 77;
    saved.buttonPressed = 1;
    saved.SetComPort(249);
    saved.joystickOnly = 1;
    session.RestoreSettings(saved);
    EXPECT_EQ(view.Take(), "r0=100 r1=100 r2=100 r3=100 r4=0 r5=0 r6=77 p=1 port249 joystick-only");
    EXPECT_EQ(session.Board().Value(kChannelSlider), 797);
    EXPECT_EQ(session.Board().Value(kChannelButton), 0);
    uint8_t restored[kSavedValuesLength], captured[kSavedValuesLength];
    SerializeSavedValues(saved, restored);
    SerializeSavedValues(session.CaptureSettings(), captured);
    EXPECT_EQ(std::vector<uint8_t>(captured, captured + 10), std::vector<uint8_t>(restored, restored + 10));
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
        HResult* fails;
        std::string said, log;
    } cases[] = {
        {true, true, nullptr, "error:" + Utf8(Text(Texts::kJoystickOnlyNeedsKeys)), ""},  // no key link
        {false, false, nullptr, "", ""},  // no number in the port field
        {false, true, &FakeWorkers::readingFails, "failure:" + Utf8(Text(Texts::kJoystickStartFailed)) + "5",
         "read"},
        {false, true, &FakeWorkers::responderFails, "idle " + started, "read responder31 stop-reading"},
        {false, true, &FakeWorkers::associationsFail, "idle " + started,
         "read responder31 associations close stop-reading"},
    };
    session.Associations().RemoveAssociation(0);  // the key association, until the third case
    for (const auto& c : cases) {
        if (&c == &cases[2])
            session.Associations().AddAssociationForInput(0, false, 8);
        if (c.fails != nullptr)
            *c.fails = kPortBusy;
        Start(c.joystickOnly, c.portIsNumber);
        if (c.fails != nullptr)
            *c.fails = kOk;
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
    session.Stop();
    EXPECT_TRUE(session.WorkersParked());
    Start();
    EXPECT_EQ(FakeWorkers::log, "") << "a second run beside the parked worker";
    EXPECT_FALSE(session.IsRunning());
    EXPECT_FALSE(session.Shutdown()) << "a close would free what the worker reads";
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

// Pads plugged in and out: another make joins the list, the selected pad stays while it is
// away and comes back under a new handle with its associations and a run that reads it,
// and a pad away and no longer selected leaves.
TEST_F(EmulationSessionTest, JoysticksThatComeAndGoKeepTheSelectionAndItsAssociations) {
    Link();
    session.OnJoystickArrived(MakePad(Handle(2), 0x79));
    session.OnJoystickArrived(MakePad(Handle(2), 0x79));  // told twice
    session.OnJoystickRemoved(Handle(2));
    session.OnJoystickRemoved(Handle(9));  // never listed
    EXPECT_EQ(view.Take(), "add:Controller remove1");
    EXPECT_NE(Pad().Axes[0].Scale, 0.0f) << "an arrival is prepared";

    Start();
    view.Take();
    DeviceRemoved(Handle(1));  // the reader thread first, as it hears of it first
    session.OnJoystickRemoved(Handle(1));
    session.OnJoystickArrived(MakePad(Handle(3), 0x79));  // another make meanwhile
    session.OnJoystickArrived(MakePad(Handle(4), 0x45E));
    EXPECT_EQ(view.Take(), "entry0:Controller:away add:Controller entry0:Controller");
    EXPECT_EQ(Pad().RawHandle, Handle(4));
    EXPECT_TRUE(session.IsRunning());
    EXPECT_EQ(session.Associations().AllAssociations().Count(), 3);

    session.Stop();
    session.OnJoystickRemoved(Handle(4));
    session.DropAwayJoysticks();
    EXPECT_EQ(session.Joysticks()->Count(), 2) << "the selected pad stays while it is away";
    session.Associations().SetSelectedJoystick(nullptr);
    view.Take();
    session.DropAwayJoysticks();
    EXPECT_EQ(view.Take(), "remove0");
    EXPECT_EQ(session.Joysticks()->Count(), 1);
}

}  // namespace
