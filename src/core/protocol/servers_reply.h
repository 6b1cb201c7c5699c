// The classic Quake II master protocol as a client and a master both speak it: the list request, and the `servers`
// reply that answers it. Portable (no Win32): the browser asks masters with it, and the master service answers and
// asks its upstream masters with the same bytes.
//
// The request is the 7 bytes `query\n\0`, without the 0xFF prefix. The reply is the 12-byte header
// `\xff\xff\xff\xffservers ` (a line feed for the space is read too), then 6-byte entries exactly as in the master
// web list body: 4 address bytes, then the port, both in network order. A master may split a long list over
// several such datagrams; one datagram holds at most MAX_SERVERS_REPLY_ENTRIES.
#pragma once

#include <cstddef>

constexpr size_t MASTER_QUERY_SIZE = 7;
extern const unsigned char MASTER_QUERY[MASTER_QUERY_SIZE];

constexpr size_t SERVERS_REPLY_HEADER_SIZE = 12;
extern const unsigned char SERVERS_REPLY_HEADER[SERVERS_REPLY_HEADER_SIZE];

constexpr size_t SERVERS_REPLY_ENTRY_SIZE = 6;
// What one UDP datagram (65,507 bytes of payload) carries after the header.
constexpr size_t MAX_SERVERS_REPLY_ENTRIES = (65507 - SERVERS_REPLY_HEADER_SIZE) / SERVERS_REPLY_ENTRY_SIZE;

// Finds the entries of a `servers` reply: `*entries` points just past the header and `*length` is the bytes of its
// whole entries (a trailing fragment of 1 to 5 bytes is not an entry). Returns false, leaving both alone, for a
// datagram without the header.
bool FindServersReplyEntries(const unsigned char* data, size_t size, const unsigned char** entries, size_t* length);
