// The masters a run asks, as the user writes them: one entry per line of the configuration box and per string of
// the stored value. Portable (no Win32).
//
//   http://HOST[:PORT]               a master web service, asked for its list per mod filter (port 80 unless given);
//                                    the bare path "/" means the same
//   http://HOST[:PORT]/PATH[?QUERY]  the URL of a plain list of every mod's servers, fetched exactly as written
//   HOST[:PORT]                      a classic Quake II master, asked over UDP (port 27900 unless given)
//
// HOST is a DNS name (letters, digits and hyphens in dot-separated parts) or a dotted quad. A URL's path and query
// are ASCII letters, digits, %XX escapes and -._~!$&'()*+,;=:@/? alone (no fragment). Nothing else is taken: no other
// scheme, no user name, no IPv6, no white space, no path after a classic master.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Web: a master web service, which lists servers per mod filter and serves the filter list. WebList: a list URL,
// one plain list of every mod's servers in the same 6-byte entries, and nothing else asked of it.
enum class MasterKind { Web, Udp, WebList };

constexpr uint16_t WEB_MASTER_PORT = 80;
constexpr uint16_t UDP_MASTER_PORT = 27900;
// The longest path and query a list URL may have.
constexpr size_t MAX_LIST_PATH_LENGTH = 1024;

struct MasterEntry {
    MasterKind kind;
    std::u16string host;      // as written (ASCII only, so a narrow copy is a plain narrowing); at most 253 characters
    uint16_t port;            // 1 to 65535
    std::u16string path = {}; // a list URL's path and query as written, from its "/"; empty for the other kinds
};

// Why an entry is not a master; MasterFaultText says it to the user.
enum class MasterFault {
    None,
    Empty,
    Space,
    Scheme,
    Path,
    PathCharacter,
    PathLength,
    Ipv6,
    NoHost,
    HostCharacter,
    HostLabel,
    HostLength,
    Address,
    Port,
};

// Reads one entry exactly as written (nothing trimmed). Returns MasterFault::None and fills `entry`, or the fault
// and leaves `entry` alone.
MasterFault ParseMasterEntry(std::u16string_view text, MasterEntry* entry);

// The reason as the configuration dialog shows it after "... is not a master: ", without a full stop.
const char16_t* MasterFaultText(MasterFault fault);

// The entry as it is stored and shown: "http://" in lower case, the host as written, the port only when it is not
// the kind's default. Reading it back gives the same entry.
std::u16string FormatMasterEntry(const MasterEntry& entry);

// The same master: same kind, port and path, and the host equal ignoring ASCII case.
bool IsSameMaster(const MasterEntry& a, const MasterEntry& b);

// Where a list URL's redirect leads: `location` is an http:// URL, or a path on the same host and port (from "/").
// False for anything else (another scheme, a relative path, characters a list URL does not take); `to` is then left
// alone. The target is a list URL whatever its path.
bool FollowRedirect(const MasterEntry& from, std::u16string_view location, MasterEntry* to);

// Reads the configuration box's text: lines separated by LF or CR LF, each trimmed of spaces and tabs at either end;
// blank lines are skipped and a repeat of an earlier master is left out. On success fills `entries` (in line order,
// replacing what they held; none for a blank text, which the caller may take as the build's default) and returns
// true. Returns false with a message for the user in `error` for the first bad line ("Line 2: "ftp://x" is not a
// master: ...") or when more than MAX_MASTERS (core/run/address_index.h) masters remain; `entries` are then left alone.
bool ParseMasterListText(std::u16string_view text, std::vector<MasterEntry>* entries, std::u16string* error);

// The entries formatted one per line, separated by CR LF as a multi-line edit control wants them.
std::u16string FormatMasterListText(const std::vector<MasterEntry>& entries);
