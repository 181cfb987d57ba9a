// The reader thread under Wine: reports handed to its hidden window as WM_INPUT, with the
// bytes coming from the raw-input seam, decoded through the real hid.dll for devices that
// enumeration built from real descriptors. Covers the thread's life cycle (two devices, one
// stopped, the last stopped, a new start, a refused registration and its retry) and the
// messages it must drop; what a report decodes to is RealDeviceInputsTest_win.cpp's.
#include <gtest/gtest.h>

#include "JoystickSupport_win.h"
#include "core/ObjectList.h"
#include "core/RefObject.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"

namespace {

constexpr uint32_t kDesktop = 1;

class JoystickReaderWin : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_.Install();
        ASSERT_EQ(JoystickStartup(), kOk);
        padHandle_ = fake_.AddHid(0x045E, 0x028E, 1, 5, Descriptor("signed_pad").Preparsed());
        stickHandle_ = fake_.AddHid(0x11C0, 0x5606, 1, 4, Descriptor("flight_stick").Preparsed());
        ASSERT_EQ(EnumerateJoysticks(&list_), kOk);
        ASSERT_EQ(list_->Count(), 2);
        pad_ = static_cast<JoystickDevice*>(list_->At(0));
        stick_ = static_cast<JoystickDevice*>(list_->At(1));
        // As the main window prepares every listed device.
        ASSERT_TRUE(PrepareInputs(*pad_));
        ASSERT_TRUE(PrepareInputs(*stick_));
    }
    void TearDown() override {
        if (pad_ != nullptr)
            StopReading(*pad_);
        if (stick_ != nullptr)
            StopReading(*stick_);
        SafeRelease(list_);
        JoystickShutdown();
        fake_.Uninstall();
        EXPECT_TRUE(AllInstanceCountersZero());
    }

    // Posts a report and waits until the reader has counted it in the device's Sequence.
    bool Deliver(JoystickDevice& device, HANDLE handle, const std::vector<uint8_t>& report) {
        const uint32_t before = device.Sequence.load();
        if (!fake_.Post(RawInputBytes(handle, report)))
            return false;
        return WaitFor([&] { return device.Sequence.load() != before; });
    }
    // Posts bytes that must change nothing, then a report of the stick; once that one is
    // counted, the reader has handled the bytes before it.
    void PostThenSync(std::vector<uint8_t> bytes) {
        ASSERT_TRUE(fake_.Post(std::move(bytes)));
        ASSERT_TRUE(Deliver(*stick_, stickHandle_, Stick({{"slider", static_cast<uint32_t>(++syncCount_)}})));
    }
    static std::vector<uint8_t> Pad(const RealDescriptor::Values& values) {
        return Descriptor("signed_pad").Report(values);
    }
    static std::vector<uint8_t> Stick(const RealDescriptor::Values& values) {
        return Descriptor("flight_stick").Report(values);
    }
    uint32_t ValueOf(JoystickDevice& device, uint32_t usage) {
        return FindInput(device, kDesktop, usage)->Value;
    }

    FakeRawInput& fake_ = FakeRawInput::Instance();
    ObjectList* list_ = nullptr;
    JoystickDevice* pad_ = nullptr;
    JoystickDevice* stick_ = nullptr;
    HANDLE padHandle_ = nullptr;
    HANDLE stickHandle_ = nullptr;
    int syncCount_ = 0;
};

TEST_F(JoystickReaderWin, StartRegistersBothUsagesForTheHiddenWindowAndTheLastStopRemovesThem) {
    ASSERT_EQ(StartReading(*pad_), kOk);
    HWND window = ReaderWindow();
    ASSERT_NE(window, nullptr);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_STREQ(className, L"JoystickWndClass");
    // Usage 5 then 4 on page 1, to the hidden window as a sink that also hears devices come
    // and go; the last stop removes both.
    StopReading(*pad_);
    const std::vector<RAWINPUTDEVICE> registered = fake_.Registrations();
    ASSERT_EQ(registered.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(registered[i].usUsagePage, 1);
        EXPECT_EQ(registered[i].usUsage, i % 2 == 0 ? 5 : 4);
        EXPECT_EQ(registered[i].dwFlags,
                  static_cast<DWORD>(i < 2 ? RIDEV_INPUTSINK | RIDEV_DEVNOTIFY : RIDEV_REMOVE));
        if (i < 2) {
            EXPECT_EQ(registered[i].hwndTarget, window);
        }
    }
}

