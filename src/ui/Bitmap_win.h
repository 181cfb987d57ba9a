// An off-screen picture held in a memory device context: blank pictures for scaling, and
// the board pictures loaded from the program's bitmap resources. Owned by the main window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/RefObject.h"

class Bitmap : public RefObject {
  public:
    static constexpr int32_t kTypeId = kTypeBitmap;

    Bitmap() = default;
    // LoadCompatible from the program's module; an empty picture when that fails.
    explicit Bitmap(int32_t resourceId);

    int32_t GetTypeId() const override { return kTypeId; }

    // Each returns 1 on success, or 0 with the picture left empty (no dc, no bitmap).
    int32_t Create(uint32_t newWidth, uint32_t newHeight);
    int32_t LoadResource(HINSTANCE instance, int32_t resourceId);
    // Loads the resource and copies it into a display-compatible picture of the same size.
    int32_t LoadCompatible(HINSTANCE instance, int32_t resourceId);

    // The picture owns dc and bitmap and gives them back when it goes.
    HDC dc = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    // The stored picture's layout from LoadResource, as the design keeps it; nothing in the
    // program reads these three, since every picture is drawn through dc.
    uint32_t stride = 0;
    void* bits = nullptr;
    uint32_t bitsPerPixel = 0;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;  // dc's own bitmap, put back before bitmap goes

  protected:
    ~Bitmap() override;
    bool IsOfType(int32_t typeId) const override { return typeId == kTypeId || RefObject::IsOfType(typeId); }

  private:
    bool EnsureDc();
    void Select(HBITMAP newBitmap);
    // Deselects and deletes bitmap, keeping dc.
    void DropBitmap();
    void ReleaseAll();

    InstanceCount<kTypeId> counted_;
};

// The main window's picture for a resource at the screen's DPI: the stored picture when
// the factor is exactly 1, else a half-toned copy scaled by it. Null when memory ran out.
Bitmap* LoadScaledPicture(int32_t resourceId, float factor);
