// The rules of an emulation run, free of the window: the start and its checks, the
// joystick reader, the port's responder and the association thread (through
// SessionWorkers), which rows and boxes a run hides or locks and what its stop hands
// back, a port that stops working, workers that outlive their wait, and the saved
// settings; the joysticks that come and go in its JoystickRoster. The main window shows what this decides
// through SessionView and keeps only the control plumbing.
//
// Threads: every method runs on the user-interface thread. During a run the responder
// reads the board, and the association thread reads the board, the model and the selected
// joystick; a worker that outlives its wait is parked, and nothing it reads is changed or
// freed until it has ended.
#pragma once

#include <cstdint>

#include "associations/AssociationEvaluation.h"
#include "associations/AssociationModel.h"
#include "board/BoardState.h"
#include "core/ObjectList.h"
#include "core/Status.h"
#include "persistence/SavedValues.h"
#include "session/JoystickRoster.h"
#include "session/StatusBarRules.h"

// What the session asks of the window, the joystick selector and editor included.
class SessionView : public RosterView {
  public:
    // A manual channel row (its edit, spin and slider), by manual index.
    virtual void ShowRow(int32_t manualIndex, bool shown) = 0;
    // The row's edit shows percent and its slider the same position; the board is not touched.
    virtual void UpdateRow(int32_t manualIndex, int32_t percent) = 0;
    // The "Pressionado" box.
    virtual void ShowPressed(bool shown) = 0;
    virtual void CheckPressed(bool checked) = 0;
    // The port number in its field, and the joystick-only box with the port field it greys out.
    virtual void ShowPort(uint32_t port) = 0;
    virtual void CheckJoystickOnly(bool checked) = 0;
    // A run is going: the start button reads "Parar" and the controls that change the port,
    // the mode, the joystick or the associations are locked; false undoes both.
    virtual void ShowRunning(bool running) = 0;
    // An "Oops..." box with the error icon: the text alone, or prefix followed by the
    // system's text for code.
    virtual void ShowError(const char16_t* text) = 0;
    virtual void ShowFailure(const char16_t* prefix, HResult code) = 0;

  protected:
    ~SessionView() = default;
};

// A worker thread as the platform knows it; null for none.
using Worker = void*;

// Whom the responder of a run tells that its port stopped working: the window and its
// message as the platform knows them (OnPortLost's arguments follow); no window, nobody.
struct PortLostTarget {
    void* window;
    uint32_t message;
};

// The platform under a run, as a table so that tests can stand in for the threads.
struct SessionWorkers {
    HResult (*StartReading)(JoystickDevice& device);
    void (*StopReading)(JoystickDevice& device);
    // Opens the COM port and starts the responder on it, answering from board, which
    // outlives it, counting into line, which outlives it too, and telling target when the
    // port stops working; on success *worker is the running responder.
    HResult (*StartResponder)(BoardState& board, LineCounters& line, const PortLostTarget& target,
                              uint32_t port, Worker* worker);
    // Starts the association thread on run, which outlives it.
    HResult (*StartAssociations)(const AssociationRun* run, Worker* worker);
    // True when the worker has ended, waiting at most ms for it.
    bool (*Wait)(Worker worker, uint32_t ms);
    // Forgets a worker that has ended; none is ever killed.
    void (*Close)(Worker worker);
};

// What the window read when "Iniciar" was pressed.
struct StartRequest {
    bool joystickOnly;  // the check box's state
    bool portIsNumber;  // the port field held a number
    uint32_t port;      // that number
};

class EmulationSession {
  public:
    static constexpr uint32_t kWorkerWaitMs = 20000;

    EmulationSession(SessionView& view, const SessionWorkers& workers, const JoystickPlatform& joysticks);
    ~EmulationSession();  // releases the model and the joysticks; call Shutdown first
    EmulationSession(const EmulationSession&) = delete;
    EmulationSession& operator=(const EmulationSession&) = delete;

    // Whom a run's responder tells of a lost port; the window's, set before the first start.
    void SetPortLostTarget(const PortLostTarget& target) { portLost_ = target; }
    // How long a stop waits for each worker before it parks it (tests shorten it).
    void SetWorkerWait(uint32_t ms) { waitMs_ = ms; }

    // False when memory ran out while the association model was built: nothing may run.
    bool IsValid() const { return associations_.IsValid(); }

    BoardState& Board() { return board_; }
    AssociationModel& Associations() { return associations_; }
    // The joysticks listed now (at start-up, then after each re-listing), in the system's
    // order; never null once prepared.
    ObjectList* Joysticks() const { return roster_.List(); }
    JoystickRoster& Roster() { return roster_; }
    uint32_t ComPort() const { return comPort_; }
    bool JoystickOnly() const { return joystickOnly_ != 0; }
    bool IsRunning() const { return board_.running.load(std::memory_order_relaxed) != 0; }
    // What the responder of the current or last run counted; from zero at each start.
    const LineCounters& Line() const { return line_; }

    // The status bar's texts as the run stands now: the window asks on its timer during a
    // run and after each start and stop. Returns a bit (1 << part) per part whose text
    // changed since the last call.
    uint32_t UpdateStatus();
    const char16_t* StatusText(int32_t part) const { return status_.Part(part); }

    // The board, the rows, the button, the port and the mode take the saved settings.
    void RestoreSettings(const SavedValues& saved);
    // What to store at exit: the channels' percentages and the port and mode in force.
    SavedValues CaptureSettings() const;

    // False while the association lists must not change: during a run, or while a worker
    // of an earlier run still reads them.
    bool ListsEditable() { return !IsRunning() && !WorkersParked(); }
    // The user chose selector entry index (-1: "[Nenhum joystick]"), refused while the lists
    // must not change.
    void SelectJoystick(int32_t index) { roster_.Select(index, ListsEditable()); }

    // "Iniciar": refused while a run is going, and with a box while a worker of an earlier
    // one is parked.
    void Start(const StartRequest& request);
    // "Parar": ends the workers and hands the joystick's last positions to the rows.
    void Stop();
    // The responder of the run of that generation found its port gone: the run ends as a
    // stop would and the user is told, with the system's text. A run since then is not
    // touched.
    void OnPortLost(uint32_t generation, HResult code);

    // Whether a worker of an earlier run still runs after its wait; forgets those that
    // have ended since. While one runs, nothing it reads may change.
    bool WorkersParked();
    // At close: ends a run's workers as a stop does. Each worker is waited for once, at the
    // stop that ended it, so one parked earlier is only looked at. False when one still
    // runs: then nothing it reads may be freed.
    bool Shutdown();

  private:
    HResult StartWorkers();
    // Ends both workers as a stop does, parking one that outlives its wait.
    void EndWorkers();
    void EndRun(bool handBack);

    SessionView& view_;
    const SessionWorkers& workers_;
    PortLostTarget portLost_ = {};
    uint32_t waitMs_ = kWorkerWaitMs;
    BoardState board_;
    // Written by the run's responder only, read whole here; like the board, it stays for as
    // long as a responder may run.
    LineCounters line_;
    StatusBarRules status_;
    AssociationModel associations_;
    JoystickRoster roster_;  // after the model it chooses in
    uint32_t comPort_ = 0;
    uint32_t joystickOnly_ = 0;
    Worker responder_ = nullptr;
    Worker associationThread_ = nullptr;
    // Workers that outlived their wait at a stop, and still read what this holds.
    Worker parked_[2] = {};
    // What the association thread reads; fixed for as long as it may run.
    AssociationRun run_ = {};
};
