// The Win32 reader thread: a hidden message-only window of class "JoystickWndClass" that
// receives WM_INPUT for every joystick and game pad (RIDEV_INPUTSINK, so reports arrive
// while another program has the focus), copies each report with GetRawInputData and
// hands it to the portable reader. Also the subsystem's start-up and shutdown.
//
// The thread handle and id are written only under ReaderThreadLock (Start and End are
// called with it held). The window handle is published for tests, which post WM_INPUT to it.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <utility>

#include "core/Handle_win.h"
#include "core/Heap.h"
#include "core/LastError_win.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "joystick/RawInput_win.h"
#include "joystick/ReportDecoder.h"

// The portable decoding reads the copied bytes at these offsets.
static_assert(sizeof(RAWINPUTHEADER) == kRawInputHeaderSize, "raw-input header");
static_assert(offsetof(RAWINPUTHEADER, hDevice) == kRawDeviceOffset, "device handle offset");
static_assert(offsetof(RAWINPUT, data.hid.dwSizeHid) == kRawHidSizeOffset, "report size offset");
static_assert(offsetof(RAWINPUT, data.hid.dwCount) == kRawHidCountOffset, "report count offset");
static_assert(offsetof(RAWINPUT, data.hid.bRawData) == kRawHidDataOffset, "report data offset");
static_assert(sizeof(WNDCLASSEXW) == 80, "window class record");

namespace {

const wchar_t kWindowClass[] = L"JoystickWndClass";
constexpr DWORD kEndTimeoutMs = 20000;
constexpr uint32_t kInitialReportCapacity = 128;

std::atomic<HWND> gWindow{nullptr};
// Whom the reader tells of joysticks that come and go, and with which message.
std::atomic<HWND> gNotifyWindow{nullptr};
std::atomic<UINT> gNotifyMessage{0};
// Asks the reader thread to treat a device as gone: the main window's re-listing, where
// the system sends no device notifications of its own.
constexpr UINT kRemoveDeviceMessage = WM_APP + 1;
std::atomic<decltype(&::GetMessageW)> gGetMessage{&::GetMessageW};
ScopedHandle gThread;
DWORD gThreadId = 0;

// The start record lives on the starting thread's stack until the event is signalled.
struct StartRecord {
    HANDLE Event;
    HResult Result;
};

bool Register(HWND window) {
    // Reports while another program has the focus, and the arrival and removal of devices.
    RAWINPUTDEVICE devices[2] = {
        {1, 5, RIDEV_INPUTSINK | RIDEV_DEVNOTIFY, window},  // game pad
        {1, 4, RIDEV_INPUTSINK | RIDEV_DEVNOTIFY, window},  // joystick
    };
    return RawInput().RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE)) != FALSE;
}

void Unregister() {
    RAWINPUTDEVICE devices[2] = {
        {1, 5, RIDEV_REMOVE, nullptr},
        {1, 4, RIDEV_REMOVE, nullptr},
    };
    RawInput().RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE));
}

// The report buffer: grown to whatever a report needs, never shrunk. Reader thread only.
class ReportBuffer {
  public:
    ~ReportBuffer() { HeapRelease(data_); }
    bool Grow(uint32_t size) { return GrowDiscarding(data_, capacity_, size); }
    uint8_t* Data() const { return data_; }
    uint32_t Capacity() const { return capacity_; }

  private:
    uint8_t* data_ = nullptr;
    uint32_t capacity_ = 0;
};

void HandleInput(HRAWINPUT input, ReportBuffer& buffer, ReaderScratch& scratch) {
    const RawInputFunctions& raw = RawInput();
    const UINT header = sizeof(RAWINPUTHEADER);
    UINT size = buffer.Capacity();
    UINT copied = raw.GetRawInputData(input, RID_INPUT, buffer.Data(), &size, header);
    if (copied == static_cast<UINT>(-1) || copied == 0) {
        UINT needed = 0;
        if (raw.GetRawInputData(input, RID_INPUT, nullptr, &needed, header) == static_cast<UINT>(-1))
            return;
        if (needed > buffer.Capacity() && !buffer.Grow(needed))
            return;
        size = buffer.Capacity();
        copied = raw.GetRawInputData(input, RID_INPUT, buffer.Data(), &size, header);
        if (copied == static_cast<UINT>(-1) || copied == 0)
            return;
    }
    // The count comes from the system (or a substitute); never believe more than the buffer.
    if (copied > buffer.Capacity())
        copied = buffer.Capacity();
    RawReport report;
    if (!FindFirstReport(buffer.Data(), copied, &report))
        return;
    DeliverReport(report.Device, report.Report, report.Length, scratch);
}

// A device came or went: a device being read that went is rested first, so that no report
// decoded after the rest can press its keys again; then the window hears of it and updates
// its list. Runs on the thread that decodes the reports, or on the caller's when none does.
void Tell(bool removed, void* device) {
    HWND window = gNotifyWindow.load(std::memory_order_acquire);
    if (window != nullptr)
        PostMessageW(window, gNotifyMessage.load(std::memory_order_relaxed),
                     removed ? GIDC_REMOVAL : GIDC_ARRIVAL, reinterpret_cast<LPARAM>(device));
}

void RestAndTell(bool removed, void* device) {
    if (removed)
        DeviceRemoved(device);
    Tell(removed, device);
}

void HandleDeviceChange(const MSG& message) {
    RestAndTell(message.message == kRemoveDeviceMessage || message.wParam == GIDC_REMOVAL,
                reinterpret_cast<void*>(message.lParam));
}

