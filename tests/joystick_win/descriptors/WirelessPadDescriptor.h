// Report descriptor of a wireless pad with several input reports: the Xbox One S controller
// (model 1708) over Bluetooth (vendor 0x045E, product 0x02FD). Source: the public dump
// "xboxone/xboxone_model_1708_bluetooth_hid_report_descriptor.txt" in the GitHub repository
// DJm00n/ControllersInfo (334 bytes).
//
// Input report 1 (17 bytes with the id): X, Y, Z, Rz as 16 bits (0-65535), Brake and
// Accelerator on the simulation page as 10-bit fields (0-1023), a 4-bit hat switch 1-8 with a
// null state, buttons 1-15 and one consumer-page button (AC Back). Input report 2 carries the
// consumer AC Home button, report 4 the battery strength (generic device page, 8 bits).
#pragma once

#include <cstdint>

#include "HidParseHarness_win.h"

namespace wirelesspad {

constexpr uint16_t kVendorId = 0x045E;
constexpr uint16_t kProductId = 0x02FD;
constexpr uint8_t kReportId = 1;
constexpr uint8_t kBatteryReportId = 4;
constexpr uint16_t kInputLength = 17;

// clang-format off
inline constexpr uint8_t kDescriptor[] = {
    0x05, 0x01,                  // Usage Page (0x1)
    0x09, 0x05,                  // Usage (0x5)
    0xA1, 0x01,                  // Collection (Application)
    0x85, 0x01,                  //   Report ID (1)
    0x09, 0x01,                  //   Usage (0x1)
    0xA1, 0x00,                  //   Collection (Physical)
    0x09, 0x30,                  //     Usage (0x30)
    0x09, 0x31,                  //     Usage (0x31)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x27, 0xFF, 0xFF, 0x00, 0x00, //     Logical Maximum (65535)
    0x95, 0x02,                  //     Report Count (2)
    0x75, 0x10,                  //     Report Size (16)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0xC0,                        //   End Collection
    0x09, 0x01,                  //   Usage (0x1)
    0xA1, 0x00,                  //   Collection (Physical)
    0x09, 0x32,                  //     Usage (0x32)
    0x09, 0x35,                  //     Usage (0x35)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x27, 0xFF, 0xFF, 0x00, 0x00, //     Logical Maximum (65535)
    0x95, 0x02,                  //     Report Count (2)
    0x75, 0x10,                  //     Report Size (16)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0xC0,                        //   End Collection
    0x05, 0x02,                  //   Usage Page (0x2)
    0x09, 0xC5,                  //   Usage (0xC5)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x03,            //   Logical Maximum (1023)
    0x95, 0x01,                  //   Report Count (1)
    0x75, 0x0A,                  //   Report Size (10)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x00,                  //   Logical Maximum (0)
    0x75, 0x06,                  //   Report Size (6)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x03,                  //   Input (Const,Var,Abs)
    0x05, 0x02,                  //   Usage Page (0x2)
    0x09, 0xC4,                  //   Usage (0xC4)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x03,            //   Logical Maximum (1023)
    0x95, 0x01,                  //   Report Count (1)
    0x75, 0x0A,                  //   Report Size (10)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x00,                  //   Logical Maximum (0)
    0x75, 0x06,                  //   Report Size (6)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x03,                  //   Input (Const,Var,Abs)
    0x05, 0x01,                  //   Usage Page (0x1)
    0x09, 0x39,                  //   Usage (0x39)
    0x15, 0x01,                  //   Logical Minimum (1)
    0x25, 0x08,                  //   Logical Maximum (8)
    0x35, 0x00,                  //   Physical Minimum (0)
    0x46, 0x3B, 0x01,            //   Physical Maximum (315)
    0x66, 0x14, 0x00,            //   Unit (0x14)
    0x75, 0x04,                  //   Report Size (4)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x42,                  //   Input (Data,Var,Abs,Null)
    0x75, 0x04,                  //   Report Size (4)
    0x95, 0x01,                  //   Report Count (1)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x00,                  //   Logical Maximum (0)
    0x35, 0x00,                  //   Physical Minimum (0)
    0x45, 0x00,                  //   Physical Maximum (0)
    0x65, 0x00,                  //   Unit (0x0)
    0x81, 0x03,                  //   Input (Const,Var,Abs)
    0x05, 0x09,                  //   Usage Page (0x9)
    0x19, 0x01,                  //   Usage Minimum (0x1)
    0x29, 0x0F,                  //   Usage Maximum (0xF)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x01,                  //   Logical Maximum (1)
    0x75, 0x01,                  //   Report Size (1)
    0x95, 0x0F,                  //   Report Count (15)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x00,                  //   Logical Maximum (0)
    0x75, 0x01,                  //   Report Size (1)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x03,                  //   Input (Const,Var,Abs)
    0x05, 0x0C,                  //   Usage Page (0xC)
    0x0A, 0x24, 0x02,            //   Usage (0x224)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x01,                  //   Logical Maximum (1)
    0x95, 0x01,                  //   Report Count (1)
    0x75, 0x01,                  //   Report Size (1)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x25, 0x00,                  //   Logical Maximum (0)
    0x75, 0x07,                  //   Report Size (7)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x03,                  //   Input (Const,Var,Abs)
    0x05, 0x0C,                  //   Usage Page (0xC)
    0x09, 0x01,                  //   Usage (0x1)
    0x85, 0x02,                  //   Report ID (2)
    0xA1, 0x01,                  //   Collection (Application)
    0x05, 0x0C,                  //     Usage Page (0xC)
    0x0A, 0x23, 0x02,            //     Usage (0x223)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x25, 0x01,                  //     Logical Maximum (1)
    0x95, 0x01,                  //     Report Count (1)
    0x75, 0x01,                  //     Report Size (1)
    0x81, 0x02,                  //     Input (Data,Var,Abs)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x25, 0x00,                  //     Logical Maximum (0)
    0x75, 0x07,                  //     Report Size (7)
    0x95, 0x01,                  //     Report Count (1)
    0x81, 0x03,                  //     Input (Const,Var,Abs)
    0xC0,                        //   End Collection
    0x05, 0x0F,                  //   Usage Page (0xF)
    0x09, 0x21,                  //   Usage (0x21)
    0x85, 0x03,                  //   Report ID (3)
    0xA1, 0x02,                  //   Collection (Logical)
    0x09, 0x97,                  //     Usage (0x97)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x25, 0x01,                  //     Logical Maximum (1)
    0x75, 0x04,                  //     Report Size (4)
    0x95, 0x01,                  //     Report Count (1)
    0x91, 0x02,                  //     Output (Data,Var,Abs)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x25, 0x00,                  //     Logical Maximum (0)
    0x75, 0x04,                  //     Report Size (4)
    0x95, 0x01,                  //     Report Count (1)
    0x91, 0x03,                  //     Output (Const,Var,Abs)
    0x09, 0x70,                  //     Usage (0x70)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x25, 0x64,                  //     Logical Maximum (100)
    0x75, 0x08,                  //     Report Size (8)
    0x95, 0x04,                  //     Report Count (4)
    0x91, 0x02,                  //     Output (Data,Var,Abs)
    0x09, 0x50,                  //     Usage (0x50)
    0x66, 0x01, 0x10,            //     Unit (0x1001)
    0x55, 0x0E,                  //     Unit Exponent (14)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x26, 0xFF, 0x00,            //     Logical Maximum (255)
    0x75, 0x08,                  //     Report Size (8)
    0x95, 0x01,                  //     Report Count (1)
    0x91, 0x02,                  //     Output (Data,Var,Abs)
    0x09, 0xA7,                  //     Usage (0xA7)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x26, 0xFF, 0x00,            //     Logical Maximum (255)
    0x75, 0x08,                  //     Report Size (8)
    0x95, 0x01,                  //     Report Count (1)
    0x91, 0x02,                  //     Output (Data,Var,Abs)
    0x65, 0x00,                  //     Unit (0x0)
    0x55, 0x00,                  //     Unit Exponent (0)
    0x09, 0x7C,                  //     Usage (0x7C)
    0x15, 0x00,                  //     Logical Minimum (0)
    0x26, 0xFF, 0x00,            //     Logical Maximum (255)
    0x75, 0x08,                  //     Report Size (8)
    0x95, 0x01,                  //     Report Count (1)
    0x91, 0x02,                  //     Output (Data,Var,Abs)
    0xC0,                        //   End Collection
    0x05, 0x06,                  //   Usage Page (0x6)
    0x09, 0x20,                  //   Usage (0x20)
    0x85, 0x04,                  //   Report ID (4)
    0x15, 0x00,                  //   Logical Minimum (0)
    0x26, 0xFF, 0x00,            //   Logical Maximum (255)
    0x75, 0x08,                  //   Report Size (8)
    0x95, 0x01,                  //   Report Count (1)
    0x81, 0x02,                  //   Input (Data,Var,Abs)
    0xC0,                        // End Collection
};
// clang-format on

struct State {
    uint16_t buttons = 0;  // bit i is button i + 1, buttons 1-15
    uint8_t hat = 0;       // 1-8 a direction, 0 centred
    uint16_t x = 0x8000, y = 0x8000, z = 0x8000, rz = 0x8000;
    uint16_t brake = 0, accelerator = 0;
    bool back = false;
};

inline ReportBytes Report(const State& s) {
    ReportBytes r(kReportId, kInputLength);
    r.Set(0, 16, s.x).Set(16, 16, s.y).Set(32, 16, s.z).Set(48, 16, s.rz).Set(64, 10, s.brake);
    r.Set(80, 10, s.accelerator).Set(96, 4, s.hat).Set(104, 15, s.buttons).Set(120, 1, s.back ? 1 : 0);
    return r;
}

// The battery report is as long as the longest input report, as hid.dll expects.
inline ReportBytes BatteryReport(uint8_t strength) {
    ReportBytes r(kBatteryReportId, kInputLength);
    r.Set(0, 8, strength);
    return r;
}

}  // namespace wirelesspad
