// The platform's HID parsing library: hid.dll, loaded by name in the system's search order.
// Also checks that the portable mirrors in HidTypes.h have the layout of <hidpi.h>.
#include <windows.h>
#include <winternl.h>  // NTSTATUS, which <hidpi.h> uses without declaring

extern "C" {
#include <hidsdi.h>  // brings <hidusage.h> and <hidpi.h> in the order they need
}

#include <cstddef>
#include <type_traits>

#include "joystick/HidFunctions.h"

namespace {

void* LoadHid(const char16_t* name) {
    return LoadLibraryW(reinterpret_cast<const wchar_t*>(name));
}

void* FindHidFunction(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void UnloadHid(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

#define OMBRIX_SAME_FIELD(Mine, Theirs, field)                                         \
    static_assert(offsetof(Mine, field) == offsetof(Theirs, field), #field " offset"); \
    static_assert(sizeof(Mine::field) == sizeof(Theirs::field), #field " size")

static_assert(sizeof(HidCaps) == sizeof(HIDP_CAPS), "HIDP_CAPS size");
OMBRIX_SAME_FIELD(HidCaps, HIDP_CAPS, Usage);
OMBRIX_SAME_FIELD(HidCaps, HIDP_CAPS, UsagePage);
OMBRIX_SAME_FIELD(HidCaps, HIDP_CAPS, InputReportByteLength);
OMBRIX_SAME_FIELD(HidCaps, HIDP_CAPS, NumberInputButtonCaps);
OMBRIX_SAME_FIELD(HidCaps, HIDP_CAPS, NumberInputValueCaps);
OMBRIX_SAME_FIELD(HidCaps, HIDP_CAPS, NumberFeatureDataIndices);

static_assert(sizeof(HidButtonCaps) == sizeof(HIDP_BUTTON_CAPS), "HIDP_BUTTON_CAPS size");
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, UsagePage);
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, ReportID);
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, LinkCollection);
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, IsRange);
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, IsAbsolute);
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, Range.UsageMin);
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, Range.UsageMax);
OMBRIX_SAME_FIELD(HidButtonCaps, HIDP_BUTTON_CAPS, NotRange.Usage);

static_assert(sizeof(HidValueCaps) == sizeof(HIDP_VALUE_CAPS), "HIDP_VALUE_CAPS size");
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, UsagePage);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, IsRange);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, IsAbsolute);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, BitSize);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, ReportCount);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, LogicalMin);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, LogicalMax);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, Range.UsageMin);
OMBRIX_SAME_FIELD(HidValueCaps, HIDP_VALUE_CAPS, NotRange.Usage);

#undef OMBRIX_SAME_FIELD

static_assert(kHidStatusSuccess == HIDP_STATUS_SUCCESS, "success status");
static_assert(kHidStatusInvalidReportLength == static_cast<HidStatus>(HIDP_STATUS_INVALID_REPORT_LENGTH),
              "report length status");
static_assert(kHidReportInput == HidP_Input, "input report type");

// The portable entry-point types must accept exactly the arguments of the exports.
static_assert(std::is_same<decltype(HidP_GetCaps(nullptr, nullptr)), NTSTATUS>::value, "status type");
static_assert(sizeof(NTSTATUS) == sizeof(HidStatus) && sizeof(ULONG) == sizeof(uint32_t) &&
                  sizeof(USAGE) == sizeof(uint16_t) && sizeof(BOOLEAN) == sizeof(uint8_t),
              "argument widths");

}  // namespace

const HidLoader kPlatformHidLoader = {LoadHid, FindHidFunction, UnloadHid};
