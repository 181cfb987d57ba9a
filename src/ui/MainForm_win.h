// The main window: dialog 101 bound to a MainForm, run modally by the application entry.
// It owns everything that lives as long as the program runs: the BoardState, the joysticks,
// the association model, the emulation threads, the control wrappers, the pictures and the
// pop-up menu. Its methods are spread over three files: MainForm_win.cpp (construction,
// initialisation, layout, commands, painting, teardown), ManualControls_win.cpp (the
// channel rows) and EmulationRun_win.cpp (start and stop of a run).
//
// Threads: every method runs on the user-interface thread. During a run the responder
// reads `board`, and the association thread reads `board`, the model and the selected
// joystick; teardown keeps all of them alive while such a thread may still run.
#pragma once

#include <windows.h>

#include <cstdint>

#include "associations/AssociationEvaluation.h"
#include "associations/AssociationModel.h"
#include "board/BoardState.h"
#include "board/SerialResponder_win.h"
#include "core/ObjectList.h"
#include "ui/Bitmap_win.h"
#include "text/BuiltInTexts.h"
#include "ui/Window_win.h"

// Ids of dialog 101's controls and menu 104's items.
enum MainFormId : int32_t {
    kIdStart = 1,
    kIdCancel = 2,
    kIdFirstEdit = 1000,
    kIdLastEdit = 1028,
    kIdPressed = 1012,
    kIdPortEdit = 1032,
    kIdPortSpin = 1033,
    kIdJoystickOnly = 1037,
    kIdPortLabel = 1038,
    kIdJoystickLabel = 1039,
    kIdJoystickCombo = 1040,
    kIdAssociate = 1041,
    kIdInputCombo = 1042,
    kIdAssociateTo = 1043,
    kIdChannelTargets = 1044,
    kIdKeyTargets = 1045,
    kIdAssociationList = 1046,
    kIdExistingLabel = 1047,
    kIdRemove = 1048,
    kIdSeparator = 1049,
    kIdMenuButton = 1050,
    kIdMenuOpenProfile = 40000,
    kIdMenuSaveProfile = 40001,
    kIdMenuDeleteProfile = 40002,
    kIdMenuAbout = 40003,
    kDialogMain = 101,
    kMenuMain = 104,
    kIconMain = 100,
    kBitmapSecond = 102,
    kBitmapBoard = 103,
};

// The edit of manual row m (1000 + 4 x its wire channel); its spin control and slider
// follow at +1 and +2.
inline int32_t RowEditId(int32_t manualIndex) {
    return kIdFirstEdit + 4 * kManualToWire[manualIndex];
}

// The message boxes of the main window, as a table so that a test can read them instead
// of a user.
struct MessageFunctions {
    decltype(&::MessageBoxW) MessageBoxW;
};
extern const MessageFunctions kPlatformMessages;
void SetMessageFunctions(const MessageFunctions* functions);  // null restores the platform

// True when a teardown found a worker thread still running after its wait and therefore
// kept the main window alive; the entry then skips the leak check.
bool MainFormLeftWorkersRunning();

// A message box through the table.
int ShowMessage(HWND owner, const char16_t* text, const char16_t* caption, UINT style);

class MainForm : public Form, private AssociationListView {
  public:
    MainForm();

    const wchar_t* GetClassName() const override { return L"MainForm"; }
    uint32_t Release() override;

    void OnPaint() override;
    LRESULT OnCommand(HWND control, uint32_t id, uint32_t code) override;
    void OnVScroll(HWND control, uint32_t code) override;
    LRESULT OnInit(void* createData) override;
    LRESULT DefaultDialogHandler(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The emulation run (EmulationRun_win.cpp).
    void StartEmulation();
    // 0, or a negative code; starts the responder and the association thread as needed.
    HResult OpenBoardPort(uint32_t portNumber);
    void StopEmulation();

    // The row of manual index m shows p: the edit's text and the slider's position.
    void UpdateRow(int32_t manualIndex, int32_t percent);

    BoardState board;
    AssociationModel associations;
    ObjectList* joysticks = nullptr;
    HANDLE serialThread = nullptr;
    HANDLE associationThread = nullptr;
    uint32_t comPort = 0;
    uint32_t joystickOnly = 0;

  protected:
    ~MainForm() override;

  private:
    // AssociationListView over list box 1046.
    void AppendItem(const char16_t* text) override;
    void DeleteItem(int32_t index) override;
    void ClearItems() override;

    HWND Item(int32_t id) const { return GetDlgItem(hwnd, id); }
    void WrapControls();
    void FindJoysticks();
    void Layout();
    void RestoreSettings();
    void TranslateTexts();
    void ShowMenu();

    // Manual channel controls (ManualControls_win.cpp).
    void OnEditChanged(int32_t id);
    bool OnSliderScrolled(HWND control, uint32_t code);
    bool OnSpinScrolled(HWND control, uint32_t code);
    void OnPressedClicked();
    void OnJoystickOnlyClicked();
    void ShowRow(int32_t manualIndex, bool show);

    // Emulation run helpers (EmulationRun_win.cpp).
    void EndRun(bool handBack);
    // An error box: prefix and the system's text for code (the code in hexadecimal when
    // the system has none), with the error icon.
    void ShowError(const char16_t* prefix, HResult code, const char16_t* caption = Texts::kOops);
    // Ends both workers as a stop does; false when one outlived its 20-second wait.
    bool EndWorkers();
    // The association thread that outlived its wait at a stop: the lists must not change
    // until it has ended. Null when there is none.
    bool AssociationsInUse();

    // The association editor (AssociationEditor_win.cpp).
    void SelectJoystick();
    void UpdateTargetChoice();
    void AssociateInput();
    void RemoveSelectedAssociation();
    bool IsShown(int32_t id) const;

    // The profile commands of the "..." menu (Profiles_win.cpp).
    void OpenProfile();
    void SaveProfile();
    void DeleteProfile();
    // False, after telling the user, while "[Nenhum joystick]" is selected.
    bool JoystickChosen();

    void StoreSettings();
    void StopReadingSelected();

    TextBox* edits_[kManualRowCount] = {};
    Control* spins_[kManualRowCount] = {};
    Control* sliders_[kManualRowCount] = {};
    TextBox* portEdit_ = nullptr;
    Control* portSpin_ = nullptr;
    Button* pressed_ = nullptr;
    Button* joystickOnlyBox_ = nullptr;
    Button* startButton_ = nullptr;
    Button* menuButton_ = nullptr;
    Button* associateButton_ = nullptr;
    Button* removeButton_ = nullptr;
    Label* portLabel_ = nullptr;
    Label* joystickLabel_ = nullptr;
    Label* separator_ = nullptr;
    Label* associateToLabel_ = nullptr;
    Label* existingLabel_ = nullptr;
    ComboBox* joystickCombo_ = nullptr;
    ComboBox* inputCombo_ = nullptr;
    ComboBox* channelTargets_ = nullptr;
    ComboBox* keyTargets_ = nullptr;
    ListBox* associationList_ = nullptr;

    Bitmap* boardPicture_ = nullptr;
    Bitmap* secondPicture_ = nullptr;
    HMENU menu_ = nullptr;

    ResponderOwner responderOwner_ = {&board, nullptr, 0};
    AssociationRun associationRun_ = {};
    HANDLE lingeringAssociationThread_ = nullptr;
    bool initialised_ = false;  // OnInit ran: the fields hold what the user chose
};
