#include "core/run/in_flight.h"

void ResetInFlight(InFlightWindow& window, int32_t serverCount, int32_t limit) {
    window.awaiting.assign(serverCount > 0 ? static_cast<size_t>(serverCount) : 0, 0);
    window.sent.clear();
    window.count = 0;
    window.limit = limit;
    window.floor = limit;
    window.smoothedReplyUs = 0;
    window.backlogCap = limit > IN_FLIGHT_CEILING ? limit : IN_FLIGHT_CEILING;
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

void NoteReplyTime(InFlightWindow& window, uint32_t replyMs) {
    // An exponential average over about eight replies, in microseconds so that one millisecond still moves it.
    uint64_t sample = static_cast<uint64_t>(replyMs < 10000 ? replyMs : 10000) * 1000;
    window.smoothedReplyUs = static_cast<uint32_t>((window.smoothedReplyUs * 7ull + sample) / 8);
    uint64_t wanted = static_cast<uint64_t>(IN_FLIGHT_RATE) * window.smoothedReplyUs / 1000000;
    int32_t hardCeiling = window.floor > IN_FLIGHT_CEILING ? window.floor : IN_FLIGHT_CEILING;
    if (window.backlogCap < hardCeiling) {
        ++window.backlogCap;
    }
    int32_t ceiling = window.backlogCap < hardCeiling ? window.backlogCap : hardCeiling;
    window.limit = wanted < static_cast<uint64_t>(window.floor) ? window.floor
                   : wanted > static_cast<uint64_t>(ceiling)    ? ceiling
                                                                : static_cast<int32_t>(wanted);
}

void NoteReplyBacklog(InFlightWindow& window) {
    int32_t lowered = window.limit * 3 / 4;
    window.backlogCap = lowered > window.floor ? lowered : window.floor;
    if (window.limit > window.backlogCap) {
        window.limit = window.backlogCap;
    }
}
