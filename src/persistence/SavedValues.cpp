// The "Values" record: its defaults, its length rules and its moves to and from the board;
// see SavedValues.h.
#include "persistence/SavedValues.h"

namespace {
constexpr uint8_t kMaximumPosition = 100;
}  // namespace

SavedValues DefaultSavedValues() {
    SavedValues values = {};
    for (int32_t row = 0; row < kManualRowCount; ++row) {
        const int32_t channel = kManualToWire[row];
        const bool resistanceInput = channel == kChannelInputA || channel == kChannelInputB ||
                                     channel == kChannelInputC || channel == kChannelInputD;
        values.positions[row] = resistanceInput ? 100 : 0;
    }
    values.buttonPressed = 0;
    values.comPortMinusOne = 30;
    values.joystickOnly = 0;
    return values;
}

SavedValues ParseSavedValues(const uint8_t* bytes, int32_t length) {
    if (bytes == nullptr || length < kSavedValuesMinimumLength)
        return DefaultSavedValues();
    SavedValues values = {};
    for (int32_t row = 0; row < kManualRowCount; ++row) {
        values.positions[row] = bytes[row] > kMaximumPosition ? kMaximumPosition : bytes[row];
    }
    values.buttonPressed = bytes[7];
    values.comPortMinusOne = bytes[8];
    values.joystickOnly = length >= kSavedValuesLength ? bytes[9] : 0;
    return values;
}

void SerializeSavedValues(const SavedValues& values, uint8_t (&bytes)[kSavedValuesLength]) {
    for (int32_t row = 0; row < kManualRowCount; ++row)
        bytes[row] = values.positions[row];
    bytes[7] = values.buttonPressed;
    bytes[8] = values.comPortMinusOne;
    bytes[9] = values.joystickOnly;
}

SavedValues CaptureSavedValues(const BoardState& board, uint32_t comPort, uint32_t joystickOnly) {
    SavedValues values = {};
    for (int32_t row = 0; row < kManualRowCount; ++row)
        values.positions[row] = board.Percent(kManualToWire[row]);
    values.buttonPressed = board.Percent(kChannelButton);
    values.SetComPort(comPort);
    // The flag is a 32-bit word in the window; any nonzero word must stay "on" in one byte.
    values.joystickOnly = joystickOnly != 0 ? 1 : 0;
    return values;
}

void ApplySavedValues(const SavedValues& values, BoardState& board) {
    for (int32_t row = 0; row < kManualRowCount; ++row)
        board.SetPercent(kManualToWire[row], values.positions[row]);
    board.SetPercent(kChannelButton, values.buttonPressed);
}
