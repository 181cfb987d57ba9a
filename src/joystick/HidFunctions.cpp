// Loading, binding and the counted holding of the HID parsing library.
//
// HidLibrary and HidReferenceCount change only under DeviceListLock, except in ResetHid
// and UnloadHid, which run when no other joystick activity exists. The bound table is
// written only by BindHid, before any device that uses it exists.
#include "joystick/HidFunctions.h"

#include <atomic>

#include "joystick/JoystickReader.h"

namespace {

std::atomic<const HidLoader*> gLoader{&kPlatformHidLoader};

void* HidLibrary = nullptr;
int32_t HidReferenceCount = 0;
HidFunctions gBound = {};
// Set while HidLibrary holds all six functions. A library that lacks one stays loaded
// while somebody holds it, but is never reported as bound.
bool gComplete = false;

const HidLoader& Loader() {
    return *gLoader.load(std::memory_order_relaxed);
}

void Unload() {
    if (HidLibrary != nullptr) {
        Loader().Unload(HidLibrary);
        HidLibrary = nullptr;
    }
    gBound = HidFunctions{};
    gComplete = false;
}

// Drops one hold, unloading the library with the last; the caller holds DeviceListLock.
void LetGoLocked() {
    if (HidReferenceCount > 0)
        --HidReferenceCount;
    if (HidReferenceCount == 0)
        Unload();
}

template <typename Fn>
bool FindFunction(const char* name, Fn* out) {
    void* address = Loader().Find(HidLibrary, name);
    *out = reinterpret_cast<Fn>(address);
    return address != nullptr;
}

}  // namespace

void SetHidLoader(const HidLoader* loader) {
    gLoader.store(loader != nullptr ? loader : &kPlatformHidLoader, std::memory_order_relaxed);
}

const HidFunctions& Hid() {
    return gBound;
}

HResult BindHid() {
    if (HidLibrary != nullptr)
        return gComplete ? kOk : kNotImplemented;
    HResult code = kOk;
    HidLibrary = Loader().Load(u"hid.dll");
    if (HidLibrary == nullptr) {
        code = kFileNotFound;
    } else {
        HidFunctions bound = {};
        // Every name is looked up, in the table's order, even after one is missing.
        bool all = FindFunction("HidP_GetCaps", &bound.GetCaps);
        all &= FindFunction("HidP_GetSpecificButtonCaps", &bound.GetSpecificButtonCaps);
        all &= FindFunction("HidP_GetSpecificValueCaps", &bound.GetSpecificValueCaps);
        all &= FindFunction("HidD_GetProductString", &bound.GetProductString);
        all &= FindFunction("HidP_GetUsages", &bound.GetUsages);
        all &= FindFunction("HidP_GetUsageValue", &bound.GetUsageValue);
        if (all) {
            gBound = bound;
            gComplete = true;
            return kOk;
        }
        code = kNotImplemented;
    }
    // With a holder the library stays until the holder lets go; with none it goes now.
    if (HidReferenceCount == 0)
        Unload();
    return code;
}

HResult HoldAndBindHid() {
    TicketGuard guard(DeviceListLock);
    ++HidReferenceCount;
    const HResult code = BindHid();
    if (Failed(code))
        LetGoLocked();
    return code;
}

void HoldHid() {
    TicketGuard guard(DeviceListLock);
    ++HidReferenceCount;
}

void LetGoHid() {
    TicketGuard guard(DeviceListLock);
    LetGoLocked();
}

void ResetHid() {
    Unload();
    HidReferenceCount = 0;
}

void UnloadHid() {
    HidReferenceCount = 0;
    Unload();
}

bool HidLibraryLoaded() {
    TicketGuard guard(DeviceListLock);
    return HidLibrary != nullptr;
}

int32_t HidHolderCount() {
    TicketGuard guard(DeviceListLock);
    return HidReferenceCount;
}
