// One enumerated joystick or game pad: its identity, its HID preparsed data, its block of
// inputs and its reading state. Built by EnumerateJoysticks (or by tests), prepared by
// EmulationSession, read by the reader thread, polled by the association thread.
//
// Who writes what:
// - Sequence: the reader thread (one increment per report that touched an enabled input)
//   and StartReading. Incremented with release order and read with acquire order in Poll,
//   so the Pending values stored before an increment are seen by the Poll that sees it.
// - SeenSequence: the polling thread only.
// - Reading: under Lock only (StartReading, StopReading).
// - Connected: cleared when the system stops listing the device (by the reader thread for a
//   device it reads, by the user-interface thread otherwise) and set again, with RawHandle,
//   under DeviceListLock when it comes back (RebindDevice). Atomic: the reader reads it.
// - RawHandle: written under DeviceListLock by the user-interface thread, read by the
//   reader under that lock.
// - Everything else: fixed from construction (the inputs: see JoystickInput.h).
//
// Each device holds the HID library loaded from construction to destruction.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/RefObject.h"
#include "core/String.h"
#include "joystick/JoystickInput.h"
#include "joystick/TicketLock.h"

// The inputs of one device: one owned array with all buttons, then all axes, then the hat.
struct InputBlock {
    JoystickInput* Inputs = nullptr;
    int32_t ButtonCount = 0;
    int32_t AxisCount = 0;
    int32_t HatCount = 0;  // 0 or 1

    int32_t Count() const { return ButtonCount + AxisCount + HatCount; }
};

// Releases the owned names and directions of every input, then the array; empties the block.
void ReleaseInputBlock(InputBlock& block);

class JoystickDevice;
// Whether two devices are the same pad come back: the same vendor and product, which name
// the device, or, for devices that report neither, the same device path.
bool SameJoystick(const JoystickDevice& a, const JoystickDevice& b);

// What enumeration learns about a device from the system.
struct DeviceIdentity {
    void* RawHandle = nullptr;
    uint32_t VendorId = 0;
    uint32_t ProductId = 0;
    uint32_t VersionNumber = 0;
    uint32_t UsagePage = 0;  // of the top-level collection: 1
    uint32_t Usage = 0;      // 4 joystick, 5 game pad
};

class JoystickDevice : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeJoystickDevice;

    // Takes over the preparsed data (allocated with new[]), the name and the input block.
    // Adds a hold on the HID library under DeviceListLock.
    JoystickDevice(const DeviceIdentity& identity, uint8_t* preparsedData, uint32_t preparsedSize,
                   String* name, InputBlock inputs);

    int32_t GetTypeId() const override { return kTypeId; }

    // The whole block (buttons, axes, hat), without the direction sub-inputs.
    JoystickInput* Inputs() const { return block_.Inputs; }
    int32_t InputCount() const { return block_.Count(); }

  private:
    InstanceCount<kTypeId> counted_;

  public:
    uint8_t* PreparsedData = nullptr;  // owned; passed to every HID parsing call
    uint32_t PreparsedSize = 0;
    int32_t ButtonCount = 0;
    int32_t AxisCount = 0;
    uint32_t SeenSequence = 0;
    std::atomic<uint32_t> Sequence{0};
    JoystickInput* Buttons = nullptr;  // into the block, or null when ButtonCount is 0
    JoystickInput* Axes = nullptr;     // into the block, or null when AxisCount is 0
    JoystickInput* Hats = nullptr;     // into the block, or null when HatCount is 0
    void* RawHandle = nullptr;         // reports are matched to the device by it
    int32_t HatCount = 0;
    uint32_t UsagePage = 0;
    uint32_t Usage = 0;
    uint32_t Reading = 0;    // nonzero while the device is in the reader's list
    TicketLock Lock;         // guards Reading and the start and stop of reading
    String* Name = nullptr;  // owned display name
    uint32_t VendorId = 0;
    uint32_t ProductId = 0;
    uint32_t VersionNumber = 0;
    std::atomic<uint32_t> Connected{1};  // 0 while the system does not list the device
    String* Path = nullptr;              // owned device path, or null when it was not read

  protected:
    // Stops reading, lets go of the HID library, then frees the inputs, data and name.
    ~JoystickDevice() override;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }

  private:
    InputBlock block_;
};
