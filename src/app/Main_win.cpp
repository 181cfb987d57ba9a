// The program's entry: prepares the process-wide services, runs the main window as a
// modal dialog until the user closes it, releases the services in reverse order and
// checks that no object was leaked. Runs on the main thread, which is also the
// user-interface thread of every window.
#include <windows.h>

#include <commctrl.h>

#include <new>

#include "core/LastError_win.h"
#include "core/RefObject.h"
#include "joystick/JoystickReader.h"
#include "session/SessionWorkers_win.h"
#include "text/TextTable_win.h"
#include "ui/MainForm_win.h"
#include "ui/StartupTrace_win.h"
#include "ui/UiResources_win.h"
#include "ui/Window_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    MarkStartup(StartupPhase::kEntry);
    programInstance = instance;
    InitCommonControls();
    TextTable::Load();
    UiResources::Create();

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = FormWindowProc;
    windowClass.cbWndExtra = 8;  // the bound Form
    windowClass.hInstance = programInstance;
    windowClass.lpszClassName = L"WndClass";
    RegisterClassExW(&windowClass);

    // A failed start-up leaves the reader without its list or its window class; the main
    // window then cannot start watching for joysticks and says so in its box, and the
    // channels can still be set by hand.
    JoystickStartup();
    MainForm* form = new (std::nothrow) MainForm(kPlatformWorkers);
    if (form != nullptr && form->IsValid()) {
        RunModalForm(form, IDD_MAIN, nullptr);
    } else {
        // Out of memory before any window: the system's text for it is all there is to say.
        SafeRelease(form);
        wchar_t* text = SystemText(kOutOfMemory);
        MessageBoxW(nullptr, text != nullptr ? text : L"0x8007000E",
                    reinterpret_cast<const wchar_t*>(Texts::kOops), MB_ICONERROR | MB_OK);
        if (text != nullptr)
            LocalFree(text);
    }

    JoystickShutdown();
    UnregisterClassW(L"WndClass", programInstance);
    UiResources::Destroy();
    TextTable::Free();

    // A main window kept alive for a worker that outlived its wait is no leak.
    if (!MainFormLeftWorkersRunning() && !AllInstanceCountersZero())
        MessageBoxW(nullptr, L"Debug Cleanup Verify Error!", L"Oops...", MB_ICONERROR);
    return 0;
}
