// The SerialResponder thread: owns the open COM port for one run and answers the host.
#pragma once

#include <windows.h>

#include "board/BoardState.h"

// Thread entry. The parameter is a 16-byte process-heap block {board, port}, which the
// thread frees first; from then on the thread owns the port and closes it when it ends.
DWORD WINAPI SerialResponder(void* startBlock);

// Creates the responder thread for an open port. On success the thread owns the port and
// *thread receives its handle. On failure the port is still the caller's to close, the
// start block has been freed and the system's last error is set.
bool StartSerialResponder(BoardState* board, HANDLE port, HANDLE* thread);
