#include "core/run/server_table.h"

#include <new>

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
