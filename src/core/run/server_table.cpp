#include "core/run/server_table.h"

#include <new>

#include "core/run/address_index.h"

bool ServerTable::Append(uint32_t addr, uint16_t port, SourceSet sources) {
    size_t index = size_.load(std::memory_order_relaxed);
    if (index >= MAX_RUN_SERVERS) {
        return false;
    }
    std::unique_ptr<ServerRecord[]>& chunk = chunks_[index / CHUNK_RECORDS];
    if (!chunk) {
        chunk.reset(new (std::nothrow) ServerRecord[CHUNK_RECORDS]());
        if (!chunk) {
            return false;
        }
    }
    ServerRecord& record = chunk[index % CHUNK_RECORDS];
    record.addr = addr;
    record.port = port;
    record.sources.store(sources, std::memory_order_relaxed);
    size_.store(index + 1, std::memory_order_release);
    return true;
}

std::shared_ptr<ServerTable> BuildServerTable(const unsigned char* body, uint32_t length, SourceSet source) {
    try {
        AddressIndex merged(MAX_RUN_SERVERS);
        merged.AddEntries(body, length, source);
        auto table = std::make_shared<ServerTable>();
        for (const SourcedServer& server : merged.servers()) {
            if (!table->Append(server.addr, server.port, server.sources)) {
                return nullptr;
            }
        }
        return table;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int32_t CountUnanswered(const ServerTable& table) {
    int32_t count = 0;
    for (size_t i = 0; i < table.size(); ++i) {
        count += table[i].answered == 0 ? 1 : 0;
    }
    return count;
}
