// The main window as a whole: construction and initialisation, the layout of its controls,
// the command dispatch and the pop-up menu, painting and colours, the list box the
// association model reports to, and teardown. See MainForm_win.h for the other files.
#include "ui/MainForm_win.h"

#include <commctrl.h>

#include <initializer_list>
#include <new>

#include "joystick/InputCatalogue.h"
#include "joystick/JoystickEnumeration.h"
#include "joystick/JoystickReader.h"
#include "joystick/RawInput_win.h"
#include "persistence/SettingsStore_win.h"
#include "session/SessionWorkers_win.h"
#include "text/BuiltInTexts.h"
#include "ui/UiMetrics.h"
#include "ui/UiResources_win.h"

const MessageFunctions kPlatformMessages = {::MessageBoxW};

namespace {
const MessageFunctions* gMessages = &kPlatformMessages;
bool gLeftWorkersRunning = false;

// Row placements in logical units: the edit, then the slider.
struct RowPlace {
    int32_t editX, editY, sliderX, sliderY;
};
constexpr RowPlace kRowPlaces[kManualRowCount] = {
    {189, 254, 204, 276}, {133, 254, 148, 276}, {77, 254, 92, 276}, {21, 254, 36, 276},
    {189, 39, 244, 0},    {189, 185, 244, 146}, {4, 27, 19, 49},
};

template <typename Kind>
Kind* Wrap(HWND dialog, int32_t id, bool withFont = true) {
    return WrapDialogItem<Kind>(dialog, id, UiResources::uiFont, withFont);
}

template <typename... Kinds>
void ReleaseEach(Kinds*&... wrappers) {
    (SafeRelease(wrappers), ...);
}
}  // namespace

void SetMessageFunctions(const MessageFunctions* functions) {
    gMessages = functions != nullptr ? functions : &kPlatformMessages;
}

int ShowMessage(HWND owner, const char16_t* text, const char16_t* caption, UINT style) {
    return gMessages->MessageBoxW(owner, Wide(text), Wide(caption), style);
}

bool MainFormLeftWorkersRunning() {
    return gLeftWorkersRunning;
}

MainForm::MainForm(const SessionWorkers& workers)
    : session_(*this, workers, kPlatformJoysticks),
      associations_(session_.Associations()),
      profiles_(*this, RegistryProfiles(), associations_) {
    const float factor = PictureFactor(UiResources::scaleY);
    boardPicture_ = LoadScaledPicture(IDB_BOARD, factor);
    secondPicture_ = LoadScaledPicture(IDB_EMBLEM, factor);
    menu_ = LoadMenuW(programInstance, MAKEINTRESOURCEW(IDR_MAIN_MENU));
    if (TextTable::IsLoaded() && menu_ != nullptr) {
        const BuiltInText items[] = {Texts::kMenuOpenProfile, Texts::kMenuSaveProfile,
                                     Texts::kMenuDeleteProfile, Texts::kMenuAbout};
        for (int32_t i = 0; i < 4; ++i) {
            MENUITEMINFOW item = {};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_STRING | MIIM_FTYPE;
            item.fType = MFT_STRING;
            item.dwTypeData = const_cast<wchar_t*>(Wide(Text(items[i])));
            SetMenuItemInfoW(menu_, IDM_OPEN_PROFILE + i, FALSE, &item);
        }
    }
}

uint32_t MainForm::Release() {
    // The last reference: the workers must end before anything they read goes. One that
    // outlives its wait still holds plain pointers into this object, so the object stays.
    if (RefCount() == 1 && !session_.Shutdown()) {
        StoreSettings();
        gLeftWorkersRunning = true;
        return 0;
    }
    return Form::Release();
}

