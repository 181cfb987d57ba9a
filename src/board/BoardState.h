// The eight channel values of the emulated board, the two words that govern a run, and
// the conversions that turn a percentage or a raw joystick value into a channel value.
//
// Threads: the user-interface thread (manual controls, start and stop), the association
// thread and the serial responder share this without a lock. Every field is a word (or a
// byte) written and read whole, hence relaxed atomics: a reply may mix values from before
// and after a concurrent update, but never carries a torn value.
#pragma once

#include <atomic>
#include <cstdint>

// Wire channel numbers: the reply position of each sensor.
enum BoardChannel : int32_t {
    kChannelInputD = 0,
    kChannelInputC = 1,
    kChannelInputB = 2,
    kChannelButton = 3,
    kChannelInputA = 4,
    kChannelLight = 5,
    kChannelSound = 6,
    kChannelSlider = 7,
};

constexpr int kChannelCount = 8;
constexpr int kManualRowCount = 7;

// Manual row index (the main window's rows of controls) to wire channel.
extern const int32_t kManualToWire[kManualRowCount];
// Wire channel to manual row; the button (3) has no row and holds 7, which is never used.
extern const int32_t kWireToManual[kChannelCount];
// Channel-name index (B0..B6: Entrada A..D, light, sound, slider) to wire channel.
extern const int32_t kNameToWire[kManualRowCount];

constexpr uint8_t kPollByte = 0x01;
constexpr int kReplyLength = 18;
constexpr uint8_t kFirmwareHeader[2] = {0xF8, 0x04};  // record of channel 15 carrying firmware id 4

struct BoardState {
    // Nonzero while a run is active. Written by the user-interface thread only.
    std::atomic<uint32_t> running{0};
    // Incremented by every stop; workers end when it differs from what they saw at start.
    std::atomic<uint32_t> generation{0};
    // Raw channel values by wire channel, 0..1023 in normal use. Written by the
    // user-interface and association threads, read by the responder.
    std::atomic<int32_t> values[kChannelCount] = {};
    // The last percentage applied per wire channel; for channel 3 the button state.
    std::atomic<uint8_t> percents[kChannelCount] = {};

    // channel: wire channel 0..7 (others are ignored); percent 0..100, or a button state for channel 3.
    void SetPercent(int32_t channel, int32_t percent);
    // raw: a joystick value in 0..1023.
    // Both store the channel value clamped to the wire's 0..1023.
    void SetRaw(int32_t channel, int32_t raw);

    int32_t Value(int32_t channel) const { return values[channel].load(std::memory_order_relaxed); }
    uint8_t Percent(int32_t channel) const { return percents[channel].load(std::memory_order_relaxed); }
};

// Writes the whole 18-byte reply: the fixed header, then each channel's current value.
void EncodeReply(const BoardState& board, uint8_t* reply);
