// The datagrams of the classic Quake II master protocol, as they reach the master port and leave it.
//
// Seen on loopback, byte for byte (qstat 2.17, `quakestat -q2m HOST:PORT`, against a listener of our own):
//   - qstat's list request is the 7 bytes `query\n\0` (71 75 65 72 79 0A 00), with no 0xFF prefix; it sends it up to
//     three times while no answer comes.
//   - It takes as the answer the first datagram that comes back and only that one: a 12-byte header
//     `\xff\xff\xff\xffservers ` (FF FF FF FF 73 65 72 76 65 72 73 20), then 6-byte entries (address, then port, in
//     network order). It skips the header also when written `servers ` alone or with a line feed for the space, and
//     otherwise reads the datagram from its first byte as entries. So one `servers` reply is one datagram, and
//     holds at most (65,507 - 12) / 6 = 10,915 entries, the most one UDP datagram carries.
// A dedicated server speaks to its master with `\xff\xff\xff\xffping` (answered with `\xff\xff\xff\xffack`),
// `\xff\xff\xff\xffheartbeat\n` followed by the lines of a status reply, and `\xff\xff\xff\xffshutdown` on quit.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/protocol/servers_reply.h"
#include "server_address.h"

namespace skerrow_master {

enum class MasterCommand { Unknown, Heartbeat, Shutdown, Ping, Query };

// The largest datagram the service reads on either of its UDP sockets; a real server keeps to 1,400 bytes, and the
// browser drops status replies above this too.
constexpr size_t MAX_DATAGRAM_BYTES = 4096;

extern const char ACK_DATAGRAM[]; // "\xff\xff\xff\xffack", without a terminator on the wire
constexpr size_t ACK_DATAGRAM_BYTES = 7;

// The command of a datagram sent to the master port: an optional 0xFF 0xFF 0xFF 0xFF, then one of the words
// "heartbeat", "shutdown", "ping" or "query" exactly, ended by a line feed, a zero byte, a space or the end of
// the datagram. Anything else is Unknown.
MasterCommand ParseMasterCommand(const unsigned char* data, size_t size);

// The `servers` reply: the header, then the entries, as many as one datagram holds.
std::string BuildServersReply(const std::vector<ListEntry>& servers);

// The entries of a `servers` reply from an upstream master, read by the browser's reader
// (core/protocol/servers_reply.h): its header is required; a trailing fragment of 1 to 5 bytes is not an entry. Returns
// false for a datagram without the header.
bool ParseServersReply(const unsigned char* data, size_t size, std::vector<ListEntry>* servers);

} // namespace skerrow_master
