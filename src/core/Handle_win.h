// The handles the program holds, each given back to the system exactly once. The system
// answers "no handle" with null from some calls and with INVALID_HANDLE_VALUE from others;
// a Scoped keeps either as empty. A kind names the type, what counts as a handle, and the
// call that gives it back; the platform tables (SerialPort_win.h, SettingsStore_win.h) add
// kinds that close through their table, so that tests see those closes too.
#pragma once

#include <windows.h>

inline bool IsValidHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Owns one handle of Kind and gives it back when it goes. A move hands it to another
// Scoped; Release hands it to a caller that takes charge of it.
template <typename Kind>
class Scoped {
  public:
    using Type = typename Kind::Type;

    explicit Scoped(Type handle = nullptr) : handle_(Kind::IsValid(handle) ? handle : nullptr) {}
    Scoped(Scoped&& other) noexcept : handle_(other.Release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        Reset(other.Release());  // safe for a move onto itself: Release empties it first
        return *this;
    }
    ~Scoped() { Reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    Type Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    Type Release() {
        Type handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    // Gives the held handle back and holds the new one (none by default).
    void Reset(Type handle = nullptr) {
        const Type old = handle_;
        handle_ = Kind::IsValid(handle) ? handle : nullptr;
        if (old != nullptr)
            Kind::Close(old);
    }

  private:
    Type handle_;
};

struct KernelHandleKind {
    using Type = HANDLE;
    static bool IsValid(HANDLE handle) { return IsValidHandle(handle); }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};

struct RegistryKeyKind {
    using Type = HKEY;
    static bool IsValid(HKEY key) { return key != nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};

// A device context the program made (CreateDCW, CreateCompatibleDC), not one of a window.
struct MadeDcKind {
    using Type = HDC;
    static bool IsValid(HDC dc) { return dc != nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};

// A font, bitmap, brush or pen the program made; stock objects need no wrapper.
template <typename Object>
struct GdiObjectKind {
    using Type = Object;
    static bool IsValid(Object object) { return object != nullptr; }
    static void Close(Object object) { DeleteObject(object); }
};

// The design's kind for a loaded library; nothing holds one yet, since hid.dll's module
// passes through the HidLoader table as an opaque pointer.
struct ModuleKind {
    using Type = HMODULE;
    static bool IsValid(HMODULE module) { return module != nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};

using ScopedHandle = Scoped<KernelHandleKind>;
using ScopedKey = Scoped<RegistryKeyKind>;
using ScopedDc = Scoped<MadeDcKind>;
template <typename Object>
using ScopedGdi = Scoped<GdiObjectKind<Object>>;
using ScopedModule = Scoped<ModuleKind>;

// A window's device context from GetDC, which goes back to that window.
class ScopedWindowDc {
  public:
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};
