#include "net/server_sources.h"

#include "net/server_list_decode.h"
#include "net/server_record.h"

ServerSources::ServerSources(size_t limit) : limit_(limit) {}

MergeResult ServerSources::Add(uint32_t addr, uint16_t port, SourceSet source, size_t* position) {
    uint64_t key = ServerPairKey(addr, port);
    auto found = index_.find(key);
    if (found != index_.end()) {
        servers_[found->second].sources |= source;
        if (position) {
            *position = found->second;
        }
        return MergeResult::Known;
    }
    if (servers_.size() >= limit_) {
        ++refused_;
        return MergeResult::Full;
    }
    servers_.push_back({addr, port, source});
    index_.emplace(key, servers_.size() - 1);
    if (position) {
        *position = servers_.size() - 1;
    }
    return MergeResult::Added;
}

size_t ServerSources::AddEntries(const unsigned char* entries, size_t length, SourceSet source) {
    size_t added = 0;
    for (size_t offset = 0; length - offset >= SERVER_ENTRY_SIZE; offset += SERVER_ENTRY_SIZE) {
        uint32_t addr;
        uint16_t port;
        ReadListEntry(entries + offset, addr, port);
        if (Add(addr, port, source) == MergeResult::Added) {
            ++added;
        }
    }
    return added;
}

SourceSet ServerSources::SourcesOf(uint32_t addr, uint16_t port) const {
    auto found = index_.find(ServerPairKey(addr, port));
    return found == index_.end() ? 0 : servers_[found->second].sources;
}

bool ServerSources::Find(uint32_t addr, uint16_t port, size_t* position) const {
    auto found = index_.find(ServerPairKey(addr, port));
    if (found == index_.end()) {
        return false;
    }
    *position = found->second;
    return true;
}
