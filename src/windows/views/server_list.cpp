#include "windows/views/server_list.h"

#include <strsafe.h>

#include <iterator>

#include "core/display/dpi_scale.h"
#include "core/display/server_columns.h"
#include "core/text/case_fold.h"
#include "platform/win32/wide.h"
#include "resource.h"
#include "windows/views/list_item.h"

namespace {

constexpr DWORD LIST_EXTENDED_STYLE = LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES;

// The list's images in ServerImage order.
constexpr int SERVER_IMAGE_ICONS[] = {IDI_COMPUTER,      IDI_PING_GOOD,  IDI_PING_MEDIUM,         IDI_PING_BAD,
                                      IDI_OS_LINUX,      IDI_OS_WINDOWS, IDI_OS_FREEBSD,          IDI_OS_APPLE,
                                      IDI_FAVOURITE,     IDI_RECENT,     IDI_FAVOURITE_RECENT,    IDI_LAN,
                                      IDI_LAN_FAVOURITE, IDI_LAN_RECENT, IDI_LAN_FAVOURITE_RECENT, IDI_WATCHED};

// The images of the rows' marks, overlays 1 to 7 in ServerMarks order: a row shows one overlay at a time, so each mix
// of the marks has an image of its own. Overlay 8 is the watched mark alone, 9 to 15 the watched mark over 1 to 7,
// made when the images are.
constexpr int MARK_IMAGES[] = {IMAGE_FAVOURITE,     IMAGE_RECENT,     IMAGE_FAVOURITE_RECENT,    IMAGE_LAN,
                               IMAGE_LAN_FAVOURITE, IMAGE_LAN_RECENT, IMAGE_LAN_FAVOURITE_RECENT};

// Appends the watched mark drawn over `image` to `images`; its index, or -1.
int AddWatchedOver(HIMAGELIST images, int image) {
    HIMAGELIST merged = ImageList_Merge(images, image, images, IMAGE_WATCHED, 0, 0);
    if (!merged) {
        return -1;
    }
    int added = -1;
    if (HICON icon = ImageList_GetIcon(merged, 0, ILD_NORMAL)) {
        added = ImageList_ReplaceIcon(images, -1, icon);
        DestroyIcon(icon);
    }
    ImageList_Destroy(merged);
    return added;
}

int ClientWidth(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client.right - client.left;
}

} // namespace

bool InitServerList(ServerListView& view, HWND dialog, HINSTANCE instance, UINT dpi) {
    view.instance = instance;
    view.list = GetDlgItem(dialog, IDC_SERVER_LIST);
    int width = ClientWidth(view.list);
    SendMessageW(view.list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LIST_EXTENDED_STYLE);
    // The rows hold no state of their own but for selection and focus: their marks come with their text.
    SendMessageW(view.list, LVM_SETCALLBACKMASK, LVIS_OVERLAYMASK, 0);
    for (int i = 0; i < SERVER_COLUMN_COUNT; ++i) {
        const ColumnSpec& column = ServerColumns[i];
        if (!InsertListColumn(view.list, i, AsWide(column.title), InitialColumnWidth(column.widthPercent, width))) {
            return false;
        }
        if (column.kind == FIELD_PING) {
            view.sortColumn = i;
        }
    }
    KeepServerListView(view);
    CreateServerImages(view, dpi);
    return true;
}

void CreateServerImages(ServerListView& view, UINT dpi) {
    // Each set lives until a change of DPI replaces it, or the process ends. The images are kept without alpha, clear
    // where their mask says so: every pixel of the icons is opaque or clear, so they look the same, and Wine draws no
    // overlay over an image with alpha.
    PixelSize cell = ListImageSize(dpi);
    HIMAGELIST images = ImageList_Create(cell.width, cell.height, ILC_COLOR24 | ILC_MASK,
                                         static_cast<int>(std::size(SERVER_IMAGE_ICONS) + std::size(MARK_IMAGES)), 0);
    for (int iconId : SERVER_IMAGE_ICONS) {
        // The icons hold an image of the cell's very size at each usual scale; it is taken as it is, not stretched.
        auto icon = static_cast<HICON>(
            LoadImageW(view.instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, cell.width, cell.height, 0));
        ImageList_ReplaceIcon(images, -1, icon);
        DestroyIcon(icon);
    }
    int overlay = 1;
    for (int image : MARK_IMAGES) {
        ImageList_SetOverlayImage(images, image, overlay++);
    }
    ImageList_SetOverlayImage(images, IMAGE_WATCHED, overlay++);
    for (int image : MARK_IMAGES) {
        int watchedOver = AddWatchedOver(images, image);
        ImageList_SetOverlayImage(images, watchedOver >= 0 ? watchedOver : IMAGE_WATCHED, overlay++);
    }
    if (auto old = reinterpret_cast<HIMAGELIST>(
            SendMessageW(view.list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)))) {
        ImageList_Destroy(old);
    }
}

