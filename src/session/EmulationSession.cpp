// The start and stop of an emulation run and the settings around it; see EmulationSession.h.
#include "session/EmulationSession.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <new>

#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "text/BuiltInTexts.h"

namespace {

// The channel words as they stand, to be put back when a start fails after the board took
// the joystick's positions: the rows still show what the user set.
struct BoardSnapshot {
    int32_t values[kChannelCount];
    uint8_t percents[kChannelCount];

    explicit BoardSnapshot(const BoardState& board) {
        for (int32_t c = 0; c < kChannelCount; ++c) {
            values[c] = board.Value(c);
            percents[c] = board.Percent(c);
        }
    }
    void Restore(BoardState& board) const {
        for (int32_t c = 0; c < kChannelCount; ++c) {
            board.values[c].store(values[c], std::memory_order_relaxed);
            board.percents[c].store(percents[c], std::memory_order_relaxed);
        }
    }
};

}  // namespace

EmulationSession::EmulationSession(SessionView& view, const SessionWorkers& workers,
                                   const JoystickPlatform& joysticks)
    : view_(view), workers_(workers), platform_(joysticks) {}

EmulationSession::~EmulationSession() {
    associations_.SetListView(nullptr);
    // A model whose lists could not be had holds nothing to clear.
    if (associations_.IsValid()) {
        associations_.ClearAssociations();
        associations_.ClearInputRefs();
    }
    if (JoystickDevice* joystick = associations_.SelectedJoystick())
        workers_.StopReading(*joystick);
    associations_.SetSelectedJoystick(nullptr);
    SafeRelease(joysticks_);
}

void EmulationSession::PrepareJoysticks(ObjectList* found) {
    SafeRelease(joysticks_);
    joysticks_ = found != nullptr ? found : new (std::nothrow) ObjectList();
    for (int32_t j = joysticks_ != nullptr ? joysticks_->Count() - 1 : -1; j >= 0; --j)
        PrepareInputs(*static_cast<JoystickDevice*>(joysticks_->At(j)));
}

JoystickDevice* EmulationSession::JoystickAt(int32_t index) const {
    return static_cast<JoystickDevice*>(joysticks_->At(index));
}

JoystickDevice* EmulationSession::FindByHandle(void* rawHandle, bool connectedOnly) const {
    for (int32_t j = 0; joysticks_ != nullptr && j < joysticks_->Count(); ++j) {
        JoystickDevice* device = JoystickAt(j);
        if (device->RawHandle == rawHandle &&
            (!connectedOnly || device->Connected.load(std::memory_order_relaxed) != 0))
            return device;
    }
    return nullptr;
}

JoystickDevice* EmulationSession::FindConnected(void* rawHandle) const {
    return FindByHandle(rawHandle, true);
}

void EmulationSession::OnJoystickArrived(JoystickDevice* device) {
    Arrived(device, nullptr, 0);
}

void EmulationSession::Arrived(JoystickDevice* device, JoystickDevice* const* going, int32_t goingCount) {
    if (device == nullptr || joysticks_ == nullptr || FindConnected(device->RawHandle) != nullptr) {
        SafeRelease(device);  // nothing new: a device already listed, told twice
        return;
    }
    // The pad that went, the selected one first: its inputs, associations and any run that
    // reads it carry on under the new handle. A pad of another make, or one whose reports
    // are laid out otherwise, is another pad. A pad whose removal the reader has not yet
    // handled has gone as well: after a fast re-plug its new handle is listed before the
    // old one's removal has come back.
    auto comesBack = [device, going, goingCount](const JoystickDevice* away) {
        return away != nullptr &&
               (away->Connected.load(std::memory_order_relaxed) == 0 ||
                std::find(going, going + goingCount, away) != going + goingCount) &&
               SameJoystick(*away, *device) && away->PreparsedSize == device->PreparsedSize &&
               std::memcmp(away->PreparsedData, device->PreparsedData, device->PreparsedSize) == 0;
    };
    const JoystickDevice* selected = associations_.SelectedJoystick();
    int32_t back = comesBack(selected) ? joysticks_->IndexOf(selected) : -1;
    for (int32_t j = 0; back < 0 && j < joysticks_->Count(); ++j)
        back = comesBack(JoystickAt(j)) ? j : -1;
    if (back >= 0) {
        JoystickDevice* away = JoystickAt(back);
        RebindDevice(*away, device->RawHandle);
        view_.ShowJoystickEntry(back, away->Name->Chars(), false);
        ShowSelection();
        device->Release();
        return;
    }
    PrepareInputs(*device);
    if (!Failed(joysticks_->Append(device)))
        view_.AddJoystickEntry(device->Name->Chars());
    device->Release();
}

