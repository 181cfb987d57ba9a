// Report descriptor of a pad whose axes carry a signed logical limit and whose hat has a null
// state: the HID report descriptor that the system's XUSB driver presents for a wired Xbox 360
// controller (vendor 0x045E, product 0x028E, model X854237-001). Source: the public dump
// "xbox360/xusb_gamepad1_hid_report_descriptor.txt" in the GitHub repository
// DJm00n/ControllersInfo (129 bytes).
//
// No report ids: the input report is 15 bytes counting the leading 0 byte. X, Y, Rx and Ry
// are 16-bit fields whose logical maximum is written as the two-byte signed value 0xFFFF,
// that is -1, so the parser reports the range 0 to -1 and only the reduction to the field's
// 16 bits makes it 0-65535. Z and Rz are 8 bits (0-255). Ten buttons follow, then a 4-bit
// hat switch with logical range 1-8 and a null state (0 when centred).
#pragma once

#include <cstdint>

#include "HidParseHarness_win.h"

namespace signedpad {

constexpr uint16_t kVendorId = 0x045E;
constexpr uint16_t kProductId = 0x028E;
constexpr uint8_t kReportId = 0;
constexpr uint16_t kInputLength = 15;

// clang-format off
inline constexpr uint8_t kDescriptor[] = {
    0x05, 0x01,                  // Usage Page (0x1)
    0x09, 0x05,                  // Usage (0x5)
    0xA1, 0x01,                  // Collection (Application)
    0xA1, 0x00,                  //   Collection (Physical)
    0x09, 0x30,                  //     Usage (0x30)
    0x09, 0x31,                  //     Usage (0x31)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x26, 0xFF, 0xFF,            //     Logical Maximum (-1)
    0x35, 0x00,                  //     Physical Minimum (0)
    0x46, 0xFF, 0xFF,            //     Physical Maximum (-1)
    0x95, 0x02,                  //     Report Count (2)
    0x75, 0x10,                  //     Report Size (16)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0xC0,                        //   End Collection
    0xA1, 0x00,                  //   Collection (Physical)
    0x09, 0x33,                  //     Usage (0x33)
    0x09, 0x34,                  //     Usage (0x34)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x26, 0xFF, 0xFF,            //     Logical Maximum (-1)
    0x35, 0x00,                  //     Physical Minimum (0)
    0x46, 0xFF, 0xFF,            //     Physical Maximum (-1)
    0x95, 0x02,                  //     Report Count (2)
    0x75, 0x10,                  //     Report Size (16)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0xC0,                        //   End Collection
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x32,                  //   Usage (0x32)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x00,            //   Logical Maximum (255)
    0x95, 0x01,                  //   Report Count (1)
    0x75, 0x08,                  //   Report Size (8)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x35,                  //   Usage (0x35)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x00,            //   Logical Maximum (255)
    0x95, 0x01,                  //   Report Count (1)
    0x75, 0x08,                  //   Report Size (8)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x09,                  //   Usage Page (0x9)
    0x19, 0x01,                  //   Usage Minimum (0x1)
    0x29, 0x0A,                  //   Usage Maximum (0xA)
    0x95, 0x0A,                  //   Report Count (10)
    0x75, 0x01,                  //   Report Size (1)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x39,                  //   Usage (0x39)
    0x15, 0x01,                  //   Logical Minimum (1)
    0x25, 0x08,                  //   Logical Maximum (8)
    0x35, 0x00,                  //   Physical Minimum (0)
    0x46, 0x3B, 0x10,            //   Physical Maximum (4155)
    0x66, 0x0E, 0x00,            //   Unit (0xE)
    0x75, 0x04,                  //   Report Size (4)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x42,                  //   Input (Data,Var,Abs,Null)
    0x75, 0x02,                  //   Report Size (2)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x03,                  //   Input (Const,Var,Abs)
    0x75, 0x08,                  //   Report Size (8)
    0x95, 0x02,                  //   Report Count (2)
    0x81, 0x03,                  //   Input (Const,Var,Abs)
    0xC0,                        // End Collection
};
// clang-format on

struct State {
    uint16_t buttons = 0;  // bit i is button i + 1
    uint8_t hat = 0;       // 1-8 up, up-right, ... up-left; 0 centred
    uint16_t x = 0x8000, y = 0x8000, rx = 0x8000, ry = 0x8000;
    uint8_t z = 0, rz = 0;
};

inline ReportBytes Report(const State& s) {
    ReportBytes r(kReportId, kInputLength);
    r.Set(0, 16, s.x).Set(16, 16, s.y).Set(32, 16, s.rx).Set(48, 16, s.ry).Set(64, 8, s.z).Set(72, 8, s.rz);
    r.Set(80, 10, s.buttons).Set(90, 4, s.hat);
    return r;
}

}  // namespace signedpad
