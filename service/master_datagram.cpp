#include "master_datagram.h"

#include <cstring>

namespace skerrow_master {

const char ACK_DATAGRAM[] = "\xff\xff\xff\xff"
                            "ack";

static_assert(LIST_ENTRY_SIZE == SERVERS_REPLY_ENTRY_SIZE, "one entry format for lists and replies");

namespace {

const unsigned char OOB_PREFIX[] = {0xFF, 0xFF, 0xFF, 0xFF};

bool HasOobPrefix(const unsigned char* data, size_t size) {
    return size >= sizeof OOB_PREFIX && std::memcmp(data, OOB_PREFIX, sizeof OOB_PREFIX) == 0;
}

// Whether the bytes begin with the word, followed by one of the enders or nothing at all.
bool StartsWithWord(const unsigned char* data, size_t size, const char* word, const char* enders) {
    size_t length = std::strlen(word);
    if (size < length || std::memcmp(data, word, length) != 0) {
        return false;
    }
    return size == length || std::memchr(enders, data[length], std::strlen(enders) + 1) != nullptr;
}

} // namespace

MasterCommand ParseMasterCommand(const unsigned char* data, size_t size) {
    if (HasOobPrefix(data, size)) {
        data += sizeof OOB_PREFIX;
        size -= sizeof OOB_PREFIX;
    }
    // The enders' own terminator counts as one of them: a zero byte ends the word too.
    static const struct {
        const char* word;
        MasterCommand command;
    } COMMANDS[] = {
        {"heartbeat", MasterCommand::Heartbeat},
        {"shutdown", MasterCommand::Shutdown},
        {"ping", MasterCommand::Ping},
        {"query", MasterCommand::Query},
    };
    for (const auto& known : COMMANDS) {
        if (StartsWithWord(data, size, known.word, "\n ")) {
            return known.command;
        }
    }
    return MasterCommand::Unknown;
}

std::string BuildServersReply(const std::vector<ListEntry>& servers) {
    std::string reply(reinterpret_cast<const char*>(SERVERS_REPLY_HEADER), SERVERS_REPLY_HEADER_SIZE);
    size_t count = servers.size() < MAX_SERVERS_REPLY_ENTRIES ? servers.size() : MAX_SERVERS_REPLY_ENTRIES;
    reply.reserve(SERVERS_REPLY_HEADER_SIZE + count * LIST_ENTRY_SIZE);
    for (size_t i = 0; i < count; ++i) {
        AppendListEntry(&reply, servers[i]);
    }
    return reply;
}

bool ParseServersReply(const unsigned char* data, size_t size, std::vector<ListEntry>* servers) {
    const unsigned char* entries = nullptr;
    size_t length = 0;
    if (!FindServersReplyEntries(data, size, &entries, &length)) {
        return false;
    }
    for (size_t offset = 0; offset < length; offset += LIST_ENTRY_SIZE) {
        servers->push_back(ReadListEntry(entries + offset));
    }
    return true;
}

} // namespace skerrow_master
