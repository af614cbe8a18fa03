// present.h on Windows: one SetDIBitsToDevice of a top-down 32-bit DIB onto the
// surface window's device context. The pixel layout 0xFFRRGGBB is exactly a
// BI_RGB 32-bit DIB's B, G, R, X bytes, so no conversion is needed.
#include "present.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

bool PresentFrame(void* surface, const std::uint32_t* pixels, int width, int height) {
    if (surface == nullptr) return true;
    HWND window = static_cast<HWND>(surface);
    if (!IsWindow(window)) return false;
    HDC dc = GetDC(window);
    if (dc == nullptr) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int lines =
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                          static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    GdiFlush();
    ReleaseDC(window, dc);
    return lines == height;
}
