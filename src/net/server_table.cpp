#include "net/server_table.h"

#include "app/app_messages.h"
#include "app/app_state.h"
#include "net/server_list_decode.h"

namespace {

// Runs the swap on the user interface thread. Without a main dialog (gone at the program's end) no such reader
// exists, and it runs here under tableLock, which the program's end holds while it releases the table.
void SwapOnUserInterfaceThread(ServerTableSwap& swap) {
    if (app.hMainDlg) {
        SendMessageW(app.hMainDlg, WM_APP_SWAP_TABLE, 0, reinterpret_cast<LPARAM>(&swap));
    }
    if (!swap.swapped) {
        EnterCriticalSection(&app.tableLock);
        SwapServerTable(swap);
        LeaveCriticalSection(&app.tableLock);
    }
}

} // namespace

void SwapServerTable(ServerTableSwap& swap) {
    ServerRecord* servers = app.servers;
    int32_t serverCount = app.serverCount;
    app.servers = swap.servers;
    app.serverCount = swap.serverCount;
    swap.servers = servers;
    swap.serverCount = serverCount;
    swap.swapped = true;
}

void RebuildServerTable(const unsigned char* body, uint32_t length) {
    // The old table goes first, so the two never need memory at the same time.
    ServerTableSwap swap{nullptr, 0, false};
    SwapOnUserInterfaceThread(swap);
    if (swap.servers) {
        HeapFree(GetProcessHeap(), 0, swap.servers);
    }

    SIZE_T bytes = static_cast<SIZE_T>(ServerListCapacity(length)) * sizeof(ServerRecord);
    auto* records = static_cast<ServerRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!records) {
        return; // the table stays empty
    }
    swap = ServerTableSwap{records, DecodeServerList(body, length, records), false};
    SwapOnUserInterfaceThread(swap);
}

int32_t CountUnanswered() {
    return CountUnansweredRecords(app.servers, app.serverCount);
}