MainForm::~MainForm() {
    SetJoystickNotify(nullptr, 0);
    StopWatching();
    StoreSettings();
    SafeRelease(boardPicture_);
    SafeRelease(secondPicture_);
    for (int32_t m = 0; m < kManualRowCount; ++m)
        ReleaseEach(edits_[m], spins_[m], sliders_[m]);
    ReleaseEach(portEdit_, portSpin_, pressed_, joystickOnlyBox_, startButton_, menuButton_, associateButton_,
                removeButton_, portLabel_, joystickLabel_, separator_, associateToLabel_, existingLabel_,
                joystickCombo_, inputCombo_, channelTargets_, keyTargets_, associationList_);
    if (menu_ != nullptr)
        DestroyMenu(menu_);
}

void MainForm::StoreSettings() {
    // A window that never got as far as its initialisation holds nothing the user chose.
    if (!initialised_)
        return;
    SettingsStore::StoreSavedValues(session_.CaptureSettings());
    initialised_ = false;  // once per exit
}

LRESULT MainForm::OnInit(void*) {
    SendMessageW(hwnd, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconW(programInstance, MAKEINTRESOURCEW(IDI_PROGRAM))));
    session_.SetPortLostTarget({hwnd, kPortLostMessage});

    // The client area is 638 by 460 logical units above the status bar, the window
    // centred on the screen.
    CreateStatusBar();
    CentreWithClientArea(638, 460, statusHeight_);
    if (statusBar_ != nullptr)
        SendMessageW(statusBar_, WM_SIZE, 0, 0);  // along the new bottom

    for (int32_t i = 0; i <= kManualRowCount; ++i) {
        const int32_t id = i < kManualRowCount ? RowEditId(i) : IDC_PORT_EDIT;
        TextBox* edit = Wrap<TextBox>(hwnd, id, false);
        SendMessageW(Item(id), EM_LIMITTEXT, 3, 0);
        Control* spin = Wrap<Control>(hwnd, id + 1, false);
        SendMessageW(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(UiResources::uiFont), FALSE);
        if (i == kManualRowCount) {
            portEdit_ = edit;
            portSpin_ = spin;
            break;
        }
        edits_[i] = edit;
        spins_[i] = spin;
        sliders_[i] = Wrap<Control>(hwnd, id + 2, false);
        SendMessageW(Item(id + 2), TBM_SETRANGEMIN, FALSE, 0);
        SendMessageW(Item(id + 2), TBM_SETRANGEMAX, TRUE, 100);
    }

    ObjectList* found = nullptr;
    if (Failed(EnumerateJoysticks(&found)))
        found = nullptr;  // the window carries on without joysticks
    session_.Roster().Prepare(found);
    WrapControls();
    // The reader thread runs from here on, so that joysticks plugged in later are offered
    // and unplugged ones are noticed; without it the list stays as it was found.
    SetJoystickNotify(hwnd, kJoystickChangeMessage);
    const HResult watching = StartWatching();
    if (Failed(watching))
        ShowFailure(Text(Texts::kJoystickStartFailed), watching);
    Layout();
    PrepareRows();
    session_.RestoreSettings(SettingsStore::LoadSavedValues());
    TranslateTexts();
    associations_.SetListView(this);
    ShowStatus();
    initialised_ = true;
    return 1;
}

