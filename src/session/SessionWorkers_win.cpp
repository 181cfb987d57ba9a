// The Win32 workers of a run behind SessionWorkers: opening the port and starting the
// responder on it, the association thread, and waiting for and forgetting their handles;
// and behind JoystickPlatform the raw-input listing and the reader's removals.
#include "session/SessionWorkers_win.h"

#include <windows.h>

#include "associations/AssociationThread_win.h"
#include "board/SerialPort_win.h"
#include "board/SerialResponder_win.h"
#include "core/Handle_win.h"
#include "core/Heap.h"
#include "core/LastError_win.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"
#include "joystick/RawInput_win.h"

namespace {

// A worker as the session holds it: the thread, and what a responder reads for as long as
// it runs, in a process-heap block that goes only once the thread has ended (Close).
struct WorkerRecord {
    HANDLE thread;
    ResponderOwner owner;
};

WorkerRecord* NewRecord(const ResponderOwner& owner) {
    auto* record = static_cast<WorkerRecord*>(HeapAllocate(sizeof(WorkerRecord)));
    if (record != nullptr)
        *record = {nullptr, owner};
    return record;
}

HResult StartResponder(BoardState& board, LineCounters& line, const PortLostTarget& target, uint32_t port,
                       Worker* worker) {
    WorkerRecord* record = NewRecord({&board, &line, static_cast<HWND>(target.window), target.message});
    if (record == nullptr)
        return kOutOfMemory;
    // A failed open has closed the port already; the port closes through the table
    // without touching the system's error.
    ScopedPort opened(OpenAndConfigurePort(port));
    ScopedHandle thread;
    if (!opened || !StartSerialResponder(&record->owner, opened, &thread)) {
        const HResult code = LastErrorCode();
        HeapRelease(record);
        return code;
    }
    record->thread = thread.Release();
    *worker = record;
    return kOk;
}

HResult StartAssociations(const AssociationRun* run, Worker* worker) {
    WorkerRecord* record = NewRecord({});
    if (record == nullptr)
        return kOutOfMemory;
    record->thread =
        CreateThread(nullptr, 0, AssociationThread, const_cast<AssociationRun*>(run), 0, nullptr);
    if (!IsValidHandle(record->thread)) {
        const HResult code = LastErrorCode();
        HeapRelease(record);
        return code;
    }
    *worker = record;
    return kOk;
}

bool Wait(Worker worker, uint32_t ms) {
    // A handle the system no longer knows cannot be waited for; counting it as ended keeps
    // a window from holding on to it for ever.
    return WaitForSingleObject(static_cast<WorkerRecord*>(worker)->thread, ms) != WAIT_TIMEOUT;
}

void Close(Worker worker) {
    CloseHandle(static_cast<WorkerRecord*>(worker)->thread);
    HeapRelease(worker);
}

}  // namespace

const SessionWorkers kPlatformWorkers = {StartReading,      StopReading, StartResponder,
                                         StartAssociations, Wait,        Close};
const JoystickPlatform kPlatformJoysticks = {MakeJoystick, ListJoysticks, PostDeviceRemoval};
