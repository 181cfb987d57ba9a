// Real HID preparsed data without a device. The system's report-descriptor parser
// (hidparse.sys, loaded into the test process as an ordinary DLL) turns a real device's
// report descriptor into the same preparsed data the device would give, so the joystick
// tests can run hid.dll's own parsing calls on real descriptors and real report bytes.
// Used by every test in this folder and by the Windows benchmark.
#pragma once

#include <windows.h>
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

#include <cstddef>
#include <cstdint>
#include <vector>

// One top-level collection of a parsed descriptor.
struct ParsedCollection {
    USHORT usagePage = 0;
    USHORT usage = 0;
    // Bytes of one input report as hid.dll expects it, the leading report-id byte included
    // (that byte is 0 when the descriptor declares no report ids).
    USHORT inputLength = 0;
    // A copy of the parser's preparsed data, owned here so that no parser pool memory
    // outlives the parse call.
    std::vector<uint8_t> preparsed;

    PHIDP_PREPARSED_DATA Preparsed() { return reinterpret_cast<PHIDP_PREPARSED_DATA>(preparsed.data()); }
};

// Parses a report descriptor. Returns 0 on success, else the parser's status; on success
// `collections` holds one entry per top-level collection in descriptor order.
LONG ParseReportDescriptor(const uint8_t* descriptor, size_t length,
                           std::vector<ParsedCollection>* collections);

// Convenience for descriptors whose first top-level collection is the joystick or game pad.
// Fails the calling test (through the return value) when parsing is refused.
bool ParseFirstCollection(const uint8_t* descriptor, size_t length, ParsedCollection* out);

// Whether hidparse.sys could be loaded at all (false on a system that lacks it).
bool HidParserAvailable();

// Builds input-report bytes field by field. Bit offsets count from the first bit after the
// report-id byte, little-endian as HID lays fields out.
class ReportBytes {
  public:
    ReportBytes(uint8_t reportId, size_t lengthWithId) : bytes_(lengthWithId, 0) {
        if (!bytes_.empty())
            bytes_[0] = reportId;
    }
    ReportBytes& Set(unsigned bitOffset, unsigned bitCount, uint32_t value);
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    PCHAR Data() { return reinterpret_cast<PCHAR>(bytes_.data()); }
    ULONG Length() const { return static_cast<ULONG>(bytes_.size()); }

  private:
    std::vector<uint8_t> bytes_;
};
