#include "core/history/history_file.h"

#include <algorithm>
#include <unordered_set>

#include "core/settings/remembered_list.h"

namespace {

constexpr unsigned char MAGIC[4] = {'S', 'K', 'H', 'I'};
constexpr unsigned char VERSION = 1;
constexpr size_t HEADER_BYTES = sizeof MAGIC + 1;
constexpr size_t CHECKSUM_BYTES = 4;
// Times past this (the year 36812) are no times a file of ours holds.
constexpr uint64_t MAX_TIME = uint64_t{1} << 40;

size_t VarintBytes(uint64_t value) {
    size_t bytes = 1;
    for (; value >= 0x80; value >>= 7) {
        ++bytes;
    }
    return bytes;
}

void PutVarint(std::vector<unsigned char>& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<unsigned char>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<unsigned char>(value));
}

void PutZigzag(std::vector<unsigned char>& out, int64_t value) {
    PutVarint(out, (static_cast<uint64_t>(value) << 1) ^ static_cast<uint64_t>(value >> 63));
}

void PutFixed(std::vector<unsigned char>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

void PutServer(std::vector<unsigned char>& out, const ServerHistory& server, int64_t savedAt) {
    size_t count = std::min(server.buckets.size(), HISTORY_BUCKETS_PER_SERVER);
    auto first = server.buckets.end() - static_cast<ptrdiff_t>(count);
    PutFixed(out, server.addr, 4);
    PutFixed(out, server.port, 2);
    PutZigzag(out, savedAt - server.lastHeard);
    PutVarint(out, count);
    int64_t previous = HistorySlotOf(savedAt);
    for (auto bucket = first; bucket != server.buckets.end(); ++bucket) {
        if (bucket == first) {
            PutZigzag(out, previous - bucket->slot);
        } else {
            PutVarint(out, static_cast<uint64_t>(bucket->slot - previous));
        }
        previous = bucket->slot;
        uint16_t mean = bucket->MeanPing();
        PutVarint(out, bucket->samples);
        PutVarint(out, bucket->lowestPing);
        PutVarint(out, mean - bucket->lowestPing);
        PutVarint(out, bucket->highestPing - mean);
        PutVarint(out, bucket->mostPlayers);
        PutVarint(out, bucket->maxClients);
    }
}

// Reads forward through the body; the first fault sticks, and every read after it gives 0.
struct Cursor {
    const unsigned char* at;
    const unsigned char* end;
    bool failed = false;

    uint64_t Varint(uint64_t max) {
        uint64_t value = 0;
        for (int shift = 0; !failed && shift < 64; shift += 7) {
            if (at == end) {
                break;
            }
            unsigned char byte = *at++;
            value |= static_cast<uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) {
                return Checked(value, max);
            }
        }
        failed = true;
        return 0;
    }
    int64_t Zigzag(uint64_t maxMagnitude) {
        uint64_t raw = Varint(UINT64_MAX);
        int64_t value = static_cast<int64_t>(raw >> 1) ^ -static_cast<int64_t>(raw & 1);
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        return Checked(magnitude, maxMagnitude) == magnitude ? value : 0;
    }
    uint32_t Fixed(int bytes) {
        if (failed || end - at < bytes) {
            failed = true;
            return 0;
        }
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= static_cast<uint32_t>(*at++) << (8 * i);
        }
        return value;
    }
    uint64_t Checked(uint64_t value, uint64_t max) {
        if (value > max) {
            failed = true;
        }
        return failed ? 0 : value;
    }
};

bool ReadBucket(Cursor& in, uint32_t slot, HistoryBucket& bucket) {
    uint64_t samples = in.Varint(HISTORY_MAX_VALUE);
    uint64_t lowest = in.Varint(HISTORY_MAX_VALUE);
    uint64_t mean = lowest + in.Varint(HISTORY_MAX_VALUE);
    uint64_t highest = mean + in.Varint(HISTORY_MAX_VALUE);
    uint64_t players = in.Varint(HISTORY_MAX_VALUE);
    uint64_t maxClients = in.Varint(HISTORY_MAX_VALUE);
    if (in.failed || samples == 0 || highest > HISTORY_MAX_VALUE) {
        return false;
    }
    bucket = HistoryBucket{slot,
                           static_cast<uint32_t>(mean * samples),
                           static_cast<uint16_t>(lowest),
                           static_cast<uint16_t>(highest),
                           static_cast<uint16_t>(samples),
                           static_cast<uint16_t>(players),
                           static_cast<uint16_t>(maxClients)};
    return true;
}

