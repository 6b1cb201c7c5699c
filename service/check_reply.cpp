#include "check_reply.h"

#include <cstring>

#include "core/protocol/status_reply.h"

namespace {

// Each byte becomes one code unit, so narrowing the gamename back gives the server's own bytes.
void WidenBytes(const char* text, char16_t* dest, size_t size) {
    size_t i = 0;
    for (; text[i] && i + 1 < size; ++i) {
        dest[i] = static_cast<unsigned char>(text[i]);
    }
    dest[i] = 0;
}

} // namespace

bool IsStatusReply(const unsigned char* data, size_t size) {
    const unsigned char header[] = {0xFF, 0xFF, 0xFF, 0xFF, 'p', 'r', 'i', 'n', 't'};
    return size >= sizeof header && std::memcmp(data, header, sizeof header) == 0 &&
           (size == sizeof header || data[sizeof header] == '\n');
}

ReplyReader::ReplyReader() : record_(new ServerRecord()) {}

ReplyReader::~ReplyReader() = default;

std::string ReplyReader::GameName(const unsigned char* data, size_t size) {
    // The parser wants a zero byte after the datagram: the copy's terminator.
    std::string datagram(reinterpret_cast<const char*>(data), size);
    ParseStatusText(datagram.c_str(), static_cast<int>(size), WidenBytes, *record_);
    std::string gamename;
    for (const char16_t* unit = record_->gamename; *unit; ++unit) {
        gamename += static_cast<char>(*unit);
    }
    return gamename;
}