TEST_F(JoystickReaderWin, StoppingOneOfTwoLeavesTheThreadTheLastEndsItAndTheNextStartMakesANewOne) {
    ASSERT_EQ(StartReading(*pad_), kOk);
    ASSERT_EQ(StartReading(*stick_), kOk);
    HWND window = ReaderWindow();
    const DWORD firstId = GetWindowThreadProcessId(window, nullptr);
    HANDLE first = OpenThread(SYNCHRONIZE, FALSE, firstId);
    ASSERT_NE(first, nullptr);
    StopReading(*pad_);
    EXPECT_EQ(pad_->Reading, 0u);
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the thread ended";
    EXPECT_EQ(ReaderWindow(), window);
    ASSERT_TRUE(Deliver(*stick_, stickHandle_, Stick({{"slider", 1000}})));
    Poll(*stick_);
    EXPECT_EQ(ValueOf(*stick_, 0x36), 1000u);

    StopReading(*stick_);
    EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(first, 0) == WAIT_OBJECT_0; }));
    CloseHandle(first);
    EXPECT_EQ(ReaderWindow(), nullptr);
    EXPECT_FALSE(ReaderThreadRecorded());
    ASSERT_EQ(StartReading(*stick_), kOk);
    ASSERT_NE(ReaderWindow(), nullptr);
    EXPECT_NE(GetWindowThreadProcessId(ReaderWindow(), nullptr), firstId);
    EXPECT_TRUE(Deliver(*stick_, stickHandle_, Stick({{"x", 0}})));
}

TEST_F(JoystickReaderWin, RefusedRegistrationFailsTheStartAndAnotherStartSucceeds) {
    fake_.RefuseRegistration(ERROR_ACCESS_DENIED);
    EXPECT_EQ(StartReading(*pad_), HResultFromError(ERROR_ACCESS_DENIED));
    EXPECT_EQ(pad_->Reading, 0u);
    EXPECT_EQ(ReaderWindow(), nullptr);
    EXPECT_FALSE(ReaderThreadRecorded());
    EXPECT_EQ(ReaderDeviceCount(), 0);
    // Every time, not only the first.
    EXPECT_EQ(StartReading(*pad_), HResultFromError(ERROR_ACCESS_DENIED));

    fake_.RefuseRegistration(0);
    ASSERT_EQ(StartReading(*pad_), kOk);
    EXPECT_EQ(pad_->Reading, 1u);
    ASSERT_NE(ReaderWindow(), nullptr);
    ASSERT_TRUE(Deliver(*pad_, padHandle_, Pad({{"buttons", 1u << 3}})));
    EXPECT_EQ(PendingButtons(*pad_), 1u << 3);
}

// Malformed raw input is the decoder's concern (its own tests); here only what the reader
// thread itself must drop: a message with nothing to copy, and a device it does not read.
TEST_F(JoystickReaderWin, EmptyMessageAndReportOfADeviceNotBeingReadChangeNothing) {
    ASSERT_EQ(StartReading(*stick_), kOk);
    const uint32_t sequence = pad_->Sequence.load();
    PostThenSync({});
    PostThenSync(RawInputBytes(padHandle_, Pad({{"buttons", 0x3FF}, {"x", 0}, {"hat", 1}})));
    EXPECT_EQ(pad_->Sequence.load(), sequence);
    EXPECT_EQ(PendingButtons(*pad_), 0u);
    EXPECT_EQ(FindInput(*pad_, kDesktop, 0x30)->LoadPending(), 512u);
    EXPECT_EQ(pad_->Hats[0].LoadPending(), 0u);
    EXPECT_EQ(pad_->Hats[0].Directions[0].LoadPending(), 0u);
}

