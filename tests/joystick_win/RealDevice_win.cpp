// Builds devices from real descriptors; see the header.
#include "RealDevice_win.h"

#include <cstring>
#include <new>

#include "joystick/HidFunctions.h"
#include "joystick/InputCatalogue.h"

JoystickDevice* BuildRealDevice(const RealDescriptor& descriptor, void* rawHandle) {
    ParsedCollection collection;
    if (!ParseFirstCollection(descriptor.bytes, descriptor.length, &collection))
        return nullptr;
    // Enumeration's own hold: the device takes its own in its constructor.
    if (Failed(HoldAndBindHid()))
        return nullptr;
    InputBlock block;
    HResult code = ReadCapabilities(collection.preparsed.data(), &block);
    JoystickDevice* device = nullptr;
    if (!Failed(code)) {
        auto* preparsed = new uint8_t[collection.preparsed.size()];
        std::memcpy(preparsed, collection.preparsed.data(), collection.preparsed.size());
        DeviceIdentity identity;
        identity.RawHandle = rawHandle;
        identity.VendorId = descriptor.vendorId;
        identity.ProductId = descriptor.productId;
        identity.UsagePage = collection.usagePage;
        identity.Usage = collection.usage;
        device = new JoystickDevice(identity, preparsed, static_cast<uint32_t>(collection.preparsed.size()),
                                    new String(u"Controller"), block);
        if (!PrepareInputs(*device))
            SafeRelease(device);
    }
    LetGoHid();
    return device;
}

JoystickInput* FindInput(JoystickDevice& device, uint32_t usagePage, uint32_t usage) {
    for (int32_t i = 0; i < device.InputCount(); ++i) {
        JoystickInput& input = device.Inputs()[i];
        if (input.UsagePage == usagePage && input.Usage == usage)
            return &input;
    }
    return nullptr;
}

std::u16string ShownName(const JoystickInput& input) {
    return DisplayName(input);
}

uint32_t PendingButtons(const JoystickDevice& device) {
    uint32_t mask = 0;
    for (int32_t i = 0; i < device.ButtonCount && i < 32; ++i) {
        if (device.Buttons[i].LoadPending() != 0)
            mask |= 1u << i;
    }
    return mask;
}
