// The association thread of a run and the real SendInput behind KeyboardFunctions.
// The main window's OpenBoardPort creates the thread (CreateThread(nullptr, 0,
// AssociationThread, &run, 0, nullptr)) when a joystick is selected and associations
// exist; StopEmulation increments generation, clears running and waits for it.
#pragma once

#include <windows.h>

#include "associations/AssociationEvaluation.h"
#include "associations/KeyTable.h"

extern const KeyboardFunctions kPlatformKeyboard;

// parameter: the AssociationRun, which must outlive the thread. Returns 0.
DWORD WINAPI AssociationThread(void* parameter);