// The size field at offset 24 comes from the system, not from the copy. A message whose
// field claims a whole report while only part of it was copied must not be decoded with
// whatever the reader's buffer still holds from an earlier, longer message.
TEST_F(JoystickReaderWin, SizeFieldClaimingMoreThanWasCopiedIsNeverReadPast) {
    ASSERT_EQ(StartReading(*stick_), kOk);
    ASSERT_TRUE(Deliver(*stick_, stickHandle_, Stick({{"buttons", 0x1FFFFFFF}, {"x", 2047}, {"hat", 100}})));
    Poll(*stick_);
    const uint32_t sequence = stick_->Sequence.load();

    // The new report releases every button and centres X, but only its first 3 bytes arrive.
    std::vector<uint8_t> bytes = Stick({});
    bytes.resize(3);
    ASSERT_TRUE(fake_.Post(RawInputBytes(stickHandle_, bytes, 64)));
    // And one whose size is beyond anything: cut to what arrived, never followed.
    ASSERT_TRUE(fake_.Post(RawInputBytes(stickHandle_, bytes, 0x7FFFFFF0)));
    // Sync on the other device so that both messages have been handled.
    ASSERT_EQ(StartReading(*pad_), kOk);
    ASSERT_TRUE(Deliver(*pad_, padHandle_, Pad({})));

    EXPECT_EQ(stick_->Sequence.load(), sequence);
    EXPECT_EQ(PendingButtons(*stick_), 0x1FFFFFFFu);
    EXPECT_EQ(FindInput(*stick_, kDesktop, 0x30)->LoadPending(), 1023u);
    EXPECT_EQ(stick_->Hats[0].LoadPending(), 100u);
}

// Three reports in one message need more than the reader's first buffer of 128 bytes; the
// buffer grows and the first report is decoded.
TEST_F(JoystickReaderWin, MessageLargerThanTheFirstBufferIsDecoded) {
    ASSERT_EQ(StartReading(*stick_), kOk);
    std::vector<uint8_t> reports = Stick({{"slider", 700}});
    for (int i = 0; i < 2; ++i) {
        const std::vector<uint8_t> later = Stick({{"slider", 10}});
        reports.insert(reports.end(), later.begin(), later.end());
    }
    const uint32_t sequence = stick_->Sequence.load();
    ASSERT_TRUE(fake_.Post(RawInputBytes(stickHandle_, reports, 64, 3)));
    ASSERT_TRUE(WaitFor([&] { return stick_->Sequence.load() != sequence; }));
    EXPECT_EQ(FindInput(*stick_, kDesktop, 0x36)->LoadPending(), 700u);
}

BOOL WINAPI FailingGetMessage(LPMSG, HWND, UINT, UINT) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
}

// A message retrieval that fails ends the thread rather than spinning on the failure. The
// device still counts as reading: starting another finds the thread gone and makes a new
// one; a stop completes, and the next start after it gets a working thread too.
TEST_F(JoystickReaderWin, ThreadEndedByAFailingMessageRetrievalIsReplacedByTheNextStart) {
    for (bool stopFirst : {false, true}) {
        SetReaderGetMessage(&FailingGetMessage);
        ASSERT_EQ(StartReading(*pad_), kOk);
        EXPECT_TRUE(WaitFor([] { return ReaderWindow() == nullptr; }));
        SetReaderGetMessage(nullptr);
        if (stopFirst) {
            StopReading(*pad_);
            EXPECT_FALSE(ReaderThreadRecorded());
            EXPECT_EQ(ReaderDeviceCount(), 0);
            ASSERT_EQ(StartReading(*pad_), kOk);
        } else {
            ASSERT_EQ(StartReading(*stick_), kOk);
            ASSERT_TRUE(Deliver(*stick_, stickHandle_, Stick({{"slider", 700}})));
            Poll(*stick_);
            EXPECT_EQ(ValueOf(*stick_, 0x36), 700u);
        }
        ASSERT_TRUE(Deliver(*pad_, padHandle_, Pad({{"buttons", 1u << (stopFirst ? 5 : 2)}})));
        EXPECT_EQ(PendingButtons(*pad_), 1u << (stopFirst ? 5 : 2));
        StopReading(*pad_);
        StopReading(*stick_);
    }
}

}  // namespace
