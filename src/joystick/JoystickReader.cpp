// The reader's lists and life cycle, Poll, and the per-report work of the reader thread.
//
// Shared state and who touches it:
// - ReaderList: under DeviceListLock. Changed by AddToReader and RemoveFromReader (user-
//   interface thread) and by start-up and shutdown; searched by the reader thread.
// - gThreadRecorded, gThread: under ReaderThreadLock (and written by start-up and
//   shutdown, which run alone).
// - gRunning: atomic; set by AddToReader before a thread starts, cleared before one is
//   asked to end; read by the reader thread when a quit request arrives.
#include "joystick/JoystickReader.h"

#include <atomic>
#include <new>

#include "core/Heap.h"
#include "core/ObjectList.h"
#include "joystick/HidFunctions.h"
#include "joystick/ReportDecoder.h"

TicketLock DeviceListLock;
TicketLock ReaderThreadLock;

namespace {

constexpr uint32_t kInitialUsageCapacity = 128;

ObjectList* ReaderList = nullptr;
const ReaderThreadFunctions* gThread = nullptr;
bool gThreadRecorded = false;
bool gWatching = false;  // under ReaderThreadLock
std::atomic<bool> gRunning{false};

// Asks the recorded thread to end; the caller holds ReaderThreadLock and not
// DeviceListLock, which the ending thread may still need for a report in flight.
void EndThreadLocked() {
    gRunning.store(false, std::memory_order_relaxed);
    if (gThreadRecorded) {
        if (gThread != nullptr)
            gThread->End();
        gThreadRecorded = false;
    }
}

// Starts the reader thread unless a live one is recorded; the caller holds both locks.
HResult EnsureThreadLocked() {
    if (gThreadRecorded) {
        if (gThread == nullptr || gThread->Alive == nullptr || gThread->Alive())
            return kOk;
        // The thread ended on its own: forget it (its wait returns at once) and start anew.
        gThread->End();
        gThreadRecorded = false;
    }
    gRunning.store(true, std::memory_order_relaxed);
    // The thread signals its start before it ever takes DeviceListLock, so waiting here
    // with both locks held cannot deadlock.
    const HResult code = gThread != nullptr ? gThread->Start() : kNotImplemented;
    if (Failed(code)) {
        gRunning.store(false, std::memory_order_relaxed);
        return code;
    }
    gThreadRecorded = true;
    return code;
}

uint32_t TakePending(JoystickInput& input) {
    const uint32_t pending = input.LoadPending();
    input.Changed = input.LoadValue() ^ pending;
    input.StoreValue(pending);
    return input.Changed;
}

}  // namespace

HResult ReaderStartup(const ReaderThreadFunctions* thread) {
    ResetHid();
    gRunning.store(false, std::memory_order_relaxed);
    gThreadRecorded = false;
    gWatching = false;
    gThread = thread;
    SafeRelease(ReaderList);
    ReaderList = new (std::nothrow) ObjectList;
    return ReaderList != nullptr ? kOk : kOutOfMemory;
}

void ReaderShutdown() {
    gRunning.store(false, std::memory_order_relaxed);
    ObjectList* list = nullptr;
    {
        // Taking the list away first means the reader thread finds no device from now on.
        TicketGuard listGuard(DeviceListLock);
        list = ReaderList;
        ReaderList = nullptr;
    }
    {
        TicketGuard threadGuard(ReaderThreadLock);
        EndThreadLocked();
    }
    UnloadHid();
    // The list's references go outside every lock: should one be the last (a device its
    // owner released without stopping it), its destructor takes DeviceListLock.
    SafeRelease(list);
}

bool ReaderRunning() {
    return gRunning.load(std::memory_order_relaxed);
}

HResult AddToReader(JoystickDevice& device) {
    TicketGuard threadGuard(ReaderThreadLock);
    TicketGuard listGuard(DeviceListLock);
    if (ReaderList == nullptr)
        return kNotImplemented;
    if (ReaderList->IndexOf(&device) >= 0)
        return kOk;
    if (Failed(ReaderList->Append(&device)))
        return kOutOfMemory;
    const HResult code = EnsureThreadLocked();
    // The caller holds its own reference, so this one is never the last.
    if (Failed(code))
        ReaderList->Remove(&device);
    return code;
}

HResult StartWatching() {
    TicketGuard threadGuard(ReaderThreadLock);
    TicketGuard listGuard(DeviceListLock);
    if (ReaderList == nullptr)
        return kNotImplemented;
    const HResult code = EnsureThreadLocked();
    gWatching = !Failed(code);
    return code;
}

void StopWatching() {
    TicketGuard threadGuard(ReaderThreadLock);
    gWatching = false;
    bool empty = true;
    {
        TicketGuard listGuard(DeviceListLock);
        empty = ReaderList == nullptr || ReaderList->Count() == 0;
    }
    if (empty)
        EndThreadLocked();
}

void RemoveFromReader(JoystickDevice& device) {
    TicketGuard threadGuard(ReaderThreadLock);
    bool empty = true;
    {
        TicketGuard listGuard(DeviceListLock);
        if (ReaderList != nullptr) {
            // Never the last reference: the caller holds one, or the device is being
            // destroyed, whose count is already 0 so the release does nothing.
            ReaderList->Remove(&device);
            empty = ReaderList->Count() == 0;
        }
    }
    if (empty && !gWatching)
        EndThreadLocked();
}

