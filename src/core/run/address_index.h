// The servers of one update run gathered from all its sources (the masters, the favourites, the remembered list),
// each distinct address and port once, in the order each was first seen, with every source that named it, and
// found by address and port. Portable (no Win32); not locked: the run's table keeps it under its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/protocol/source_set.h"

struct SourcedServer {
    uint32_t addr; // network byte order, as the list entry gave it
    uint16_t port; // host byte order
    SourceSet sources;
};

enum class MergeResult { Added, Known, Full };

class AddressIndex {
public:
    // At most `limit` distinct servers; later new ones are turned away, so a master that never stops sending
    // cannot grow the run without bound.
    explicit AddressIndex(size_t limit);

    // Adds the server, or adds `source` to the one already there; `*position`, when given, is then its place in
    // servers().
    MergeResult Add(uint32_t addr, uint16_t port, SourceSet source, size_t* position = nullptr);

    // The server's place in servers(); false for one not among them.
    bool Find(uint32_t addr, uint16_t port, size_t* position) const;

    const std::vector<SourcedServer>& servers() const { return servers_; }
    // New servers turned away because the limit was reached.
    size_t refused() const { return refused_; }

private:
    size_t limit_;
    size_t refused_ = 0;
    std::vector<SourcedServer> servers_;
    std::unordered_map<uint64_t, size_t> index_; // ServerPairKey -> position in servers_
};
