// The Win32 reader thread under Wine: reports handed to its hidden window as WM_INPUT, with
// the bytes coming from the raw-input seam, decoded through the real hid.dll for devices
// built from real descriptors. Covers what the portable reader's tests cannot: the
// registration and the thread's life with its devices, the copying of messages of any size,
// and a message retrieval that fails.
#include <gtest/gtest.h>

#include <atomic>

#include "JoystickSupport_win.h"
#include "core/Handle_win.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"

namespace {

class JoystickReaderWin : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_.Install();
        ASSERT_EQ(JoystickStartup(), kOk);
        for (int i = 0; i < 2; ++i) {
            const RealDescriptor& d = Descriptor(i == 0 ? "signed_pad" : "flight_stick");
            handles_[i] = fake_.AddHid(d.vendorId, d.productId, 1, 5 - i, d.Preparsed());
            ASSERT_NE(devices_[i] = MakeJoystick(handles_[i]), nullptr);
            ASSERT_TRUE(PrepareInputs(*devices_[i]));  // as the main window prepares every device
        }
    }
    void TearDown() override {
        for (JoystickDevice* device : devices_) {
            if (device != nullptr)
                StopReading(*device);
            SafeRelease(device);
        }
        JoystickShutdown();
        fake_.Uninstall();
        EXPECT_TRUE(AllInstanceCountersZero());
    }

    // Posts one message of count reports of the stick's slider, the first at value, and
    // waits until the reader has counted it.
    bool Slide(uint32_t value, uint32_t count = 1) {
        std::vector<uint8_t> reports;
        for (uint32_t i = 0; i < count; ++i) {
            const std::vector<uint8_t> report = Descriptor("flight_stick").Report({{"slider", value + i}});
            reports.insert(reports.end(), report.begin(), report.end());
        }
        const uint32_t before = Stick().Sequence.load();
        return fake_.Post(RawInputBytes(handles_[1], reports, reports.size() / count, count)) &&
               WaitFor([&] { return Stick().Sequence.load() != before; });
    }
    uint32_t Slider() { return FindInput(Stick(), 1, 0x36)->LoadPending(); }
    JoystickDevice& Pad() { return *devices_[0]; }
    JoystickDevice& Stick() { return *devices_[1]; }

    FakeRawInput& fake_ = FakeRawInput::Instance();
    HANDLE handles_[2] = {};
    JoystickDevice* devices_[2] = {};
};

// Usage 5 then 4 on page 1 go to the hidden window as a sink that also hears devices come
// and go; one thread serves every device read and the last stop ends it and removes both.
TEST_F(JoystickReaderWin, OneRegisteredThreadServesTheDevicesFromTheFirstStartToTheLastStop) {
    ASSERT_EQ(StartReading(Pad()), kOk);
    ASSERT_EQ(StartReading(Stick()), kOk);
    HWND window = ReaderWindow();
    ASSERT_NE(window, nullptr);
    const ScopedHandle thread(OpenThread(SYNCHRONIZE, FALSE, GetWindowThreadProcessId(window, nullptr)));
    StopReading(Pad());
    EXPECT_EQ(ReaderWindow(), window);
    EXPECT_TRUE(Slide(1000));
    EXPECT_EQ(Slider(), 1000u);
    StopReading(Stick());
    EXPECT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ReaderWindow(), nullptr);
    const std::vector<RAWINPUTDEVICE> registered = fake_.Registrations();
    ASSERT_EQ(registered.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(registered[i].usUsagePage, 1);
        EXPECT_EQ(registered[i].usUsage, i % 2 == 0 ? 5 : 4);
        EXPECT_EQ(registered[i].dwFlags,
                  static_cast<DWORD>(i < 2 ? RIDEV_INPUTSINK | RIDEV_DEVNOTIFY : RIDEV_REMOVE));
        EXPECT_EQ(registered[i].hwndTarget, i < 2 ? window : nullptr);
    }
    // A refused registration fails every start with the system's error and leaves nothing of
    // it; the next start after that gets a new thread.
    fake_.RefuseRegistration(ERROR_ACCESS_DENIED);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(StartReading(Stick()), HResultFromError(ERROR_ACCESS_DENIED));
        EXPECT_EQ(Stick().Reading, 0u);
        EXPECT_EQ(ReaderWindow(), nullptr);
        EXPECT_EQ(ReaderDeviceCount(), 0);
    }
    fake_.RefuseRegistration(0);
    ASSERT_EQ(StartReading(Stick()), kOk);
    EXPECT_TRUE(Slide(10));
}

