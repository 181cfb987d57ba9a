// The window framework, the font choice and the main window in process, under Wine with
// the real platform: what the end-to-end scenarios cannot reach (a busy port, a refused
// registry, a font Wine lacks, a window that never opened, two inputs with the same usages).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "JoystickSupport_win.h"
#include "board/SerialPort_win.h"
#include "joystick/JoystickReader.h"
#include "persistence/SettingsStore_win.h"
#include "session/SessionWorkers_win.h"
#include "ui/MainForm_win.h"
#include "ui/UiResources_win.h"

namespace {
std::wstring gShown;

int WINAPI RecordMessage(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    gShown = std::wstring(caption) + L"|" + text;
    return IDOK;
}
const MessageFunctions kRecordedMessages = {RecordMessage};

// Wine does not enforce exclusive opening, so a busy port (error 5) comes from this seam.
DWORD gOpenError = 0;
HANDLE WINAPI RefuseOpen(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    SetLastError(gOpenError);
    return INVALID_HANDLE_VALUE;
}

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        programInstance = GetModuleHandleW(nullptr);
        UiResources::Create();
        SetMessageFunctions(&kRecordedMessages);
        gShown.clear();
    }
    void TearDown() override {
        SetMessageFunctions(nullptr);
        SetSerialFunctions(nullptr);
        UiResources::Destroy();
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsStore::kProgramKeyPath);
        EXPECT_TRUE(AllInstanceCountersZero());
    }
    MainForm* Open(const SessionWorkers& workers = kPlatformWorkers) {
        auto* form = new MainForm(workers);
        dialog_ = CreateDialogParamW(programInstance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, FormBindingProc,
                                     reinterpret_cast<LPARAM>(form));
        EXPECT_NE(dialog_, nullptr);
        ShowWindow(dialog_, SW_SHOWNA);
        return form;
    }
    void Notify(int id, WORD code) {
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, code),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
    }
    void Click(int id) { Notify(id, BN_CLICKED); }
    HWND dialog_ = nullptr;
};

// A busy port, and a failure that left no error code, give the system's text in the box,
// and no run.
TEST_F(MainWindowTest, AFailedStartShowsTheSystemsText) {
    Open();
    wchar_t generic[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 0x80004005, 0,
                   generic, 256, nullptr);
    const std::pair<DWORD, std::wstring> cases[] = {{ERROR_ACCESS_DENIED, L"Access denied.\r\n"},
                                                    {0, generic}};
    SerialFunctions refusing = kPlatformSerial;
    refusing.CreateFileW = RefuseOpen;
    SetSerialFunctions(&refusing);
    for (const auto& [error, text] : cases) {
        gOpenError = error;
        gShown.clear();
        Click(IDC_START);
        EXPECT_EQ(gShown, L"Oops...|Erro ao iniciar o emulador: " + text) << error;
        EXPECT_EQ(ItemText(dialog_, IDC_START), L"Iniciar");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog_, IDC_PORT_EDIT)));
    }
    SetSerialFunctions(nullptr);
    DestroyWindow(dialog_);
}

// Answers the profile name dialog of this thread with a name, as a user typing and
// pressing OK would; the modal loop runs the timer.
std::wstring gAnswer;
void CALLBACK AnswerProfileDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            if (GetDlgItem(window, 1052) == nullptr)
                return TRUE;
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr)
        return;
    KillTimer(nullptr, timer);
    SetDlgItemTextW(dialog, 1052, gAnswer.c_str());
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
}

LSTATUS WINAPI RefuseStore(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD) {
    return ERROR_ACCESS_DENIED;
}
LSTATUS WINAPI RefuseDelete(HKEY, LPCWSTR) {
    return ERROR_ACCESS_DENIED;
}

