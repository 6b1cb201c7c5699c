#include "windows/views/sizer.h"

#include <prsht.h>
#include <windowsx.h>

#include <cstring>

#include "core/display/dpi_scale.h"

namespace {

constexpr wchar_t SIZER_PROPERTY[] = L"SizerProperty";
constexpr wchar_t SIZER_WINDOW_PROC[] = L"SizerWindowProc";

// The procedure finds its window's record in the window's user data (GWLP_USERDATA), which the sizer takes for its
// own: it is read without a round trip to the window server, where under Wine every property look-up costs one.
// The properties the record and the previous procedure are attached as are the fall-back.
struct SizedWindow {
    SizerInfo* info;
    WNDPROC oldProc;
};

SizedWindow FindSized(HWND window) {
    if (auto* info = reinterpret_cast<SizerInfo*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
        return SizedWindow{info, info->oldProc};
    }
    return SizedWindow{static_cast<SizerInfo*>(GetPropW(window, SIZER_PROPERTY)),
                       reinterpret_cast<WNDPROC>(GetPropW(window, SIZER_WINDOW_PROC))};
}

// The metrics are read each time: the user can change them while the dialog is open.
RECT ComputeGripRect(SizerSize client) {
    AnchorRect grip =
        GripRect(client.width, client.height, GetSystemMetrics(SM_CYVSCROLL), GetSystemMetrics(SM_CXVSCROLL));
    return RECT{grip.left, grip.top, grip.right, grip.bottom};
}

void FreeSizerInfo(SizerInfo* info) {
    HANDLE heap = GetProcessHeap();
    if (info->rows) {
        HeapFree(heap, 0, info->rows);
    }
    HeapFree(heap, 0, info);
}

// Puts the window's own procedure back and drops both properties, so nothing refers to the record any more.
void RemoveSubclass(HWND window, WNDPROC oldProc) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (oldProc) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc));
    }
    RemovePropW(window, SIZER_WINDOW_PROC);
    RemovePropW(window, SIZER_PROPERTY);
}

LRESULT PassOn(WNDPROC oldProc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Without the property (the procedure called for a window it was never installed on) there is no one to ask.
    if (!oldProc) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return CallWindowProcW(oldProc, window, message, wParam, lParam);
}

LRESULT OnDestroy(HWND window, SizerInfo* info, WNDPROC oldProc, WPARAM wParam, LPARAM lParam) {
    if (info) {
        FreeSizerInfo(info);
    }
    RemoveSubclass(window, oldProc);
    return PassOn(oldProc, window, WM_DESTROY, wParam, lParam);
}

void OnSize(HWND window, SizerInfo* info, WPARAM wParam, LPARAM lParam) {
    // A minimised window's client area is empty; laying out for it would only be undone on restore.
    if (!info || wParam == SIZE_MINIMIZED) {
        return;
    }
    info->maximised = wParam == SIZE_MAXIMIZED;
    SizerLayout(LOWORD(lParam), HIWORD(lParam), window);
}

LRESULT OnEraseBackground(HWND window, SizerInfo* info, WNDPROC oldProc, WPARAM wParam, LPARAM lParam) {
    LRESULT result = PassOn(oldProc, window, WM_ERASEBKGND, wParam, lParam);
    // A maximised window cannot be sized by its corner, so it shows no grip.
    if (info && info->gripEnabled && !info->maximised) {
        DrawFrameControl(reinterpret_cast<HDC>(wParam), &info->gripRect, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    }
    return result;
}

LRESULT OnGetMinMaxInfo(const SizerInfo* info, LPARAM lParam) {
    auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
    limits->ptMinTrackSize = POINT{info->minTrackSize.width, info->minTrackSize.height};
    if (info->hasMaxTrack) {
        limits->ptMaxTrackSize = POINT{info->maxTrackSize.width, info->maxTrackSize.height};
    }
    return 0;
}

// A property page is laid out when it becomes the visible one: the sheet may have been resized while it was hidden.
void OnNotify(HWND window, LPARAM lParam) {
    if (reinterpret_cast<const NMHDR*>(lParam)->code != static_cast<UINT>(PSN_SETACTIVE)) {
        return;
    }
    HWND parent = GetParent(window);
    RECT client;
    if (parent && GetClientRect(parent, &client)) {
        SizerLayout(client.right, client.bottom, parent);
    }
}

bool IsOverGrip(HWND window, const SizerInfo* info, LPARAM lParam) {
    // Screen coordinates are signed: left of or above the primary monitor they are negative.
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return ScreenToClient(window, &point) && PtInRect(&info->gripRect, point);
}

} // namespace

