#include "windows/app/main_window_dpi.h"

#include <commctrl.h>

#include <vector>

#include "core/display/dpi_scale.h"
#include "resource.h"
#include "windows/views/sizer.h"

namespace {

std::vector<int> ColumnWidths(HWND list) {
    std::vector<int> widths;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        widths.push_back(static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0)));
    }
    return widths;
}

void SetColumnWidths(HWND list, const std::vector<int>& widths, UINT fromDpi, UINT toDpi) {
    for (size_t i = 0; i < widths.size(); ++i) {
        SendMessageW(list, LVM_SETCOLUMNWIDTH, i, LOWORD(ScaleBetweenDpi(widths[i], fromDpi, toDpi)));
    }
}

// The controls' font at the new DPI: the one they show now, at its size in points (the dialog's is a whole number of
// them), as the dialog manager makes it. So a font comes back the same after any number of changes.
HFONT ScaledFont(HWND control, UINT fromDpi, UINT toDpi) {
    auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    if (!font || GetObjectW(font, sizeof description, &description) != sizeof description) {
        return nullptr;
    }
    int32_t points = ScaleBetweenDpi(description.lfHeight, fromDpi, 72);
    description.lfHeight = ScaleBetweenDpi(points, 72, toDpi);
    description.lfWidth = 0;
    return CreateFontIndirectW(&description);
}

struct ControlRescale {
    HWND dialog;
    UINT fromDpi;
    UINT toDpi;
    HFONT font;
};

// Each child of the dialog keeps its place and size in proportion; the status bar places itself.
BOOL CALLBACK RescaleControl(HWND control, LPARAM lParam) {
    const auto& rescale = *reinterpret_cast<const ControlRescale*>(lParam);
    if (GetParent(control) != rescale.dialog) {
        return TRUE; // the lists' headers and the combo box's parts follow their owners
    }
    if (rescale.font) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(rescale.font), FALSE);
    }
    if (GetDlgCtrlID(control) == IDC_STATUS_BAR) {
        return TRUE;
    }
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, rescale.dialog, reinterpret_cast<POINT*>(&rect), 2);
    AnchorRect scaled =
        ScaleRectBetweenDpi(AnchorRect{rect.left, rect.top, rect.right, rect.bottom}, rescale.fromDpi, rescale.toDpi);
    SetWindowPos(control, nullptr, scaled.left, scaled.top, scaled.right - scaled.left, scaled.bottom - scaled.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

} // namespace

void RescaleMainWindow(RescaledWindow window, UINT newDpi, const RECT& suggested) {
    UINT oldDpi = window.dpi;
    if (newDpi == oldDpi || newDpi == 0) {
        SetWindowPos(window.dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    std::vector<int> serverWidths = ColumnWidths(window.servers.list);
    std::vector<int> playerWidths = ColumnWidths(window.players.list);

    HFONT font = ScaledFont(window.servers.list, oldDpi, newDpi);
    RECT client;
    GetClientRect(window.dialog, &client);
    SendMessageW(window.dialog, WM_SETREDRAW, FALSE, 0);
    ControlRescale rescale{window.dialog, oldDpi, newDpi, font};
    EnumChildWindows(window.dialog, RescaleControl, reinterpret_cast<LPARAM>(&rescale));
    if (font) {
        window.font = std::make_unique<GdiHandle>(font);
    }
    // The controls now stand as they would in a client area of the old size scaled; the new window's size moves them
    // on from there.
    SizerRescale(
        window.dialog, oldDpi, newDpi,
        SizerSize{ScaleBetweenDpi(client.right, oldDpi, newDpi), ScaleBetweenDpi(client.bottom, oldDpi, newDpi)});
    CreateServerImages(window.servers, newDpi);
    CreatePlayerImages(window.players, newDpi);
    SetStatusIcons(window.status, newDpi);
    ScaleStatusParts(window.status, oldDpi, newDpi);
    window.dpi = newDpi;

    SetWindowPos(window.dialog, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The size change set the columns from the window's width; the user's own widths are kept, scaled.
    SetColumnWidths(window.servers.list, serverWidths, oldDpi, newDpi);
    SetColumnWidths(window.players.list, playerWidths, oldDpi, newDpi);
    SendMessageW(window.status.bar, WM_SIZE, 0, 0);
    SendMessageW(window.dialog, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(window.dialog, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}
