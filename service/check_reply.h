// A game server's answer to the service's status query: what makes a datagram one, and what it says.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "server_status.h"

struct ServerRecord; // the browser's (core/protocol/server_record.h)

namespace skerrow_master {

// Whether a datagram is a status reply: 0xFF 0xFF 0xFF 0xFF and "print", then a line feed or nothing.
bool IsStatusReply(const unsigned char* data, size_t size);

// Reads status replies with the browser's own parser, so the service files a server under the mod the browser shows
// for it ("default" when the reply names none). Keeps the parser's scratch record between replies.
class ReplyReader {
public:
    ReplyReader();
    ~ReplyReader();
    // What a status reply of at most MAX_DATAGRAM_BYTES says, in the server's own bytes: its gamename (1 to 63
    // bytes), hostname, map, maximum of players and its players.
    ServerStatus Read(const unsigned char* data, size_t size);

private:
    std::unique_ptr<ServerRecord> record_;
};

} // namespace skerrow_master
