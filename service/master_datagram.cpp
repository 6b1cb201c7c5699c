#include "master_datagram.h"

#include <cstring>

const char ACK_DATAGRAM[] = "\xff\xff\xff\xff"
                            "ack";
const char LIST_REQUEST[] = "query\n"; // its terminator is the seventh byte

namespace {

const unsigned char OOB_PREFIX[] = {0xFF, 0xFF, 0xFF, 0xFF};
const char SERVERS_WORD[] = "servers";

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

std::string BuildServersReply(const std::vector<ServerAddress>& servers) {
    std::string reply("\xff\xff\xff\xffservers ", SERVERS_REPLY_HEADER_BYTES);
    size_t count = servers.size() < MAX_SERVERS_REPLY_ENTRIES ? servers.size() : MAX_SERVERS_REPLY_ENTRIES;
    reply.reserve(SERVERS_REPLY_HEADER_BYTES + count * SERVER_ENTRY_BYTES);
    for (size_t i = 0; i < count; ++i) {
        AppendServerEntry(&reply, servers[i]);
    }
    return reply;
}

bool ParseServersReply(const unsigned char* data, size_t size, std::vector<ServerAddress>* servers) {
    size_t word = sizeof SERVERS_WORD - 1;
    if (!HasOobPrefix(data, size) || size < sizeof OOB_PREFIX + word + 1 ||
        std::memcmp(data + sizeof OOB_PREFIX, SERVERS_WORD, word) != 0) {
        return false;
    }
    unsigned char separator = data[sizeof OOB_PREFIX + word];
    if (separator != ' ' && separator != '\n') {
        return false;
    }
    for (size_t offset = SERVERS_REPLY_HEADER_BYTES; size - offset >= SERVER_ENTRY_BYTES;
         offset += SERVER_ENTRY_BYTES) {
        servers->push_back(ReadServerEntry(data + offset));
    }
    return true;
}
