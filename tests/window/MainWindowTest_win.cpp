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
    MainForm* Open() {
        auto* form = new MainForm();
        dialog_ = CreateDialogParamW(programInstance, MAKEINTRESOURCEW(kDialogMain), nullptr, FormBindingProc,
                                     reinterpret_cast<LPARAM>(form));
        ShowWindow(dialog_, SW_SHOWNA);
        return form;
    }
    void Click(int id) {
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
    }
    HWND dialog_ = nullptr;
};

// A busy port, and a failure that left no error code, give the system's text, and no run:
// the rows keep what the user set even with a joystick whose positions differ. In
// joystick-only mode the greyed-out port field's text does not stop the start.
TEST_F(MainWindowTest, FailedStartShowsTheSystemTextAndKeepsTheRows) {
    ASSERT_EQ(JoystickStartup(), kOk);
    DevicePtr pad = MakeRealDevice("gamepad12");
    ASSERT_TRUE(pad);
    MainForm* form = Open();
    AssociationModel& model = form->associations;
    model.SetSelectedJoystick(pad.get());
    JoystickInput* x = FindInput(*pad, 1, 0x30);
    ASSERT_EQ(model.AddInputRef(x, nullptr), kOk);
    ASSERT_EQ(model.AddInputRef(FindInput(*pad, 9, 1), nullptr), kOk);
    ASSERT_EQ(model.AddAssociation(1, 0x30, true, 0), kOk);  // X drives "Entrada A"
    ASSERT_EQ(model.AddAssociation(9, 1, false, 8), kOk);    // button 1 presses A
    ASSERT_NE(PercentOfValue(x->Value), 100);                // what a hand-back would show

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
        Click(kIdStart);
        EXPECT_EQ(gShown, L"Oops...|Erro ao iniciar o emulador: " + text) << error;
        EXPECT_EQ(ItemText(dialog_, kIdStart), L"Iniciar");
        EXPECT_EQ(form->board.running.load(), 0u);
        EXPECT_EQ(ItemText(dialog_, 1016), L"100");
        EXPECT_EQ(form->board.Percent(kChannelInputA), 100);
        EXPECT_EQ(pad->Reading, 0u);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog_, kIdPortEdit)));
    }
    SetSerialFunctions(nullptr);

    gShown.clear();
    SetDlgItemTextW(dialog_, kIdPortEdit, L"");
    CheckDlgButton(dialog_, kIdJoystickOnly, BST_CHECKED);
    Click(kIdStart);
    EXPECT_EQ(gShown, L"");
    EXPECT_EQ(ItemText(dialog_, kIdStart), L"Parar");
    EXPECT_EQ(form->serialThread, nullptr);
    Click(kIdStart);
    EXPECT_EQ(ItemText(dialog_, kIdStart), L"Iniciar");
    DestroyWindow(dialog_);
    pad.reset();
    JoystickShutdown();
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
    SendDlgItemMessageW(dialog_, kIdJoystickCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Pad"));
    SendDlgItemMessageW(dialog_, kIdJoystickCombo, CB_SETCURSEL, 1, 0);
    SettingsStore::RegistryFunctions refusing = SettingsStore::kPlatformRegistry;
    refusing.RegSetValueExW = RefuseStore;
    refusing.RegDeleteValueW = RefuseDelete;
    SettingsStore::SetRegistryFunctions(&refusing);
    wchar_t denied[256] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, denied, 256, nullptr);
    // The delete asks first (answered OK here), then shows the refusal.
    for (const auto& [item, name] :
         {std::pair(kIdMenuSaveProfile, L"New"), std::pair(kIdMenuDeleteProfile, L"Kept")}) {
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
    gOpenItemState = GetMenuState(menu, kIdMenuOpenProfile, MF_BYCOMMAND);
    EndMenu();
}

TEST_F(MainWindowTest, OpeningAProfileIsGreyedOutAndRefusedDuringARun) {
    MainForm* form = Open();
    ASSERT_NE(dialog_, nullptr);
    for (uint32_t running : {1u, 0u}) {
        form->board.running.store(running);
        gOpenItemState = ~0u;
        SetTimer(nullptr, 0, 10, ReadOpenItem);
        Click(kIdMenuButton);
        EXPECT_EQ((gOpenItemState & MF_GRAYED) != 0, running != 0) << gOpenItemState;
        // The command itself is refused too: without a joystick it would say so.
        gShown.clear();
        SendMessageW(dialog_, WM_COMMAND, kIdMenuOpenProfile, 0);
        EXPECT_EQ(gShown.empty(), running != 0);
    }
    DestroyWindow(dialog_);
}

// The controls on the board's black area are drawn white on black by the window's colour
// handler; the port field, the start button and the right column keep the system's colours.
TEST_F(MainWindowTest, OnlyTheBoardAreaControlsAreWhiteOnBlack) {
    Open();
    ASSERT_NE(dialog_, nullptr);
    HDC dc = GetDC(dialog_);
    const auto black = reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
    const struct {
        int id;
        UINT message;
        bool board;
    } cases[] = {{1016, WM_CTLCOLOREDIT, true},    {1018, WM_CTLCOLORSTATIC, true},
                 {1012, WM_CTLCOLORBTN, true},     {1028, WM_CTLCOLOREDIT, true},
                 {1032, WM_CTLCOLOREDIT, false},   {1, WM_CTLCOLORBTN, false},
                 {1037, WM_CTLCOLORSTATIC, false}, {1039, WM_CTLCOLORSTATIC, false}};
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

TEST_F(MainWindowTest, AssociateBindsTheChosenInputWhenTwoShareTheirUsages) {
    MainForm* form = Open();
    ASSERT_NE(dialog_, nullptr);
    JoystickInput first, twin;
    for (JoystickInput* input : {&first, &twin}) {
        input->UsagePage = 9;
        input->Usage = 1;
        input->Name = u"Botão 1";
        ASSERT_EQ(form->associations.AddInputRef(input, nullptr), kOk);
        SendDlgItemMessageW(dialog_, kIdInputCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Botão 1"));
    }
    SendDlgItemMessageW(dialog_, kIdInputCombo, CB_SETCURSEL, 1, 0);
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(kIdInputCombo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog_, kIdInputCombo)));
    SendDlgItemMessageW(dialog_, kIdKeyTargets, CB_SETCURSEL, 8, 0);
    Click(kIdAssociate);
    ASSERT_EQ(form->associations.AllAssociations().Count(), 1);
    EXPECT_EQ(AssociationModel::At(form->associations.AllAssociations(), 0)->inputRef->input, &twin);
    DestroyWindow(dialog_);
}

TEST_F(MainWindowTest, SettingsAreStoredOnlyByAWindowThatOpened) {
    const uint8_t chosen[kSavedValuesLength] = {1, 2, 3, 4, 5, 6, 7, 1, 9, 0};
    ASSERT_TRUE(SettingsStore::WriteBinaryValue(nullptr, L"Values", chosen, sizeof(chosen)));
    (new MainForm())->Release();  // never shown
    Buffer* stored = SettingsStore::ReadBinaryValue(nullptr, L"Values");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored->Data()), stored->Length()),
              std::string(reinterpret_cast<const char*>(chosen), sizeof(chosen)));
    SafeRelease(stored);

    MainForm* form = Open();
    ASSERT_NE(dialog_, nullptr);
    EXPECT_EQ(ItemText(dialog_, kIdPortEdit), L"10");
    form->board.SetPercent(kChannelInputA, 77);
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