void MainForm::WrapControls() {
    joystickCombo_ = Wrap<ComboBox>(hwnd, IDC_JOYSTICK);
    SendMessageW(Item(IDC_JOYSTICK), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Wide(Text(Texts::kNoJoystick))));
    const ObjectList* joysticks = session_.Joysticks();
    for (int32_t j = 0; joysticks != nullptr && j < joysticks->Count(); ++j) {
        auto* device = static_cast<JoystickDevice*>(joysticks->At(j));
        SendMessageW(Item(IDC_JOYSTICK), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(device->Name != nullptr ? Wide(device->Name->Chars()) : L""));
    }

    inputCombo_ = Wrap<ComboBox>(hwnd, IDC_INPUT);
    channelTargets_ = Wrap<ComboBox>(hwnd, IDC_CHANNEL_TARGET);
    keyTargets_ = Wrap<ComboBox>(hwnd, IDC_KEY_TARGET);
    for (int32_t i = 0; i < TextTable::kChannelNameCount; ++i)
        SendMessageW(Item(IDC_CHANNEL_TARGET), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Wide(TextTable::ChannelName(i))));
    for (int32_t i = 0; i < TextTable::kTargetNameCount; ++i)
        SendMessageW(Item(IDC_KEY_TARGET), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Wide(TextTable::TargetName(i))));
    SendMessageW(Item(IDC_JOYSTICK), CB_SETCURSEL, 0, 0);

    pressed_ = Wrap<Button>(hwnd, IDC_PRESSED);
    startButton_ = Wrap<Button>(hwnd, IDC_START);
    associateButton_ = Wrap<Button>(hwnd, IDC_ASSOCIATE);
    removeButton_ = Wrap<Button>(hwnd, IDC_DELETE);
    joystickOnlyBox_ = Wrap<Button>(hwnd, IDC_JOYSTICK_ONLY);
    menuButton_ = Wrap<Button>(hwnd, IDC_MENU_BUTTON);
    associationList_ = Wrap<ListBox>(hwnd, IDC_ASSOCIATIONS);
    portLabel_ = Wrap<Label>(hwnd, IDC_PORT_LABEL);
    joystickLabel_ = Wrap<Label>(hwnd, IDC_JOYSTICK_LABEL);
    associateToLabel_ = Wrap<Label>(hwnd, IDC_TARGET_LABEL);
    existingLabel_ = Wrap<Label>(hwnd, IDC_ASSOCIATIONS_LABEL);
    separator_ = Wrap<Label>(hwnd, IDC_SEPARATOR, false);
    // The association controls come hidden from the resource, which saves a hide each at
    // start-up; choosing a joystick shows them.
}

void MainForm::Layout() {
    for (int32_t m = 0; m < kManualRowCount; ++m) {
        PlaceControl(edits_[m], kRowPlaces[m].editX, kRowPlaces[m].editY, 39, 22);
        PlaceControl(sliders_[m], kRowPlaces[m].sliderX, kRowPlaces[m].sliderY, 24, 100);
    }
    PlaceControl(pressed_, 198, 107, 120, 30);
    PlaceControl(joystickOnlyBox_, 9, 400, 325, 22);
    PlaceControl(portLabel_, 9, 428, 108, 22);
    PlaceControl(portEdit_, 123, 428, 39, 22);
    PlaceControl(portSpin_, 162, 428, 16, 22);
    PlaceControl(startButton_, 195, 424, 137, 30);

    // The right column: each control is placed below the one before it, whose height the
    // system decides for the drop-down lists.
    Window* column[] = {joystickLabel_,   menuButton_,    joystickCombo_,    separator_,
                        associateButton_, inputCombo_,    associateToLabel_, channelTargets_,
                        keyTargets_,      existingLabel_, removeButton_,     associationList_};
    for (Window* control : column) {
        if (control == nullptr)
            return;  // out of memory: the column stays as the resource placed it
    }
    joystickLabel_->SetBounds(343, 4, 260, 22);
    // The "..." button fills the rest of the list's width beside the label.
    menuButton_->SetPixelBounds(joystickLabel_->bounds.right, joystickLabel_->bounds.top,
                                ScaleX(290) - joystickLabel_->Width(), joystickLabel_->Height());
    joystickCombo_->SetBoundsAtTop(343, menuButton_->bounds.bottom + ScaleY(4), 290, 200);
    separator_->SetBoundsAtTop(343, joystickCombo_->bounds.bottom + ScaleY(8), 290, 2);
    associateButton_->SetBoundsAtTop(343, separator_->bounds.bottom + ScaleY(8), 290, 30);
    SendMessageW(inputCombo_->hwnd, CB_SETMINVISIBLE, 10, 0);
    inputCombo_->SetBoundsAtTop(343, associateButton_->bounds.bottom + ScaleY(4), 290, 200);
    associateToLabel_->SetBoundsAtTop(343, inputCombo_->bounds.bottom + ScaleY(4), 290, 22);
    for (ComboBox* targets : {channelTargets_, keyTargets_}) {
        SendMessageW(targets->hwnd, CB_SETMINVISIBLE, 10, 0);
        targets->SetBoundsAtTop(343, associateToLabel_->bounds.bottom + ScaleY(4), 290, 200);
    }
    existingLabel_->SetBoundsAtTop(343, keyTargets_->bounds.bottom + ScaleY(8), 170, 22);
    removeButton_->SetBoundsAtTop(513, keyTargets_->bounds.bottom + ScaleY(4), 120, 30);
    const int32_t listTop = removeButton_->bounds.bottom + ScaleY(4);
    associationList_->SetPixelBounds(ScaleX(343), listTop, ScaleX(290),
                                     client.bottom - statusHeight_ - ScaleY(5) - listTop);
}

