// The marks on a server row's icon: the favourites' star, the history's clock, the LAN's screens, or a mix of them,
// drawn as overlays of the server list's image list. Win32 side; user interface thread only.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "core/protocol/server_record.h"

struct AppState;

// Makes the server list's mark images its overlays 1 to 7.
void SetRowMarkOverlays(HIMAGELIST serverImages);

// Shows a change of the favourites or the history on the rows: each row's marks are asked for as it is painted.
void MarkFavouriteRows(AppState& app);

// The row state (LVIS_OVERLAYMASK) that marks the server's row: a favourite's, a recently played server's, one that
// answered on the LAN, a mix of them or none.
UINT RowMarkState(AppState& app, const ServerRecord& record);
