// Any datagram on the master port or from a master is classified and read without reading outside it: a `servers`
// reply gives exactly its whole entries to the service and to the browser alike, building one from them gives the
// same bytes back, and merging them keeps each distinct server once with the source that named it.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/protocol/servers_reply.h"
#include "core/run/run_table.h"
#include "master_datagram.h"
#include "require.h"

using namespace skerrow_master; // the service's datagrams, beside the browser's own reader

namespace {

void CheckMerge(const unsigned char* entries, size_t length, const std::vector<ListEntry>& servers) {
    // A small limit, so that turning servers away is exercised too.
    std::unique_ptr<WakeSignal> progress = MakeWakeSignal();
    RunTable table(64, false, *progress);
    MergeCount first = table.Merge(entries, length, MasterSource(1));
    MergeCount again = table.Merge(entries, length, SOURCE_FAVOURITE);
    Require(again.added == 0 && again.unqueryable == first.unqueryable);
    Require(first.added == table.Size() && first.added <= servers.size() && first.added <= 64);
    Require(first.added + first.refused + first.unqueryable <= servers.size());
    Require(table.ServersNamedBy(SOURCE_FAVOURITE).size() == table.Size());
    Require(table.ServersNamedBy(MasterSource(1)).size() == table.Size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MasterCommand command = ParseMasterCommand(data, size);
    Require(command == MasterCommand::Unknown || size >= 4);

    std::vector<ListEntry> servers;
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
