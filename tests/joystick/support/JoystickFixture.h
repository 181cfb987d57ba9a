// Common set-up of the native joystick tests: the substitute parser bound through the
// loader, the reader started over the reader thread's stand-in, and a leak check at the end.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "StrictHid.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"

class JoystickFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        FakeReaderThread::starts = FakeReaderThread::ends = 0;
        SetHidLoader(StrictHidLoader());
        ASSERT_EQ(kOk, ReaderStartup(&FakeReaderThread::kFunctions));
    }

    void TearDown() override {
        ReaderShutdown();
        ReleaseInputNames();
        SetHidLoader(nullptr);
        EXPECT_LE(FakeReaderThread::starts.load(), FakeReaderThread::ends.load())
            << "the reader thread outlived shutdown";
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }

    // Sends one report through the reader's stand-in.
    static void Deliver(void* device, const std::vector<uint8_t>& report) {
        FakeReaderThread::Post(RawInputBytes(device, report));
    }
};

// Raw-input handles of the test devices.
inline void* Handle(uintptr_t n) {
    return reinterpret_cast<void*>(0x1000 + n);
}
