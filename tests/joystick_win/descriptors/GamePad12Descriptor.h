// Report descriptor of a 12-button game pad with an eight-way hat: the Amazon Luna
// controller over USB (vendor 0x0171, product 0x0419), game-pad interface. Source: the
// public dump "lunacontroller/luna_usb_hid_report_descriptor.txt" in the GitHub repository
// DJm00n/ControllersInfo (93 bytes).
//
// Input report 1, 10 bytes with the id: buttons 1-12 (bits 0-11), an 8-bit hat switch with
// logical range 0-7 and a null state (bits 16-23), then X, Y, Z, Rz, Rx, Ry, each 8 bits,
// logical 0-255. Its hat has a logical maximum of 7, so the catalogue treats it as a plain
// value and not as a direction hat.
#pragma once

#include <cstdint>

#include "HidParseHarness_win.h"

namespace gamepad12 {

constexpr uint16_t kVendorId = 0x0171;
constexpr uint16_t kProductId = 0x0419;
constexpr uint8_t kReportId = 1;
constexpr uint16_t kInputLength = 10;

// clang-format off
inline constexpr uint8_t kDescriptor[] = {
    0x05, 0x01,                  // Usage Page (0x1)
    0x09, 0x05,                  // Usage (0x5)
    0xA1, 0x01,                  // Collection (Application)
    0xA1, 0x00,                  //   Collection (Physical)
    0x85, 0x01,                  //     Report ID (1)
    0x05, 0x09,                  //     Usage Page (0x9)
    0x19, 0x01,                  //     Usage Minimum (0x1)
    0x29, 0x0C,                  //     Usage Maximum (0xC)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x25, 0x01,                  //     Logical Maximum (1)
    0x75, 0x01,                  //     Report Size (1)
    0x95, 0x0C,                  //     Report Count (12)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0x75, 0x01,                  //     Report Size (1)
    0x95, 0x04,                  //     Report Count (4)
    0x81, 0x01,                  //     Input (Const,Arr,Abs)
    0x05, 0x01,                  //     Usage Page (0x1)
    0x09, 0x39,                  //     Usage (0x39)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x25, 0x07,                  //     Logical Maximum (7)
    0x35, 0x00,                  //     Physical Minimum (0)
    0x46, 0x3B, 0x01,            //     Physical Maximum (315)
    0x65, 0x14,                  //     Unit (0x14)
    0x75, 0x08,                  //     Report Size (8)
    0x95, 0x01,                  //     Report Count (1)
    0x81, 0x42,                  //     Input (Data,Var,Abs,Null)
    0x65, 0x00,                  //     Unit (0x0)
    0x09, 0x30,                  //     Usage (0x30)
    0x09, 0x31,                  //     Usage (0x31)
    0x09, 0x32,                  //     Usage (0x32)
    0x09, 0x35,                  //     Usage (0x35)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x26, 0xFF, 0x00,            //     Logical Maximum (255)
    0x75, 0x08,                  //     Report Size (8)
    0x95, 0x04,                  //     Report Count (4)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0x05, 0x01,                  //     Usage Page (0x1)
    0x09, 0x33,                  //     Usage (0x33)
    0x09, 0x34,                  //     Usage (0x34)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x26, 0xFF, 0x00,            //     Logical Maximum (255)
    0x75, 0x08,                  //     Report Size (8)
    0x95, 0x02,                  //     Report Count (2)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0xC0,                        //   End Collection
    0xC0,                        // End Collection
};
// clang-format on

struct State {
    uint16_t buttons = 0;  // bit i is button i + 1
    uint8_t hat = 0xFF;    // 0-7 a direction, anything else the null state
    uint8_t x = 0x80, y = 0x80, z = 0x80, rz = 0x80, rx = 0, ry = 0;
};

inline ReportBytes Report(const State& s) {
    ReportBytes r(kReportId, kInputLength);
    r.Set(0, 12, s.buttons).Set(16, 8, s.hat).Set(24, 8, s.x).Set(32, 8, s.y).Set(40, 8, s.z);
    r.Set(48, 8, s.rz).Set(56, 8, s.rx).Set(64, 8, s.ry);
    return r;
}

}  // namespace gamepad12