// A message larger than the reader's first buffer (128 bytes) grows it. The size field at
// offset 24 comes from the system, not from the copy: a message copied shorter than it
// claims must not be decoded with what the buffer still holds from the longer one before.
TEST_F(JoystickReaderWin, MessagesOfAnySizeAreCopiedWholeAndNeverReadPast) {
    ASSERT_EQ(StartReading(Stick()), kOk);
    ASSERT_EQ(StartReading(Pad()), kOk);
    ASSERT_TRUE(Slide(700, 3));
    EXPECT_EQ(Slider(), 700u);
    const uint32_t stick = Stick().Sequence.load(), pad = Pad().Sequence.load();
    std::vector<uint8_t> part = Descriptor("flight_stick").Report({{"slider", 5}});
    part.resize(3);
    for (int64_t claimed : {64, 0x7FFFFFF0})
        ASSERT_TRUE(fake_.Post(RawInputBytes(handles_[1], part, claimed)));
    // Once a report of the pad is counted, the reader has handled the messages before it.
    ASSERT_TRUE(fake_.Post(RawInputBytes(handles_[0], Descriptor("signed_pad").Report())));
    ASSERT_TRUE(WaitFor([&] { return Pad().Sequence.load() != pad; }));
    EXPECT_EQ(Stick().Sequence.load(), stick);
    EXPECT_EQ(Slider(), 700u);
}

BOOL WINAPI FailingGetMessage(LPMSG, HWND, UINT, UINT) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
}

// Retrieves as the system does; once armed, it fails after it has handed over the next
// WM_INPUT. It is in place before the thread starts, as swapping the seam while the thread
// runs would race with the thread's next call.
std::atomic<bool> gArmed{false}, gFailing{false};
BOOL WINAPI GetMessageFailingWhenArmed(LPMSG message, HWND window, UINT first, UINT last) {
    if (gFailing.load())
        return FailingGetMessage(message, window, first, last);
    const BOOL got = GetMessageW(message, window, first, last);
    if (got > 0 && message->message == WM_INPUT && gArmed.load())
        gFailing.store(true);
    return got;
}

// A message retrieval that fails ends the thread rather than spinning on the failure. The
// devices still count as reading: starting another finds the thread gone and makes a new
// one; a stop completes all the same, and the next start gets a working thread too.
TEST_F(JoystickReaderWin, ThreadEndedByAFailingMessageRetrievalIsReplacedByTheNextStart) {
    SetReaderGetMessage(&FailingGetMessage);
    ASSERT_EQ(StartReading(Stick()), kOk);
    EXPECT_TRUE(WaitFor([] { return ReaderWindow() == nullptr; }));
    gArmed.store(false);
    gFailing.store(false);
    SetReaderGetMessage(&GetMessageFailingWhenArmed);
    ASSERT_EQ(StartReading(Pad()), kOk);
    EXPECT_TRUE(Slide(200));
    gArmed.store(true);
    EXPECT_TRUE(Slide(300));
    EXPECT_TRUE(WaitFor([] { return ReaderWindow() == nullptr; }));
    SetReaderGetMessage(nullptr);
    StopReading(Pad());
    StopReading(Stick());
    ASSERT_EQ(StartReading(Stick()), kOk);
    EXPECT_TRUE(Slide(400));
}

}  // namespace
