// Enumeration over the raw-input seam with virtual devices whose preparsed data hidparse.sys
// built from real descriptors, the inputs it builds and the reports they decode, naming from
// the real (Wine) registry, and the life cycle of the real hid.dll: loaded while a device
// exists, unloaded after the last, and a library that is missing or lacks a function
// refused every time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "JoystickSupport_win.h"
#include "core/ObjectList.h"
#include "core/RefObject.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/InputCatalogue.h"
#include "joystick/JoystickReader.h"
#include "joystick/ReportDecoder.h"

namespace {

// The platform's loader, but for a file or an export that cannot be found.
const char* gMissing = "";
const HidLoader kLoader = {
    [](const char16_t* name) {
        return std::strcmp(gMissing, "hid.dll") == 0 ? nullptr : kPlatformHidLoader.Load(name);
    },
    [](void* library, const char* name) {
        return std::strcmp(gMissing, name) == 0 ? nullptr : kPlatformHidLoader.Find(library, name);
    },
    [](void* library) { kPlatformHidLoader.Unload(library); }};

bool ModuleLoaded() {  // hid.dll mapped in the process right now
    return GetModuleHandleW(L"hid.dll") != nullptr;
}

class JoystickEnumeration : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_.Install();
        SetHidLoader(&kLoader);
        ASSERT_EQ(JoystickStartup(), kOk);
    }
    void TearDown() override {
        SafeRelease(list_);
        JoystickShutdown();
        gMissing = "";
        SetHidLoader(nullptr);
        fake_.Uninstall();
        EXPECT_TRUE(AllInstanceCountersZero());
    }

    HResult Enumerate() {
        SafeRelease(list_);
        return EnumerateJoysticks(&list_);
    }
    JoystickDevice* DeviceAt(int32_t index) { return static_cast<JoystickDevice*>(list_->At(index)); }

    FakeRawInput& fake_ = FakeRawInput::Instance();
    std::vector<uint8_t> pad_ = Descriptor("gamepad12").Preparsed();
    std::vector<uint8_t> stick_ = Descriptor("flight_stick").Preparsed();  // usage 4
    ObjectList* list_ = nullptr;
};

using Pending = std::tuple<uint32_t, uint32_t, uint32_t>;  // usage page, usage, value

