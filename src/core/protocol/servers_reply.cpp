#include "core/protocol/servers_reply.h"

#include <cstring>

const unsigned char MASTER_QUERY[MASTER_QUERY_SIZE] = {'q', 'u', 'e', 'r', 'y', '\n', 0};

const unsigned char SERVERS_REPLY_HEADER[SERVERS_REPLY_HEADER_SIZE] = {0xFF, 0xFF, 0xFF, 0xFF, 's', 'e',
                                                                       'r',  'v',  'e',  'r',  's', ' '};

bool FindServersReplyEntries(const unsigned char* data, size_t size, const unsigned char** entries, size_t* length) {
    // Everything but the separator after the word must match; the separator is a space or a line feed.
    constexpr size_t WORD_END = SERVERS_REPLY_HEADER_SIZE - 1;
    if (size < SERVERS_REPLY_HEADER_SIZE || std::memcmp(data, SERVERS_REPLY_HEADER, WORD_END) != 0 ||
        (data[WORD_END] != ' ' && data[WORD_END] != '\n')) {
        return false;
    }
    size_t body = size - SERVERS_REPLY_HEADER_SIZE;
    *entries = data + SERVERS_REPLY_HEADER_SIZE;
    *length = body - body % SERVERS_REPLY_ENTRY_SIZE;
    return true;
}