void EmulationSession::OnJoystickRemoved(void* rawHandle) {
    // The reader thread has already marked a device it reads as gone, so an away device
    // with the handle counts too (after a connected one, should the system reuse handles).
    JoystickDevice* device = FindConnected(rawHandle);
    if (device == nullptr)
        device = FindByHandle(rawHandle, false);
    if (device == nullptr)
        return;
    const int32_t index = joysticks_->IndexOf(device);
    device->Connected.store(0, std::memory_order_relaxed);
    if (device == associations_.SelectedJoystick()) {
        view_.ShowJoystickEntry(index, device->Name->Chars(), true);
        ShowSelection();
    } else {
        RemoveJoystick(index);
    }
}

void EmulationSession::OnJoystickChange(bool arrival, void* rawHandle) {
    if (!arrival)
        OnJoystickRemoved(rawHandle);
    else if (FindConnected(rawHandle) == nullptr)  // the re-listing may have found it first
        OnJoystickArrived(platform_.MakeJoystick(rawHandle));
}

void EmulationSession::RelistJoysticks() {
    constexpr uint32_t kCapacity = 64;
    void* listed[kCapacity];
    uint32_t count = 0;
    // A listing that failed says nothing about the pads: read as "all gone", it would rest
    // the selected one for good, since the system sends no arrival for a pad it still lists.
    if (joysticks_ == nullptr || Failed(platform_.ListJoysticks(listed, kCapacity, &count)))
        return;
    // Removals first: the reader rests a pad that went and then tells the window. Until
    // then the pad still reads as connected, and an arrival of it under a new handle must
    // know it as the pad that went, not as another one.
    JoystickDevice* going[kCapacity];
    int32_t goingCount = 0;
    for (int32_t j = 0; j < joysticks_->Count(); ++j) {
        JoystickDevice* device = JoystickAt(j);
        if (device->Connected.load(std::memory_order_relaxed) != 0 &&
            std::find(listed, listed + count, device->RawHandle) == listed + count &&
            platform_.PostRemoval(device->RawHandle) && goingCount < static_cast<int32_t>(kCapacity))
            going[goingCount++] = device;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (FindConnected(listed[i]) == nullptr)
            Arrived(platform_.MakeJoystick(listed[i]), going, goingCount);
    }
}

void EmulationSession::DropAwayJoysticks() {
    for (int32_t j = joysticks_ != nullptr ? joysticks_->Count() - 1 : -1; j >= 0; --j) {
        const JoystickDevice* device = JoystickAt(j);
        if (device->Connected.load(std::memory_order_relaxed) == 0 &&
            device != associations_.SelectedJoystick())
            RemoveJoystick(j);
    }
}

void EmulationSession::RemoveJoystick(int32_t index) {
    // The list first: the selection shown next is counted in the list as it is now.
    joysticks_->RemoveAt(index);
    view_.RemoveJoystickEntry(index);
    ShowSelection();
}

void EmulationSession::ShowSelection() {
    const JoystickDevice* selected = associations_.SelectedJoystick();
    view_.SelectJoystickEntry(selected != nullptr ? joysticks_->IndexOf(selected) : -1);
}

void EmulationSession::RestoreSettings(const SavedValues& saved) {
    ApplySavedValues(saved, board_);
    for (int32_t m = 0; m < kManualRowCount; ++m)
        view_.UpdateRow(m, saved.positions[m]);
    view_.CheckPressed(saved.buttonPressed != 0);
    comPort_ = saved.ComPort();
    view_.ShowPort(comPort_);
    joystickOnly_ = saved.joystickOnly;
    view_.CheckJoystickOnly(joystickOnly_ != 0);
}

SavedValues EmulationSession::CaptureSettings() const {
    return CaptureSavedValues(board_, comPort_, joystickOnly_);
}

