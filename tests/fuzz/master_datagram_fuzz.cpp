// Any datagram on the master port or from an upstream master is classified and read without reading outside it: a
// `servers` reply gives exactly its whole entries, and building one from them gives the same bytes back.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "master_datagram.h"
#include "require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MasterCommand command = ParseMasterCommand(data, size);
    Require(command == MasterCommand::Unknown || size >= 4);

    std::vector<ServerAddress> servers;
    if (ParseServersReply(data, size, &servers)) {
        Require(size >= SERVERS_REPLY_HEADER_BYTES);
        size_t whole = (size - SERVERS_REPLY_HEADER_BYTES) / SERVER_ENTRY_BYTES;
        Require(servers.size() == whole);
        std::string rebuilt = BuildServersReply(servers);
        size_t compared = SERVERS_REPLY_HEADER_BYTES + whole * SERVER_ENTRY_BYTES;
        Require(rebuilt.size() == compared || whole > MAX_SERVERS_REPLY_ENTRIES);
        Require(std::memcmp(rebuilt.data() + 4, data + 4, 7) == 0); // "servers" after the prefix
        if (rebuilt.size() == compared && compared > SERVERS_REPLY_HEADER_BYTES) {
            Require(std::memcmp(rebuilt.data() + SERVERS_REPLY_HEADER_BYTES, data + SERVERS_REPLY_HEADER_BYTES,
                                compared - SERVERS_REPLY_HEADER_BYTES) == 0);
        }
    } else {
        Require(servers.empty());
    }
    return 0;
}
