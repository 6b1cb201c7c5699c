#include "windows/support/display_dpi.h"

namespace {

// Looked up at each call: the program asks only when it lays a window out.
template <typename Function> Function SystemCall(const wchar_t* module, const char* name) {
    HMODULE loaded = GetModuleHandleW(module);
    return loaded ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

} // namespace

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND window) {
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    if (auto getDpi = SystemCall<GetDpiForWindowCall>(L"user32.dll", "GetDpiForWindow")) {
        if (UINT dpi = getDpi(window)) {
            return dpi;
        }
    }
    return SystemDpi();
}

void OwnDialogDpiChanges(HWND dialog) {
    using SetDialogDpiChangeBehaviorCall = BOOL(WINAPI*)(HWND, int, int);
    constexpr int DDC_DISABLE_ALL = 0x0001;
    if (auto set = SystemCall<SetDialogDpiChangeBehaviorCall>(L"user32.dll", "SetDialogDpiChangeBehavior")) {
        set(dialog, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
    }
}