int SizerInstall(HWND window, const SizerAnchor* anchors) {
    if (!IsWindow(window)) {
        return 0;
    }
    HANDLE heap = GetProcessHeap();
    auto* info = static_cast<SizerInfo*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(SizerInfo)));
    if (!info) {
        return 0;
    }
    RECT windowRect;
    RECT clientRect;
    GetWindowRect(window, &windowRect);
    GetClientRect(window, &clientRect);
    info->minTrackSize = SizerSize{windowRect.right - windowRect.left, windowRect.bottom - windowRect.top};
    info->clientSize = SizerSize{clientRect.right, clientRect.bottom};
    if (!SetPropW(window, SIZER_PROPERTY, info)) {
        FreeSizerInfo(info);
        return 0;
    }
    info->gripRect = ComputeGripRect(info->clientSize);

    // Fails for a window of another process; every window has a procedure, so null means failure.
    auto oldProc =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SizerWndProc)));
    if (!oldProc) {
        RemovePropW(window, SIZER_PROPERTY);
        FreeSizerInfo(info);
        return 0;
    }
    bool remembered = SetPropW(window, SIZER_WINDOW_PROC, reinterpret_cast<HANDLE>(oldProc));
    info->gripEnabled = 1;

    int32_t rowCount = CountAnchorRows(anchors);
    info->rows = static_cast<SizerAnchor*>(HeapAlloc(heap, 0, sizeof(SizerAnchor) * static_cast<size_t>(rowCount)));
    if (!remembered || !info->rows) {
        RemoveSubclass(window, oldProc);
        FreeSizerInfo(info);
        return 0;
    }
    info->rowCount = rowCount;
    std::memcpy(info->rows, anchors, sizeof(SizerAnchor) * static_cast<size_t>(rowCount));
    info->oldProc = oldProc;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(info));
    return 1;
}

void SizerRescale(HWND window, uint32_t fromDpi, uint32_t toDpi, SizerSize laidOutFor) {
    SizerInfo* info = FindSized(window).info;
    if (!info) {
        return;
    }
    // Scaled from the size at install each time, so that it comes back exactly.
    if (info->installDpi == 0) {
        info->installDpi = fromDpi;
        info->installMinTrackSize = info->minTrackSize;
    }
    info->minTrackSize = SizerSize{ScaleBetweenDpi(info->installMinTrackSize.width, info->installDpi, toDpi),
                                   ScaleBetweenDpi(info->installMinTrackSize.height, info->installDpi, toDpi)};
    info->clientSize = laidOutFor;
}

void SizerLayout(int clientWidth, int clientHeight, HWND window) {
    SizerInfo* info = FindSized(window).info;
    if (!info) {
        return;
    }
    int32_t dx = clientWidth - info->clientSize.width;
    int32_t dy = clientHeight - info->clientSize.height;
    if (dx == 0 && dy == 0) {
        return;
    }
    // Until EndDeferWindowPos nothing has moved: on failure clientSize keeps describing the controls, and the next
    // layout moves them by the whole change.
    HDWP positions = BeginDeferWindowPos(info->rowCount);
    if (!positions) {
        return;
    }
    for (const SizerAnchor* row = info->rows; row->flags != SIZER_END_FLAGS; ++row) {
        HWND control = GetDlgItem(window, row->id);
        if (!control) {
            continue;
        }
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
        AnchorRect moved = ApplyAnchor(AnchorRect{rect.left, rect.top, rect.right, rect.bottom}, row->flags, dx, dy);
        positions = DeferWindowPos(positions, control, nullptr, moved.left, moved.top, moved.right - moved.left,
                                   moved.bottom - moved.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!positions) {
            return;
        }
    }
    EndDeferWindowPos(positions);
    info->clientSize = SizerSize{clientWidth, clientHeight};

    if (info->gripEnabled) {
        RECT oldGrip = info->gripRect;
        info->gripRect = ComputeGripRect(info->clientSize);
        RECT both;
        UnionRect(&both, &oldGrip, &info->gripRect);
        InvalidateRect(window, &both, TRUE);
    }
}

LRESULT CALLBACK SizerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SizedWindow sized = FindSized(window);
    WNDPROC oldProc = sized.oldProc;
    SizerInfo* info = sized.info;
    switch (message) {
    case WM_DESTROY:
        return OnDestroy(window, info, oldProc, wParam, lParam);
    case WM_SIZE:
        OnSize(window, info, wParam, lParam);
        break;
    case WM_ERASEBKGND:
        return OnEraseBackground(window, info, oldProc, wParam, lParam);
    case WM_GETMINMAXINFO:
        if (info) {
            return OnGetMinMaxInfo(info, lParam);
        }
        break;
    case WM_NOTIFY:
        OnNotify(window, lParam);
        break;
    case WM_NCHITTEST:
        if (info && info->gripEnabled && IsOverGrip(window, info, lParam)) {
            return HTBOTTOMRIGHT;
        }
        break;
    }
    return PassOn(oldProc, window, message, wParam, lParam);
}