TEST_F(MainWindowTest, ARefusedProfileStoreOrDeleteShowsTheSystemText) {
    ASSERT_EQ(SettingsStore::WriteProfileValue(L"Kept", "\0\0\0\0", 4), kOk);
    Open();
    ASSERT_NE(dialog_, nullptr);
    SendDlgItemMessageW(dialog_, IDC_JOYSTICK, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Pad"));
    SendDlgItemMessageW(dialog_, IDC_JOYSTICK, CB_SETCURSEL, 1, 0);
    SettingsStore::RegistryFunctions refusing = SettingsStore::kPlatformRegistry;
    refusing.RegSetValueExW = RefuseStore;
    refusing.RegDeleteValueW = RefuseDelete;
    SettingsStore::SetRegistryFunctions(&refusing);
    wchar_t denied[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, denied, 256, nullptr);
    // The delete asks first (answered OK here), then shows the refusal.
    for (const auto& [item, name] :
         {std::pair(IDM_SAVE_PROFILE, L"New"), std::pair(IDM_DELETE_PROFILE, L"Kept")}) {
        gShown.clear();
        gAnswer = name;
        SetTimer(nullptr, 0, 10, AnswerProfileDialog);
        SendMessageW(dialog_, WM_COMMAND, item, 0);
        EXPECT_EQ(gShown, std::wstring(L"Oops...|") + denied) << name;
    }
    SettingsStore::SetRegistryFunctions(nullptr);
    DestroyWindow(dialog_);
}

// Reads the state of the open pop-up menu's "Abrir perfil" item, then closes the menu.
UINT gOpenItemState = ~0u;
void CALLBACK ReadOpenItem(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (!IsWindowVisible(popup))
        return;
    KillTimer(nullptr, timer);
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    gOpenItemState = GetMenuState(menu, IDM_OPEN_PROFILE, MF_BYCOMMAND);
    EndMenu();
}

// The run's workers, played here: the responder only pretends, the association thread
// keeps what it was handed, and Wait says whether they have ended.
const AssociationRun* gRun = nullptr;
bool gWorkersEnd = true;
int gWorker = 0;
const SessionWorkers kFakeWorkers = {
    StartReading,
    StopReading,
    [](void*, uint32_t, Worker* worker) {
        *worker = &gWorker;
        return kOk;
    },
    [](void*, const AssociationRun* run, Worker* worker) {
        gRun = run;
        *worker = &gWorker;
        return kOk;
    },
    [](Worker, uint32_t) { return gWorkersEnd; },
    [](Worker) {},
};

// With a pad whose two sliders share their usage: "Associar entrada" binds the slider
// chosen, a run greys out and refuses "Abrir perfil", and a worker that outlives its stop
// keeps the selector on the pad and the window alive at its close until it has ended.
TEST_F(MainWindowTest, TheEditorBindsTheChosenInputAndAParkedWorkerKeepsWhatItReads) {
    FakeRawInput& raw = FakeRawInput::Instance();
    raw.Install();
    uint16_t page = 0, usage = 0;
    const RealDescriptor& pad = Descriptor("two_sliders");
    raw.AddHid(pad.vendorId, pad.productId, 1, 5, pad.Preparsed(&page, &usage));
    ASSERT_EQ(JoystickStartup(), kOk);
    MainForm* form = Open(kFakeWorkers);
    SendDlgItemMessageW(dialog_, IDC_JOYSTICK, CB_SETCURSEL, 1, 0);
    Notify(IDC_JOYSTICK, CBN_SELCHANGE);
    SendDlgItemMessageW(dialog_, IDC_INPUT, CB_SETCURSEL, 3, 0);  // Botão 1, 2, then the sliders
    Notify(IDC_INPUT, CBN_SELCHANGE);
    Click(IDC_ASSOCIATE);
    gWorkersEnd = true;
    Click(IDC_START);
    ASSERT_NE(gRun, nullptr);
    ASSERT_EQ(gRun->Model->AllAssociations().Count(), 1);
    EXPECT_EQ(&AssociationModel::At(gRun->Model->AllAssociations(), 0)->Input(), &gRun->Joystick->Axes[1]);

    for (bool parked : {false, true}) {
        gOpenItemState = ~0u;
        SetTimer(nullptr, 0, 10, ReadOpenItem);
        Click(IDC_MENU_BUTTON);
        EXPECT_NE(gOpenItemState & MF_GRAYED, 0u) << parked;
        gShown.clear();
        SendMessageW(dialog_, WM_COMMAND, IDM_OPEN_PROFILE, 0);
        EXPECT_EQ(gShown, L"") << "refused without a word, even the joystick check";
        if (!parked) {
            gWorkersEnd = false;
            Click(IDC_START);  // the stop: its workers outlive the wait
            EXPECT_EQ(ItemText(dialog_, IDC_START), L"Iniciar");
        }
    }
    SendDlgItemMessageW(dialog_, IDC_JOYSTICK, CB_SETCURSEL, 0, 0);
    Notify(IDC_JOYSTICK, CBN_SELCHANGE);
    EXPECT_EQ(SendDlgItemMessageW(dialog_, IDC_JOYSTICK, CB_GETCURSEL, 0, 0), 1) << "what is really selected";
    EXPECT_EQ(SendDlgItemMessageW(dialog_, IDC_ASSOCIATIONS, LB_GETCOUNT, 0, 0), 1);

    DestroyWindow(dialog_);
    EXPECT_TRUE(MainFormLeftWorkersRunning());
    EXPECT_EQ(gRun->Model->AllAssociations().Count(), 1) << "freed under the worker";
    gWorkersEnd = true;
    form->Release();  // the window's last reference again, now that the worker has ended
    gRun = nullptr;
    JoystickShutdown();
    raw.Uninstall();
}

// The controls on the board's black area are drawn white on black by the window's colour
// handler; the port field, the start button and the right column keep the system's colours.
TEST_F(MainWindowTest, OnlyTheBoardAreaControlsAreWhiteOnBlack) {
    Open();
    HDC dc = GetDC(dialog_);
    const auto black = reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
    const struct {
        int id;
        UINT message;
        bool board;
    } cases[] = {
        {IDC_CH4_EDIT, WM_CTLCOLOREDIT, true},         {IDC_CH4_SLIDER, WM_CTLCOLORSTATIC, true},
        {IDC_PRESSED, WM_CTLCOLORBTN, true},           {IDC_CH7_EDIT, WM_CTLCOLOREDIT, true},
        {IDC_PORT_EDIT, WM_CTLCOLOREDIT, false},       {IDC_START, WM_CTLCOLORBTN, false},
        {IDC_JOYSTICK_ONLY, WM_CTLCOLORSTATIC, false}, {IDC_JOYSTICK_LABEL, WM_CTLCOLORSTATIC, false}};
    for (const auto& c : cases) {
        SetTextColor(dc, RGB(1, 2, 3));
        const LRESULT brush = SendMessageW(dialog_, c.message, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(GetDlgItem(dialog_, c.id)));
        EXPECT_EQ(brush == black, c.board) << c.id;
        EXPECT_EQ(GetTextColor(dc) == RGB(255, 255, 255), c.board) << c.id;
    }
    ReleaseDC(dialog_, dc);
    DestroyWindow(dialog_);
}

TEST_F(MainWindowTest, SettingsAreStoredOnlyByAWindowThatOpened) {
    const uint8_t chosen[kSavedValuesLength] = {1, 2, 3, 4, 5, 6, 7, 1, 9, 0};
    ASSERT_TRUE(SettingsStore::WriteBinaryValue(nullptr, L"Values", chosen, sizeof(chosen)));
    (new MainForm(kPlatformWorkers))->Release();  // never shown
    Buffer* stored = SettingsStore::ReadBinaryValue(nullptr, L"Values");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored->Data()), stored->Length()),
              std::string(reinterpret_cast<const char*>(chosen), sizeof(chosen)));
    SafeRelease(stored);

    Open();
    EXPECT_EQ(ItemText(dialog_, IDC_PORT_EDIT), L"10");
    SetFocus(GetDlgItem(dialog_, IDC_CH4_EDIT));  // typed by the user: the edit has the focus
    SetDlgItemTextW(dialog_, IDC_CH4_EDIT, L"77");
    DestroyWindow(dialog_);
    stored = SettingsStore::ReadBinaryValue(nullptr, L"Values");
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->Length(), kSavedValuesLength);
    EXPECT_EQ(stored->Data()[3], 77);  // Entrada A's row
    EXPECT_EQ(stored->Data()[7], 1);   // the button as restored
    SafeRelease(stored);
}

