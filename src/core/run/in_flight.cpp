#include "core/run/in_flight.h"

void ResetInFlight(InFlightWindow& window, int32_t serverCount, int32_t limit) {
    window.awaiting.assign(serverCount > 0 ? static_cast<size_t>(serverCount) : 0, 0);
    window.sent.clear();
    window.count = 0;
    window.limit = limit;
    window.floor = limit;
    window.full = false;
}

bool HasRoomInFlight(InFlightWindow& window, uint32_t now, uint32_t expiryMs) {
    while (!window.sent.empty()) {
        auto [index, sentAt] = window.sent.front();
        if (window.awaiting[static_cast<size_t>(index)] && now - sentAt <= expiryMs) {
            break;
        }
        SettleInFlight(window, index);
        window.sent.pop_front();
    }
    window.full = window.count >= window.limit;
    return !window.full;
}

void NoteQueryInFlight(InFlightWindow& window, int32_t index, uint32_t sentAt) {
    if (index < 0) {
        return;
    }
    if (static_cast<size_t>(index) >= window.awaiting.size()) {
        // The table grew since the reset: masters still answer.
        window.awaiting.resize(static_cast<size_t>(index) + 1, 0);
    }
    if (window.awaiting[static_cast<size_t>(index)]) {
        return;
    }
    window.awaiting[static_cast<size_t>(index)] = 1;
    ++window.count;
    window.sent.emplace_back(index, sentAt);
}

bool SettleInFlight(InFlightWindow& window, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= window.awaiting.size() ||
        !window.awaiting[static_cast<size_t>(index)]) {
        return false;
    }
    window.awaiting[static_cast<size_t>(index)] = 0;
    --window.count;
    if (window.full && window.count <= window.limit * 3 / 4) {
        window.full = false;
        return true;
    }
    return false;
}

void NoteFreshReply(InFlightWindow& window) {
    int32_t ceiling = window.floor > IN_FLIGHT_CEILING ? window.floor : IN_FLIGHT_CEILING;
    window.limit = window.limit > ceiling - IN_FLIGHT_GROWTH ? ceiling : window.limit + IN_FLIGHT_GROWTH;
}

void NoteReplyBacklog(InFlightWindow& window) {
    int32_t lowered = window.limit * 3 / 4;
    window.limit = lowered > window.floor ? lowered : window.floor;
}
