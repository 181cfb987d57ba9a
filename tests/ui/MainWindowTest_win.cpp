// The main window and its font in process, under Wine with the real platform: what the
// end-to-end scenarios cannot reach (a refused registry, a font Wine lacks, a window that
// never opened, a worker that outlives its stop, two inputs with the same usages).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>
#include <vector>

#include "JoystickSupport_win.h"
#include "core/Handle_win.h"
#include "joystick/JoystickReader.h"
#include "persistence/SettingsStore_win.h"
#include "session/SessionWorkers_win.h"
#include "ui/MainForm_win.h"
#include "text/TextTable_win.h"
#include "ui/UiResources_win.h"

namespace {
std::wstring gShown;

int WINAPI RecordMessage(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    gShown = std::wstring(caption) + L"|" + text;
    return IDOK;
}
const MessageFunctions kRecordedMessages = {RecordMessage};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        programInstance = GetModuleHandleW(nullptr);
        UiResources::Create();
        SetMessageFunctions(&kRecordedMessages);
        gShown.clear();
    }
    void TearDown() override {
        TextTable::Free();
        SetMessageFunctions(nullptr);
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

// The run's workers, played here: the responder only pretends, the association thread
// keeps what it was handed, and Wait says whether they have ended.
const AssociationRun* gRun = nullptr;
bool gWorkersEnd = true;
int gWorker = 0;
const SessionWorkers kFakeWorkers = {
    StartReading,
    StopReading,
    [](BoardState&, LineCounters&, const PortLostTarget&, uint32_t, Worker* worker) {
        *worker = &gWorker;
        return kOk;
    },
    [](const AssociationRun* run, Worker* worker) {
        gRun = run;
        *worker = &gWorker;
        return kOk;
    },
    [](Worker, uint32_t) { return gWorkersEnd; },
    [](Worker) {},
};

// With a pad whose two sliders share their usage: "Associar entrada" binds the slider
// chosen, and a worker that outlives its stop keeps the window alive at its close until it
// has ended; the profile commands' and the selector's rules are the session's. (The
// lambdas stand in for WINAPI functions: on x64 there is one calling convention.)
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

    gWorkersEnd = false;
    Click(IDC_START);  // the stop: its workers outlive the wait
    wchar_t start[16] = {};
    GetDlgItemTextW(dialog_, IDC_START, start, 16);
    EXPECT_STREQ(start, L"Iniciar");

    DestroyWindow(dialog_);
    EXPECT_TRUE(MainFormLeftWorkersRunning());
    EXPECT_EQ(gRun->Model->AllAssociations().Count(), 1) << "freed under the worker";
    gWorkersEnd = true;
    form->Release();  // the window's last reference again, now that the worker has ended
    gRun = nullptr;
    JoystickShutdown();
    raw.Uninstall();
}

// Ends the modal dialog with 0, as a WM_QUIT in its loop does on Windows (Wine's loop does
// not end on one); until the dialog is up there is nothing to end.
void CALLBACK EndModalWithZero(HWND, UINT, UINT_PTR, DWORD) {
    EndDialog(GetActiveWindow(), 0);
}

// The settings are stored at a close, which the window session checks; a window whose
// dialog could not be made has its form released and stores nothing. A modal form's
// creator reference goes exactly once, also for a bound dialog that ends with 0.
TEST_F(MainWindowTest, AWindowThatNeverOpenedStoresNothingAndOnlyTheRowsAreWhiteOnBlack) {
    const uint8_t chosen[kSavedValuesLength] = {1, 2, 3, 4, 5, 6, 7, 1, 9, 0};
    ASSERT_TRUE(SettingsStore::WriteBinaryValue(nullptr, L"Values", chosen, kSavedValuesLength));
    EXPECT_EQ(RunModalForm(new MainForm(kPlatformWorkers), 9999, nullptr), -1);
    Buffer* stored = SettingsStore::ReadBinaryValue(nullptr, L"Values");
    EXPECT_EQ(std::vector<uint8_t>(stored->Data(), stored->Data() + stored->Length()),
              std::vector<uint8_t>(chosen, chosen + kSavedValuesLength));
    SafeRelease(stored);
    auto* modal = new MainForm(kPlatformWorkers);
    modal->AddRef();  // the test's own
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, EndModalWithZero);
    EXPECT_EQ(RunModalForm(modal, IDD_MAIN, nullptr), 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(InstanceCounters[kTypeForm].load(), 1) << "only the test's reference may be left";
    modal->Release();

    Open();
    const ScopedWindowDc windowDc(dialog_);
    HDC dc = windowDc.Get();
    for (int id : {IDC_CH4_EDIT, IDC_PORT_EDIT}) {
        SetTextColor(dc, RGB(1, 2, 3));
        const LRESULT brush = SendMessageW(dialog_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
        EXPECT_EQ(brush == reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH)), id == IDC_CH4_EDIT) << id;
        EXPECT_EQ(GetTextColor(dc) == RGB(255, 255, 255), id == IDC_CH4_EDIT) << id;
    }
    DestroyWindow(dialog_);
}

// Wine has no "Segoe UI", so its branch is reached through the lookup table.
bool gHasSegoe = false, gSegoeFails = false;
const FontFunctions kFakeFonts = {[](HDC, const wchar_t*) { return gHasSegoe; },
                                  [](int32_t height, const wchar_t* face) -> HFONT {
                                      if (gSegoeFails && lstrcmpW(face, L"Segoe UI") == 0)
                                          return nullptr;
                                      return kPlatformFonts.CreateUiFont(height, face);
                                  }};
TEST(UiFont, SegoeUiWhenItCanBeMadeElseTahoma) {
    const ScopedDc display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    SetFontFunctions(&kFakeFonts);
    // Segoe UI there and made, there but not made, not there.
    for (const auto& [hasSegoe, segoeFails, face] :
         {std::tuple(true, false, L"Segoe UI"), std::tuple(true, true, L"Tahoma"),
          std::tuple(false, false, L"Tahoma")}) {
        gHasSegoe = hasSegoe;
        gSegoeFails = segoeFails;
        const ScopedGdi<HFONT> font(ChooseUiFont(display.Get(), 120));
        LOGFONTW chosen = {};
        ASSERT_NE(GetObjectW(font.Get(), sizeof(chosen), &chosen), 0);
        EXPECT_STREQ(chosen.lfFaceName, face);
        EXPECT_EQ(chosen.lfHeight, -18);  // 11 points at 120 DPI
    }
    SetFontFunctions(nullptr);
}

}  // namespace
