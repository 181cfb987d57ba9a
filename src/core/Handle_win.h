// Kernel handles: the system answers "no handle" with null from some calls and with
// INVALID_HANDLE_VALUE from others, and a handle must be closed exactly once.
#pragma once

#include <windows.h>

inline bool IsValidHandle(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Owns one handle and closes it when it goes; Release hands it over instead.
class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE handle = nullptr) : handle_(IsValidHandle(handle) ? handle : nullptr) {}
    ~ScopedHandle() {
        if (handle_ != nullptr)
            CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }

  private:
    HANDLE handle_;
};
