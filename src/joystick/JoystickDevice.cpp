// Construction and destruction of a joystick device: the device owns its inputs, its
// preparsed data and its name, and holds the HID library loaded while it exists.
#include "joystick/JoystickDevice.h"

#include <algorithm>

#include "joystick/HidFunctions.h"
#include "joystick/JoystickReader.h"

namespace {

void ReleaseInput(JoystickInput& input) {
    if (input.OwnsName)
        delete[] input.Name;
    input.Name = nullptr;
    input.OwnsName = false;
    if (input.Directions != nullptr) {
        // Direction sub-inputs borrow their names; they own nothing.
        delete[] input.Directions;
        input.Directions = nullptr;
    }
}

}  // namespace

void ReleaseInputBlock(InputBlock& block) {
    for (int32_t i = 0; i < block.Count(); ++i)
        ReleaseInput(block.Inputs[i]);
    delete[] block.Inputs;
    block = InputBlock{};
}

JoystickDevice::JoystickDevice(const DeviceIdentity& identity, uint8_t* preparsedData, uint32_t preparsedSize,
                               String* name, InputBlock inputs)
    : PreparsedData(preparsedData),
      PreparsedSize(preparsedSize),
      ButtonCount(inputs.ButtonCount),
      AxisCount(inputs.AxisCount),
      RawHandle(identity.RawHandle),
      HatCount(inputs.HatCount),
      UsagePage(identity.UsagePage),
      Usage(identity.Usage),
      Name(name),
      VendorId(identity.VendorId),
      ProductId(identity.ProductId),
      VersionNumber(identity.VersionNumber),
      block_(inputs) {
    JoystickInput* next = block_.Inputs;
    if (ButtonCount > 0)
        Buttons = next;
    next += ButtonCount;
    if (AxisCount > 0)
        Axes = next;
    next += AxisCount;
    if (HatCount > 0)
        Hats = next;
    HoldHid();
}

JoystickDevice::~JoystickDevice() {
    // The reader list's reference is never the last one, but a device whose list entry
    // was dropped by shutdown can still be marked Reading; this takes it out cleanly.
    StopReading(*this);
    LetGoHid();
    ReleaseInputBlock(block_);
    delete[] PreparsedData;
    SafeRelease(Name);
    SafeRelease(Path);
}

bool SameJoystick(const JoystickDevice& a, const JoystickDevice& b) {
    if (a.VendorId != 0 || a.ProductId != 0 || b.VendorId != 0 || b.ProductId != 0)
        return a.VendorId == b.VendorId && a.ProductId == b.ProductId;
    return a.Path != nullptr && b.Path != nullptr && !a.Path->IsEmpty() &&
           a.Path->Length() == b.Path->Length() &&
           std::equal(a.Path->Chars(), a.Path->Chars() + a.Path->Length(), b.Path->Chars());
}
