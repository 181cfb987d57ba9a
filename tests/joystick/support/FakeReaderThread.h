// A std::thread standing in for the Windows reader thread in the native tests. It does
// what the Win32 thread does with each WM_INPUT: it takes the raw-input bytes (held in a
// heap block of exactly the copied size), finds the first report and delivers it. Tests
// queue raw-input blobs with Post, and wait for them with WaitIdle. Starts can be made to
// fail to test the undoing of a failed start.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Status.h"
#include "joystick/JoystickReader.h"

namespace FakeReaderThread {

const ReaderThreadFunctions* Functions();

// Clears the counters and the injected failure. No thread may be running.
void Reset();
// The next start reports this code (and its thread ends at once).
void FailNextStart(HResult code);

int Starts();    // threads that signalled success
int Ends();      // threads asked to end and joined
bool Running();  // a thread is alive

// Queues raw-input bytes for the reader thread; false when no thread runs.
bool Post(const std::vector<uint8_t>& raw);
// Waits until every queued blob has been handled (at most 10 s); false on time-out.
bool WaitIdle();

}  // namespace FakeReaderThread
