// One input of a joystick: a button, an axis, the hat switch, or one of the four direction
// sub-inputs of an eight-way hat. Built by the input catalogue, decoded into by the reader
// thread and polled by the association thread.
//
// Who writes what:
// - Pending: the reader thread while the device is read (JoystickReader), StartReading on
//   the user-interface thread before the device joins the reader, and the catalogue while
//   preparing. Atomic (relaxed): the polling thread reads it while the reader writes it.
// - Value: the polling thread, in Poll; the user-interface thread while preparing, at the
//   start of a run before the polling thread exists, and at its stop. Atomic (relaxed): a
//   polling thread that outlived its stop may still write it while the window reads it.
// - Changed: the polling thread, in Poll; the start of a run clears it before polling.
// - Enabled: the user-interface thread, only while the device is not read. Atomic because
//   a report already taken from the reader's list may still be decoded for a device that
//   has just stopped reading.
// - Everything else: fixed once the device is prepared.
#pragma once

#include <atomic>
#include <cstdint>

// Kind of a value input that is not a plain axis.
constexpr int32_t kKindAxis = -1;
constexpr int32_t kKindHat8 = -2;  // eight-way hat switch: delivers a direction mask

// Usages with a meaning in the catalogue (generic desktop page).
constexpr uint32_t kUsageHatSwitch = 0x39;
constexpr uint32_t kUsageDPadUp = 0x90;

// A direction sub-input's usage is 0xF00 plus the d-pad usage of its direction.
constexpr uint32_t kDirectionUsageBase = 0xF00;
constexpr int kDirectionCount = 4;  // up, right, down, left: the bits of the hat's mask

struct JoystickInput {
    std::atomic<uint32_t> Value{0};  // as the consumer took it at its last Poll
    uint32_t Changed = 0;            // Value before that Poll XOR Value after it
    std::atomic<uint32_t> Pending{0};
    uint32_t UsagePage = 0;  // 0 for direction sub-inputs
    uint32_t Usage = 0;
    std::atomic<uint32_t> Enabled{1};  // nonzero: the reader decodes this input
    // Buttons: index among the buttons. Directions: index in the hat's array. Value inputs:
    // kKindAxis, kKindHat8, or Usage - 16 for usages from 0x90.
    int32_t Kind = 0;
    float Scale = 0.0f;  // 0: raw values; else maps the logical range onto 0 to 1023
    int32_t Centre = 0;
    int32_t LogicalMin = 0;
    int32_t LogicalMax = 0;
    // Buttons and value inputs without a table name own their text (OwnsName); direction
    // sub-inputs borrow theirs from the InputNameTable.
    const char16_t* Name = nullptr;
    bool OwnsName = false;
    // Only an eight-way hat: its four owned direction sub-inputs, or null.
    JoystickInput* Directions = nullptr;

    uint32_t LoadValue() const { return Value.load(std::memory_order_relaxed); }
    void StoreValue(uint32_t value) { Value.store(value, std::memory_order_relaxed); }
    uint32_t LoadPending() const { return Pending.load(std::memory_order_relaxed); }
    void StorePending(uint32_t value) { Pending.store(value, std::memory_order_relaxed); }
    bool IsEnabled() const { return Enabled.load(std::memory_order_relaxed) != 0; }
    // A value input (an axis or a hat, Kind < 0) drives a channel; a button or a direction
    // presses a key.
    bool IsAnalog() const { return Kind < 0; }
};
