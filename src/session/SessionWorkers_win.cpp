// The Win32 workers of a run behind SessionWorkers: opening the port and starting the
// responder on it, the association thread, and waiting for and forgetting their handles;
// and behind JoystickPlatform the raw-input listing and the reader's removals.
#include "session/SessionWorkers_win.h"

#include <windows.h>

#include "associations/AssociationThread_win.h"
#include "board/SerialPort_win.h"
#include "board/SerialResponder_win.h"
#include "core/Handle_win.h"
#include "core/LastError_win.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"
#include "joystick/RawInput_win.h"

namespace {

HResult StartResponder(void* context, uint32_t port, Worker* worker) {
    // On failure the port is already closed and the system's error is set.
    HANDLE handle = OpenAndConfigurePort(port);
    if (!IsValidHandle(handle))
        return LastErrorCode();
    HANDLE thread = nullptr;
    if (!StartSerialResponder(static_cast<ResponderOwner*>(context), handle, &thread)) {
        const HResult code = LastErrorCode();
        Serial().CloseHandle(handle);  // no thread took it over
        return code;
    }
    *worker = thread;
    return kOk;
}

HResult StartAssociations(void*, const AssociationRun* run, Worker* worker) {
    HANDLE thread = CreateThread(nullptr, 0, AssociationThread, const_cast<AssociationRun*>(run), 0, nullptr);
    if (!IsValidHandle(thread))
        return LastErrorCode();
    *worker = thread;
    return kOk;
}

bool Wait(Worker worker, uint32_t ms) {
    // A handle the system no longer knows cannot be waited for; counting it as ended keeps
    // a window from holding on to it for ever.
    return WaitForSingleObject(worker, ms) != WAIT_TIMEOUT;
}

void Close(Worker worker) {
    CloseHandle(worker);
}

}  // namespace

const SessionWorkers kPlatformWorkers = {StartReading,      StopReading, StartResponder,
                                         StartAssociations, Wait,        Close};
const JoystickPlatform kPlatformJoysticks = {MakeJoystick, ListJoysticks, PostDeviceRemoval};
