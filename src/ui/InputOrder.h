// The inputs that the association editor offers for a joystick, and their order in its
// input list: buttons by number, then everything else by name, case folded for A to Z
// only. Portable; the main window calls it on the user-interface thread when a joystick
// is chosen.
#pragma once

#include <cstdint>

#include "associations/AssociationModel.h"
#include "core/RefObject.h"
#include "core/Status.h"

// ObjectList comparator of two InputRefs; above 0 when a comes after b. Two names that
// both begin with the button base name compare by Usage (Botão 2 before Botão 10).
int CompareInputs(RefObject* a, RefObject* b, void* context);

// Replaces the model's InputRefs by those of device, sorted with CompareInputs: the four
// directions of each eight-way hat (the last hat's first), the buttons, the axes, then
// the hats that are plain values. kOk or kOutOfMemory (the list then holds what was made).
HResult BuildInputRefs(AssociationModel& model, const JoystickDevice& device);
