// Turns the HID capabilities of a device into its flat set of named inputs (buttons, axes,
// at most one hat and the four directions of an eight-way hat), prepares axes to deliver
// 0 to 1023, and names inputs for the user from the InputNameTable, which the translation
// file can replace.
//
// Callers: enumeration (ReadCapabilities / BuildInputs), EmulationSession as it takes in
// listed devices (PrepareInputs, or NormalizeAxis and CreateDirectionInputs), the
// association editor and list (DisplayName), JoystickStartup and JoystickShutdown
// (LoadInputNames, ReleaseInputNames). User-interface thread only.
#pragma once

#include <cstdint>

#include "core/Status.h"
#include "core/String.h"
#include "joystick/HidTypes.h"
#include "joystick/JoystickDevice.h"
#include "joystick/JoystickInput.h"

constexpr int kAxisNameCount = 16;

// Texts that name inputs. Defaults are Portuguese; LoadInputNames may replace them.
struct InputNameTable {
    const char16_t* Button;  // base of every button's name: "<Button> <n>"
    const char16_t* DPad;    // an eight-way hat
    // Usages 0x30 to 0x39, then 0x40 to 0x45.
    const char16_t* Axes[kAxisNameCount];
    // Usages 0x90 to 0x93: up, down, right, left.
    const char16_t* Directions[kDirectionCount];
    bool Loaded;  // the texts came from the translation file and are owned
};

const InputNameTable& InputNames();

// Reads one key of a section of the translation file; an absent file, section or key
// gives an empty string. Returns a String the caller releases, or null when memory ran out.
using ReadNameFunction = String* (*)(void* context, const char16_t* section, const char16_t* key);

// Fills the table from section "Joystick". If key "Button" is empty or absent every
// default stays; otherwise every key read replaces its default, even with an empty text.
void LoadInputNames(ReadNameFunction read, void* context);
// The same over the translation file beside the program (Windows build only).
void LoadInputNames();
// Releases loaded texts and restores the defaults.
void ReleaseInputNames();

// Builds the input block from the capabilities, in the order the library returned them.
// Only the first button capability is used. Returns kOk, or kOutOfMemory with the block
// left empty.
HResult BuildInputs(const HidButtonCaps* buttonCaps, uint32_t buttonCapCount, const HidValueCaps* valueCaps,
                    uint32_t valueCapCount, InputBlock* block);

// Queries the input capabilities of preparsed data through the bound HID functions and
// builds the block. Fails (leaving the block empty) when a query fails, including for a
// device without input buttons or without input values. The HID library must be held.
HResult ReadCapabilities(const void* preparsed, InputBlock* block);

// Prepares a KindAxis input to deliver 0 to 1023: sets Scale and maps Value and Pending.
// Other inputs are left alone. Equal logical limits leave Scale 0 (raw values).
void NormalizeAxis(JoystickInput& input);

// For a KindHat8 input, creates its four direction sub-inputs unless they exist and
// returns true; for any other input returns false. Also false when memory runs out.
bool CreateDirectionInputs(JoystickInput& input);

// The session's preparation of a device: NormalizeAxis on every axis and
// CreateDirectionInputs on the hat. False when the directions could not be allocated.
bool PrepareInputs(JoystickDevice& device);

// The text shown for an input; never null. Reads the table at the time of the call.
const char16_t* DisplayName(const JoystickInput& input);
