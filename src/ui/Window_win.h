// The window framework: Window wraps a window handle and tracks its bounds and client
// rectangle; Form is a top-level window or dialog whose virtual handlers receive its
// messages; Control and its kinds wrap dialog items. Two procedures bind a Form to its
// window, one for the class "WndClass" and one for dialogs from resources, and one
// dispatch maps messages to handlers. Everything runs on the user-interface thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <new>

#include "core/RefObject.h"
#include "core/String.h"

// Portable code's UTF-16 text (char16_t) as the platform's wide text, the same bytes.
inline const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

class Window : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeWindow;

    // Wraps a dialog item or another existing window and reads its rectangles.
    explicit Window(HWND handle);

    int32_t GetTypeId() const override { return kTypeId; }

    // bounds: relative to the parent's client area, or the screen for a top-level window.
    virtual void UpdateBounds();
    virtual const wchar_t* GetClassName() const { return L""; }

    // Places the window in logical units of 96 DPI, scaled to the screen's DPI.
    void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height);
    // As SetBounds, but with the top in pixels: the layout stacks a control below the one
    // placed before it, in one move. SetPixelBounds: all in pixels.
    void SetBoundsAtTop(int32_t x, int32_t top, int32_t width, int32_t height);
    void SetPixelBounds(int32_t x, int32_t y, int32_t width, int32_t height);
    // The window's text as a new String the caller releases; null when memory ran out.
    String* GetText() const;

    int32_t Width() const { return bounds.right - bounds.left; }
    int32_t Height() const { return bounds.bottom - bounds.top; }

    // Re-reads client with GetClientRect.
    void ReadClient();

    HWND hwnd = nullptr;
    RECT bounds = {};
    RECT client = {};

  protected:
    Window() = default;  // a Form, bound to its window later
    ~Window() override = default;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }

  private:
    InstanceCount<kTypeId> counted_;
};

class Form : public Window {
  public:
    static constexpr int32_t kTypeId = kTypeForm;

    Form();

    int32_t GetTypeId() const override { return kTypeId; }
    void UpdateBounds() override;
    // Sizes the window for a client area of width by height logical units, and below them
    // extraHeight pixels for a control that sizes itself (the status bar), and centres it
    // on the screen.
    void CentreWithClientArea(int32_t width, int32_t height, int32_t extraHeight = 0);

    virtual void OnPaint();
    // The design's full set of hooks; beyond OnInit, OnPaint, OnCommand, OnVScroll,
    // OnUserMessage and DefaultDialogHandler no form overrides them yet.
    virtual void OnTimer(uint32_t) {}
    virtual void OnSizing(int* /*width*/, int* /*height*/, UINT* /*flags*/) {}
    virtual void OnResized() {}
    virtual void OnMouseWheel(int32_t /*delta*/, int32_t /*x*/, int32_t /*y*/, uint32_t /*control*/,
                              uint32_t /*shift*/) {}
    virtual void OnMouseMove(int32_t, int32_t, uint32_t, uint32_t) {}
    virtual void OnLeftButtonDown(int32_t, int32_t, uint32_t, uint32_t) {}
    virtual void OnLeftButtonUp(int32_t, int32_t, uint32_t, uint32_t) {}
    virtual void OnMiddleButtonDown(int32_t, int32_t, uint32_t, uint32_t) {}
    virtual void OnMiddleButtonUp(int32_t, int32_t, uint32_t, uint32_t) {}
    virtual void OnRightButtonDown(int32_t, int32_t, uint32_t, uint32_t) {}
    virtual void OnRightButtonUp(int32_t, int32_t, uint32_t, uint32_t) {}
    virtual LRESULT OnContextMenu(HWND, int32_t /*x*/, int32_t /*y*/) { return 0; }
    virtual LRESULT OnCommand(HWND /*control*/, uint32_t /*id*/, uint32_t /*code*/) { return 0; }
    virtual void OnHScroll(HWND /*control*/, uint32_t /*code*/) {}
    virtual void OnVScroll(HWND /*control*/, uint32_t /*code*/) {}
    virtual LRESULT OnKeyDown(uint32_t /*virtualKey*/) { return 0; }
    virtual LRESULT OnKeyUp(uint32_t /*virtualKey*/) { return 0; }
    // createData: the CREATESTRUCT of a created window, null for a dialog.
    virtual LRESULT OnInit(void* /*createData*/) { return 1; }
    virtual void OnAfterInit() {}
    virtual LRESULT OnClose() { return 1; }  // nonzero: closing allowed
    virtual LRESULT OnSysCommand(uint32_t /*command*/) { return 0; }
    virtual void OnDestroy() {}
    virtual LRESULT OnUserMessage(UINT /*message*/, WPARAM, LPARAM) { return 0; }
    virtual LRESULT DefaultWindowHandler(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefaultDialogHandler(UINT, WPARAM, LPARAM) { return 0; }

    uint32_t windowState = 0;  // bits 0-1: 0 normal, 1 minimised, 2 maximised
    HCURSOR cursor = nullptr;

  protected:
    ~Form() override = default;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || Window::IsOfType(typeId); }

