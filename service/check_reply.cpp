#include "check_reply.h"

#include <cstring>

#include "core/protocol/status_reply.h"

namespace skerrow_master {

namespace {

// Each byte becomes one code unit, so narrowing the gamename back gives the server's own bytes.
void WidenBytes(const char* text, char16_t* dest, size_t size) {
    size_t i = 0;
    for (; text[i] && i + 1 < size; ++i) {
        dest[i] = static_cast<unsigned char>(text[i]);
    }
    dest[i] = 0;
}

// The server's bytes back from the units WidenBytes made.
std::string NarrowUnits(const char16_t* units) {
    std::string bytes;
    for (; *units; ++units) {
        bytes += static_cast<char>(*units);
    }
    return bytes;
}

} // namespace

bool IsStatusReply(const unsigned char* data, size_t size) {
    const unsigned char header[] = {0xFF, 0xFF, 0xFF, 0xFF, 'p', 'r', 'i', 'n', 't'};
    return size >= sizeof header && std::memcmp(data, header, sizeof header) == 0 &&
           (size == sizeof header || data[sizeof header] == '\n');
}

ReplyReader::ReplyReader() : record_(new ServerRecord()) {}

ReplyReader::~ReplyReader() = default;

ServerStatus ReplyReader::Read(const unsigned char* data, size_t size) {
    // The parser wants a zero byte after the datagram: the copy's terminator.
    std::string datagram(reinterpret_cast<const char*>(data), size);
    ParseStatusText(datagram.c_str(), static_cast<int>(size), WidenBytes, *record_);
    ServerStatus status;
    status.gamename = NarrowUnits(record_->gamename);
    status.hostname = NarrowUnits(record_->hostname);
    status.mapname = NarrowUnits(record_->mapname);
    status.max_players = record_->maxClients;
    std::vector<std::string> names;
    size_t name_bytes = 0;
    for (int i = 0; i < record_->playerCount; ++i) {
        names.push_back(NarrowUnits(record_->players[i].name));
        name_bytes += names.back().size();
    }
    status.players.Reserve(names.size(), name_bytes);
    for (size_t i = 0; i < names.size(); ++i) {
        status.players.Add(names[i], record_->players[i].score, record_->players[i].ping);
    }
    return status;
}

} // namespace skerrow_master
