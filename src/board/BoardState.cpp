// The conversion rules reproduce the real board's curves exactly. The float steps are
// single precision with one rounding per operation, in the order written; the build
// forbids fused multiply-add so that no step is merged with the next.
#include "board/BoardState.h"

#include <cstdint>

#include "text/TextTable.h"

// The text table names each manual row; both count them on their own.
static_assert(kManualRowCount == TextTable::kChannelNameCount, "a channel name for each manual row");

const int32_t kManualToWire[kManualRowCount] = {0, 1, 2, 4, 5, 6, 7};
const int32_t kWireToManual[kChannelCount] = {0, 1, 2, 7, 3, 4, 5, 6};
const int32_t kNameToWire[kManualRowCount] = {4, 2, 1, 0, 5, 6, 7};

namespace {

// Truncation toward zero. Values outside the 32-bit range only arise from percentages far
// outside 0..100; they saturate instead of being undefined.
int32_t Trunc(float f) {
    if (!(f == f))
        return 0;
    if (f >= 2147483520.0f)
        return INT32_MAX;
    if (f <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(f);
}

// A value outside the wire's 0..1023 would lose its high bits in the reply (a hat that is
// not an eight-way hat delivers its raw value); it is stored clamped instead.
int32_t ClampToWire(int32_t value) {
    return value < 0 ? 0 : (value > 1023 ? 1023 : value);
}

bool IsChannel(int32_t channel) {
    return channel >= 0 && channel < kChannelCount;
}

int32_t LightValue(float f, bool upperPiece) {
    if (upperPiece)
        return Trunc(100.0f - f);
    const float scaled = f * 998.0f;
    return Trunc(1023.0f - scaled / 75.0f);
}

int32_t SoundValue(float f, bool upperPiece) {
    if (!upperPiece) {
        const float doubled = f * 2.0f;
        return Trunc(doubled + 18.0f);
    }
    const float shifted = f - 24.0f;
    const float scaled = shifted * 580.0f;
    const float ratio = scaled / 75.0f;
    const float raised = ratio + 50.0f;
    const float result = raised + 17.0f;
    // Compared before truncation so that out-of-range inputs saturate at the cap; for every
    // in-range value this is the same as truncating first.
    return result >= 1023.0f ? 1023 : Trunc(result);
}

}  // namespace

void BoardState::SetPercent(int32_t channel, int32_t percent) {
    if (!IsChannel(channel))
        return;
    percents[channel].store(static_cast<uint8_t>(percent), std::memory_order_relaxed);
    int32_t value;
    const float f = static_cast<float>(percent);
    switch (channel) {
        case kChannelButton:
            value = percent != 0 ? 0 : 1023;  // active low
            break;
        case kChannelLight:
            value = LightValue(f, percent > 75);
            break;
        case kChannelSound:
            value = SoundValue(f, percent >= 25);
            break;
        default: {
            // The rule below shifts every percentage up by one step (1 % gives 20), so 99 %
            // would meet 100 % at 1023; the real board gives 1016, which keeps the two apart
            // and still reads back as 99 %.
            if (percent == 99) {
                value = 1016;
                break;
            }
            const int64_t q = percent == 0 ? 0 : (percent == 100 ? 100 : static_cast<int64_t>(percent) + 1);
            value = static_cast<int32_t>((q * 1023) / 100);
            break;
        }
    }
    values[channel].store(ClampToWire(value), std::memory_order_relaxed);
}

void BoardState::SetRaw(int32_t channel, int32_t raw) {
    if (!IsChannel(channel))
        return;
    const float scaled = static_cast<float>(raw) * 100.0f;
    const float f = scaled / 1023.0f;
    const int32_t ip = Trunc(f);
    // A raw value off the joystick range (a hat that is not an eight-way hat delivers its
    // own) would store a wrapped byte, and the row and the saved settings would show it.
    const int32_t percent = ip < 0 ? 0 : (ip > 100 ? 100 : ip);
    percents[channel].store(static_cast<uint8_t>(percent), std::memory_order_relaxed);
    int32_t value;
    switch (channel) {
        case kChannelButton:
            value = ip != 0 ? 0 : 1023;
            break;
        case kChannelLight:
            value = LightValue(f, ip > 75);
            break;
        case kChannelSound:
            value = SoundValue(f, ip >= 25);
            break;
        default:
            value = raw;
            break;
    }
    values[channel].store(ClampToWire(value), std::memory_order_relaxed);
}

void EncodeReply(const BoardState& board, uint8_t* reply) {
    reply[0] = kFirmwareHeader[0];
    reply[1] = kFirmwareHeader[1];
    for (int32_t c = 0; c < kChannelCount; ++c) {
        const int32_t v = board.Value(c);
        reply[2 + 2 * c] = static_cast<uint8_t>(0x80 | (c << 3) | ((v >> 7) & 7));
        reply[3 + 2 * c] = static_cast<uint8_t>(v & 0x7F);
    }
}
