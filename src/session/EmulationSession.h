// The rules of an emulation run, free of the window: the start and its checks, the
// joystick reader, the port's responder and the association thread (through
// SessionWorkers), which rows and boxes a run hides or locks and what its stop hands
// back, a port that stops working, workers that outlive their wait, the joysticks'
// preparation and the saved settings. The main window shows what this decides through
// SessionView and keeps only the control plumbing.
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

// What the session asks of the window.
class SessionView {
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
    // The joystick selector, whose entries follow Joysticks(): one appended, one removed,
    // and one's text, its name marked while the pad is away. The selector shows the selected
    // joystick after each change.
    virtual void AddJoystickEntry(const char16_t* name) = 0;
    virtual void RemoveJoystickEntry(int32_t index) = 0;
    virtual void ShowJoystickEntry(int32_t index, const char16_t* name, bool away) = 0;

  protected:
    ~SessionView() = default;
};

// A worker thread as the platform knows it; null for none.
using Worker = void*;

// The platform under a run, as a table so that tests can stand in for the threads.
struct SessionWorkers {
    HResult (*StartReading)(JoystickDevice& device);
    void (*StopReading)(JoystickDevice& device);
    // Opens the COM port and starts the responder on it (answering from context's board);
    // on success *worker is the running responder. context: SetWorkerContext's.
    HResult (*StartResponder)(void* context, uint32_t port, Worker* worker);
    // Starts the association thread on run, which outlives it.
    HResult (*StartAssociations)(void* context, const AssociationRun* run, Worker* worker);
    // True when the worker has ended, waiting at most ms for it.
    bool (*Wait)(Worker worker, uint32_t ms);
    // Forgets a worker (ended or not); it is never killed.
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

    EmulationSession(SessionView& view, const SessionWorkers& workers);
    ~EmulationSession();  // releases the model and the joysticks; call Shutdown first
    EmulationSession(const EmulationSession&) = delete;
    EmulationSession& operator=(const EmulationSession&) = delete;

    // Handed to the worker functions; the window's, set before the first start.
    void SetWorkerContext(void* context) { context_ = context; }
    // How long a stop waits for each worker before it parks it (tests shorten it).
    void SetWorkerWait(uint32_t ms) { waitMs_ = ms; }

    BoardState& Board() { return board_; }
    AssociationModel& Associations() { return associations_; }
    // The joysticks listed now (at start-up, then after each re-listing), in the system's
    // order; never null once prepared.
    ObjectList* Joysticks() const { return joysticks_; }
    uint32_t ComPort() const { return comPort_; }
    bool JoystickOnly() const { return joystickOnly_ != 0; }
    bool IsRunning() const { return board_.running.load(std::memory_order_relaxed) != 0; }

    // Takes over the list of enumerated joysticks (null: none were found) and prepares each
    // as the editor needs it: axes normalised, eight-way hats given their directions.
    void PrepareJoysticks(ObjectList* found);
    // The board, the rows, the button, the port and the mode take the saved settings.
    void RestoreSettings(const SavedValues& saved);
    // What to store at exit: the channels' percentages and the port and mode in force.
    SavedValues CaptureSettings() const;

    // A joystick the system lists anew, built as enumeration builds one (null: nothing to
    // add); the reference passes here. The same pad come back is bound again under its new
    // handle, and a run that reads it goes on with it; another pad joins the list, prepared.
    void OnJoystickArrived(JoystickDevice* device);
    // The system no longer lists the device with this handle (the reader has rested it if
    // it was read). The selected pad stays, with its associations, marked away; another
    // leaves the list.
    void OnJoystickRemoved(void* rawHandle);
    // After the selection changed: pads that went away and are no longer selected leave.
    void DropAwayJoysticks();
    // The listed, connected joystick with this raw handle, or null.
    JoystickDevice* FindConnected(void* rawHandle) const;

    // "Iniciar": refused while a run is going or a worker of an earlier one is parked.
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
    // At close: ends a run's workers and waits for any parked one as a stop does. False
    // when one still runs: then nothing it reads may be freed.
    bool Shutdown();

  private:
    JoystickDevice* JoystickAt(int32_t index) const;
    // The first listed joystick with this raw handle, connected or (connectedOnly false) not.
    JoystickDevice* FindByHandle(void* rawHandle, bool connectedOnly) const;
    void RemoveJoystick(int32_t index);
    HResult StartWorkers();
    // Ends both workers as a stop does, parking one that outlives its wait.
    void EndWorkers();
    void EndRun(bool handBack);

    SessionView& view_;
    const SessionWorkers& workers_;
    void* context_ = nullptr;
    uint32_t waitMs_ = kWorkerWaitMs;
    BoardState board_;
    AssociationModel associations_;
    ObjectList* joysticks_ = nullptr;
    uint32_t comPort_ = 0;
    uint32_t joystickOnly_ = 0;
    Worker responder_ = nullptr;
    Worker associationThread_ = nullptr;
    // Workers that outlived their wait at a stop, and still read what this holds.
    Worker parked_[2] = {};
    // What the association thread reads; fixed for as long as it may run.
    AssociationRun run_ = {};
};
