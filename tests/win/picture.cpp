#include "picture.h"

#include <cstdio>
#include <utility>

COLORREF ScreenPicture::At(int x, int y) const {
    DWORD pixel = pixels[static_cast<size_t>(y - area.top) * (area.right - area.left) + (x - area.left)];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int ScreenPicture::Count(const RECT& rect, COLORREF colour) const {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            count += At(x, y) == colour;
        }
    }
    return count;
}

namespace {

// Paints into a top-down 32-bit section the size of the window and keeps its pixels.
template <typename Paint> ScreenPicture Picture(const RECT& area, Paint paint) {
    ScreenPicture picture;
    picture.area = area;
    int width = picture.area.right - picture.area.left;
    int height = picture.area.bottom - picture.area.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    paint(memory, screen, picture.area);
    GdiFlush();
    auto* first = static_cast<DWORD*>(bits);
    picture.pixels.assign(first, first + static_cast<size_t>(width) * height);
    for (DWORD& pixel : picture.pixels) {
        pixel |= 0xFF000000; // GDI leaves the alpha byte 0; the file is meant opaque
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

} // namespace

ScreenPicture CaptureWindow(HWND window) {
    RECT area;
    GetWindowRect(window, &area);
    return Picture(area, [](HDC memory, HDC screen, const RECT& area) {
        BitBlt(memory, 0, 0, area.right - area.left, area.bottom - area.top, screen, area.left, area.top, SRCCOPY);
    });
}

ScreenPicture SettledCapture(HWND window) {
    ScreenPicture last = CaptureWindow(window);
    for (int i = 0; i < 40; ++i) {
        Sleep(50);
        ScreenPicture now = CaptureWindow(window);
        if (now.pixels == last.pixels) {
            break;
        }
        last = std::move(now);
    }
    return last;
}

ScreenPicture PrintedClient(HWND window) {
    RECT area;
    GetClientRect(window, &area);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return Picture(area, [window](HDC memory, HDC, const RECT&) {
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    });
}

bool WriteBitmap(const ScreenPicture& picture, const wchar_t* path) {
    int width = picture.area.right - picture.area.left;
    int height = picture.area.bottom - picture.area.top;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = -height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    DWORD imageBytes = static_cast<DWORD>(picture.pixels.size() * sizeof(DWORD));
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageBytes;
    FILE* out = _wfopen(path, L"wb");
    if (!out) {
        return false;
    }
    bool written = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&header, sizeof header, 1, out) == 1 &&
                   fwrite(picture.pixels.data(), imageBytes, 1, out) == 1;
    return fclose(out) == 0 && written;
}
