// Any datagram the receiver accepts (1 to 4096 bytes) goes through ReadLine and the reply parser without reading
// or writing outside a buffer, and leaves a record whose counts are in range and whose texts are terminated. The
// info pairs of the kept info line, and of the raw datagram as one long line, are read within their limits.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/protocol/info_pairs.h"
#include "core/protocol/status_reply.h"
#include "latin1.h"
#include "require.h"

namespace {

constexpr size_t MAX_DATAGRAM = 4096;

template <size_t N> void RequireTerminated(const char16_t (&text)[N]) {
    Require(std::char_traits<char16_t>::find(text, N, u'\0') != nullptr);
}

void CheckLines(const std::vector<char>& datagram, int length) {
    const char* position = datagram.data();
    int remaining = length;
    char line[STATUS_LINE_SIZE];
    int lines = 0;
    while (ReadLine(position, remaining, line)) {
        Require(std::strlen(line) < STATUS_LINE_SIZE);
        Require(remaining >= 0);
        Require(++lines <= length);
    }
    Require(remaining == 0);
    Require(position == datagram.data() + length);
}

// Every pair has a key; no key or value is longer than a kept info line; a line of n bytes holds at most n / 2 + 1
// pairs (each key but the last ends at a backslash).
void CheckInfoPairs(const char* text) {
    size_t length = std::strlen(text);
    std::vector<InfoPair> pairs = ReadInfoPairs(text, DecodeLatin1);
    Require(pairs.size() <= length / 2 + 1);
    for (const InfoPair& pair : pairs) {
        Require(!pair.key.empty());
        Require(pair.key.size() < INFO_TEXT_SIZE && pair.value.size() < INFO_TEXT_SIZE);
        Require(pair.key.find(u'\\') == std::u16string::npos && pair.value.find(u'\\') == std::u16string::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > MAX_DATAGRAM) {
        return -1; // the receiver never passes these on
    }
    // The receiver stores a zero byte after the datagram; nothing beyond it exists.
    std::vector<char> datagram(data, data + size);
    datagram.push_back(0);
    int length = static_cast<int>(size);

    CheckLines(datagram, length);

    auto record = std::make_unique<ServerRecord>();
    ParseStatusText(datagram.data(), length, DecodeLatin1, *record);
    Require(record->playerCount >= 0 && record->playerCount <= MAX_PLAYERS);
    RequireTerminated(record->hostname);
    RequireTerminated(record->mapname);
    RequireTerminated(record->version);
    RequireTerminated(record->gamedate);
    RequireTerminated(record->gamename);
    Require(record->mapname[0] != 0);  // a map name or "?"
    Require(record->gamename[0] != 0); // a mod name or "default"
    for (int i = 0; i < record->playerCount; ++i) {
        RequireTerminated(record->players[i].name);
    }
    Require(std::memchr(record->infoText, 0, INFO_TEXT_SIZE) != nullptr);
    CheckInfoPairs(record->infoText);
    CheckInfoPairs(datagram.data());
    return 0;
}
