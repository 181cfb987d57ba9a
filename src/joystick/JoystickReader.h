// The input reader: one background thread receives the raw-input reports of every
// joystick, decodes those of the devices being read into their inputs, and a consumer
// polls each device for changes. Also the joystick subsystem's start-up and shutdown.
//
// Callers: the emulation start and stop (StartReading, StopReading), the association
// thread (Poll), the device's destructor (StopReading), the application entry
// (JoystickStartup, JoystickShutdown).
//
// The thread itself (its window and message loop) is platform code behind
// ReaderThreadFunctions: JoystickReader_win.cpp on Windows; native tests run a std::thread.
// Everything here, the lists and the life cycle, is portable.
//
// Locks, outermost first: a device's Lock, ReaderThreadLock, DeviceListLock. The reader
// thread takes only DeviceListLock, and only to find and reference a device.
#pragma once

#include <cstdint>

#include "core/Status.h"
#include "joystick/JoystickDevice.h"
#include "joystick/TicketLock.h"

// Guards the reader's device list and the HID library's holder count.
extern TicketLock DeviceListLock;
// Serialises adding and removing devices with starting and ending the reader thread.
extern TicketLock ReaderThreadLock;

// Starting and ending the reader thread. Both are called under ReaderThreadLock; Start
// also under DeviceListLock, so the thread must signal its start before it ever takes
// that lock.
struct ReaderThreadFunctions {
    // Starts the thread and waits for its start signal. Returns the thread's start result:
    // kOk, or the failure code, in which case no thread remains.
    HResult (*Start)();
    // Asks the running thread to end, waits for it (at most 20 s) and forgets it.
    void (*End)();
    // Whether the recorded thread still runs; null means it always does. A thread whose
    // message retrieval failed ends on its own, and the next start must replace it.
    bool (*Alive)();
};

// Portable half of JoystickStartup: zeroes the reader and the HID binding state, creates
// the empty ReaderList and records how the reader thread is started (null: it cannot be,
// and AddToReader fails with kNotImplemented). kOutOfMemory when the list cannot be had.
HResult ReaderStartup(const ReaderThreadFunctions* thread);
// Portable half of JoystickShutdown: clears the running flag, empties the ReaderList
// (devices keep their Reading flags), ends the thread, unloads the HID library and
// releases the list.
void ReaderShutdown();

// Windows: ReaderStartup with the Win32 thread, registration of "JoystickWndClass" and
// LoadInputNames(); JoystickShutdown ends all that. Defined in JoystickReader_win.cpp.
HResult JoystickStartup();
void JoystickShutdown();

// The reader thread runs while this is set; it ignores a quit request while it is.
bool ReaderRunning();

// Under the device's Lock: if not yet reading, advances Sequence, sets every Pending to its
// Value (so the next Poll reports nothing new) and adds the device to the reader. Returns
// kOk when the device reads (or already did), else the code of the failed start.
HResult StartReading(JoystickDevice& device);
// Under the device's Lock: if reading, clears Reading and removes the device from the reader.
void StopReading(JoystickDevice& device);

// Takes the reports that arrived since the last Poll: for every input (direction
// sub-inputs included) Changed = Value XOR Pending, Value = Pending. Returns the OR of all
// Changed, 0 at once (touching nothing) when no report arrived. Polling thread only.
uint32_t Poll(JoystickDevice& device);

// Appends the device to the ReaderList (once) and starts the reader thread when none is
// recorded; a failed start undoes the addition, so the next call tries a new thread.
HResult AddToReader(JoystickDevice& device);
// Removes the device; when the list empties and nobody watches, ends the reader thread.
void RemoveFromReader(JoystickDevice& device);

// Keeps the reader thread running while no device is read, so that its window hears
// joysticks come and go. kOk, or the code of a thread that could not start (nothing is
// watched then). StopWatching ends the thread once no device is read either.
HResult StartWatching();
void StopWatching();

// Reader thread: the system no longer lists the device with this raw handle. A device
// being read is marked gone and rested (RestDevice), and reports still queued for it are
// dropped until it is rebound. Returns whether such a device was read.
bool DeviceRemoved(void* rawHandle);
// A device gone: its buttons, eight-way hat and directions, and the d-pad values that act
// as buttons, go to rest and the change is counted, so that a run releases at once the
// keys and the board button they hold; its axes keep their positions, and with them the
// channels they drive.
void RestDevice(JoystickDevice& device);
// A removal that the reader thread cannot take (none runs, or its queue refused the
// request): DeviceRemoved here, but only while no reader thread is recorded, since a rest
// beside a decoding thread could be undone by the report it decodes. Returns whether the
// removal was done; when not, the caller tries again later.
bool RemoveWithoutReader(void* rawHandle);
// The device is listed again under rawHandle: its reports count again.
void RebindDevice(JoystickDevice& device, void* rawHandle);

// Scratch space of the reader thread, allocated when it starts: the button usage list
// (128 usages, grown once for a device with more buttons). Reader thread only.
class ReaderScratch {
  public:
    ReaderScratch() = default;
    ~ReaderScratch();
    ReaderScratch(const ReaderScratch&) = delete;
    ReaderScratch& operator=(const ReaderScratch&) = delete;

    HResult Allocate();
    // Grows the list to at least n usages; false (keeping the old list) when memory ran out.
    bool EnsureUsages(uint32_t n);
    uint16_t* Usages() const { return usages_; }
    uint32_t UsageCapacity() const { return usageCapacity_; }

  private:
    uint16_t* usages_ = nullptr;
    uint32_t usageCapacity_ = 0;
};

// Reader thread: hands one report of the device with this raw-input handle to the reader.
// A device that is not in the ReaderList is ignored. Decodes without holding a lock and
// advances the device's Sequence when the report touched an enabled input.
void DeliverReport(void* rawHandle, const uint8_t* report, uint32_t length, ReaderScratch& scratch);

// For tests and checks.
int32_t ReaderDeviceCount();
bool ReaderThreadRecorded();