// Wine has no "Segoe UI", so its branch is reached through the lookup table.
bool gHasSegoe = false;
bool gSegoeFails = false;
bool FakeHasFamily(HDC, const wchar_t*) {
    return gHasSegoe;
}
HFONT FakeCreate(int32_t height, const wchar_t* face) {
    if (gSegoeFails && lstrcmpW(face, L"Segoe UI") == 0)
        return nullptr;
    return kPlatformFonts.CreateUiFont(height, face);
}
const FontFunctions kFakeFonts = {FakeHasFamily, FakeCreate};

TEST(UiFont, SegoeUiWhenItCanBeMadeElseTahoma) {
    const struct {
        const FontFunctions* fonts;
        bool hasSegoe, segoeFails;
        const wchar_t* face;
    } cases[] = {
        {&kFakeFonts, true, false, L"Segoe UI"},
        {&kFakeFonts, true, true, L"Tahoma"},
        {&kFakeFonts, false, false, L"Tahoma"},
        {nullptr, false, false, L"Tahoma"},  // the real lookup under Wine
    };
    HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    for (const auto& c : cases) {
        SetFontFunctions(c.fonts);
        gHasSegoe = c.hasSegoe;
        gSegoeFails = c.segoeFails;
        HFONT font = ChooseUiFont(display, 120);
        ASSERT_NE(font, nullptr);
        LOGFONTW chosen = {};
        GetObjectW(font, sizeof(chosen), &chosen);
        EXPECT_STREQ(chosen.lfFaceName, c.face);
        EXPECT_EQ(chosen.lfHeight, -18);  // 11 points at 120 DPI
        DeleteObject(font);
    }
    SetFontFunctions(nullptr);
    DeleteDC(display);
}

