// The raw-input calls of the joystick subsystem, behind a table of functions so that tests
// can list virtual devices and hand reports to the reader thread: a test's
// GetRawInputData returns the report bytes for a handle it posted to ReaderWindow() as
// the LPARAM of a WM_INPUT. Used by JoystickEnumeration_win.cpp and JoystickReader_win.cpp.
#pragma once

#include <windows.h>

struct RawInputFunctions {
    decltype(&::GetRawInputDeviceList) GetRawInputDeviceList;
    decltype(&::GetRawInputDeviceInfoW) GetRawInputDeviceInfoW;
    decltype(&::RegisterRawInputDevices) RegisterRawInputDevices;
    decltype(&::GetRawInputData) GetRawInputData;
};

extern const RawInputFunctions kPlatformRawInput;
const RawInputFunctions& RawInput();
void SetRawInputFunctions(const RawInputFunctions* functions);  // null restores the platform

// The reader thread's message retrieval; a test may make it fail (return -1) to check
// that the thread ends cleanly and a stop still works. Null restores GetMessageW.
void SetReaderGetMessage(decltype(&::GetMessageW) getMessage);

// The reader thread's hidden message-only window, or null while there is none.
HWND ReaderWindow();

// The window that hears of joysticks coming and going: message with wParam GIDC_ARRIVAL or
// GIDC_REMOVAL and lParam the device's raw handle, posted by the reader thread after it has
// rested a device it reads that went. Null stops the news.
void SetJoystickNotify(HWND window, UINT message);
// Where the system sends no device notifications, the window's own re-listing reports a
// device gone through this: the reader thread rests it and tells the window as above.
// False when neither the reader nor this thread could rest it now.
bool PostDeviceRemoval(void* rawHandle);