void MainForm::PrepareRows() {
    const UDACCEL acceleration[3] = {{0, 1}, {1, 2}, {2, 5}};
    for (int32_t m = 0; m < kManualRowCount; ++m) {
        const int32_t id = RowEditId(m);
        if (edits_[m] != nullptr)
            SetWindowPos(Item(id + 1), nullptr, edits_[m]->bounds.right, edits_[m]->bounds.top, ScaleX(16),
                         edits_[m]->Height(), SWP_NOZORDER);
        SendMessageW(Item(id + 1), UDM_SETRANGE32, 0, 100);
        SendMessageW(Item(id + 1), UDM_SETACCEL, 3, reinterpret_cast<LPARAM>(acceleration));
        if (spins_[m] != nullptr) {
            spins_[m]->UpdateBounds();
            spins_[m]->ReadClient();
        }
    }
    SendMessageW(Item(IDC_PORT_SPIN), UDM_SETRANGE32, 1, 256);
}

void MainForm::TranslateTexts() {
    if (!TextTable::IsLoaded())
        return;
    const struct {
        int32_t id;
        BuiltInText text;
    } texts[] = {
        {IDC_START, Texts::kStart},
        {IDC_PRESSED, Texts::kPressed},
        {IDC_JOYSTICK_ONLY, Texts::kJoystickOnly},
        {IDC_PORT_LABEL, Texts::kPortLabel},
        {IDC_JOYSTICK_LABEL, Texts::kJoystickLabel},
        {IDC_ASSOCIATE, Texts::kAssociate},
        {IDC_TARGET_LABEL, Texts::kAssociateTo},
        {IDC_DELETE, Texts::kRemoveAssociation},
        {IDC_ASSOCIATIONS_LABEL, Texts::kExistingAssociations},
    };
    for (const auto& entry : texts)
        SetDlgItemTextW(hwnd, entry.id, Wide(Text(entry.text)));
}

LRESULT MainForm::OnCommand(HWND, uint32_t id, uint32_t code) {
    const uint32_t kClicked = BN_CLICKED, kSelectionChanged = CBN_SELCHANGE, kChanged = EN_CHANGE;
    switch (id) {
        case IDC_START:
            OnStartClicked();
            return 1;
        case IDCANCEL:
            EndDialog(hwnd, 2);
            return 1;
        case IDC_PRESSED:
            if (code == kClicked)
                OnPressedClicked();
            return 0;
        case IDC_JOYSTICK_ONLY:
            if (code == kClicked)
                OnJoystickOnlyClicked();
            return 0;
        case IDC_JOYSTICK:
            if (code == kSelectionChanged)
                SelectJoystick();
            return 0;
        case IDC_ASSOCIATE:
            if (code == kClicked)
                AssociateInput();
            return 0;
        case IDC_INPUT:
            if (code == kSelectionChanged)
                UpdateTargetChoice();
            return 0;
        case IDC_DELETE:
            if (code == kClicked)
                RemoveSelectedAssociation();
            return 0;
        case IDC_MENU_BUTTON:
            if (code == kClicked)
                ShowMenu();
            return 0;
        case IDM_OPEN_PROFILE:
            profiles_.Open(AssociationsEditable());
            return 0;
        case IDM_SAVE_PROFILE:
            profiles_.Save();
            return 0;
        case IDM_DELETE_PROFILE:
            profiles_.Delete();
            return 0;
        case IDM_ABOUT:
            ShowMessage(hwnd, AboutText(), Text(Texts::kAboutCaption), MB_ICONINFORMATION | MB_OK);
            return 0;
        default:
            if (code == kChanged && static_cast<int32_t>(id) >= IDC_CHANNEL_FIRST &&
                static_cast<int32_t>(id) <= IDC_CH7_EDIT)
                OnEditChanged(static_cast<int32_t>(id));
            return 0;
    }
}