void MessageLoop(ReportBuffer& buffer, ReaderScratch& scratch) {
    MSG message;
    for (;;) {
        const BOOL got = gGetMessage.load(std::memory_order_relaxed)(&message, nullptr, 0, 0);
        // -1: the retrieval itself failed, which retrying would only repeat. The thread
        // ends; the devices simply receive no more reports, and the stop (a WM_QUIT to a
        // thread that has ended, then the wait on its handle) still completes at once.
        if (got == -1)
            break;
        if (got == 0) {
            // WM_QUIT counts only when the reader was asked to end.
            if (!ReaderRunning())
                break;
            continue;
        }
        if (message.message == WM_INPUT)
            HandleInput(reinterpret_cast<HRAWINPUT>(message.lParam), buffer, scratch);
        else if (message.message == WM_INPUT_DEVICE_CHANGE || message.message == kRemoveDeviceMessage)
            HandleDeviceChange(message);
        // Not dispatched: the window's procedure is the default one anyway. WM_INPUT needs
        // it for the system's clean-up.
        if (message.hwnd != nullptr)
            DefWindowProcW(message.hwnd, message.message, message.wParam, message.lParam);
    }
}

DWORD WINAPI ReaderThreadMain(void* parameter) {
    auto* start = static_cast<StartRecord*>(parameter);
    HResult code = kOk;
    HWND window =
        CreateWindowExW(0, kWindowClass, nullptr, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                        HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) {
        code = LastErrorCode();
    } else if (!Register(window)) {
        code = LastErrorCode();
    }
    // Both buffers are had before the start is confirmed, so that decoding never
    // allocates and a lack of memory is reported as a failed start.
    ReportBuffer buffer;
    ReaderScratch scratch;
    if (!Failed(code) && (!buffer.Grow(kInitialReportCapacity) || Failed(scratch.Allocate()))) {
        Unregister();
        code = kOutOfMemory;
    }
    if (Failed(code)) {
        if (window != nullptr)
            DestroyWindow(window);
        start->Result = code;
        SetEvent(start->Event);
        return 0;
    }
    gWindow.store(window, std::memory_order_release);
    start->Result = kOk;
    SetEvent(start->Event);  // the record must not be touched after this

    MessageLoop(buffer, scratch);

    Unregister();
    gWindow.store(nullptr, std::memory_order_release);
    DestroyWindow(window);
    return 0;
}

HResult StartThread() {
    const ScopedHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!started)
        return LastErrorCode();
    StartRecord record = {started.Get(), kOk};
    DWORD id = 0;
    ScopedHandle thread(CreateThread(nullptr, 0, ReaderThreadMain, &record, 0, &id));
    if (!thread)
        return LastErrorCode();
    // Waiting on the thread too: a thread that ended without signalling would otherwise
    // leave the caller waiting for ever.
    HANDLE waits[2] = {started.Get(), thread.Get()};
    const DWORD which = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    const HResult code = which == WAIT_OBJECT_0 ? record.Result : kUnspecifiedFailure;
    if (Failed(code)) {
        // The thread ends right after reporting; nothing of it may linger.
        WaitForSingleObject(thread.Get(), kEndTimeoutMs);
        return code;
    }
    gThread = std::move(thread);
    gThreadId = id;
    return code;
}

void EndThread() {
    if (gThread) {
        PostThreadMessageW(gThreadId, WM_QUIT, 0, 0);
        // After 20 s the handle is closed all the same; the thread is never killed.
        WaitForSingleObject(gThread.Get(), kEndTimeoutMs);
    }
    gThread.Reset();
    gThreadId = 0;
}

// The window is cleared as soon as the message loop has ended, so a thread on its way out
// counts as ended too; its End then waits the moment it still needs.
bool ThreadAlive() {
    return gThread && gWindow.load(std::memory_order_acquire) != nullptr &&
           WaitForSingleObject(gThread.Get(), 0) == WAIT_TIMEOUT;
}

const ReaderThreadFunctions kWin32ReaderThread = {StartThread, EndThread, ThreadAlive};

}  // namespace

HWND ReaderWindow() {
    return gWindow.load(std::memory_order_acquire);
}

void SetJoystickNotify(HWND window, UINT message) {
    gNotifyMessage.store(message, std::memory_order_relaxed);
    gNotifyWindow.store(window, std::memory_order_release);
}

bool PostDeviceRemoval(void* rawHandle) {
    HWND reader = ReaderWindow();
    if (reader != nullptr &&
        PostMessageW(reader, kRemoveDeviceMessage, 0, reinterpret_cast<LPARAM>(rawHandle)))
        return true;
    // Rested here only when no reader thread decodes reports meanwhile; a full queue of a
    // running reader leaves the pad to the next re-listing.
    if (!RemoveWithoutReader(rawHandle))
        return false;
    Tell(true, rawHandle);
    return true;
}

void SetReaderGetMessage(decltype(&::GetMessageW) getMessage) {
    gGetMessage.store(getMessage != nullptr ? getMessage : &::GetMessageW, std::memory_order_relaxed);
}

HResult JoystickStartup() {
    HResult code = ReaderStartup(&kWin32ReaderThread);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    // A class left registered by an earlier start in the same process serves as well.
    if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS &&
        !Failed(code)) {
        code = LastErrorCode();
    }
    LoadInputNames();
    return code;
}

void JoystickShutdown() {
    ReaderShutdown();
    UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
    ReleaseInputNames();
}
