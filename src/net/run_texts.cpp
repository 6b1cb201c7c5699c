#include "net/run_texts.h"

#include <cstdarg>

#include "base/address.h"
#include "base/text.h"

namespace {

constexpr size_t STATUS_TEXT_SIZE = 1024; // 1023 characters, as the status line keeps them

std::u16string Formatted(const char16_t* format, ...) {
    char16_t text[STATUS_TEXT_SIZE];
    va_list args;
    va_start(args, format);
    TextFormatV(text, STATUS_TEXT_SIZE, format, args);
    va_end(args);
    return std::u16string(text);
}

} // namespace

std::u16string FetchingText(const std::u16string& masterHost) {
    return Formatted(u"Fetching %s server list...", masterHost.c_str());
}

std::u16string DownloadFailedText(const std::u16string& masterHost) {
    return Formatted(u"Failed to download server list from %s.", masterHost.c_str());
}

std::u16string QueryText(uint32_t addr, uint16_t port, int32_t attempt) {
    char address[DOTTED_QUAD_SIZE];
    FormatDottedQuad(addr, address);
    if (attempt <= 1) {
        return Formatted(u"Querying %S:%d...", address, port);
    }
    return Formatted(u"Retrying %S:%d (attempt %d)...", address, port, attempt);
}

std::u16string SendFailedText(int error) {
    return Formatted(u"Can't send: error %d", error);
}

std::u16string FoundText(const ServerRecord& record) {
    return Formatted(u"Found %d player%s on '%s'", record.playerCount, PluralSuffix(record.playerCount),
                     record.hostname);
}

std::u16string ClosingText(bool aborted, int32_t responded, int32_t total) {
    return Formatted(u"%s. %d of %d servers responded.", aborted ? u"Aborted" : u"Completed", responded, total);
}