// Skipped: HID devices other than joysticks (usage 4) and game pads (usage 5) of the generic
// desktop page, a device whose preparsed data cannot be read, and data hid.dll refuses. The
// devices listed have the inputs the real parser finds in their descriptors, prepared as the
// main window prepares them, and decode real reports through the real hid.dll; the rules of
// each step are the native tests'.
TEST_F(JoystickEnumeration, ListsJoysticksAndGamePadsInSystemOrderWithTheInputsOfTheirDescriptors) {
    const struct {
        const char* name;
        std::vector<std::pair<int, RealDescriptor::Values>> reports;  // report id (-1: the first), values
        // Usage, buttons, axes, the hat's kind, and the buttons held after the reports (bit 0 for
        // button 1).
        std::vector<uint32_t> shape;
        std::vector<Pending> pendings;
    } devices[] = {
        // A hat numbered 0 to 7 is a plain value, delivering its raw value.
        {"gamepad12",
         {{-1, {{"buttons", 0x811}, {"x", 0}, {"y", 255}, {"z", 128}, {"rx", 64}, {"hat", 6}}}},
         {5, 12, 6, static_cast<uint32_t>(kKindAxis), 0x811},
         {{1, 0x30, 0}, {1, 0x31, 1023}, {1, 0x32, 513}, {1, 0x33, 256}, {1, 0x39, 6}}},
        // 128 button fields of which the first capability declares 29; no axis for the field
        // on page 0; 10-bit axes unscaled, 11-bit ones scaled; the hat (0-239) at its null state.
        {"flight_stick",
         {{-1, {{"slider", 1000}, {"x", 2047}, {"y", 0}, {"rz", 300}, {"buttons", 0x10000001}}}},
         {4, 29, 7, static_cast<uint32_t>(kKindAxis), 0x10000001},
         {{1, 0x36, 1000}, {1, 0x30, 1023}, {1, 0x31, 0}, {1, 0x35, 300}, {1, 0x39, 240}}},
        // Axes whose maximum is written as -1 span their whole 16 bits; the hat is down-right.
        {"signed_pad",
         {{-1, {{"x", 0xFFFF}, {"y", 0}, {"rx", 0x8000}, {"ry", 0x7FFF}, {"z", 255}, {"hat", 4}}}},
         {5, 10, 6, static_cast<uint32_t>(kKindHat8), 0},
         {{1, 0x30, 1023}, {1, 0x31, 0}, {1, 0x33, 511}, {1, 0x34, 511}, {1, 0x32, 1023}, {1, 0x39, 6}}},
        // A consumer-page button is none of ours; report 4 carries only the battery, and every
        // other input keeps what report 1 gave it.
        {"wireless_pad",
         {{-1, {{"back", 1}, {"buttons", 0x4005}, {"brake", 1000}, {"x", 0}, {"hat", 7}}},
          {4, {{"battery", 200}}}},
         {5, 15, 7, static_cast<uint32_t>(kKindHat8), 0x4005},
         {{2, 0xC5, 1000}, {2, 0xC4, 0}, {1, 0x30, 0}, {1, 0x39, 8}, {6, 0x20, 802}}},
    };
    fake_.AddHid(0x0171, 0x0419, 1, 5, {});
    fake_.AddHid(0x1111, 0x2222, 1, 4, {1, 2, 3, 4});
    fake_.AddHid(0x045E, 0x0B12, 0x0C, 1, pad_);  // consumer controls
    fake_.AddHid(0x046D, 0xC077, 1, 2, pad_);     // a HID mouse
    std::vector<HANDLE> handles;
    for (const auto& d : devices) {
        const RealDescriptor& descriptor = Descriptor(d.name);
        uint16_t page = 0, usage = 0;
        const std::vector<uint8_t> preparsed = descriptor.Preparsed(&page, &usage);
        handles.push_back(fake_.AddHid(descriptor.vendorId, descriptor.productId, page, usage, preparsed));
    }
    ASSERT_EQ(Enumerate(), kOk);
    ASSERT_EQ(list_->Count(), 4);
    for (int32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(devices[i].name);
        JoystickDevice& device = *DeviceAt(i);
        const RealDescriptor& descriptor = Descriptor(devices[i].name);
        EXPECT_EQ(device.RawHandle, handles[i]);
        EXPECT_EQ(
            std::vector<uint32_t>({descriptor.vendorId, descriptor.productId, 0x100, device.RefCount()}),
            std::vector<uint32_t>({device.VendorId, device.ProductId, device.VersionNumber, 1}));
        ASSERT_EQ(device.HatCount, 1);
        ASSERT_TRUE(PrepareInputs(device));
        uint16_t usages[128];
        for (const auto& report : devices[i].reports) {
            const std::vector<uint8_t> bytes = descriptor.Report(report.second, report.first);
            DecodeReport(device, bytes.data(), static_cast<uint32_t>(bytes.size()), usages, 128);
        }
        uint32_t pressed = 0;
        for (int32_t b = 0; b < device.ButtonCount; ++b)
            pressed |= device.Buttons[b].LoadPending() << b;
        EXPECT_EQ(devices[i].shape,
                  std::vector<uint32_t>({device.Usage, static_cast<uint32_t>(device.ButtonCount),
                                         static_cast<uint32_t>(device.AxisCount),
                                         static_cast<uint32_t>(device.Hats[0].Kind), pressed}));
        for (const Pending& p : devices[i].pendings) {
            const JoystickInput* input = FindInput(device, std::get<0>(p), std::get<1>(p));
            EXPECT_EQ(input != nullptr ? input->LoadPending() : ~0u, std::get<2>(p)) << std::get<1>(p);
        }
    }

    // A device list the system refuses: its error, and the caller's place emptied, not released.
    fake_.FailDeviceList(ERROR_ACCESS_DENIED);
    ObjectList* out = list_;
    EXPECT_EQ(EnumerateJoysticks(&out), HResultFromError(ERROR_ACCESS_DENIED));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(list_->RefCount(), 1u);
}

