#include "windows/app/main_window_dpi.h"

#include "windows/state/app_state.h"

#include <commctrl.h>

#include <vector>

#include "core/display/dpi_scale.h"
#include "resource.h"
#include "windows/views/server_list.h"
#include "windows/views/sizer.h"
#include "windows/views/status_bar.h"

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

void RescaleMainWindow(AppState& app, UINT newDpi, const RECT& suggested) {
    UINT oldDpi = app.dpi;
    if (newDpi == oldDpi || newDpi == 0) {
        SetWindowPos(app.hMainDlg, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                     suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    std::vector<int> serverWidths = ColumnWidths(app.hServerList);
    std::vector<int> playerWidths = ColumnWidths(app.hPlayerList);

    HFONT font = ScaledFont(app.hServerList, oldDpi, newDpi);
    RECT client;
    GetClientRect(app.hMainDlg, &client);
    SendMessageW(app.hMainDlg, WM_SETREDRAW, FALSE, 0);
    ControlRescale rescale{app.hMainDlg, oldDpi, newDpi, font};
    EnumChildWindows(app.hMainDlg, RescaleControl, reinterpret_cast<LPARAM>(&rescale));
    if (font) {
        if (app.rescaledFont) {
            DeleteObject(app.rescaledFont);
        }
        app.rescaledFont = font;
    }
    // The controls now stand as they would in a client area of the old size scaled; the new window's size moves them
    // on from there.
    SizerRescale(
        app.hMainDlg, oldDpi, newDpi,
        SizerSize{ScaleBetweenDpi(client.right, oldDpi, newDpi), ScaleBetweenDpi(client.bottom, oldDpi, newDpi)});
    CreateImageLists(app, app.hServerList, newDpi);
    SetStatusIcons(app, newDpi);
    ScaleStatusParts(app, oldDpi, newDpi);
    app.dpi = newDpi;

    SetWindowPos(app.hMainDlg, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The size change set the columns from the window's width; the user's own widths are kept, scaled.
    SetColumnWidths(app.hServerList, serverWidths, oldDpi, newDpi);
    SetColumnWidths(app.hPlayerList, playerWidths, oldDpi, newDpi);
    SendMessageW(app.hStatusBar, WM_SIZE, 0, 0);
    SendMessageW(app.hMainDlg, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(app.hMainDlg, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}