bool ReadServer(Cursor& in, int64_t savedAt, ServerHistory& server) {
    server.addr = in.Fixed(4);
    server.port = static_cast<uint16_t>(in.Fixed(2));
    server.lastHeard = savedAt - in.Zigzag(MAX_TIME);
    uint64_t count = in.Varint(HISTORY_BUCKETS_PER_SERVER);
    if (in.failed || count == 0 || server.lastHeard < 0) {
        return false;
    }
    server.buckets.resize(count);
    int64_t slot = HistorySlotOf(savedAt);
    for (uint64_t i = 0; i < count; ++i) {
        slot = i == 0 ? slot - in.Zigzag(UINT32_MAX) : slot + static_cast<int64_t>(in.Varint(UINT32_MAX));
        if (in.failed || slot < 0 || slot > UINT32_MAX || (i > 0 && slot <= server.buckets[i - 1].slot) ||
            !ReadBucket(in, static_cast<uint32_t>(slot), server.buckets[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<unsigned char> EncodeHistory(const std::vector<ServerHistory>& servers, int64_t savedAt, size_t maxBytes) {
    savedAt = std::clamp<int64_t>(savedAt, 0, static_cast<int64_t>(MAX_TIME));
    std::vector<unsigned char> body;
    std::vector<unsigned char> one;
    size_t kept = 0;
    size_t fixedBytes = HEADER_BYTES + VarintBytes(static_cast<uint64_t>(savedAt)) + CHECKSUM_BYTES;
    for (const ServerHistory& server : servers) {
        if (server.buckets.empty()) {
            continue;
        }
        one.clear();
        PutServer(one, server, savedAt);
        if (fixedBytes + VarintBytes(kept + 1) + body.size() + one.size() > maxBytes) {
            break; // this one and every server heard from less recently
        }
        body.insert(body.end(), one.begin(), one.end());
        ++kept;
    }
    std::vector<unsigned char> file(MAGIC, MAGIC + sizeof MAGIC);
    file.push_back(VERSION);
    PutVarint(file, static_cast<uint64_t>(savedAt));
    PutVarint(file, kept);
    file.insert(file.end(), body.begin(), body.end());
    PutFixed(file, RememberedListChecksum(file.data(), file.size()), 4);
    return file;
}

DecodedHistory DecodeHistory(const unsigned char* bytes, size_t size) {
    DecodedHistory decoded;
    if (size < HEADER_BYTES || !std::equal(MAGIC, MAGIC + sizeof MAGIC, bytes) || bytes[sizeof MAGIC] != VERSION) {
        return decoded; // Foreign
    }
    decoded.kind = HistoryFileKind::Damaged;
    if (size < HEADER_BYTES + CHECKSUM_BYTES || size > HISTORY_FILE_MAX_BYTES) {
        return decoded;
    }
    Cursor trailer{bytes + size - CHECKSUM_BYTES, bytes + size};
    if (trailer.Fixed(4) != RememberedListChecksum(bytes, size - CHECKSUM_BYTES)) {
        return decoded;
    }
    Cursor in{bytes + HEADER_BYTES, bytes + size - CHECKSUM_BYTES};
    auto savedAt = static_cast<int64_t>(in.Varint(MAX_TIME));
    uint64_t count = in.Varint(HISTORY_MAX_SERVERS);
    std::vector<ServerHistory> servers;
    std::unordered_set<uint64_t> seen;
    for (uint64_t i = 0; i < count && !in.failed; ++i) {
        ServerHistory server;
        if (!ReadServer(in, savedAt, server) ||
            !seen.insert((static_cast<uint64_t>(server.addr) << 16) | server.port).second) {
            return decoded;
        }
        servers.push_back(std::move(server));
    }
    if (in.failed || in.at != in.end) {
        return decoded;
    }
    decoded.kind = HistoryFileKind::Read;
    decoded.servers = std::move(servers);
    return decoded;
}
