// The main window: dialog IDD_MAIN bound to a MainForm, run modally by the application
// entry. It owns the EmulationSession (the board, the joysticks, the association model and
// the run's workers), the control wrappers, the pictures and the pop-up menu, and shows
// what the session decides. Its methods are spread over five files:
//   MainForm_win.cpp          construction, initialisation, layout, commands, painting,
//                             the session's view and teardown;
//   ManualControls_win.cpp    the channel rows, "Pressionado" and the joystick-only box;
//   EmulationRun_win.cpp      "Iniciar"/"Parar", the locks of a run, its error boxes;
//   AssociationEditor_win.cpp the joystick selector, joysticks that come and go, and the
//                             association editor;
//   Profiles_win.cpp          the profile commands' dialog and boxes.
//
// Threads: every method runs on the user-interface thread. The run's workers read the
// session's board, model and joystick; teardown keeps them alive while one may still run.
#pragma once

#include <windows.h>

#include <cstdint>

#include "associations/AssociationModel.h"
#include "core/Handle_win.h"
#include "resource.h"
#include "session/EmulationSession.h"
#include "session/ProfileCommands.h"
#include "text/BuiltInTexts.h"
#include "ui/Bitmap_win.h"
#include "ui/UiMetrics.h"
#include "ui/Window_win.h"

// The responder thread's message when its port stops working (SerialResponder_win.h).
constexpr UINT kPortLostMessage = WM_APP + 1;
// The reader thread's message when a joystick comes or goes (RawInput_win.h).
constexpr UINT kJoystickChangeMessage = WM_APP + 2;
// The status bar's sampling during a run, four times a second.
constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusTimerMs = 250;

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

class MainForm : public Form, private SessionView, private AssociationListView, private ProfileView {
  public:
    // workers: the run's platform; tests hand in their own.
    explicit MainForm(const SessionWorkers& workers);

    const wchar_t* GetClassName() const override { return L"MainForm"; }
    uint32_t Release() override;
    // False when memory ran out while the window's model was built: it cannot be run.
    bool IsValid() const { return session_.IsValid(); }

    void OnPaint() override;
    LRESULT OnCommand(HWND control, uint32_t id, uint32_t code) override;
    void OnVScroll(HWND control, uint32_t code) override;
    void OnTimer(uint32_t id) override;
    LRESULT OnInit(void* createData) override;
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefaultDialogHandler(UINT message, WPARAM wParam, LPARAM lParam) override;

  protected:
    ~MainForm() override;

  private:
    // SessionView.
    void ShowRow(int32_t manualIndex, bool shown) override;
    void UpdateRow(int32_t manualIndex, int32_t percent) override;
    void ShowPressed(bool shown) override;
    void CheckPressed(bool checked) override;
    void ShowPort(uint32_t port) override;
    void CheckJoystickOnly(bool checked) override;
    void ShowRunning(bool running) override;
    void ShowError(const char16_t* text) override;
    void ShowFailure(const char16_t* prefix, HResult code) override;
    void AddJoystickEntry(const char16_t* name) override;
    void RemoveJoystickEntry(int32_t index) override;
    void ShowJoystickEntry(int32_t index, const char16_t* name, bool away) override;
    void SelectJoystickEntry(int32_t index) override;
    void ShowEditor(JoystickDevice* device) override;
    // The same box under another caption (the profile commands' translated one).
    void ShowFailure(const char16_t* prefix, HResult code, const char16_t* caption);

    // AssociationListView over the list box of existing associations.
    void AppendItem(const char16_t* text) override;
    void DeleteItem(int32_t index) override;
    void ClearItems() override;

    HWND Item(int32_t id) const { return GetDlgItem(hwnd, id); }
    void WrapControls();
    void Layout();
    void PrepareRows();
    void TranslateTexts();
    void ShowMenu();
    void StoreSettings();

    // Manual channel controls (ManualControls_win.cpp).
    void OnEditChanged(int32_t id);
    bool OnSliderScrolled(HWND control, uint32_t code);
    bool OnSpinScrolled(HWND control, uint32_t code);
    void OnPressedClicked();
    void OnJoystickOnlyClicked();

    // The run (EmulationRun_win.cpp).
    void OnStartClicked();
    // The status bar: made and divided into its parts, then given the session's texts
    // for the parts that changed.
    void CreateStatusBar();
    void ShowStatus();

    // The association editor (AssociationEditor_win.cpp).
    void SelectJoystick();
    void UpdateTargetChoice();
    void AssociateInput();
    void RemoveSelectedAssociation();
    bool IsShown(int32_t id) const;
    // False while the association lists must not change: during a run, or while a worker
    // of an earlier run still reads them.
    bool AssociationsEditable();

    // ProfileView: the profile commands' dialog and boxes (Profiles_win.cpp), over the
    // registry's profiles.
    String* AskProfileName(const char16_t* title, bool existingOnly, bool* exists) override;
    bool Confirm(const char16_t* question) override;
    void ShowProfileInfo(const char16_t* text) override;
    void ShowProfileError(const char16_t* text) override;
    void ShowProfileFailure(HResult code) override;
    static const ProfileStore& RegistryProfiles();

    EmulationSession session_;
    AssociationModel& associations_;
    ProfileCommands profiles_;

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
    HWND statusBar_ = nullptr;
    ScopedGdi<HFONT> statusFont_;  // the interface face at the status bar's 9 points
    int32_t statusHeight_ = 0;     // pixels, as the bar chose for its font
    // False when the bench measures the bar's cost: the bar is made but never sampled.
    bool statusTimer_ = true;
    bool initialised_ = false;  // OnInit ran: the session holds what the user chose
};
