// Any datagram on the master port or from a master is classified and read without reading outside it: a `servers`
// reply gives exactly its whole entries to the service and to the browser alike, building one from them gives the
// same bytes back, and merging them keeps each distinct server once with the source that named it.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/protocol/servers_reply.h"
#include "core/run/address_index.h"
#include "master_datagram.h"
#include "require.h"

namespace {

void CheckMerge(const unsigned char* entries, size_t length, const std::vector<ServerAddress>& servers) {
    // A small limit, so that turning servers away is exercised too.
    AddressIndex sources(64);
    size_t added = sources.AddEntries(entries, length, MasterSource(1));
    size_t again = sources.AddEntries(entries, length, SOURCE_FAVOURITE);
    Require(again == 0);
    Require(added == sources.servers().size() && added <= servers.size() && added <= 64);
    Require(added + sources.refused() / 2 <= servers.size());
    for (const SourcedServer& server : sources.servers()) {
        Require(server.sources == (MasterSource(1) | SOURCE_FAVOURITE));
        Require(sources.SourcesOf(server.addr, server.port) == server.sources);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MasterCommand command = ParseMasterCommand(data, size);
    Require(command == MasterCommand::Unknown || size >= 4);

    std::vector<ServerAddress> servers;
    const unsigned char* entries = nullptr;
    size_t length = 0;
    bool found = FindServersReplyEntries(data, size, &entries, &length);
    if (ParseServersReply(data, size, &servers)) {
        Require(found && entries == data + SERVERS_REPLY_HEADER_SIZE && length % LIST_ENTRY_SIZE == 0);
        size_t whole = (size - SERVERS_REPLY_HEADER_SIZE) / LIST_ENTRY_SIZE;
        Require(servers.size() == whole && length == whole * LIST_ENTRY_SIZE);
        std::string rebuilt = BuildServersReply(servers);
        size_t compared = SERVERS_REPLY_HEADER_SIZE + whole * LIST_ENTRY_SIZE;
        Require(rebuilt.size() == compared || whole > MAX_SERVERS_REPLY_ENTRIES);
        Require(std::memcmp(rebuilt.data() + 4, data + 4, 7) == 0); // "servers" after the prefix
        if (rebuilt.size() == compared && compared > SERVERS_REPLY_HEADER_SIZE) {
            Require(std::memcmp(rebuilt.data() + SERVERS_REPLY_HEADER_SIZE, data + SERVERS_REPLY_HEADER_SIZE,
                                compared - SERVERS_REPLY_HEADER_SIZE) == 0);
        }
        CheckMerge(entries, length, servers);
    } else {
        Require(!found && servers.empty());
    }
    return 0;
}
