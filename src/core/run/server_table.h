// The server table: one record per game server of an update run, as the window reads it. Portable (no Win32).
//
// A run fills its table and the window that shows it holds it too (std::shared_ptr), so the table lives as long as
// either needs it. See core/protocol/server_record.h for which thread writes which field.
//
// Records live in fixed chunks that never move: a record's address holds from its append to the table's end. The
// run appends a server's record when it first queries it (core/run/run_table.h), so a run that has just heard of
// ten thousand servers holds memory only for those it has asked, while the window may still show the last run's
// table. Only the run's controller appends, under the run's lock; another thread reads a record only once it has
// learnt of it from the appender (the run's lock, or its channel), which also makes the chunk that holds it visible.
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
    const ServerRecord& operator[](size_t index) const { return chunks_[index / CHUNK_RECORDS][index % CHUNK_RECORDS]; }

    // Appends a zeroed record for the server; false when the table is full or no memory is left.
    bool Append(uint32_t addr, uint16_t port, SourceSet sources);

private:
    static constexpr size_t CHUNK_COUNT = MAX_RUN_SERVERS / CHUNK_RECORDS;

    std::unique_ptr<ServerRecord[]> chunks_[CHUNK_COUNT];
    std::atomic<size_t> size_{0};
};