void ResizeServerColumns(ServerListView& view, int clientWidth) {
    for (int i = 0; i < SERVER_COLUMN_COUNT; ++i) {
        SendMessageW(view.list, LVM_SETCOLUMNWIDTH, i, LOWORD(ServerColumnWidth(i, clientWidth)));
    }
}

void GetServerDispInfo(const ServerListView& view, const ServerListInputs& inputs, NMLVDISPINFOW* request) {
    LVITEMW& item = request->item;
    int32_t index = RowServerIndex(view, inputs.shown, item.iItem);
    if (item.iSubItem < 0 || item.iSubItem >= SERVER_COLUMN_COUNT || index < 0) {
        return;
    }
    const ServerRecord& record = inputs.shown.At(index);
    // The list also asks a row for its state alone (the marks, its callback mask); the icon only when it wants it.
    if (item.iSubItem == 0 && (item.mask & LVIF_IMAGE)) {
        item.iImage = OsIconFromVersion(record.version);
    }
    if (item.iSubItem == 0 && (item.mask & LVIF_STATE)) { // the list keeps the rest of the state itself
        UINT marks = INDEXTOOVERLAYMASK(ServerMarks(inputs.lists, record));
        item.state = (item.state & ~LVIS_OVERLAYMASK) | (marks & item.stateMask);
    }
    if (ServerColumns[item.iSubItem].kind == FIELD_PING) {
        item.mask |= LVIF_IMAGE;
        item.iImage = PingImage(record.ping, inputs.config.goodPing, inputs.config.mediumPing);
    } else if (item.iSubItem != 0) {
        // The list draws sub-item images, and a cell that names none would get the first.
        item.mask |= LVIF_IMAGE;
        item.iImage = I_IMAGENONE;
    }
    // Only a request for text carries a buffer to write into.
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        FormatServerCell(record, item.iSubItem, AsU16(item.pszText), static_cast<size_t>(item.cchTextMax));
    }
}

void OnServerColumnClick(ServerListView& view, const ShownTable& shown, int column) {
    int32_t sortValue = NextSortValue(column, view.sortColumn);
    SortServerRows(view, shown, sortValue);
    view.sortColumn = sortValue;
}

// Typing in the list moves to the next row whose host name begins with the typed text, ignoring case, as in a list
// that holds its own rows.
int FindRowByHostName(const ServerListView& view, const ShownTable& shown, const NMLVFINDITEMW& find) {
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz) {
        return -1;
    }
    std::u16string typed, hostname;
    AppendFolded(AsU16(find.lvfi.psz), typed);
    bool partial = (find.lvfi.flags & LVFI_PARTIAL) != 0;
    int rows = view.rows.Count();
    int start = find.iStart >= 0 && find.iStart < rows ? find.iStart : 0;
    for (int step = 0; step < rows; ++step) {
        int row = (start + step) % rows;
        if (row < start && !(find.lvfi.flags & LVFI_WRAP)) {
            break;
        }
        const ServerRecord* record = RowServerRecord(view, shown, row);
        if (!record) {
            continue;
        }
        hostname.clear();
        AppendFolded(record->hostname, hostname);
        if (partial ? hostname.compare(0, typed.size(), typed) == 0 : hostname == typed) {
            return row;
        }
    }
    return -1;
}

void GetSearchInfoTip(const ServerListView& view, const ServerListInputs& inputs, NMLVGETINFOTIPW* tip) {
    int32_t index = RowServerIndex(view, inputs.shown, tip->iItem);
    const ServerSearch& search = inputs.finding.search;
    if (!search.Active() || !tip->pszText || tip->cchTextMax <= 0 || index < 0) {
        return;
    }
    const ServerRecord& record = inputs.shown.At(index);
    std::u16string why = MatchText(record, MatchServer(record, search));
    // The list may hand a tip it has begun (a label too long for its column): the reason replaces it.
    StringCchCopyW(tip->pszText, static_cast<size_t>(tip->cchTextMax), AsWide(why.c_str()));
}

void ShowSearchTips(ServerListView& view, bool search) {
    SendMessageW(view.list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_INFOTIP, search ? LVS_EX_INFOTIP : 0);
}
