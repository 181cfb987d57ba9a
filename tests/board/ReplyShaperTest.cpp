// The virtual board's faults as a host meets them: which polls get a reply, what it holds
// and when it leaves, on a simulated clock (every time is given to the shaper).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/ReplyShaper.h"

namespace {

void Apply(ReplyShaper& shaper, const char* lines, int64_t nowUs) {
    std::vector<ScenarioCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseScenario(lines, "t", &commands, &error)) << error;
    for (const ScenarioCommand& c : commands)
        shaper.Apply(c, nowUs);
}

// A valid reply as a host's framing check sees it: the header, then each channel's pair.
bool Valid(const uint8_t* r, uint32_t length) {
    if (length != kReplyLength || r[0] != kFirmwareHeader[0] || r[1] != kFirmwareHeader[1])
        return false;
    for (int c = 0; c < kChannelCount; ++c) {
        if ((r[2 + 2 * c] & 0xF8) != (0x80 | c << 3) || (r[3 + 2 * c] & 0x80) != 0)
            return false;
    }
    return true;
}

struct Received {
    int64_t atUs;
    OutgoingBytes out;
};

// Polls every stepUs from 0 on, each reply different (the slider holds the poll's number);
// what leaves is taken every 100 us until untilUs. Returns the fates, a letter a poll.
std::string PollFor(ReplyShaper& shaper, int polls, int64_t stepUs, int64_t untilUs,
                    std::vector<Received>* got, std::vector<std::vector<uint8_t>>* sent = nullptr) {
    std::string fates;
    BoardState board;
    uint8_t reply[kReplyLength];
    for (int64_t t = 0, poll = 0; t <= untilUs; t += 100) {
        if (poll < polls && t == poll * stepUs) {
            board.values[kChannelSlider].store(static_cast<int32_t>(poll), std::memory_order_relaxed);
            EncodeReply(board, reply);
            if (sent != nullptr)
                sent->emplace_back(reply, reply + kReplyLength);
            fates += ".dlcts"[static_cast<int>(shaper.Shape(reply, t))];
            ++poll;
        }
        Received r;
        while (shaper.TakeDue(t, &r.out)) {
            r.atUs = t;
            got->push_back(r);
        }
    }
    return fates;
}

TEST(ReplyShaperTest, EachFaultMeetsThePollsItNamesAndRepliesKeepTheirOrder) {
    const struct {
        const char* commands;
        const char* fates;  // . sent, d dropped, l late, c corrupted, t cut, s silenced
        uint32_t cutLength;
    } cases[] = {
        {"", "........", 0},
        {"drop 2", "dd......", 0},
        {"drop 100%", "dddddddd", 0},
        {"drop 0%", "........", 0},
        {"corrupt 8", "cccccccc", 0},
        {"truncate 2 5", "tt......", 5},
        {"truncate 1 0\ncorrupt 1", "tc......", 0},
        {"delay 3ms", "llllllll", 0},
        {"silence 2.5ms", "sss.....", 0},
        {"drop 3\ncorrupt 2\ndrop 5%\ndelay 1ms\nsilence 1s\nbabble 9\nnormal", "........", 0},
    };
    for (const auto& c : cases) {
        ReplyShaper shaper(1);
        Apply(shaper, c.commands, 0);
        std::vector<Received> got;
        std::vector<std::vector<uint8_t>> sent;
        EXPECT_EQ(c.fates, PollFor(shaper, 8, 1000, 20000, &got, &sent)) << c.commands;
        // What was not withheld reaches the host in the polls' order: as it was, cut, or
        // with one byte changed that leaves it invalid, each time another byte.
        size_t next = 0;
        int lastChanged = -1;
        for (size_t poll = 0; poll < 8; ++poll) {
            const char fate = c.fates[poll];
            if (fate == 'd' || fate == 's')
                continue;
            ASSERT_LT(next, got.size()) << c.commands;
            const Received& r = got[next++];
            EXPECT_EQ(fate == 'l' ? poll * 1000 + 3000 : poll * 1000, r.atUs) << c.commands;
            EXPECT_EQ(fate == 't' ? c.cutLength : kReplyLength, r.out.length) << c.commands;
            EXPECT_EQ(fate == 'c' || fate == 't', !Valid(r.out.bytes, r.out.length)) << c.commands;
            int changed = 0;
            for (uint32_t i = 0; i < r.out.length; ++i) {
                if (r.out.bytes[i] != sent[poll][i]) {
                    EXPECT_EQ(0x80, r.out.bytes[i] ^ sent[poll][i]);
                    EXPECT_NE(lastChanged, static_cast<int>(i)) << "poll " << poll;
                    lastChanged = static_cast<int>(i);
                    ++changed;
                }
            }
            EXPECT_EQ(fate == 'c' ? 1 : 0, changed) << c.commands << " poll " << poll;
        }
        EXPECT_EQ(next, got.size()) << c.commands;
    }
}

