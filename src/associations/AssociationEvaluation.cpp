// One evaluation pass and the loop of a run. The pass allocates nothing: the records and
// the pressed-key flags live in the scratch block that the run allocates once.
#include "associations/AssociationEvaluation.h"

#include <cstring>

#include "core/Heap.h"
#include "joystick/JoystickReader.h"

EvaluationScratch::~EvaluationScratch() {
    HeapRelease(block_);
}

HResult EvaluationScratch::Allocate(int32_t keyCount) {
    HeapRelease(block_);
    block_ = nullptr;
    records_ = nullptr;
    down_ = nullptr;
    sent_ = nullptr;
    keyCount_ = 0;
    releaseOwed_ = false;
    if (keyCount < 0)
        return kInvalidArg;
    // Room for two records per key association, a release and a press, though a pass sends
    // at most one for each: the spare half costs a few bytes a key and leaves the array
    // large enough should a pass ever send both.
    const size_t recordCount = keyCount > 0 ? 2 * static_cast<size_t>(keyCount) : 1;
    const size_t recordBytes = recordCount * sizeof(KeyboardInputRecord);
    const size_t sentBytes = recordCount * sizeof(int32_t);
    const size_t bytes = recordBytes + sentBytes + static_cast<size_t>(keyCount);
    block_ = HeapAllocate(bytes);
    if (block_ == nullptr)
        return kOutOfMemory;
    std::memset(block_, 0, bytes);
    records_ = static_cast<KeyboardInputRecord*>(block_);
    sent_ = reinterpret_cast<int32_t*>(static_cast<uint8_t*>(block_) + recordBytes);
    down_ = static_cast<uint8_t*>(block_) + recordBytes + sentBytes;
    keyCount_ = keyCount;
    return kOk;
}

namespace {

// Sends records [0, n) and keeps Down() to what the system took: SendInput injects the
// records in order and returns how many it took. A release it refused leaves the key held.
uint32_t SendKeys(uint32_t n, EvaluationScratch& scratch, const KeyboardFunctions& keyboard) {
    if (n == 0)
        return 0;
    KeyboardInputRecord* records = scratch.Records();
    const uint32_t taken = keyboard.SendInput(n, records, static_cast<int32_t>(sizeof(KeyboardInputRecord)));
    scratch.ReleaseOwed() = false;
    for (uint32_t r = 0; r < n; ++r) {
        const bool press = (records[r].Ki.Flags & kKeyEventKeyUp) == 0;
        if (r < taken)
            scratch.Down()[scratch.Sent()[r]] = press ? 1 : 0;
        else if (!press)
            scratch.ReleaseOwed() = true;
    }
    return taken < n ? taken : n;
}

}  // namespace

uint32_t EvaluatePass(const AssociationModel& model, JoystickDevice& joystick, BoardState& board,
                      EvaluationScratch& scratch, const KeyboardFunctions& keyboard) {
    const uint32_t changed = Poll(joystick);
    if (changed == 0 && !scratch.ReleaseOwed())
        return 0;

    const ObjectList& keys = model.KeyAssociations();
    const int32_t keyCount = keys.Count() < scratch.KeyCount() ? keys.Count() : scratch.KeyCount();
    KeyboardInputRecord* records = scratch.Records();
    uint32_t n = 0;
    for (int32_t i = keyCount - 1; i >= 0; --i) {
        const Association* association = AssociationModel::At(keys, i);
        const JoystickInput& input = association->Input();
        const bool press = input.LoadValue() != 0;
        // Changed is this pass's only when Poll took something.
        const bool owed = !press && scratch.Down()[i] != 0;
        if (!owed && (changed == 0 || input.Changed == 0))
            continue;
        scratch.Sent()[n] = i;
        FillKeyRecord(records[n++], association->code, press);
    }
    SendKeys(n, scratch, keyboard);
    if (changed == 0)
        return 0;

    const ObjectList& channels = model.ChannelAssociations();
    for (int32_t i = channels.Count() - 1; i >= 0; --i) {
        const Association* association = AssociationModel::At(channels, i);
        if (association->Input().Changed != 0)
            board.SetRaw(static_cast<int32_t>(association->code),
                         static_cast<int32_t>(association->Input().LoadValue()));
    }

    const Association* button = model.ButtonAssociation();
    if (button != nullptr && button->Input().Changed != 0)
        board.SetPercent(kChannelButton, button->Input().LoadValue() != 0 ? 1 : 0);
    return changed;
}

uint32_t ReleaseHeldKeys(const AssociationModel& model, EvaluationScratch& scratch,
                         const KeyboardFunctions& keyboard) {
    const ObjectList& keys = model.KeyAssociations();
    const int32_t keyCount = keys.Count() < scratch.KeyCount() ? keys.Count() : scratch.KeyCount();
    uint32_t n = 0;
    for (int32_t i = keyCount - 1; i >= 0; --i) {
        if (scratch.Down()[i] == 0)
            continue;
        scratch.Sent()[n] = i;
        FillKeyRecord(scratch.Records()[n++], AssociationModel::At(keys, i)->code, false);
    }
    return SendKeys(n, scratch, keyboard);
}

uint32_t RunAssociations(const AssociationRun& run, const KeyboardFunctions& keyboard,
                         void (*sleep)(uint32_t ms)) {
    BoardState& board = *run.Board;
    const uint32_t own = board.generation.load(std::memory_order_relaxed);
    EvaluationScratch scratch;
    // Without its one block the run cannot send keys; it ends at once rather than run half.
    if (Failed(scratch.Allocate(run.Model->KeyAssociations().Count())))
        return 0;
    if (board.running.load(std::memory_order_relaxed) != 0) {
        for (;;) {
            if (board.generation.load(std::memory_order_relaxed) != own)
                break;
            if (EvaluatePass(*run.Model, *run.Joystick, board, scratch, keyboard) == 0)
                sleep(kAssociationPollMs);
            if (board.running.load(std::memory_order_relaxed) == 0)
                break;
        }
    }
    // A key held when the run stops would stay pressed in the system: a release refused
    // here is tried again a few times before the run gives the key up.
    ReleaseHeldKeys(*run.Model, scratch, keyboard);
    for (int attempt = 1; attempt < kStopReleaseAttempts && scratch.ReleaseOwed(); ++attempt) {
        sleep(kAssociationPollMs);
        ReleaseHeldKeys(*run.Model, scratch, keyboard);
    }
    return 0;
}
