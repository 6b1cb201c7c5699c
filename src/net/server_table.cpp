#include "net/server_table.h"

#include <new>

#include "net/server_list_decode.h"

std::shared_ptr<ServerTable> BuildServerTable(const unsigned char* body, uint32_t length, SourceSet source) {
    try {
        auto table = std::make_shared<ServerTable>(ServerListCapacity(length));
        int32_t count = DecodeServerList(body, length, table->data());
        table->resize(static_cast<size_t>(count));
        for (ServerRecord& record : *table) {
            record.sources = source;
        }
        return table;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int32_t CountUnanswered(const ServerTable& table) {
    return CountUnansweredRecords(table.data(), static_cast<int32_t>(table.size()));
}