// A form on a "WndClass" window that counts what it is told.
class CountingForm : public Form {
  public:
    LRESULT OnClose() override { return allowClose; }
    void OnResized() override { ++resized; }
    LRESULT OnUserMessage(UINT, WPARAM, LPARAM) override { return ++userMessages; }
    LRESULT DefaultWindowHandler(UINT message, WPARAM wParam, LPARAM lParam) override {
        ++defaults;
        return Form::DefaultWindowHandler(message, wParam, lParam);
    }
    LRESULT allowClose = 0;
    int resized = 0;
    int userMessages = 0;
    int defaults = 0;
};

// Ends the modal loop of gModal with gResult.
Form* gModal = nullptr;
INT_PTR gResult = 0;
void CALLBACK EndModal(HWND, UINT, UINT_PTR timer, DWORD) {
    if (gModal->hwnd == nullptr)
        return;
    KillTimer(nullptr, timer);
    EndDialog(gModal->hwnd, gResult);
}

// The creator's reference goes exactly once, whatever ends a modal form: the window's
// destruction for a bound one (also when it ends with 0, as a dialog ended without a
// result does), RunModalForm for one that never got a window.
TEST(WindowFramework, AModalFormReleasesItsCreatorsReferenceOnce) {
    programInstance = GetModuleHandleW(nullptr);
    for (const auto& [dialog, result] : {std::pair(105, 2), std::pair(105, 0), std::pair(9999, -1)}) {
        auto* form = new CountingForm();
        form->AddRef();  // the test's own
        gModal = form;
        gResult = result;
        const UINT_PTR timer = SetTimer(nullptr, 0, 10, EndModal);
        EXPECT_EQ(RunModalForm(form, dialog, nullptr), result);
        KillTimer(nullptr, timer);
        EXPECT_EQ(form->RefCount(), 1u) << dialog << " ended with " << result;
        form->Release();
    }
    EXPECT_TRUE(AllInstanceCountersZero());
}

TEST(WindowFramework, BoundsClosingAndUserMessages) {
    programInstance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = FormWindowProc;
    windowClass.cbWndExtra = 8;
    windowClass.hInstance = programInstance;
    windowClass.lpszClassName = L"WndClass";
    RegisterClassExW(&windowClass);
    // Without its Form a "WndClass" window is refused.
    EXPECT_EQ(CreateWindowExW(0, L"WndClass", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              programInstance, nullptr),
              nullptr);

    auto* form = new CountingForm();
    HWND window = CreateWindowExW(0, L"WndClass", L"", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                                  nullptr, programInstance, form);
    ASSERT_NE(window, nullptr);
    const int resizedBefore = form->resized;
    SetWindowPos(window, nullptr, 50, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(form->bounds.left, 50);
    EXPECT_EQ(form->bounds.right, 350);
    EXPECT_EQ(form->resized, resizedBefore);  // a move is no resize
    SetWindowPos(window, nullptr, 0, 0, 400, 250, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(form->bounds.right, 450);
    EXPECT_EQ(form->resized, resizedBefore + 1);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(form->client.right, client.right);

    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));  // OnClose said no
    const int defaultsBefore = form->defaults;
    SendMessageW(window, WM_USER, 0, 0);
    SendMessageW(window, RegisterWindowMessageW(L"OmbrixTestMessage"), 0, 0);
    SendMessageW(window, 0xFFFF, 0, 0);
    EXPECT_EQ(form->userMessages, 3);
    EXPECT_EQ(form->defaults, defaultsBefore);

    // Child placement in logical units at 144 DPI.
    HWND child =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window, nullptr, programInstance, nullptr);
    auto* control = new Label(child);
    UiResources::dpiX = UiResources::dpiY = 144;
    control->SetBounds(343, 26, 290, 200);
    UiResources::dpiX = UiResources::dpiY = 96;
    EXPECT_EQ(control->bounds.left, 514);
    EXPECT_EQ(control->bounds.top, 39);
    EXPECT_EQ(control->Width(), 435);
    EXPECT_EQ(control->Height(), 300);
    void* asControl = nullptr;
    EXPECT_EQ(control->QueryInterface(kTypeControl, &asControl), kOk);
    EXPECT_EQ(control->QueryInterface(kTypeForm, &asControl), kNoInterface);
    control->Release();
    control->Release();

    form->allowClose = 1;
    SendMessageW(window, WM_CLOSE, 0, 0);  // destroys the window, which releases the form
    EXPECT_FALSE(IsWindow(window));
    UnregisterClassW(L"WndClass", programInstance);
    EXPECT_TRUE(AllInstanceCountersZero());
}
}  // namespace
