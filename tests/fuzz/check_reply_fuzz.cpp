// Any reply to the service's status query (up to the 4,096 bytes it reads) gives a gamename that the state file
// and the web list can carry: 1 to 63 bytes, no line feed, no zero byte. And whatever its texts hold, the page's and
// the API's escaping of them is valid UTF-8 with no markup and no control character of its own, and the JSON string
// is as long as its allocation counted.
#include <cstdint>
#include <string>

#include "check_reply.h"
#include "master_datagram.h"
#include "require.h"
#include "state_file.h"
#include "web_text.h"

using namespace skerrow_master; // the service's readers under test

namespace {

bool IsUtf8WithoutControls(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80 ? 1 : (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : 0;
        if (length == 0 || i + length > text.size() || byte < 0x20 || byte == 0x7F || (length == 2 && byte < 0xC2)) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

void RequireEscaped(std::string_view bytes) {
    std::string html;
    AppendHtml(&html, bytes);
    Require(IsUtf8WithoutControls(html) && html.find_first_of("<>\"'") == std::string::npos);
    std::string json;
    AppendJsonString(&json, bytes);
    Require(IsUtf8WithoutControls(json) && json.size() == JsonStringSize(bytes));
    // Every quote inside is escaped (escapes are stepped over): the string ends at its last byte and nowhere before.
    for (size_t i = 1; i + 1 < json.size(); i += json[i] == '\\' ? 2 : 1) {
        Require(json[i] != '"');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MAX_DATAGRAM_BYTES) {
        return -1; // never read
    }
    static ReplyReader reader;
    IsStatusReply(data, size);
    ServerStatus status = reader.Read(data, size);
    Require(IsSavableGameName(status.gamename));
    for (const std::string* text : {&status.gamename, &status.hostname, &status.mapname}) {
        RequireEscaped(*text);
    }
    for (size_t i = 0; i < status.players.size(); ++i) {
        RequireEscaped(status.players[i].name);
    }
    return 0;
}
