// The association thread of a run and the real SendInput behind KeyboardFunctions.
// The session's Win32 workers (SessionWorkers_win.cpp) create the thread when a run starts
// with a joystick selected and associations made; EmulationSession's stop advances the
// generation, clears running and waits for the thread.
#pragma once

#include <windows.h>

#include "associations/AssociationEvaluation.h"
#include "associations/KeyTable.h"

extern const KeyboardFunctions kPlatformKeyboard;

// parameter: the AssociationRun, which must outlive the thread. Returns 0.
DWORD WINAPI AssociationThread(void* parameter);
