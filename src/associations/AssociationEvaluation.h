// The evaluation of the associations during a run: one pass polls the selected joystick
// and turns the changes it took into key strokes (one SendInput call per pass), channel
// values and the board button; the loop repeats passes, sleeping 10 ms when nothing
// changed, until the run's generation changes or running clears. Portable: the Windows
// thread procedure (AssociationThread_win.h) runs the loop with the real SendInput and
// Sleep; tests call the pass directly or run the loop on a std::thread.
//
// Threads: the loop runs on the association thread, the only caller of Poll for the
// device during a run; it reads the collections without a lock (they do not change during
// a run) and writes the BoardState's words whole.
#pragma once

#include <cstdint>

#include "associations/AssociationModel.h"
#include "associations/KeyTable.h"
#include "board/BoardState.h"
#include "core/Status.h"
#include "joystick/JoystickDevice.h"

// What the association thread takes as its parameter. EmulationSession fills it before its
// workers create the thread and keeps it alive (as a member) for as long as the thread may
// run.
struct AssociationRun {
    AssociationModel* Model;
    BoardState* Board;
    JoystickDevice* Joystick;  // the selected device, being read
};

// Everything a run allocates, in one heap block: the key records of a pass (room for two
// per key association, at least one), the key association of each record sent, and which
// key associations the system holds pressed for the run.
class EvaluationScratch {
  public:
    EvaluationScratch() = default;
    ~EvaluationScratch();
    EvaluationScratch(const EvaluationScratch&) = delete;
    EvaluationScratch& operator=(const EvaluationScratch&) = delete;

    // For keyCount key associations. kOk or kOutOfMemory.
    HResult Allocate(int32_t keyCount);
    KeyboardInputRecord* Records() const { return records_; }
    // down[i]: the system took a press for key association i and no release since.
    uint8_t* Down() const { return down_; }
    // sent[r]: the key association whose record r went in the last call.
    int32_t* Sent() const { return sent_; }
    // A release the system refused is owed: the next pass sends it again, even without news.
    bool& ReleaseOwed() { return releaseOwed_; }
    int32_t KeyCount() const { return keyCount_; }

  private:
    void* block_ = nullptr;
    KeyboardInputRecord* records_ = nullptr;
    uint8_t* down_ = nullptr;
    int32_t* sent_ = nullptr;
    int32_t keyCount_ = 0;
    bool releaseOwed_ = false;
};

// One pass: Poll; when something changed, one record per changed key association (from
// the last to the first: press when the input is nonzero, release when 0), and a release
// for each key still held whose release was refused before, sent in one call; SetRaw for
// each changed channel association (last to first); SetPercent(3, 1 or 0) for a changed
// button association. A key counts as held or let go only for the records the system
// took. Returns Poll's result.
uint32_t EvaluatePass(const AssociationModel& model, JoystickDevice& joystick, BoardState& board,
                      EvaluationScratch& scratch, const KeyboardFunctions& keyboard);

// End of a run: one release, in one call, for every key association the run left pressed.
// Returns the number of releases taken; a refused one stays held in Down().
uint32_t ReleaseHeldKeys(const AssociationModel& model, EvaluationScratch& scratch,
                         const KeyboardFunctions& keyboard);

// The run: remembers the generation, allocates the scratch once, repeats passes while the
// generation is unchanged and running is set (sleep(10) after a pass without changes), then
// releases the keys it left down (up to kStopReleaseAttempts tries, 10 ms apart). Returns 0.
uint32_t RunAssociations(const AssociationRun& run, const KeyboardFunctions& keyboard,
                         void (*sleep)(uint32_t ms));

constexpr uint32_t kAssociationPollMs = 10;
// How often the end of a run tries to release a key whose release the system refused.
constexpr int kStopReleaseAttempts = 3;
