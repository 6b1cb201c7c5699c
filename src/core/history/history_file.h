// The history file's bytes: what ServerHistories keeps, most recently heard servers first, so that a file over its
// cap leaves out the least recently heard. Portable (no Win32); the reader takes any bytes.
//
//   "SKHI" 0x01                  magic and version
//   varint savedAt               seconds since 1970
//   varint servers
//   per server:  4 bytes address (a.b.c.d in that order on our little-endian builds), 2 bytes port (little-endian),
//                zigzag varint savedAt - lastHeard, varint buckets (1 to 288),
//                zigzag varint savedAt's slot - the first bucket's slot, then varint slot - previous slot (1 and up),
//                per bucket: varint samples, lowest ping, mean - lowest, highest - mean, most players, max clients
//   4 bytes CRC-32 of all before it (little-endian), the remembered lists' checksum
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/history/server_history.h"

constexpr size_t HISTORY_FILE_MAX_BYTES = 16 * 1024 * 1024;

// The servers that fit in `maxBytes` (the most recently heard), saved at `savedAt`.
std::vector<unsigned char> EncodeHistory(const std::vector<ServerHistory>& servers, int64_t savedAt,
                                         size_t maxBytes = HISTORY_FILE_MAX_BYTES);

enum class HistoryFileKind {
    Read,    // a history file, whole
    Damaged, // ours, but cut short, changed, or out of its bounds
    Foreign, // not a history file of ours, or one of a version this program does not know
};

struct DecodedHistory {
    HistoryFileKind kind = HistoryFileKind::Foreign;
    std::vector<ServerHistory> servers; // most recently heard first; empty unless the file was read whole
};

DecodedHistory DecodeHistory(const unsigned char* bytes, size_t size);
