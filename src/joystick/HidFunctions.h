// Run-time binding of the HID parsing library (hid.dll). The library is loaded on the
// first enumeration, kept loaded while the enumeration runs and while any JoystickDevice
// exists (each is a holder), and unloaded when the last holder lets go or at shutdown.
//
// Callers: JoystickEnumeration_win.cpp (HoldAndBindHid, LetGoHid), JoystickDevice (HoldHid
// and LetGoHid from construction to destruction), the reader's decoding (Hid()), and the
// reader's start-up and shutdown (ResetHid, UnloadHid).
#pragma once

#include <cstdint>

#include "core/Status.h"
#include "joystick/HidTypes.h"

// The six entry points, bound by their exported names in this order. All six must exist.
struct HidFunctions {
    HidGetCapsFn GetCaps;
    HidGetSpecificButtonCapsFn GetSpecificButtonCaps;
    HidGetSpecificValueCapsFn GetSpecificValueCaps;
    HidGetProductStringFn GetProductString;  // required, though nothing calls it
    HidGetUsagesFn GetUsages;
    HidGetUsageValueFn GetUsageValue;
};

// How the library is found: Load by file name, Find an export by name, Unload. The
// platform's (HidLoader_win.cpp) uses LoadLibraryW, GetProcAddress and FreeLibrary; the
// native build has no hid.dll and its loader loads nothing. Tests substitute a parser.
struct HidLoader {
    void* (*Load)(const char16_t* name);
    void* (*Find)(void* library, const char* name);
    void (*Unload)(void* library);
};

extern const HidLoader kPlatformHidLoader;
// Null restores the platform's loader. Only while nothing is loaded.
void SetHidLoader(const HidLoader* loader);

// The bound entry points. Valid while the library is loaded after a successful BindHid;
// written only by BindHid, so any thread may read them while it holds a device.
const HidFunctions& Hid();

// Loads "hid.dll" and binds the six functions unless that is already done. The caller
// holds DeviceListLock. Returns kOk, kFileNotFound when the library cannot be loaded, or
// kNotImplemented when a function is missing; after a failure the library is unloaded
// again as soon as nobody holds it, so a later call loads and binds afresh.
HResult BindHid();

// Under DeviceListLock: adds a hold and binds; on failure takes the hold back (unloading
// the library when that was the last hold) and returns the binding's code. Enumeration
// holds the library this way for its own run.
HResult HoldAndBindHid();

// Under DeviceListLock: adds or drops one hold. Dropping the last one unloads the
// library. The count never goes below 0 (a device released after shutdown).
void HoldHid();
void LetGoHid();

// Start-up: forgets any previous binding and zeroes the count (unloading a library left
// loaded). Shutdown: sets the count to 0 and unloads whatever the count was. Both run
// when no other joystick activity exists.
void ResetHid();
void UnloadHid();

// For tests and checks.
bool HidLibraryLoaded();
int32_t HidHolderCount();
