#include "core/run/address_index.h"

#include "core/protocol/list_entry.h"

AddressIndex::AddressIndex(size_t limit) : limit_(limit) {}

MergeResult AddressIndex::Add(uint32_t addr, uint16_t port, SourceSet source, size_t* position) {
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

bool AddressIndex::Find(uint32_t addr, uint16_t port, size_t* position) const {
    auto found = index_.find(ServerPairKey(addr, port));
    if (found == index_.end()) {
        return false;
    }
    *position = found->second;
    return true;
}
