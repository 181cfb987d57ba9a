// The platform under a run: the joystick reader, the COM port's responder thread and the
// association thread, as the main window hands them to its EmulationSession.
#pragma once

#include "session/EmulationSession.h"

// The worker context these expect is the window's ResponderOwner (SerialResponder_win.h):
// the board the responder answers from and the window it tells of a lost port.
extern const SessionWorkers kPlatformWorkers;
extern const JoystickPlatform kPlatformJoysticks;
