// The SerialResponder thread: owns the open COM port for one run and answers the host.
#pragma once

#include <windows.h>

#include "board/BoardState.h"
#include "board/ResponderLoop.h"
#include "board/SerialPort_win.h"

// Whom a responder serves and whom it tells: the board it answers from, the counters it
// alone writes (null: none), and the window that hears when the port stops working
// (portLostMessage with wParam the run's generation and lParam the failure's code; no
// window: nobody is told). The owner keeps it alive for as long as the thread may run.
struct ResponderOwner {
    BoardState* board;
    LineCounters* counters;
    HWND window;
    UINT portLostMessage;
};

// Thread entry. The parameter is a 16-byte process-heap block {owner, port}, which the
// thread frees first; from then on the thread owns the port and closes it when it ends.
DWORD WINAPI SerialResponder(void* startBlock);

// Creates the responder thread for an open port. On success the thread has taken the port
// over (port is left empty) and *thread holds the thread's handle. On failure port still
// holds the port, the start block has been freed and the system's last error is set.
bool StartSerialResponder(ResponderOwner* owner, ScopedPort& port, ScopedHandle* thread);