// The OEM name under the vendor and product from the real registry, trimmed; nothing left
// after trimming, or no name, gives "Controller".
TEST_F(JoystickEnumeration, NameIsTheTrimmedOemNameOfTheVendorAndProductOrController) {
    const struct {
        uint16_t vendor, product;
        const wchar_t* oemName;  // null: none stored
        const char16_t* name;
    } cases[] = {{0x7234, 0x00AB, L"  Pad X\t", u"Pad X"},
                 {0x7001, 2, L" \t \u00A0 ", u"Controller"},
                 {0x7001, 3, nullptr, u"Controller"}};
    wchar_t keys[3][128];
    for (int i = 0; i < 3; ++i) {
        wsprintfW(keys[i],
                  L"System\\CurrentControlSet\\Control\\MediaProperties\\PrivateProperties\\Joystick\\OEM\\"
                  L"VID_%04X&PID_%04X",
                  cases[i].vendor, cases[i].product);
        if (cases[i].oemName != nullptr)
            RegSetKeyValueW(HKEY_CURRENT_USER, keys[i], L"OEMName", REG_SZ, cases[i].oemName,
                            static_cast<DWORD>((wcslen(cases[i].oemName) + 1) * sizeof(wchar_t)));
        fake_.AddHid(cases[i].vendor, cases[i].product, 1, 5, pad_);
    }
    ASSERT_EQ(Enumerate(), kOk);
    ASSERT_EQ(list_->Count(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::u16string(DeviceAt(i)->Name->Chars()), cases[i].name) << "device " << i;
        RegDeleteKeyW(HKEY_CURRENT_USER, keys[i]);
    }
}

// Enumeration holds the real hid.dll for its own run, each device for its life; a library
// that is missing or lacks any of the six functions is refused every time, and unloaded.
TEST_F(JoystickEnumeration, TheLibraryIsHeldWhileADeviceExistsAndRefusedWhenMissingOrIncomplete) {
    fake_.AddHid(0x0171, 0x0419, 1, 5, pad_);
    fake_.AddHid(0x11C0, 0x5606, 1, 4, stick_);
    ASSERT_EQ(Enumerate(), kOk);
    ASSERT_EQ(list_->Count(), 2);
    JoystickDevice* devices[] = {DeviceAt(0), DeviceAt(1)};
    for (JoystickDevice* device : devices)
        device->AddRef();
    SafeRelease(list_);
    for (JoystickDevice* device : devices) {
        EXPECT_TRUE(HidLibraryLoaded());
        EXPECT_TRUE(ModuleLoaded());
        device->Release();
    }
    EXPECT_FALSE(HidLibraryLoaded());
    EXPECT_FALSE(ModuleLoaded());

    for (const char* missing :
         {"hid.dll", "HidP_GetCaps", "HidP_GetSpecificButtonCaps", "HidP_GetSpecificValueCaps",
          "HidD_GetProductString", "HidP_GetUsages", "HidP_GetUsageValue", ""}) {
        gMissing = missing;
        const HResult expected = missing[0] == 0                        ? kOk
                                 : std::strcmp(missing, "hid.dll") == 0 ? kFileNotFound
                                                                        : kNotImplemented;
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_EQ(Enumerate(), expected) << missing;
            EXPECT_EQ(list_ != nullptr, expected == kOk);
            SafeRelease(list_);
            EXPECT_FALSE(HidLibraryLoaded()) << missing;
            EXPECT_FALSE(ModuleLoaded()) << missing;
        }
    }
}

}  // namespace
