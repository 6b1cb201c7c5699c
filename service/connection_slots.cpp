#include "connection_slots.h"

namespace skerrow_master {

namespace {

uint32_t Subnet(uint32_t address) {
    return address & 0xFFFFFF00u;
}

void Decrement(std::unordered_map<uint32_t, size_t>* counts, uint32_t key) {
    auto it = counts->find(key);
    if (it != counts->end() && --it->second == 0) {
        counts->erase(it);
    }
}

} // namespace

size_t ConnectionSlots::Count(const std::unordered_map<uint32_t, size_t>& counts, uint32_t key) const {
    auto it = counts.find(key);
    return it == counts.end() ? 0 : it->second;
}

ConnectionSlots::Id ConnectionSlots::Evictable(uint32_t newcomer_subnet) const {
    // The oldest waiting connection among those of the /24s that hold the most, if they hold more than the
    // newcomer's. At most `total` slots to look at, and only when all are held.
    size_t newcomer_holds = Count(per_subnet_, newcomer_subnet);
    size_t most = newcomer_holds;
    Id chosen = 0;
    for (const auto& [id, slot] : slots_) {
        size_t holds = Count(per_subnet_, Subnet(slot.address));
        if (slot.waiting && holds > most) {
            most = holds;
            chosen = id;
        }
    }
    return chosen;
}

ConnectionSlots::Id ConnectionSlots::Admit(uint32_t address, Id* evicted) {
    *evicted = 0;
    if (Count(per_address_, address) >= limits_.per_address ||
        Count(per_subnet_, Subnet(address)) >= limits_.per_subnet) {
        return 0;
    }
    if (slots_.size() >= limits_.total) {
        *evicted = Evictable(Subnet(address));
        if (*evicted == 0) {
            return 0;
        }
        Release(*evicted);
    }
    Id id = next_++;
    slots_.emplace(id, Slot{address, true});
    ++per_address_[address];
    ++per_subnet_[Subnet(address)];
    return id;
}

void ConnectionSlots::SetWaiting(Id id, bool waiting) {
    auto it = slots_.find(id);
    if (it != slots_.end()) {
        it->second.waiting = waiting;
    }
}

void ConnectionSlots::Release(Id id) {
    auto it = slots_.find(id);
    if (it == slots_.end()) {
        return;
    }
    Decrement(&per_address_, it->second.address);
    Decrement(&per_subnet_, Subnet(it->second.address));
    slots_.erase(it);
}

} // namespace skerrow_master