void EmulationSession::Start(const StartRequest& request) {
    // A worker parked by an earlier stop still reads the lists and the board; a second
    // association thread beside it would find them changed under it.
    if (IsRunning())
        return;
    if (WorkersParked()) {
        view_.ShowError(Text(Texts::kPreviousRunNotEnded));
        return;
    }
    joystickOnly_ = request.joystickOnly ? 1 : 0;
    if (joystickOnly_ != 0 && associations_.KeyAssociations().Count() == 0) {
        view_.ShowError(Text(Texts::kJoystickOnlyNeedsKeys));
        return;
    }
    comPort_ = request.portIsNumber ? request.port : 0;
    // The port field is greyed out in joystick-only mode, so its text cannot stop that start.
    if (!request.portIsNumber && joystickOnly_ == 0)
        return;
    board_.running.store(1, std::memory_order_relaxed);

    JoystickDevice* joystick = associations_.SelectedJoystick();
    if (joystick != nullptr) {
        associations_.EnableUsedInputs(joystickOnly_ == 0);
        const HResult code = workers_.StartReading(*joystick);
        if (Failed(code)) {
            board_.running.store(0, std::memory_order_relaxed);
            view_.ShowFailure(Text(Texts::kJoystickStartFailed), code);
            return;
        }
    }

    // The board takes the joystick's positions before any worker that writes it exists:
    // done later, this thread and the association thread would both write the channels,
    // and a report in between could leave one at an old value.
    const BoardSnapshot before(board_);
    associations_.ApplyInputsToBoard(board_, joystickOnly_ == 0);
    const HResult code = StartWorkers();
    if (Failed(code)) {
        // No run took place, so the board and the rows keep what the user set.
        EndRun(false);
        before.Restore(board_);
        view_.ShowFailure(Text(Texts::kEmulatorStartFailed), code);
        return;
    }
    view_.ShowRunning(true);
    if (joystickOnly_ != 0) {
        for (int32_t m = 0; m < kManualRowCount; ++m)
            view_.ShowRow(m, false);
        view_.ShowPressed(false);
        return;
    }
    if (associations_.ButtonAssociation() != nullptr)
        view_.ShowPressed(false);
    const ObjectList& channels = associations_.ChannelAssociations();
    for (int32_t i = channels.Count() - 1; i >= 0; --i)
        view_.ShowRow(kWireToManual[AssociationModel::At(channels, i)->code], false);
}

HResult EmulationSession::StartWorkers() {
    if (joystickOnly_ == 0) {
        const HResult code = workers_.StartResponder(context_, comPort_, &responder_);
        if (Failed(code))
            return code;
    }
    JoystickDevice* joystick = associations_.SelectedJoystick();
    if (joystick == nullptr || associations_.AllAssociations().Count() == 0)
        return kOk;
    run_ = {&associations_, &board_, joystick};
    // With the responder running, the stop that follows a failure here ends it.
    return workers_.StartAssociations(context_, &run_, &associationThread_);
}

void EmulationSession::Stop() {
    EndRun(true);
}

void EmulationSession::OnPortLost(uint32_t generation, HResult code) {
    if (!IsRunning() || generation != board_.generation.load(std::memory_order_relaxed))
        return;
    EndRun(true);
    view_.ShowFailure(Text(Texts::kPortStopped), code);
}

void EmulationSession::EndWorkers() {
    board_.generation.fetch_add(1, std::memory_order_relaxed);
    board_.running.store(0, std::memory_order_relaxed);
    // A start is refused while a worker is parked, so there is a free place for each.
    Worker* place = parked_;
    for (Worker* worker : {&responder_, &associationThread_}) {
        if (*worker == nullptr)
            continue;
        if (workers_.Wait(*worker, waitMs_)) {
            workers_.Close(*worker);
        } else {
            // It ends at its next look at the generation, but until then it reads the
            // board, the model and the joystick: none of them may change or go.
            while (*place != nullptr)
                ++place;
            *place = *worker;
        }
        *worker = nullptr;
    }
}

bool EmulationSession::WorkersParked() {
    bool parked = false;
    for (Worker& worker : parked_) {
        if (worker != nullptr && workers_.Wait(worker, 0)) {
            workers_.Close(worker);
            worker = nullptr;
        }
        parked = parked || worker != nullptr;
    }
    return parked;
}

bool EmulationSession::Shutdown() {
    // One wait per worker in all, as a stop has: one parked by an earlier stop has had it.
    EndWorkers();
    return !WorkersParked();
}

void EmulationSession::EndRun(bool handBack) {
    if (!IsRunning())
        return;
    EndWorkers();
    if (JoystickDevice* joystick = associations_.SelectedJoystick())
        workers_.StopReading(*joystick);
    view_.ShowRunning(false);
    if (!handBack)
        return;

    // The rows and the button take over the joystick's last positions.
    if (joystickOnly_ != 0) {
        for (int32_t m = 0; m < kManualRowCount; ++m)
            view_.ShowRow(m, true);
        view_.ShowPressed(true);
    }
    if (const Association* button = associations_.ButtonAssociation()) {
        view_.CheckPressed(button->Input().LoadValue() != 0);
        view_.ShowPressed(true);
    }
    associations_.ApplyInputsToBoard(board_, joystickOnly_ == 0);
    if (joystickOnly_ != 0)
        return;
    const ObjectList& channels = associations_.ChannelAssociations();
    for (int32_t i = channels.Count() - 1; i >= 0; --i) {
        const Association* channel = AssociationModel::At(channels, i);
        const int32_t row = kWireToManual[channel->code];
        view_.ShowRow(row, true);
        view_.UpdateRow(row, PercentOfValue(channel->Input().LoadValue()));
    }
}