HResult StartReading(JoystickDevice& device) {
    TicketGuard deviceGuard(device.Lock);
    if (device.Reading != 0)
        return kOk;
    device.Sequence.fetch_add(1, std::memory_order_release);
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        JoystickInput& input = device.Inputs()[i];
        input.StorePending(input.LoadValue());
        if (input.Directions != nullptr) {
            for (int d = 0; d < kDirectionCount; ++d)
                input.Directions[d].StorePending(input.Directions[d].LoadValue());
        }
    }
    const HResult code = AddToReader(device);
    if (!Failed(code))
        device.Reading = 1;
    return code;
}

void StopReading(JoystickDevice& device) {
    TicketGuard deviceGuard(device.Lock);
    if (device.Reading == 0)
        return;
    device.Reading = 0;
    RemoveFromReader(device);
}

uint32_t Poll(JoystickDevice& device) {
    // Acquire pairs with the reader's release increment: the Pending values stored for a
    // report are visible once its increment is. A value stored for a later report may be
    // taken early; the next Poll then finds it unchanged, so nothing is reported twice.
    const uint32_t sequence = device.Sequence.load(std::memory_order_acquire);
    if (sequence == device.SeenSequence)
        return 0;
    device.SeenSequence = sequence;
    uint32_t changed = 0;
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        JoystickInput& input = device.Inputs()[i];
        changed |= TakePending(input);
        if (input.Directions != nullptr) {
            for (int d = 0; d < kDirectionCount; ++d)
                changed |= TakePending(input.Directions[d]);
        }
    }
    return changed;
}

ReaderScratch::~ReaderScratch() {
    HeapRelease(usages_);
}

HResult ReaderScratch::Allocate() {
    return EnsureUsages(kInitialUsageCapacity) ? kOk : kOutOfMemory;
}

bool ReaderScratch::EnsureUsages(uint32_t n) {
    return GrowDiscarding(usages_, usageCapacity_, n);
}

namespace {

// The connected device of the ReaderList with this raw handle, with a reference the caller
// drops outside every lock, or null. A device gone keeps its handle until it is rebound,
// and reports still queued for it must not undo its rest.
JoystickDevice* TakeReadDevice(void* rawHandle) {
    TicketGuard listGuard(DeviceListLock);
    for (int32_t i = ReaderList != nullptr ? ReaderList->Count() - 1 : -1; i >= 0; --i) {
        auto* candidate = static_cast<JoystickDevice*>(ReaderList->At(i));
        if (candidate->RawHandle == rawHandle && candidate->Connected.load(std::memory_order_relaxed) != 0) {
            candidate->AddRef();
            return candidate;
        }
    }
    return nullptr;
}

}  // namespace

void DeliverReport(void* rawHandle, const uint8_t* report, uint32_t length, ReaderScratch& scratch) {
    JoystickDevice* device = TakeReadDevice(rawHandle);
    if (device == nullptr)
        return;
    // Only a device with more than 128 buttons grows the list, once. When that fails the
    // smaller list is used: a report with more buttons down than it holds is then refused
    // by the parser and the buttons keep their values.
    if (device->ButtonCount > 0)
        scratch.EnsureUsages(static_cast<uint32_t>(device->ButtonCount));
    const uint32_t touched = DecodeReport(*device, report, length, scratch.Usages(), scratch.UsageCapacity());
    if (touched != 0)
        device->Sequence.fetch_add(1, std::memory_order_release);
    // Possibly the last reference, if the device was stopped and released meanwhile; no
    // lock is held here, so its destructor may take what it needs.
    device->Release();
}

bool DeviceRemoved(void* rawHandle) {
    JoystickDevice* device = TakeReadDevice(rawHandle);
    if (device == nullptr)
        return false;
    device->Connected.store(0, std::memory_order_relaxed);
    RestDevice(*device);
    device->Release();  // outside every lock, as in DeliverReport
    return true;
}

bool RemoveWithoutReader(void* rawHandle) {
    // Holding ReaderThreadLock keeps a thread from starting until the rest is done.
    TicketGuard threadGuard(ReaderThreadLock);
    if (gThreadRecorded && (gThread == nullptr || gThread->Alive == nullptr || gThread->Alive()))
        return false;
    DeviceRemoved(rawHandle);
    return true;
}

void RestDevice(JoystickDevice& device) {
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        JoystickInput& input = device.Inputs()[i];
        // Axes, and a second hat that delivers its raw value, drive channels: they stay.
        if (input.IsAnalog() && input.Directions == nullptr)
            continue;
        input.StorePending(0);
        if (input.Directions != nullptr) {
            for (int d = 0; d < kDirectionCount; ++d)
                input.Directions[d].StorePending(0);
        }
    }
    device.Sequence.fetch_add(1, std::memory_order_release);
}

void RebindDevice(JoystickDevice& device, void* rawHandle) {
    TicketGuard listGuard(DeviceListLock);
    device.RawHandle = rawHandle;
    device.Connected.store(1, std::memory_order_relaxed);
}

int32_t ReaderDeviceCount() {
    TicketGuard listGuard(DeviceListLock);
    return ReaderList != nullptr ? ReaderList->Count() : 0;
}

bool ReaderThreadRecorded() {
    TicketGuard threadGuard(ReaderThreadLock);
    return gThreadRecorded;
}
