#include "net/server_table.h"

#include "app/app_state.h"
#include "net/server_list_decode.h"

void RebuildServerTable(const unsigned char* body, uint32_t length) {
    // serverCount drops to 0 before the old array goes, so a reader that checks an index against it first never
    // reaches the released records.
    app.serverCount = 0;
    if (app.servers) {
        HeapFree(GetProcessHeap(), 0, app.servers);
        app.servers = nullptr;
    }
    SIZE_T bytes = static_cast<SIZE_T>(ServerListCapacity(length)) * sizeof(ServerRecord);
    auto* records = static_cast<ServerRecord*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (!records) {
        return;
    }
    app.servers = records;
    app.serverCount = DecodeServerList(body, length, records);
}

int32_t CountUnanswered() {
    return CountUnansweredRecords(app.servers, app.serverCount);
}
