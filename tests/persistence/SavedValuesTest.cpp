// The "Values" record: defaults, length rules, byte order, and the moves to and from the
// board's percentages that the main window makes at start-up and at exit.
#include <gtest/gtest.h>

#include <vector>

#include "persistence/SavedValues.h"

namespace {

std::vector<uint8_t> Bytes(const SavedValues& values) {
    uint8_t bytes[kSavedValuesLength];
    SerializeSavedValues(values, bytes);
    return std::vector<uint8_t>(bytes, bytes + kSavedValuesLength);
}

const std::vector<uint8_t> kDefaultBytes = {100, 100, 100, 100, 0, 0, 0, 0, 30, 0};
// A record unlike the defaults in every byte.
const std::vector<uint8_t> kRecord = {10, 20, 30, 40, 50, 60, 70, 1, 4, 1, 99, 99};

TEST(SavedValuesTest, RecordsShorterThanNineBytesGiveDefaultsEntirely) {
    EXPECT_EQ(kDefaultBytes, Bytes(DefaultSavedValues()));
    EXPECT_EQ(31u, DefaultSavedValues().ComPort());
    EXPECT_EQ(kDefaultBytes, Bytes(ParseSavedValues(nullptr, 0)));
    for (int32_t length : {0, 1, 8}) {
        EXPECT_EQ(kDefaultBytes, Bytes(ParseSavedValues(kRecord.data(), length))) << length << " bytes";
    }
}

TEST(SavedValuesTest, NineByteRecordTurnsJoystickOnlyOff) {
    const std::vector<uint8_t> expected = {10, 20, 30, 40, 50, 60, 70, 1, 4, 0};
    EXPECT_EQ(expected, Bytes(ParseSavedValues(kRecord.data(), 9)));
}

TEST(SavedValuesTest, TenOrMoreBytesAreTakenFromTheFirstTen) {
    const std::vector<uint8_t> expected(kRecord.begin(), kRecord.begin() + 10);
    EXPECT_EQ(expected, Bytes(ParseSavedValues(kRecord.data(), 10)));
    EXPECT_EQ(expected, Bytes(ParseSavedValues(kRecord.data(), 12)));
}

TEST(SavedValuesTest, PositionAboveHundredIsReadAsHundred) {
    const uint8_t damaged[kSavedValuesLength] = {101, 255, 100, 0, 200, 50, 150, 7, 0, 9};
    const std::vector<uint8_t> expected = {100, 100, 100, 0, 100, 50, 100, 7, 0, 9};
    EXPECT_EQ(expected, Bytes(ParseSavedValues(damaged, kSavedValuesLength)));
}

TEST(SavedValuesTest, PortIsStoredMinusOneModulo256) {
    SavedValues values = DefaultSavedValues();
    const uint32_t cases[][3] = {{1, 0, 1}, {31, 30, 31}, {256, 255, 256}, {0, 255, 256}, {257, 0, 1}};
    for (const auto& c : cases) {
        values.SetComPort(c[0]);
        EXPECT_EQ(c[1], Bytes(values)[8]) << "port " << c[0];
        EXPECT_EQ(c[2], ParseSavedValues(Bytes(values).data(), kSavedValuesLength).ComPort())
            << "port " << c[0];
    }
}

TEST(SavedValuesTest, CaptureTakesPercentsInWireOrderWithButtonLast) {
    BoardState board;
    const int32_t percents[kChannelCount] = {11, 22, 33, 1, 44, 55, 66, 77};
    for (int32_t channel = 0; channel < kChannelCount; ++channel)
        board.SetPercent(channel, percents[channel]);
    const std::vector<uint8_t> expected = {11, 22, 33, 44, 55, 66, 77, 1, 255, 1};
    EXPECT_EQ(expected, Bytes(CaptureSavedValues(board, 256, 0x100)));
    EXPECT_EQ(0, Bytes(CaptureSavedValues(board, 256, 0))[9]);
}

TEST(SavedValuesTest, ApplySetsChannelValuesThroughTheirConversions) {
    const uint8_t record[kSavedValuesLength] = {99, 0, 100, 50, 75, 25, 100, 1, 0, 0};
    BoardState board;
    ApplySavedValues(ParseSavedValues(record, kSavedValuesLength), board);
    EXPECT_EQ(1016, board.Value(kChannelInputD));
    EXPECT_EQ(0, board.Value(kChannelInputC));
    EXPECT_EQ(1023, board.Value(kChannelInputB));
    EXPECT_EQ(521, board.Value(kChannelInputA));
    EXPECT_EQ(25, board.Value(kChannelLight));
    EXPECT_EQ(74, board.Value(kChannelSound));
    EXPECT_EQ(1023, board.Value(kChannelSlider));
    EXPECT_EQ(0, board.Value(kChannelButton)) << "pressed button reads 0";
    EXPECT_EQ(1, board.Percent(kChannelButton));

    ApplySavedValues(DefaultSavedValues(), board);
    EXPECT_EQ(1023, board.Value(kChannelButton)) << "released button reads 1023";
    EXPECT_EQ(1023, board.Value(kChannelLight)) << "light at 0 %";
}

}  // namespace
