// The main window's saved settings: the 10-byte "Values" record under the program's
// registry key, its defaults and length rules, and the moves between the record and the
// board's channel percentages. Portable; the registry access is in SettingsStore_win.cpp.
// The main window loads the record once at initialisation and stores it once on exit.
#pragma once

#include <cstdint>

#include "board/BoardState.h"

constexpr int32_t kSavedValuesLength = 10;
// Records shorter than this are not used at all.
constexpr int32_t kSavedValuesMinimumLength = 9;

struct SavedValues {
    // Bytes 0..6: percent positions by manual row, i.e. wire channels 0, 1, 2, 4, 5, 6, 7.
    uint8_t positions[kManualRowCount];
    // Byte 7: wire channel 3, the push button; any nonzero value means pressed.
    uint8_t buttonPressed;
    // Byte 8: the COM port number minus 1, modulo 256 (port 256 and port 0 are both 255).
    uint8_t comPortMinusOne;
    // Byte 9: the joystick-only mode; any nonzero value means on.
    uint8_t joystickOnly;

    // 1..256.
    uint32_t ComPort() const { return comPortMinusOne + 1u; }
    void SetComPort(uint32_t port) { comPortMinusOne = static_cast<uint8_t>(port - 1u); }
};

// Entrada A..D at 100 %, light, sound and slider at 0 %, button released, port 31,
// joystick-only mode off.
SavedValues DefaultSavedValues();

// The record from the bytes of "Values": the defaults when there are fewer than 9 bytes
// (or none), joystick-only mode off for exactly 9, the first 10 bytes otherwise. A
// position above 100 (the registry was edited or damaged) is read as 100, the same as a
// number above 100 typed into a channel's field.
SavedValues ParseSavedValues(const uint8_t* bytes, int32_t length);

void SerializeSavedValues(const SavedValues& values, uint8_t (&bytes)[kSavedValuesLength]);

// The record to store on exit: the board's current percentages (channel 3's byte is the
// button state), the port number and the joystick-only flag in force.
SavedValues CaptureSavedValues(const BoardState& board, uint32_t comPort, uint32_t joystickOnly);

// Sets the seven analog channels from their positions and the button channel from the
// button byte through SetPercent, as the main window's initialisation does.
void ApplySavedValues(const SavedValues& values, BoardState& board);
