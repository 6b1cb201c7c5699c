// A game server's answer to the service's status query: what makes a datagram one, and the gamename it gives.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct ServerRecord;

// Whether a datagram is a status reply: 0xFF 0xFF 0xFF 0xFF and "print", then a line feed or nothing.
bool IsStatusReply(const unsigned char* data, size_t size);

// Reads status replies with the browser's own parser, so the service files a server under the mod the browser shows
// for it ("default" when the reply names none). Keeps the parser's scratch record between replies.
class ReplyReader {
public:
    ReplyReader();
    ~ReplyReader();
    // The gamename of a status reply of at most MAX_DATAGRAM_BYTES: the server's own bytes, 1 to 63 of them.
    std::string GameName(const unsigned char* data, size_t size);

private:
    std::unique_ptr<ServerRecord> record_;
};
