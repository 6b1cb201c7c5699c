// The bytes a simulated game server sends back for a status query.
#pragma once

#include <cstddef>
#include <string>

#include "scenario.h"

// A reply keeps to a real server's message limit: player lines that do not fit whole are left out (an info line
// longer than the limit is cut). An oversize reply is padded well past 4096 bytes instead.
constexpr size_t MAX_REPLY_BYTES = 1400;
constexpr size_t OVERSIZE_REPLY_BYTES = 5000;

// True for any datagram that starts with "\xff\xff\xff\xffstatus", whatever follows.
bool IsStatusQuery(const char* data, size_t size);

// "\xff\xff\xff\xffprint\n", the info keys in name order as \key\value (empty values left out), "\n", then a line
// `score ping "name"` for each player. A raw reply is sent exactly as given.
std::string BuildStatusReply(const ServerConfig& server);

// "\xff\xff\xff\xffheartbeat\n" and then the lines of the server's ordinary status reply (never raw or padded), as a
// real server announces itself to its master.
std::string BuildHeartbeat(const ServerConfig& server);
