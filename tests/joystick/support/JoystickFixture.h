// Common set-up of the native joystick tests: the substitute parser bound through the
// loader, the reader started with the std::thread reader, and a leak check at the end.
#pragma once

#include <gtest/gtest.h>

#include "StrictHid.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"

// The reader thread of the native tests (FakeReaderThread.cpp). Tests queue raw-input bytes
// with Post and wait for them with WaitIdle.
namespace FakeReaderThread {
const ReaderThreadFunctions* Functions();
void Reset();    // clears the count of starts; no thread may be running
int Starts();    // threads that signalled success
bool Running();  // a thread is alive
// Queues raw-input bytes for the reader thread; false when no thread runs.
bool Post(const std::vector<uint8_t>& raw);
// Waits until every queued blob has been handled (at most 10 s); false on time-out.
bool WaitIdle();
}  // namespace FakeReaderThread

class JoystickFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetStrictHid();
        FakeReaderThread::Reset();
        SetHidLoader(StrictHidLoader());
        ASSERT_EQ(kOk, ReaderStartup(FakeReaderThread::Functions()));
    }

    void TearDown() override {
        ReaderShutdown();
        ReleaseInputNames();
        SetHidLoader(nullptr);
        EXPECT_FALSE(FakeReaderThread::Running()) << "the reader thread outlived shutdown";
        EXPECT_FALSE(HidLibraryLoaded());
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }

    // Sends one report through the reader thread and waits until it has been handled.
    static void Deliver(void* device, const std::vector<uint8_t>& report) {
        ASSERT_TRUE(FakeReaderThread::Post(RawInputBytes(device, report)));
        ASSERT_TRUE(FakeReaderThread::WaitIdle());
    }
    static void DeliverRaw(const std::vector<uint8_t>& raw) {
        ASSERT_TRUE(FakeReaderThread::Post(raw));
        ASSERT_TRUE(FakeReaderThread::WaitIdle());
    }
};

// Raw-input handles of the test devices.
inline void* Handle(uintptr_t n) {
    return reinterpret_cast<void*>(0x1000 + n);
}
