// The "Values" record's portable rules that the registry tests do not reach: damaged
// positions, the port byte, and the moves to and from the board's percentages that the
// main window makes at exit and at start-up. Length rules are checked against the real
// registry in SettingsStoreTest_win.cpp.
#include <gtest/gtest.h>

#include <vector>

#include "persistence/SavedValues.h"

namespace {

std::vector<uint8_t> Bytes(const SavedValues& values) {
    uint8_t bytes[kSavedValuesLength];
    SerializeSavedValues(values, bytes);
    return std::vector<uint8_t>(bytes, bytes + kSavedValuesLength);
}

TEST(SavedValuesTest, PositionAboveHundredIsReadAsHundredAndPorts256And0BothGoThroughByte255) {
    const uint8_t damaged[kSavedValuesLength] = {101, 255, 100, 0, 200, 50, 150, 7, 0, 9};
    const std::vector<uint8_t> expected = {100, 100, 100, 0, 100, 50, 100, 7, 0, 9};
    EXPECT_EQ(expected, Bytes(ParseSavedValues(damaged, kSavedValuesLength)));
    for (uint32_t port : {256u, 0u}) {
        SavedValues values = DefaultSavedValues();
        values.SetComPort(port);
        const std::vector<uint8_t> bytes = Bytes(values);
        EXPECT_EQ(255, bytes[8]) << port;
        EXPECT_EQ(256u, ParseSavedValues(bytes.data(), kSavedValuesLength).ComPort()) << port;
    }
}

// Apply and capture both map the seven rows to wire channels 0, 1, 2, 4, 5, 6, 7 and the
// button byte to channel 3.
TEST(SavedValuesTest, ApplySetsChannelsThroughTheirConversionsAndCaptureTakesThemBack) {
    const uint8_t record[kSavedValuesLength] = {99, 0, 100, 50, 75, 25, 100, 1, 255, 1};
    BoardState board;
    ApplySavedValues(ParseSavedValues(record, kSavedValuesLength), board);
    const uint8_t byWire[kChannelCount] = {99, 0, 100, 1, 50, 75, 25, 100};
    for (int32_t channel = 0; channel < kChannelCount; ++channel)
        EXPECT_EQ(byWire[channel], board.Percent(channel)) << "wire channel " << channel;
    EXPECT_EQ(1016, board.Value(kChannelInputD)) << "99 % on an input";
    EXPECT_EQ(74, board.Value(kChannelSound)) << "25 % on the sound sensor";
    EXPECT_EQ(0, board.Value(kChannelButton)) << "a pressed button reads 0";

    EXPECT_EQ(std::vector<uint8_t>(record, record + kSavedValuesLength),
              Bytes(CaptureSavedValues(board, 256, 0x100)))
        << "a flag word of 0x100 is on";
    EXPECT_EQ(0, Bytes(CaptureSavedValues(board, 256, 0))[9]);
}

}  // namespace
