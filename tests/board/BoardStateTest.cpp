#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "board/BoardState.h"

namespace {

// The curves written out step by step from their definitions, each float operation stored
// to a volatile so that nothing is fused or kept in wider precision.
int32_t LightReference(float f, bool upper) {
    if (upper) {
        volatile float r = 100.0f - f;
        return static_cast<int32_t>(r);
    }
    volatile float a = f * 998.0f;
    volatile float b = a / 75.0f;
    volatile float c = 1023.0f - b;
    return static_cast<int32_t>(c);
}

int32_t SoundReference(float f, bool upper) {
    if (!upper) {
        volatile float a = f * 2.0f;
        volatile float b = a + 18.0f;
        return static_cast<int32_t>(b);
    }
    volatile float a = f - 24.0f;
    volatile float b = a * 580.0f;
    volatile float c = b / 75.0f;
    volatile float d = c + 50.0f;
    volatile float e = d + 17.0f;
    const int32_t v = static_cast<int32_t>(e);
    return v > 1023 ? 1023 : v;
}

// Every row of the three channel tables, written out from the board's channel list.
TEST(BoardStateTest, ChannelTablesMatchTheBoardsChannelList) {
    const int32_t manualToWire[] = {0, 1, 2, 4, 5, 6, 7};
    const int32_t wireToManual[] = {0, 1, 2, 7, 3, 4, 5, 6};
    const int32_t nameToWire[] = {4, 2, 1, 0, 5, 6, 7};  // Entrada A-D, light, sound, slider
    for (int row = 0; row < kManualRowCount; ++row) {
        EXPECT_EQ(manualToWire[row], kManualToWire[row]) << "manual row " << row;
        EXPECT_EQ(nameToWire[row], kNameToWire[row]) << "name " << row;
        EXPECT_EQ(manualToWire[row], WireChannelOfControl(1000 + 4 * manualToWire[row] + row % 3));
    }
    for (int wire = 0; wire < kChannelCount; ++wire)
        EXPECT_EQ(wireToManual[wire], kWireToManual[wire]) << "wire channel " << wire;
    EXPECT_EQ(3, WireChannelOfControl(1012));
}

TEST(BoardStateTest, LinearChannelsRoundTripEveryPercent) {
    BoardState board;
    for (int channel : {0, 1, 2, 4, 7}) {
        int32_t previous = -1;
        for (int p = 0; p <= 100; ++p) {
            board.SetPercent(channel, p);
            const int32_t v = board.Value(channel);
            EXPECT_EQ(p, v * 100 / 1023) << "channel " << channel << " percent " << p;
            EXPECT_GT(v, previous);
            EXPECT_EQ(p, board.Percent(channel));
            previous = v;
        }
    }
    const int examples[][2] = {{0, 0}, {1, 20}, {50, 521}, {98, 1012}, {99, 1016}, {100, 1023}};
    for (const auto& e : examples) {
        board.SetPercent(0, e[0]);
        EXPECT_EQ(e[1], board.Value(0)) << e[0] << "%";
    }
}

TEST(BoardStateTest, ButtonIsActiveLowAndKeepsItsState) {
    BoardState board;
    board.SetPercent(3, 1);
    EXPECT_EQ(0, board.Value(3));
    board.SetPercent(3, 0);
    EXPECT_EQ(1023, board.Value(3));
    board.SetPercent(3, 2);
    EXPECT_EQ(0, board.Value(3));
    EXPECT_EQ(2, board.Percent(3));
    board.SetRaw(3, 5);  // 0.49 %: rounds down to released
    EXPECT_EQ(1023, board.Value(3));
    board.SetRaw(3, 11);
    EXPECT_EQ(0, board.Value(3));
}

TEST(BoardStateTest, LightAndSoundCurvesForEveryPercent) {
    BoardState board;
    for (int p = 0; p <= 100; ++p) {
        board.SetPercent(5, p);
        EXPECT_EQ(LightReference(static_cast<float>(p), p > 75), board.Value(5)) << p;
        board.SetPercent(6, p);
        EXPECT_EQ(SoundReference(static_cast<float>(p), p >= 25), board.Value(6)) << p;
    }
    const int light[][2] = {{0, 1023}, {75, 25}, {76, 24}, {100, 0}};
    for (const auto& e : light) {
        board.SetPercent(5, e[0]);
        EXPECT_EQ(e[1], board.Value(5)) << "light " << e[0];
    }
    const int sound[][2] = {{0, 18}, {24, 66}, {25, 74}, {50, 268}, {100, 654}};
    for (const auto& e : sound) {
        board.SetPercent(6, e[0]);
        EXPECT_EQ(e[1], board.Value(6)) << "sound " << e[0];
    }
}

TEST(BoardStateTest, RawValuesForEveryChannelAndValue) {
    BoardState board;
    for (int channel = 0; channel < kChannelCount; ++channel) {
        for (int raw = 0; raw <= 1023; ++raw) {
            board.SetRaw(channel, raw);
            volatile float scaled = static_cast<float>(raw) * 100.0f;
            volatile float f = scaled / 1023.0f;
            const int32_t ip = static_cast<int32_t>(f);
            ASSERT_EQ(ip, board.Percent(channel));
            int32_t expected = raw;
            if (channel == 3)
                expected = ip != 0 ? 0 : 1023;
            if (channel == 5)
                expected = LightReference(f, ip > 75);
            if (channel == 6)
                expected = SoundReference(f, ip >= 25);
            ASSERT_EQ(expected, board.Value(channel)) << "channel " << channel << " raw " << raw;
            ASSERT_GE(board.Value(channel), 0);
            ASSERT_LE(board.Value(channel), 1023);
        }
    }
    const int examples[][3] = {{4, 777, 777}, {5, 0, 1023}, {5, 777, 12},  {5, 1022, 0},
                               {6, 255, 67},  {6, 256, 74}, {6, 1023, 654}};
    for (const auto& e : examples) {
        board.SetRaw(e[0], e[1]);
        EXPECT_EQ(e[2], board.Value(e[0])) << "channel " << e[0] << " raw " << e[1];
    }
    board.SetRaw(4, 777);
    EXPECT_EQ(75, board.Percent(4));
}

TEST(BoardStateTest, OutOfRangeInputsAreSafe) {
    BoardState board;
    board.SetPercent(0, 50);
    board.SetPercent(8, 10);
    board.SetPercent(-1, 10);
    board.SetRaw(9, 10);
    EXPECT_EQ(521, board.Value(0));
    // Far outside the percent range the curves saturate instead of overflowing.
    for (int32_t p : {INT32_MIN, -1000000, 1000000, INT32_MAX}) {
        board.SetPercent(6, p);
        board.SetPercent(5, p);
        board.SetPercent(7, p);
        board.SetRaw(6, p);
    }
    board.SetPercent(6, 1000);
    EXPECT_EQ(1023, board.Value(6));
}

TEST(BoardStateTest, ReplyLayout) {
    BoardState board;
    uint8_t reply[kReplyLength];
    EncodeReply(board, reply);
    const uint8_t zeros[] = {0xF8, 0x04, 0x80, 0,    0x88, 0,    0x90, 0,    0x98,
                             0,    0xA0, 0,    0xA8, 0,    0xB0, 0,    0xB8, 0};
    EXPECT_EQ(0, memcmp(zeros, reply, kReplyLength));

    board.values[3] = 1023;
    EncodeReply(board, reply);
    const uint8_t example[] = {0xF8, 0x04, 0x80, 0x00, 0x88, 0x00, 0x90, 0x00, 0x9F,
                               0x7F, 0xA0, 0x00, 0xA8, 0x00, 0xB0, 0x00, 0xB8, 0x00};
    EXPECT_EQ(0, memcmp(example, reply, kReplyLength));

    board.values[0] = 1023;
    FillReplyChannels(board, reply);
    EXPECT_EQ(0x87, reply[2]);
    EXPECT_EQ(0x7F, reply[3]);
    board.values[0] = 1024;  // only ten bits reach the wire
    FillReplyChannels(board, reply);
    EXPECT_EQ(0x80, reply[2]);
    EXPECT_EQ(0x00, reply[3]);
    board.values[7] = -1;  // never spills into the channel number bits
    FillReplyChannels(board, reply);
    EXPECT_EQ(0xBF, reply[16]);
    EXPECT_EQ(0x7F, reply[17]);
}

TEST(BoardStateTest, EveryValueEncodesAndDecodesOnEveryChannel) {
    BoardState board;
    uint8_t reply[kReplyLength];
    for (int v = 0; v <= 1023; ++v) {
        for (int c = 0; c < kChannelCount; ++c)
            board.values[c] = (v + c * 129) % 1024;
        EncodeReply(board, reply);
        for (int c = 0; c < kChannelCount; ++c) {
            const uint8_t hi = reply[2 + 2 * c];
            const uint8_t lo = reply[3 + 2 * c];
            ASSERT_EQ(c, (hi >> 3) & 0xF);
            ASSERT_EQ(0x80, hi & 0x80);
            ASSERT_EQ(0, lo & 0x80);
            ASSERT_EQ((v + c * 129) % 1024, ((hi & 7) << 7) | lo);
        }
    }
}

}  // namespace
