// The platform under a run: the joystick reader, the COM port's responder thread and the
// association thread, as the main window hands them to its EmulationSession.
#pragma once

#include "session/EmulationSession.h"

extern const SessionWorkers kPlatformWorkers;
extern const JoystickPlatform kPlatformJoysticks;