  private:
    friend LRESULT DispatchFormMessage(Form* form, UINT message, WPARAM wParam, LPARAM lParam, bool dialog);
    void TrackPosition(const WINDOWPOS& position);

    InstanceCount<kTypeId> counted_;
};

class Control : public Window {
  public:
    static constexpr int32_t kTypeId = kTypeControl;

    explicit Control(HWND handle) : Window(handle) {}
    int32_t GetTypeId() const override { return kTypeId; }

  protected:
    ~Control() override = default;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || Window::IsOfType(typeId); }

  private:
    InstanceCount<kTypeId> counted_;
};

// A control kind adds only its type id.
template <int32_t Id>
class ControlKind : public Control {
  public:
    static constexpr int32_t kTypeId = Id;

    explicit ControlKind(HWND handle) : Control(handle) {}
    int32_t GetTypeId() const override { return kTypeId; }

  protected:
    ~ControlKind() override = default;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || Control::IsOfType(typeId); }

  private:
    InstanceCount<kTypeId> counted_;
};

using TextBox = ControlKind<kTypeTextBox>;
using Button = ControlKind<kTypeButton>;
using Label = ControlKind<kTypeLabel>;
using ComboBox = ControlKind<kTypeComboBox>;
using ListBox = ControlKind<kTypeListBox>;

// A control of a dialog wrapped in its kind, with the interface font unless withFont is
// false; null when memory ran out.
template <typename Kind>
Kind* WrapDialogItem(HWND dialog, int32_t id, HFONT font, bool withFont = true) {
    HWND control = GetDlgItem(dialog, id);
    if (withFont)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return new (std::nothrow) Kind(control);
}

// SetBounds on a wrapper that exists: one that could not be made leaves its control in
// place but unplaced.
template <typename Kind>
void PlaceControl(Kind* control, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (control != nullptr)
        control->SetBounds(x, y, width, height);
}

// Handlers and results of one message; `dialog` selects the dialog procedure's results.
LRESULT DispatchFormMessage(Form* form, UINT message, WPARAM wParam, LPARAM lParam, bool dialog);

// The procedure of class "WndClass"; the Form comes as CreateWindowExW's creation parameter.
// The design's path for a form in a window of its own: the entry registers the class, but
// every form so far is a dialog, so nothing creates such a window.
LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The procedure to hand DialogBoxParamW (or CreateDialogParamW) with the Form as parameter.
INT_PTR CALLBACK FormBindingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The procedure a bound dialog runs on.
INT_PTR CALLBACK FormDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs form as the modal dialog of resource `dialog` over owner and returns what
// DialogBoxParamW returned. The creator's reference passes to the window once the dialog
// binds the form, and the window drops it when it is destroyed; when no window ever bound
// it (the dialog could not be made) it is released here. The result alone cannot tell the
// two apart: a WM_QUIT in the modal loop ends a bound dialog with 0 as well.
INT_PTR RunModalForm(Form* form, int32_t dialog, HWND owner);
