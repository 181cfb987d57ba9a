// The start and stop of an emulation run and the settings around it; see EmulationSession.h.
#include "session/EmulationSession.h"

#include <initializer_list>
#include <new>

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
    : view_(view), workers_(workers), roster_(view, associations_, joysticks, workers.StopReading) {}

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

uint32_t EmulationSession::UpdateStatus() {
    const RunKind kind = !IsRunning()         ? RunKind::kIdle
                         : joystickOnly_ != 0 ? RunKind::kJoystickOnly
                                              : RunKind::kPort;
    return status_.Update(kind, comPort_, ReadLine(line_));
}

HResult EmulationSession::StartWorkers() {
    // No responder runs now (a start waits for a parked one), so these are not written.
    for (std::atomic<uint64_t>* counter :
         {&line_.pollsAnswered, &line_.repliesLost, &line_.otherBytes, &line_.lineErrors})
        counter->store(0, std::memory_order_relaxed);
    line_.lastPollMs.store(0, std::memory_order_relaxed);
    status_.Begin(ReadLine(line_));
    if (joystickOnly_ == 0) {
        const HResult code = workers_.StartResponder(board_, line_, portLost_, comPort_, &responder_);
        if (Failed(code))
            return code;
    }
    JoystickDevice* joystick = associations_.SelectedJoystick();
    if (joystick == nullptr || associations_.AllAssociations().Count() == 0)
        return kOk;
    run_ = {&associations_, &board_, joystick};
    // With the responder running, the stop that follows a failure here ends it.
    return workers_.StartAssociations(&run_, &associationThread_);
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
