// Off-screen pictures and the board pictures scaled to the screen; see Bitmap_win.h.
#include "ui/Bitmap_win.h"

#include <new>

#include "core/Handle_win.h"

#include "ui/UiMetrics.h"
#include "ui/UiResources_win.h"

Bitmap::Bitmap(int32_t resourceId) {
    LoadCompatible(programInstance, resourceId);
}

Bitmap::~Bitmap() {
    ReleaseAll();
}

bool Bitmap::EnsureDc() {
    if (dc == nullptr)
        dc = CreateCompatibleDC(nullptr);
    return dc != nullptr;
}

void Bitmap::Select(HBITMAP newBitmap) {
    bitmap = newBitmap;
    previous = SelectObject(dc, bitmap);
}

void Bitmap::DropBitmap() {
    // A bitmap still selected into a context cannot be deleted: previous goes back first.
    if (dc != nullptr && previous != nullptr)
        SelectObject(dc, previous);
    if (bitmap != nullptr)
        GdiObjectKind<HBITMAP>::Close(bitmap);
    bitmap = nullptr;
    previous = nullptr;
}

void Bitmap::ReleaseAll() {
    DropBitmap();
    if (dc != nullptr)
        MadeDcKind::Close(dc);
    dc = nullptr;
    bits = nullptr;
    width = height = stride = bitsPerPixel = 0;
}

int32_t Bitmap::Create(uint32_t newWidth, uint32_t newHeight) {
    DropBitmap();
    HBITMAP created = nullptr;
    if (EnsureDc()) {
        const ScopedDc display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        if (display)
            created = CreateCompatibleBitmap(display.Get(), static_cast<int>(newWidth),
                                             static_cast<int>(newHeight));
    }
    if (created == nullptr) {
        ReleaseAll();
        return 0;
    }
    Select(created);
    width = newWidth;
    height = newHeight;
    stride = 0;
    bits = nullptr;
    bitsPerPixel = 0;
    return 1;
}

int32_t Bitmap::LoadResource(HINSTANCE instance, int32_t resourceId) {
    HBITMAP loaded = EnsureDc() ? LoadBitmapW(instance, MAKEINTRESOURCEW(resourceId)) : nullptr;
    if (loaded == nullptr) {
        ReleaseAll();
        return 0;
    }
    DropBitmap();
    Select(loaded);
    BITMAP info = {};
    GetObjectW(loaded, sizeof(info), &info);
    width = static_cast<uint32_t>(info.bmWidth);
    height = static_cast<uint32_t>(info.bmHeight);
    stride = static_cast<uint32_t>(info.bmWidthBytes);
    bits = info.bmBits;
    bitsPerPixel = info.bmBitsPixel;
    return 1;
}

int32_t Bitmap::LoadCompatible(HINSTANCE instance, int32_t resourceId) {
    Bitmap* loaded = new (std::nothrow) Bitmap();
    if (loaded == nullptr)
        return 0;
    int32_t result = 0;
    if (loaded->LoadResource(instance, resourceId) && Create(loaded->width, loaded->height)) {
        BitBlt(dc, 0, 0, static_cast<int>(width), static_cast<int>(height), loaded->dc, 0, 0, SRCCOPY);
        result = 1;
    }
    loaded->Release();
    return result;
}

Bitmap* LoadScaledPicture(int32_t resourceId, float factor) {
    if (factor == 1.0f)
        return new (std::nothrow) Bitmap(resourceId);
    // Scaled straight from the loaded resource, itself a device-dependent picture: a
    // compatible copy first would cost a full-size blit at start-up for nothing.
    Bitmap* stored = new (std::nothrow) Bitmap();
    Bitmap* scaled = new (std::nothrow) Bitmap();
    if (stored != nullptr && scaled != nullptr && stored->LoadResource(programInstance, resourceId)) {
        const PictureSize size = ScaledPictureSize(static_cast<int32_t>(stored->width),
                                                   static_cast<int32_t>(stored->height), factor);
        if (scaled->Create(static_cast<uint32_t>(size.width), static_cast<uint32_t>(size.height))) {
            const int oldMode = SetStretchBltMode(scaled->dc, HALFTONE);
            StretchBlt(scaled->dc, 0, 0, size.width, size.height, stored->dc, 0, 0,
                       static_cast<int>(stored->width), static_cast<int>(stored->height), SRCCOPY);
            SetStretchBltMode(scaled->dc, oldMode);
        }
    }
    SafeRelease(stored);
    return scaled;
}
