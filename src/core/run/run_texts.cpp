#include "core/run/run_texts.h"

#include <cstdarg>
#include <ctime>

#include "core/text/address.h"
#include "core/text/text.h"

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

std::u16string MasterStatusName(const MasterEntry& master) {
    if (master.kind == MasterKind::Web && master.port == WEB_MASTER_PORT) {
        return master.host;
    }
    return Formatted(u"%s:%d", master.host.c_str(), master.port);
}

std::u16string FetchingText(const std::vector<MasterEntry>& masters) {
    if (masters.size() == 1) {
        return Formatted(u"Fetching %s server list...", MasterStatusName(masters[0]).c_str());
    }
    return Formatted(u"Fetching server lists from %d masters...", static_cast<int>(masters.size()));
}

std::u16string DownloadFailedText(const std::u16string& masterName) {
    return Formatted(u"Failed to download server list from %s.", masterName.c_str());
}

std::u16string UdpMasterFailedText(const std::u16string& masterName, UdpMasterResult result) {
    switch (result.end) {
    case UdpMasterEnd::NoAnswer:
        return Formatted(u"No answer from master %s.", masterName.c_str());
    case UdpMasterEnd::Unresolved:
        return Formatted(u"Can't find master %s.", masterName.c_str());
    case UdpMasterEnd::SendFailed:
        return Formatted(u"Can't ask master %s: error %d", masterName.c_str(), result.error);
    case UdpMasterEnd::Answered:
    case UdpMasterEnd::Interrupted:
        break;
    }
    return std::u16string();
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

std::u16string AbortedBeforeServersText() {
    return u"Aborted.";
}

std::u16string TooManyServersText(size_t queried) {
    return Formatted(u"Only the first %u servers listed are queried.", static_cast<unsigned>(queried));
}

std::u16string RememberedUsedText(size_t servers, int64_t rememberedAt) {
    return Formatted(u"No master answered: querying the %d servers remembered on %s...", static_cast<int>(servers),
                     LocalTimeText(rememberedAt).c_str());
}

std::u16string RememberedIgnoredText(const char16_t* reason) {
    return Formatted(u"The remembered list was not used: %s.", reason);
}

std::u16string RememberedClosingText(const std::u16string& closing, int64_t rememberedAt) {
    return Formatted(u"%s No master answered; the list was remembered on %s.", closing.c_str(),
                     LocalTimeText(rememberedAt).c_str());
}

std::u16string LocalTimeText(int64_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    bool converted = localtime_s(&local, &time) == 0;
#else
    bool converted = localtime_r(&time, &local) != nullptr;
#endif
    if (!converted) {
        return u"an unknown date";
    }
    // The formatter has no field widths.
    auto twoDigits = [](int value) { return Formatted(value < 10 ? u"0%d" : u"%d", value); };
    return Formatted(u"%d-%s-%s %s:%s", local.tm_year + 1900, twoDigits(local.tm_mon + 1).c_str(),
                     twoDigits(local.tm_mday).c_str(), twoDigits(local.tm_hour).c_str(),
                     twoDigits(local.tm_min).c_str());
}
