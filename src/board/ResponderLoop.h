// The serial responder's loop, free of platform calls: it reads the host's bytes one at a
// time and answers each poll byte with the 18-byte reply. The Windows thread wraps a COM
// handle in a SerialIo; tests drive the same loop with scripted ports.
#pragma once

#include <cstdint>

#include "board/BoardState.h"

class SerialIo {
  public:
    virtual ~SerialIo() = default;
    // Reads at most one byte. Returns false when the read failed; a read that timed out
    // with nothing returns true with count 0.
    virtual bool ReadByte(uint8_t* byte, uint32_t* count) = 0;
    virtual bool Write(const uint8_t* data, uint32_t length) = 0;
    // Clears a line error so that further reads and writes can succeed.
    virtual void ClearError() = 0;
};

// Runs until generation differs from the value read on entry, or running is 0 after a
// read. Returns at once, without reading, when running is already 0. Allocates its reply
// buffer once and nothing inside the loop. Returns false only when the buffer could not
// be had.
bool RunResponder(const BoardState& board, SerialIo& io);
