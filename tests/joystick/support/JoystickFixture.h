// Common set-up of the native joystick tests: the substitute parser bound through the
// loader, the reader started with the std::thread reader, and a leak check at the end.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "StrictHid.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "joystick/ReportDecoder.h"

// The reader thread's stand-in for the native tests. Starting and ending only count; a
// report is decoded on the calling thread as the Win32 thread decodes a WM_INPUT (the first
// report found in a heap block of exactly the copied size). The concurrency tests deliver
// from threads of their own.
namespace FakeReaderThread {
inline std::atomic<int> gStarts{0}, gEnds{0};
inline HResult Start() {
    ++gStarts;
    return kOk;
}
inline void End() {
    ++gEnds;
}
inline const ReaderThreadFunctions kFunctions = {Start, End, nullptr};
inline int Starts() {
    return gStarts;
}
inline bool Running() {
    return gStarts > gEnds;
}
inline void Post(const std::vector<uint8_t>& raw) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[raw.size() + (raw.empty() ? 1 : 0)]);
    std::copy(raw.begin(), raw.end(), copy.get());
    ReaderScratch scratch;
    RawReport report;
    if (scratch.Allocate() == kOk && FindFirstReport(copy.get(), static_cast<uint32_t>(raw.size()), &report))
        DeliverReport(report.Device, report.Report, report.Length, scratch);
}
}  // namespace FakeReaderThread

class JoystickFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetStrictHid();
        FakeReaderThread::gStarts = FakeReaderThread::gEnds = 0;
        SetHidLoader(StrictHidLoader());
        ASSERT_EQ(kOk, ReaderStartup(&FakeReaderThread::kFunctions));
    }

    void TearDown() override {
        ReaderShutdown();
        ReleaseInputNames();
        SetHidLoader(nullptr);
        EXPECT_FALSE(FakeReaderThread::Running()) << "the reader thread outlived shutdown";
        EXPECT_FALSE(HidLibraryLoaded());
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
