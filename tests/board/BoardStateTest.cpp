// The channel conversions and the reply's bytes, against tables written out from the
// board's curves rather than from the code.
#include <gtest/gtest.h>

#include <cstdint>

#include "board/BoardState.h"

namespace {

// The light and sound channels for every percentage, in single precision with one rounding
// per operation (a fused multiply-add or a wider intermediate would change some entries).
// The pieces of each curve meet at 75/76 % (light) and 24/25 % (sound).
const int32_t kLightValues[101] = {
    1023, 1009, 996, 983, 969, 956, 943, 929, 916, 903, 889, 876, 863, 850, 836, 823, 810, 796, 783, 770, 756,
    743,  730,  716, 703, 690, 677, 663, 650, 637, 623, 610, 597, 583, 570, 557, 543, 530, 517, 504, 490, 477,
    464,  450,  437, 424, 410, 397, 384, 370, 357, 344, 331, 317, 304, 291, 277, 264, 251, 237, 224, 211, 197,
    184,  171,  158, 144, 131, 118, 104, 91,  78,  64,  51,  38,  25,  24,  23,  22,  21,  20,  19,  18,  17,
    16,   15,   14,  13,  12,  11,  10,  9,   8,   7,   6,   5,   4,   3,   2,   1,   0};
const int32_t kSoundValues[101] = {
    18,  20,  22,  24,  26,  28,  30,  32,  34,  36,  38,  40,  42,  44,  46,  48,  50,  52,  54,  56,  58,
    60,  62,  64,  66,  74,  82,  90,  97,  105, 113, 121, 128, 136, 144, 152, 159, 167, 175, 183, 190, 198,
    206, 213, 221, 229, 237, 244, 252, 260, 268, 275, 283, 291, 299, 306, 314, 322, 329, 337, 345, 353, 360,
    368, 376, 384, 391, 399, 407, 415, 422, 430, 438, 445, 453, 461, 469, 476, 484, 492, 500, 507, 515, 523,
    531, 538, 546, 554, 561, 569, 577, 585, 592, 600, 608, 616, 623, 631, 639, 647, 654};

// Every row of the manual and wire tables, written out from the board's channel list (the
// name table is driven through an axis in the association tests).
TEST(BoardStateTest, ChannelTablesMatchTheBoardsChannelList) {
    const int32_t manualToWire[] = {0, 1, 2, 4, 5, 6, 7};
    const int32_t wireToManual[] = {0, 1, 2, 7, 3, 4, 5, 6};
    for (int row = 0; row < kManualRowCount; ++row) {
        EXPECT_EQ(manualToWire[row], kManualToWire[row]) << "manual row " << row;
    }
    for (int wire = 0; wire < kChannelCount; ++wire)
        EXPECT_EQ(wireToManual[wire], kWireToManual[wire]) << "wire channel " << wire;
}

TEST(BoardStateTest, PercentsGiveTheChannelValues) {
    BoardState board;
    for (int p = 0; p <= 100; ++p) {
        board.SetPercent(5, p);
        EXPECT_EQ(kLightValues[p], board.Value(5)) << "light " << p;
        board.SetPercent(6, p);
        EXPECT_EQ(kSoundValues[p], board.Value(6)) << "sound " << p;
        // The linear channels give the percentage back, rising with it.
        for (int channel : {0, 1, 2, 4, 7}) {
            board.SetPercent(channel, p);
            EXPECT_EQ(p, board.Value(channel) * 100 / 1023) << "channel " << channel << " percent " << p;
            EXPECT_EQ(p, board.Percent(channel));
        }
    }
    const int examples[][2] = {{0, 0}, {1, 20}, {50, 521}, {98, 1012}, {99, 1016}, {100, 1023}};
    for (const auto& e : examples) {
        board.SetPercent(0, e[0]);
        EXPECT_EQ(e[1], board.Value(0)) << e[0] << "%";
    }
    // The button is active low and keeps whatever state it was given.
    const int button[][2] = {{1, 0}, {0, 1023}, {2, 0}};
    for (const auto& e : button) {
        board.SetPercent(3, e[0]);
        EXPECT_EQ(e[1], board.Value(3));
        EXPECT_EQ(e[0], board.Percent(3));
    }
}

TEST(BoardStateTest, RawValuesGiveTheChannelValues) {
    BoardState board;
    int32_t light = 1024, sound = -1;
    for (int raw = 0; raw <= 1023; ++raw) {
        for (int channel = 0; channel < kChannelCount; ++channel) {
            board.SetRaw(channel, raw);
            ASSERT_EQ(raw * 100 / 1023, board.Percent(channel)) << "channel " << channel << " raw " << raw;
            if (channel != 3 && channel != 5 && channel != 6) {
                ASSERT_EQ(raw, board.Value(channel));
            }
        }
        board.SetRaw(3, raw);
        ASSERT_EQ(raw >= 11 ? 0 : 1023, board.Value(3)) << raw;  // 1 % is raw 10.23
        // Light falls within each piece of its curve (the float percentage enters the lower
        // piece up to 76 %, so the upper piece starts higher), sound rises, within ten bits.
        board.SetRaw(5, raw);
        if (raw * 100 / 1023 != 76) {
            ASSERT_LE(board.Value(5), light) << raw;
        }
        ASSERT_GE(board.Value(5), 0);
        light = board.Value(5);
        board.SetRaw(6, raw);
        ASSERT_GE(board.Value(6), sound) << raw;
        ASSERT_LE(board.Value(6), 1023);
        sound = board.Value(6);
    }
    // The float percentage, not its integer part, enters the curves.
    const int examples[][3] = {{4, 777, 777}, {5, 0, 1023}, {5, 777, 12},  {5, 1022, 0},
                               {6, 255, 67},  {6, 256, 74}, {6, 1023, 654}};
    for (const auto& e : examples) {
        board.SetRaw(e[0], e[1]);
        EXPECT_EQ(e[2], board.Value(e[0])) << "channel " << e[0] << " raw " << e[1];
    }
}

TEST(BoardStateTest, OutOfRangeInputsAreSafe) {
    BoardState board;
    board.SetPercent(0, 50);
    board.SetPercent(8, 10);
    board.SetPercent(-1, 10);
    board.SetRaw(9, 10);
    EXPECT_EQ(521, board.Value(0));
    // Far outside the percent range the curves saturate instead of overflowing, and every
    // channel stores a value clamped to the wire's range.
    for (int32_t p : {INT32_MIN, -1000000, -7, 250, 5000, 1000000, INT32_MAX}) {
        for (int32_t c = 0; c < kChannelCount; ++c) {
            for (int raw : {0, 1}) {
                raw != 0 ? board.SetRaw(c, p) : board.SetPercent(c, p);
                EXPECT_TRUE(board.Value(c) >= 0 && board.Value(c) <= 1023) << c << " " << p << " " << raw;
                // A raw value stores a percentage the rows can show: 0 below the range, 100 above.
                if (raw != 0)
                    EXPECT_EQ(p < 0 ? 0 : (p > 1023 ? 100 : p * 100 / 1023), board.Percent(c))
                        << c << " " << p;
            }
        }
    }
    board.SetPercent(6, 1000);
    EXPECT_EQ(1023, board.Value(6));
}

// Every value on every channel reaches the wire and decodes back, after the fixed header;
// only ten bits of a value go out, never into the channel number's bits.
TEST(BoardStateTest, EveryValueEncodesAndDecodesOnEveryChannel) {
    BoardState board;
    uint8_t reply[kReplyLength];
    for (int v = -1; v <= 1024; ++v) {
        for (int c = 0; c < kChannelCount; ++c)
            board.values[c] = v < 0 || v > 1023 ? v : (v + c * 129) % 1024;
        EncodeReply(board, reply);
        ASSERT_EQ(0xF8, reply[0]);
        ASSERT_EQ(0x04, reply[1]);
        for (int c = 0; c < kChannelCount; ++c) {
            const uint8_t hi = reply[2 + 2 * c];
            const uint8_t lo = reply[3 + 2 * c];
            ASSERT_EQ(0x80 | c << 3, hi & 0xF8) << v;
            ASSERT_EQ(0, lo & 0x80);
            ASSERT_EQ(board.values[c] & 1023, ((hi & 7) << 7) | lo) << v;
        }
    }
}

}  // namespace
