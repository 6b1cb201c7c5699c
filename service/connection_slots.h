// Who holds the web list's connection slots. Each address and each /24 has a cap of its own, so a few addresses or
// one network cannot take every slot. When every slot is held all the same (a crowd of addresses), a newcomer takes
// the slot of the oldest connection that is waiting for a request in the /24 that holds the most, provided its own
// /24 holds fewer: slow or idle clients give way to others, and a connection busy with an answer is never taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <unordered_map>

#include "web_limits.h"

namespace skerrow_master {

class ConnectionSlots {
public:
    using Id = uint64_t; // never 0; a later connection has a larger one

    explicit ConnectionSlots(SlotLimits limits) : limits_(limits) {}

    // A slot for a connection from the address (0 when refused). When it took another connection's slot, that one
    // is in *evicted (else 0): its owner closes it and must not count it again.
    Id Admit(uint32_t address, Id* evicted);
    // Waiting for (the rest of) a request, so the slot may be given to a newcomer.
    void SetWaiting(Id id, bool waiting);
    // Gives the slot back; nothing for one given back already.
    void Release(Id id);

    size_t held() const { return slots_.size(); }

private:
    struct Slot {
        uint32_t address;
        bool waiting;
    };

    Id Evictable(uint32_t newcomer_subnet) const;
    size_t Count(const std::unordered_map<uint32_t, size_t>& counts, uint32_t key) const;

    SlotLimits limits_;
    std::map<Id, Slot> slots_; // oldest first
    std::unordered_map<uint32_t, size_t> per_address_;
    std::unordered_map<uint32_t, size_t> per_subnet_;
    Id next_ = 1;
};

} // namespace skerrow_master
