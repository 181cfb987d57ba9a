// Report descriptor of a flight-style joystick with a throttle: the FR-TEC Raptor Mach 2
// (Sanmos Group, vendor 0x11C0, product 0x5606). Source: the recorded descriptor in the Linux
// kernel's HID self-tests, tools/testing/selftests/hid/tests/test_gamepad.py
// (class TestRaptorMach2Joystick, 232 bytes).
//
// Input report 1, 64 bytes with the id. Every axis is a 16-bit field: X and Y (0-2047), Rx
// (0-1023), an unnamed usage 0 on page 0 (0-1023), Z and Rz (0-1023), Ry (0-2047) and the
// throttle as Slider (0-1023). Then 128 one-bit button fields that declare only usages 1-29,
// a 16-bit hat switch with logical range 0-239 and a null state, and 29 constant bytes.
// Wine's parser reports no capability for the page-0 field, so the device has seven axes.
#pragma once

#include <cstdint>

#include "HidParseHarness_win.h"

namespace flightstick {

constexpr uint16_t kVendorId = 0x11C0;
constexpr uint16_t kProductId = 0x5606;
constexpr uint8_t kReportId = 1;
constexpr uint16_t kInputLength = 64;

// clang-format off
inline constexpr uint8_t kDescriptor[] = {
    0x05, 0x01,                  // Usage Page (0x1)
    0x09, 0x04,                  // Usage (0x4)
    0xA1, 0x01,                  // Collection (Application)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x85, 0x01,                  //   Report ID (1)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x30,                  //   Usage (0x30)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x07,            //   Logical Maximum (2047)
    0x46, 0xFF, 0x07,            //   Physical Maximum (2047)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x31,                  //   Usage (0x31)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x07,            //   Logical Maximum (2047)
    0x46, 0xFF, 0x07,            //   Physical Maximum (2047)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x33,                  //   Usage (0x33)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x03,            //   Logical Maximum (1023)
    0x46, 0xFF, 0x03,            //   Physical Maximum (1023)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x00,                  //   Usage Page (0x0)
    0x09, 0x00,                  //   Usage (0x0)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x03,            //   Logical Maximum (1023)
    0x46, 0xFF, 0x03,            //   Physical Maximum (1023)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x32,                  //   Usage (0x32)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x03,            //   Logical Maximum (1023)
    0x46, 0xFF, 0x03,            //   Physical Maximum (1023)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x35,                  //   Usage (0x35)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x03,            //   Logical Maximum (1023)
    0x46, 0xFF, 0x03,            //   Physical Maximum (1023)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x34,                  //   Usage (0x34)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x07,            //   Logical Maximum (2047)
    0x46, 0xFF, 0x07,            //   Physical Maximum (2047)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x36,                  //   Usage (0x36)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x03,            //   Logical Maximum (1023)
    0x46, 0xFF, 0x03,            //   Physical Maximum (1023)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x09,                  //   Usage Page (0x9)
    0x19, 0x01,                  //   Usage Minimum (0x1)
    0x2A, 0x1D, 0x00,            //   Usage Maximum (0x1D)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x01,                  //   Logical Maximum (1)
    0x75, 0x01,                  //   Report Size (1)
    0x96, 0x80, 0x00,            //   Report Count (128)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x39,                  //   Usage (0x39)
    0x26, 0xEF, 0x00,            //   Logical Maximum (239)
    0x46, 0x68, 0x01,            //   Physical Maximum (360)
    0x65, 0x14,                  //   Unit (0x14)
    0x75, 0x10,                  //   Report Size (16)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x42,                  //   Input (Data,Var,Abs,Null)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x00,                  //   Usage (0x0)
    0x75, 0x08,                  //   Report Size (8)
    0x95, 0x1D,                  //   Report Count (29)
    0x81, 0x01,                  //   Input (Const,Arr,Abs)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xEF, 0x00,            //   Logical Maximum (239)
    0x85, 0x58,                  //   Report ID (88)
    0x26, 0xFF, 0x00,            //   Logical Maximum (255)
    0x46, 0xFF, 0x00,            //   Physical Maximum (255)
    0x75, 0x08,                  //   Report Size (8)
    0x95, 0x3F,                  //   Report Count (63)
    0x09, 0x00,                  //   Usage (0x0)
    0x91, 0x02,                  //   Output (Data,Var,Abs)
    0x85, 0x59,                  //   Report ID (89)
    0x75, 0x08,                  //   Report Size (8)
    0x95, 0x80,                  //   Report Count (128)
    0x09, 0x00,                  //   Usage (0x0)
    0xB1, 0x02,                  //   Feature (Data,Var,Abs)
    0xC0,                        // End Collection
};
// clang-format on

struct State {
    uint32_t buttons = 0;  // bit i is button i + 1, for buttons 1-29
    uint16_t hat = 240;    // 0-239 a direction, 240 (above the logical maximum) the null state
    uint16_t x = 1024, y = 1024, rx = 512, vendor = 512, z = 512, rz = 512, ry = 1024, slider = 0;
};

inline ReportBytes Report(const State& s) {
    ReportBytes r(kReportId, kInputLength);
    r.Set(0, 16, s.x).Set(16, 16, s.y).Set(32, 16, s.rx).Set(48, 16, s.vendor).Set(64, 16, s.z);
    r.Set(80, 16, s.rz).Set(96, 16, s.ry).Set(112, 16, s.slider).Set(128, 29, s.buttons).Set(256, 16, s.hat);
    return r;
}

}  // namespace flightstick