// Jittered delays and a share of drops: the replies keep the polls' order, each within its
// delay, and the same seed gives the same faults on the same polls.
TEST(ReplyShaperTest, TheSeedRepeatsRandomFaultsAndJitterKeepsTheOrder) {
    auto run = [](uint64_t seed, std::vector<Received>* got) {
        ReplyShaper shaper(seed);
        Apply(shaper, "drop 50%\ndelay 10ms 8ms", 0);
        return PollFor(shaper, 200, 1000, 300000, got);
    };
    std::vector<Received> a, b, c;
    const std::string fates = run(7, &a);
    EXPECT_EQ(fates, run(7, &b));
    EXPECT_NE(fates, run(8, &c));
    const size_t late = std::count(fates.begin(), fates.end(), 'l');
    EXPECT_TRUE(late > 70 && late < 130) << fates;
    ASSERT_EQ(late, a.size());
    int64_t shortest = INT64_MAX, longest = 0;
    for (size_t i = 0, n = 0; i < fates.size(); ++i) {
        if (fates[i] != 'l')
            continue;
        const int64_t poll = static_cast<int64_t>(i) * 1000;
        EXPECT_EQ(a[n].atUs, b[n].atUs);
        EXPECT_GE(a[n].atUs, poll + 2000);
        EXPECT_LE(a[n].atUs, n == 0 ? poll + 18000 : std::max(poll + 18000, a[n - 1].atUs));
        EXPECT_EQ(static_cast<uint8_t>(i & 0x7F), a[n].out.bytes[17]);
        shortest = std::min(shortest, a[n].atUs - poll);
        longest = std::max(longest, a[n].atUs - poll);
        ++n;
    }
    EXPECT_LT(shortest, 4000);
    EXPECT_GT(longest, 16000);
}

// As when the board is unplugged: a reply on its way is lost, not sent after the silence,
// and polls met during it are never answered.
TEST(ReplyShaperTest, SilenceDropsRatherThanDelays) {
    ReplyShaper shaper(1);
    uint8_t reply[kReplyLength] = {};
    Apply(shaper, "delay 5ms\nbabble 1000", 0);
    EXPECT_EQ(ReplyFate::kDelayed, shaper.Shape(reply, 0));
    Apply(shaper, "silence 3ms", 1000);
    EXPECT_EQ(ReplyFate::kSilenced, shaper.Shape(reply, 2000));
    Apply(shaper, "babble 300", 2500);
    EXPECT_EQ(ReplyFate::kDelayed, shaper.Shape(reply, 4500));
    std::vector<ReplyFate> left;
    uint32_t babble = 0;
    OutgoingBytes out;
    for (int64_t t = 0; t < 20000; t += 100) {
        while (shaper.TakeDue(t, &out)) {
            EXPECT_GE(t, out.fate == ReplyFate::kBabble ? 4000 : 9500);
            left.push_back(out.fate);
            for (uint32_t i = 0; i < out.length && out.fate == ReplyFate::kBabble; ++i, ++babble)
                EXPECT_NE(kFirmwareHeader[0], out.bytes[i]);  // no reply can start in it
        }
    }
    EXPECT_EQ(1, std::count(left.begin(), left.end(), ReplyFate::kDelayed));
    EXPECT_EQ(300u, babble);
    const ShaperTotals totals = shaper.Totals();
    EXPECT_EQ(2u, totals.silenced);
    EXPECT_EQ(300u, totals.babbled);
}

// --pace: each byte complete one line time after the one before, and a reply that comes
// while the line is busy starts when it is free.
TEST(ReplyShaperTest, PacedRepliesTakeTheLinesTime) {
    ReplyShaper shaper(1);
    shaper.Pace(kPacedByteUs);
    std::vector<Received> got;
    EXPECT_EQ("..", PollFor(shaper, 2, 1000, 20000, &got));
    std::vector<int64_t> complete;  // when the byte count reached each reply's end
    uint32_t bytes = 0;
    for (const Received& r : got) {
        EXPECT_LE(r.out.length, 1u + 100 / kPacedByteUs);  // a taking every 100 us
        bytes += r.out.length;
        if (bytes % kReplyLength == 0)
            complete.push_back(r.atUs);
    }
    ASSERT_EQ(2u, complete.size());
    EXPECT_EQ(4680, kReplyLength * kPacedByteUs);
    EXPECT_EQ(4700, complete[0]);      // taken at the first 100 us past 4680
    EXPECT_EQ(9400, complete[1]);      // after the first, not 1 ms after its own poll
    EXPECT_EQ(300, got.front().atUs);  // the first byte, complete at 260 us
}

}  // namespace