LRESULT MainForm::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPortLostMessage) {
        session_.OnPortLost(static_cast<uint32_t>(wParam), static_cast<HResult>(lParam));
        return 1;
    }
    if (message == kJoystickChangeMessage) {
        session_.Roster().OnChange(wParam == GIDC_ARRIVAL, reinterpret_cast<void*>(lParam));
        return 1;
    }
    return 0;
}

void MainForm::ShowMenu() {
    POINT corner = {0, 0};
    ClientToScreen(Item(IDC_MENU_BUTTON), &corner);
    // Opening a profile would change the lists a run reads: greyed out while one is active.
    const bool running = !AssociationsEditable();
    EnableMenuItem(menu_, IDM_OPEN_PROFILE, MF_BYCOMMAND | (running ? MF_GRAYED : MF_ENABLED));
    const int chosen = TrackPopupMenu(GetSubMenu(menu_, 0), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                      corner.x, corner.y, 0, hwnd, nullptr);
    // The chosen item goes through the window's command dispatch, like any other command.
    if (chosen != 0)
        OnCommand(nullptr, static_cast<uint32_t>(chosen), 0);
}

void MainForm::AppendItem(const char16_t* text) {
    SendMessageW(Item(IDC_ASSOCIATIONS), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

void MainForm::DeleteItem(int32_t index) {
    SendMessageW(Item(IDC_ASSOCIATIONS), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void MainForm::ClearItems() {
    SendMessageW(Item(IDC_ASSOCIATIONS), LB_RESETCONTENT, 0, 0);
}

void MainForm::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    const int32_t boardWidth = boardPicture_ != nullptr ? static_cast<int32_t>(boardPicture_->width) : 0;
    const int32_t boardHeight = boardPicture_ != nullptr ? static_cast<int32_t>(boardPicture_->height) : 0;
    const int32_t checkTop = joystickOnlyBox_ != nullptr ? joystickOnlyBox_->bounds.top : client.bottom;
    const int32_t rightStrip = ScaleX(338);
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    if (boardPicture_ != nullptr && boardPicture_->dc != nullptr)
        BitBlt(dc, 0, 0, boardWidth, boardHeight, boardPicture_->dc, 0, 0, SRCCOPY);
    RECT area = {boardWidth, 0, rightStrip, checkTop};
    FillRect(dc, &area, UiResources::blackBrush);
    area = {rightStrip, 0, client.right, checkTop};
    FillRect(dc, &area, face);
    area = {0, boardHeight, boardWidth, checkTop};
    FillRect(dc, &area, UiResources::blackBrush);
    if (secondPicture_ != nullptr && secondPicture_->dc != nullptr)
        BitBlt(dc, boardWidth - ScaleX(8), boardHeight + ScaleY(4), static_cast<int>(secondPicture_->width),
               static_cast<int>(secondPicture_->height), secondPicture_->dc, 0, 0, SRCCOPY);
    area = {0, checkTop, client.right, client.bottom - statusHeight_};  // the bar paints itself
    FillRect(dc, &area, face);
    EndPaint(hwnd, &paint);
}

LRESULT MainForm::DefaultDialogHandler(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
        session_.Roster().Relist();
        return 0;
    }
    if (message != WM_CTLCOLOREDIT && message != WM_CTLCOLORBTN && message != WM_CTLCOLORSTATIC)
        return 0;
    if (!UsesBoardColours(GetDlgCtrlID(reinterpret_cast<HWND>(lParam))))
        return 0;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    return reinterpret_cast<LRESULT>(UiResources::blackBrush);
}
