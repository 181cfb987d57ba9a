// Once a device reads, handling a report allocates nothing: neither from the heap seam
// nor with operator new. A separate executable, since it replaces the global operator new
// to count.
#include "support/JoystickFixture.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "../support/TestHeap.h"
#include "joystick/ReportDecoder.h"

namespace {
std::atomic<long> gNews{0};
}

void* operator new(size_t size) {
    gNews++;
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    gNews++;
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, size_t) noexcept {
    std::free(block);
}

namespace {

class DecodeAllocationTest : public JoystickFixture {};

TEST_F(DecodeAllocationTest, HandlingReportsAndPollingAllocatesNothing) {
    const FakeLayout layout = GamePadLayout();
    JoystickDevice* pad = FakeHid::MakeDevice(layout, Handle(1));
    ASSERT_NE(nullptr, pad);
    ASSERT_EQ(kOk, StartReading(*pad));
    ReaderScratch scratch;
    ASSERT_EQ(kOk, scratch.Allocate());
    std::vector<std::vector<uint8_t>> raws;
    for (uint32_t i = 0; i < 100; ++i) {
        raws.push_back(RawInputBytes(
            Handle(1), ReportBuilder(layout).Press(1 + i % 12).Set(0x30, i).Set(0x39, i % 10).Bytes()));
    }

    ScopedTestHeap heap;
    const long newsBefore = gNews.load();
    uint32_t changes = 0;
    for (const auto& raw : raws) {
        RawReport report;
        ASSERT_TRUE(FindFirstReport(raw.data(), static_cast<uint32_t>(raw.size()), &report));
        DeliverReport(report.Device, report.Report, report.Length, scratch);
        if (Poll(*pad) != 0)
            ++changes;
    }
    EXPECT_EQ(0, heap.AllocationCount());
    EXPECT_EQ(newsBefore, gNews.load());
    EXPECT_EQ(100u, changes);

    StopReading(*pad);
    pad->Release();
}

TEST_F(DecodeAllocationTest, ADeviceWithManyButtonsGrowsTheUsageListOnceOnly) {
    FakeLayout layout;
    layout.ReportLength = 40;
    layout.Buttons[0].UsageMax = 200;
    layout.AddValue(0x30, 30, 1, 0, 255);
    JoystickDevice* pad = FakeHid::MakeDevice(layout, Handle(1));
    ASSERT_NE(nullptr, pad);
    ASSERT_EQ(kOk, StartReading(*pad));
    ReaderScratch scratch;
    ASSERT_EQ(kOk, scratch.Allocate());

    ScopedTestHeap heap;
    for (uint16_t button = 1; button <= 200; button += 7) {
        const std::vector<uint8_t> report = ReportBuilder(layout).Press(button).Press(200).Bytes();
        DeliverReport(Handle(1), report.data(), static_cast<uint32_t>(report.size()), scratch);
        Poll(*pad);
        EXPECT_EQ(1u, pad->Buttons[button - 1].Value);
        EXPECT_EQ(1u, pad->Buttons[199].Value);
    }
    EXPECT_EQ(1, heap.AllocationCount());
    EXPECT_GE(scratch.UsageCapacity(), 200u);

    StopReading(*pad);
    pad->Release();
}

}  // namespace
