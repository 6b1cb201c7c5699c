// The server table: one record per game server of an update run. Portable (no Win32).
//
// A run builds its table and fills it; the window that shows it holds it too (std::shared_ptr), so the table
// lives as long as either needs it. See server_record.h for which thread writes which field.
//
// The table grows while the run goes on (masters answer at their own pace), so its records live in fixed chunks
// that never move: a record's address holds from its append to the table's end. Only the run's controller appends,
// under the run's table lock; another thread reads a record only once it has learnt of it from the appender (the
// run's lock, or its channel), which also makes the chunk that holds it visible.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/protocol/server_record.h"

// The most servers one run gathers from all its sources; later new ones are turned away.
constexpr size_t MAX_RUN_SERVERS = 65536;

class ServerTable {
public:
    static constexpr size_t CHUNK_RECORDS = 256;

    ServerTable() = default;
    ServerTable(const ServerTable&) = delete;
    ServerTable& operator=(const ServerTable&) = delete;

    size_t size() const { return size_.load(std::memory_order_acquire); }
    bool empty() const { return size() == 0; }

    ServerRecord& operator[](size_t index) { return chunks_[index / CHUNK_RECORDS][index % CHUNK_RECORDS]; }
    const ServerRecord& operator[](size_t index) const {
        return chunks_[index / CHUNK_RECORDS][index % CHUNK_RECORDS];
    }

    // Appends a zeroed record for the server; false when the table is full or no memory is left.
    bool Append(uint32_t addr, uint16_t port, SourceSet sources);

private:
    static constexpr size_t CHUNK_COUNT = MAX_RUN_SERVERS / CHUNK_RECORDS;

    std::unique_ptr<ServerRecord[]> chunks_[CHUNK_COUNT];
    std::atomic<size_t> size_{0};
};

// A table with one zeroed record per distinct address and port of a master list body, in the order of first
// appearance, each named by `source`; null when no memory is left for it.
std::shared_ptr<ServerTable> BuildServerTable(const unsigned char* body, uint32_t length, SourceSet source);

// The records whose `answered` is still 0.
int32_t CountUnanswered(const ServerTable& table);
