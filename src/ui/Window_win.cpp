// The window framework: wrappers, bounds tracking, the message dispatch, the binding of a
// form to its window or dialog, and running a form as a modal dialog; see Window_win.h.
#include "ui/Window_win.h"

#include <new>

#include "core/Heap.h"
#include "ui/StartupTrace_win.h"
#include "ui/UiResources_win.h"

Window::Window(HWND handle) : hwnd(handle) {
    Window::UpdateBounds();
    ReadClient();
}

void Window::UpdateBounds() {
    GetWindowRect(hwnd, &bounds);
    if ((GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) != 0)
        MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&bounds), 2);
}

void Window::ReadClient() {
    GetClientRect(hwnd, &client);
}

void Window::SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
    SetPixelBounds(ScaleX(x), ScaleY(y), ScaleX(width), ScaleY(height));
}

void Window::SetBoundsAtTop(int32_t x, int32_t top, int32_t width, int32_t height) {
    SetPixelBounds(ScaleX(x), top, ScaleX(width), ScaleY(height));
}

void Window::SetPixelBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER);
    UpdateBounds();
    ReadClient();
}

void Form::CentreWithClientArea(int32_t width, int32_t height, int32_t extraHeight) {
    RECT frame = {0, 0, ScaleX(width), ScaleY(height) + extraHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    const int32_t outerWidth = frame.right - frame.left;
    const int32_t outerHeight = frame.bottom - frame.top;
    SetWindowPos(hwnd, nullptr, GetSystemMetrics(SM_CXSCREEN) / 2 - outerWidth / 2,
                 GetSystemMetrics(SM_CYSCREEN) / 2 - outerHeight / 2, outerWidth, outerHeight, SWP_NOZORDER);
    UpdateBounds();
    ReadClient();
}

String* Window::GetText() const {
    const int length = GetWindowTextLengthW(hwnd);
    auto* text = static_cast<wchar_t*>(HeapAllocate((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    if (text == nullptr)
        return nullptr;
    const int copied = GetWindowTextW(hwnd, text, length + 1);
    String* result = new (std::nothrow) String(reinterpret_cast<const char16_t*>(text), copied);
    HeapRelease(text);
    return result;
}

Form::Form() {
    cursor = UiResources::arrowCursor;
}

void Form::UpdateBounds() {
    GetWindowRect(hwnd, &bounds);
}

void Form::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
    EndPaint(hwnd, &paint);
}

LRESULT Form::DefaultWindowHandler(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Form::TrackPosition(const WINDOWPOS& position) {
    if ((position.flags & SWP_FRAMECHANGED) != 0)
        windowState = IsIconic(hwnd) ? 1 : IsZoomed(hwnd) ? 2 : 0;
    if ((windowState & 1) != 0)
        return;  // a minimised window's position is the icon's, not the form's
    if ((position.flags & SWP_NOMOVE) == 0) {
        bounds.right += position.x - bounds.left;
        bounds.bottom += position.y - bounds.top;
        bounds.left = position.x;
        bounds.top = position.y;
    }
    if ((position.flags & SWP_NOSIZE) != 0)
        return;
    bounds.right = bounds.left + position.cx;
    bounds.bottom = bounds.top + position.cy;
    ReadClient();
    OnResized();
}

namespace {
int32_t LowSigned(LPARAM value) {
    return static_cast<int16_t>(LOWORD(value));
}
int32_t HighSigned(LPARAM value) {
    return static_cast<int16_t>(HIWORD(value));
}
}  // namespace

LRESULT DispatchFormMessage(Form* form, UINT message, WPARAM wParam, LPARAM lParam, bool dialog) {
    // The window procedure's fall-back is the platform default; the dialog procedure's is
    // 0, which leaves the message to the dialog manager.
    auto fallBack = [&]() -> LRESULT {
        return dialog ? 0 : DefWindowProcW(form->hwnd, message, wParam, lParam);
    };
    const int32_t x = LowSigned(lParam);
    const int32_t y = HighSigned(lParam);
    const uint32_t control = static_cast<uint32_t>(wParam & MK_CONTROL);
    const uint32_t shift = static_cast<uint32_t>(wParam & MK_SHIFT);
    switch (message) {
        case WM_CREATE:
            if (dialog)
                return form->DefaultDialogHandler(message, wParam, lParam);
            form->UpdateBounds();
            form->ReadClient();
            return form->OnInit(reinterpret_cast<void*>(lParam)) == 0 ? -1 : fallBack();
        case WM_DESTROY:
            form->OnDestroy();
            return fallBack();
        case WM_PAINT:
            form->OnPaint();
            MarkStartup(StartupPhase::kFirstPaint);
            return dialog ? 1 : 0;
        case WM_CLOSE: {
            const LRESULT allowed = form->OnClose();
            if (dialog)
                return allowed != 0 ? 0 : 1;
            return allowed != 0 ? fallBack() : 0;
        }
        case WM_ERASEBKGND:
            return 1;  // OnPaint covers the whole client area
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == form->hwnd) {
                SetCursor(form->cursor);
                return 1;
            }
            return fallBack();
        case WM_WINDOWPOSCHANGING: {
            auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
            if ((position->flags & SWP_NOSIZE) == 0)
                form->OnSizing(&position->cx, &position->cy, &position->flags);
            return dialog ? 1 : 0;
        }
        case WM_WINDOWPOSCHANGED:
            form->TrackPosition(*reinterpret_cast<const WINDOWPOS*>(lParam));
            return dialog ? 1 : 0;
        case WM_CONTEXTMENU: {
            const LRESULT handled = form->OnContextMenu(reinterpret_cast<HWND>(wParam), x, y);
            if (dialog)
                return handled != 0 ? 1 : 0;
            return handled != 0 ? 0 : fallBack();
        }
        case WM_NCCREATE:
            return dialog ? form->DefaultDialogHandler(message, wParam, lParam) : fallBack();
        case WM_KEYDOWN:
        case WM_KEYUP: {
            const uint32_t key = static_cast<uint32_t>(wParam);
            const LRESULT handled = message == WM_KEYDOWN ? form->OnKeyDown(key) : form->OnKeyUp(key);
            if (dialog)
                return handled;
            return handled != 0 ? 0 : fallBack();
        }
        case WM_COMMAND: {
            const LRESULT result =
                form->OnCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
            return dialog ? result : 0;
        }
        case WM_SYSCOMMAND: {
            const LRESULT handled = form->OnSysCommand(static_cast<uint32_t>(wParam));
            if (dialog)
                return handled;
            return handled != 0 ? 0 : fallBack();
        }
        case WM_TIMER:
            form->OnTimer(static_cast<uint32_t>(wParam));
            return 0;
        case WM_HSCROLL:
            form->OnHScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            return 0;
        case WM_VSCROLL:
            form->OnVScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            return 0;
        case WM_MOUSEMOVE:
            form->OnMouseMove(x, y, control, shift);
            return 0;
        case WM_LBUTTONDOWN:
            form->OnLeftButtonDown(x, y, control, shift);
            return 0;
        case WM_LBUTTONUP:
            form->OnLeftButtonUp(x, y, control, shift);
            return 0;
        case WM_RBUTTONDOWN:
            form->OnRightButtonDown(x, y, control, shift);
            return 0;
        case WM_RBUTTONUP:
            form->OnRightButtonUp(x, y, control, shift);
            return 0;
        case WM_MBUTTONDOWN:
            form->OnMiddleButtonDown(x, y, control, shift);
            return 0;
        case WM_MBUTTONUP:
            form->OnMiddleButtonUp(x, y, control, shift);
            return 0;
        case WM_MOUSEWHEEL:
            form->OnMouseWheel(static_cast<int16_t>(HIWORD(wParam)), x, y, control, shift);
            return 0;
        default:
            if (message >= WM_USER && message <= 0xFFFF)
                return form->OnUserMessage(message, wParam, lParam);
            return dialog ? form->DefaultDialogHandler(message, wParam, lParam)
                          : form->DefaultWindowHandler(message, wParam, lParam);
    }
}

namespace {
// The window owns the reference its creator handed over; unbinding drops it.
void Unbind(HWND window, Form* form) {
    SetWindowLongPtrW(window, 0, 0);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->Release();
}
}  // namespace

LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (form == nullptr)
            return 0;  // a "WndClass" window without its Form is refused
        form->hwnd = window;
        SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(form));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Messages before binding and after unbinding touch no Form.
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, 0));
    if (form == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        Unbind(window, form);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return DispatchFormMessage(form, message, wParam, lParam, false);
}

INT_PTR CALLBACK FormBindingProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return 0;
    auto* form = reinterpret_cast<Form*>(lParam);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->hwnd = dialog;
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(FormDialogProc));
    form->UpdateBounds();
    form->ReadClient();
    const LRESULT result = form->OnInit(nullptr);
    form->OnAfterInit();
    MarkStartup(StartupPhase::kWindowCreated);
    return result;
}

INT_PTR CALLBACK FormDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (form == nullptr)
        return 0;
    if (message == WM_NCDESTROY) {
        Unbind(dialog, form);
        return 0;
    }
    return DispatchFormMessage(form, message, wParam, lParam, true);
}

INT_PTR RunModalForm(Form* form, int32_t dialog, HWND owner) {
    form->hwnd = nullptr;  // set by the binding at WM_INITDIALOG
    // Held across the call: a bound window drops the creator's reference when it is
    // destroyed, which may be the last one, and the form must still be asked afterwards.
    form->AddRef();
    const INT_PTR result = DialogBoxParamW(programInstance, MAKEINTRESOURCEW(dialog), owner, FormBindingProc,
                                           reinterpret_cast<LPARAM>(form));
    if (form->hwnd == nullptr)
        form->Release();
    form->Release();
    return result;
}
