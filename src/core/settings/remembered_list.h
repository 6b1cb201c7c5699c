// The remembered list: the servers of the last run in which a master answered, kept per mod filter in a file so a
// run can still query them when every master fails. Portable (no Win32): the Win32 side reads and writes the file
// (to a temporary name, then renamed over it) and passes the bytes.
//
// The file, little-endian:
//   0   8 bytes   "SKRWLIST"
//   8   u32       format version, 1
//   12  i64       when the list was remembered, seconds since 1970 (UTC), not negative
//   20  u16       the mod filter's game directory length in UTF-16 code units, 0 to 63 (0: "(No Filter)")
//   22  u32       the number of servers, at most MAX_REMEMBERED_SERVERS
//   26            the game directory, UTF-16 code units, none of them zero
//                 the servers, 6 bytes each as in a master list (address, then port, in network order)
//   end - 4 u32   CRC-32 (the one of zip and PNG) of every byte before it
// A file is taken whole or not at all: anything out of place rejects it with a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol/list_entry.h"

constexpr size_t MAX_REMEMBERED_SERVERS = 65536;
constexpr size_t MAX_REMEMBERED_DIR_LENGTH = 63;
constexpr size_t REMEMBERED_HEADER_BYTES = 26;
// The largest file the reader need read: a bigger one is rejected without reading it.
constexpr size_t MAX_REMEMBERED_FILE_BYTES =
    REMEMBERED_HEADER_BYTES + MAX_REMEMBERED_DIR_LENGTH * 2 + MAX_REMEMBERED_SERVERS * 6 + 4;

enum class RememberedFault {
    None,
    CutShort,       // shorter than its header or than its header says
    Foreign,        // not a remembered list at all
    Oversized,      // larger than any remembered list
    Version,        // a format this program does not read
    Damaged,        // a field out of range, or bytes after its end
    Checksum,       // the bytes do not match their checksum
    OtherModFilter, // a sound file, but of another mod filter
};

struct RememberedList {
    int64_t rememberedAt;               // seconds since 1970 (UTC)
    std::vector<unsigned char> entries; // list entries, as a master sends them
};

// The file for `servers` (at most the first MAX_REMEMBERED_SERVERS) under the mod filter `gameDir`. Returns false,
// writing nothing, for a game directory longer than 63 code units or holding a zero.
bool EncodeRememberedList(std::u16string_view gameDir, int64_t rememberedAt, const std::vector<ListEntry>& servers,
                          std::vector<unsigned char>* file);

// Reads a file's bytes, which must be the list of the mod filter `gameDir` (compared ignoring ASCII case, as mod
// filters are). Fills `list` only on RememberedFault::None.
RememberedFault DecodeRememberedList(const unsigned char* data, size_t size, std::u16string_view gameDir,
                                     RememberedList* list);

// The reason for a status text, such as "the file is damaged (its checksum does not match)"; empty for None.
const char16_t* RememberedFaultText(RememberedFault fault);

// CRC-32 (the one of zip and PNG) of the bytes: a file's last four bytes hold it, of every byte before them.
uint32_t RememberedListChecksum(const unsigned char* data, size_t size);

// The file's name for a mod filter, the same for every spelling of the directory that differs only in ASCII case:
// "remembered-" + the directory in lower case with anything but a-z, 0-9, '-' and '_' as '_' (cut to 32), or
// "all" for "(No Filter)", then '-' + 8 hex digits of a hash of the whole lower-case directory, then ".list".
std::u16string RememberedListFileName(std::u16string_view gameDir);
