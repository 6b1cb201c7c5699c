#include "core/run/run_texts.h"

#include <ctime>
#include <utility>

#include "core/text/address.h"
#include "core/text/format.h"
#include "core/text/text.h"

std::u16string MasterStatusName(const MasterEntry& master) {
    if (master.kind != MasterKind::Udp && master.port == WEB_MASTER_PORT) {
        return master.host + master.path;
    }
    return fmt::format(u"{}:{}{}", master.host, master.port, master.path);
}

std::u16string FetchingText(const std::vector<MasterEntry>& masters) {
    if (masters.size() == 1) {
        return fmt::format(u"Fetching {} server list...", MasterStatusName(masters[0]));
    }
    return fmt::format(u"Fetching server lists from {} masters...", masters.size());
}

std::u16string ListDownloadWhy(ListDownload end) {
    constexpr std::pair<ListDownload, const char16_t*> FIXED[] = {
        {ListDownload::Unresolved, u"its host name is not found"},
        {ListDownload::Refused, u"it refused the connection"},
        {ListDownload::WebPage, u"it answered with a web page"},
        {ListDownload::BadRedirect, u"it redirects to a URL that is not http://"},
    };
    for (const auto& [which, why] : FIXED) {
        if (which == end) {
            return why;
        }
    }
    if (end == ListDownload::TooManyRedirects) {
        return fmt::format(u"it redirects more than {} times", LIST_URL_MAX_REDIRECTS);
    }
    if (end == ListDownload::TooSlow) {
        return fmt::format(u"the list did not come within {} seconds", LIST_URL_DEADLINE_MS / 1000);
    }
    return u"";
}

std::u16string DownloadFailedText(const MasterEntry& master, ListDownload end) {
    std::u16string why = ListDownloadWhy(end);
    // A master web service's failure is said as it always was.
    if (why.empty() || master.kind != MasterKind::WebList) {
        return fmt::format(u"Failed to download server list from {}.", MasterStatusName(master));
    }
    return fmt::format(u"Failed to download server list from {}: {}.", MasterStatusName(master), why);
}

std::u16string UdpMasterFailedText(const std::u16string& masterName, UdpMasterResult result) {
    switch (result.end) {
    case UdpMasterEnd::NoAnswer:
        return fmt::format(u"No answer from master {}.", masterName);
    case UdpMasterEnd::Unresolved:
        return fmt::format(u"Can't find master {}.", masterName);
    case UdpMasterEnd::SendFailed:
        return fmt::format(u"Can't ask master {}: error {}", masterName, result.error);
    case UdpMasterEnd::Answered:
    case UdpMasterEnd::Interrupted:
        break;
    }
    return std::u16string();
}

std::u16string QueryText(uint32_t addr, uint16_t port, int32_t attempt) {
    if (attempt <= 1) {
        return fmt::format(u"Querying {}:{}...", DottedQuad(addr), port);
    }
    return fmt::format(u"Retrying {}:{} (attempt {})...", DottedQuad(addr), port, attempt);
}

std::u16string SendFailedText(int error) {
    return fmt::format(u"Can't send: error {}", error);
}

std::u16string FoundText(const ServerRecord& record) {
    return fmt::format(u"Found {} player{} on '{}'", record.playerCount, PluralSuffix(record.playerCount),
                       static_cast<const char16_t*>(record.hostname));
}

std::u16string ClosingText(bool aborted, int32_t responded, int32_t total) {
    return fmt::format(u"{}. {} of {} servers responded.", aborted ? u"Aborted" : u"Completed", responded, total);
}

std::u16string AbortedBeforeServersText() {
    return u"Aborted.";
}

std::u16string TooManyServersText(size_t queried) {
    return fmt::format(u"Only the first {} servers listed are queried.", queried);
}

std::u16string RememberedUsedText(size_t servers, int64_t rememberedAt) {
    return fmt::format(u"No master answered: querying the {} servers remembered on {}...", servers,
                       LocalTimeText(rememberedAt));
}

std::u16string RememberedIgnoredText(const char16_t* reason) {
    return fmt::format(u"The remembered list was not used: {}.", reason);
}

std::u16string RememberedClosingText(const std::u16string& closing, int64_t rememberedAt) {
    return fmt::format(u"{} No master answered; the list was remembered on {}.", closing, LocalTimeText(rememberedAt));
}

namespace {

// Seconds since 1970 (UTC) in the local time zone; false when the system cannot say.
bool ToLocalTime(int64_t seconds, std::tm& local) {
    std::time_t time = static_cast<std::time_t>(seconds);
#ifdef _WIN32
    return localtime_s(&local, &time) == 0;
#else
    return localtime_r(&time, &local) != nullptr;
#endif
}

} // namespace

std::u16string LocalTimeText(int64_t seconds) {
    std::tm local{};
    if (!ToLocalTime(seconds, local)) {
        return u"an unknown date";
    }
    return fmt::format(u"{}-{:02}-{:02} {:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour, local.tm_min);
}

std::u16string LocalClockText(int64_t seconds) {
    std::tm local{};
    if (!ToLocalTime(seconds, local)) {
        return u"?";
    }
    return fmt::format(u"{:02}:{:02}:{:02}", local.tm_hour, local.tm_min, local.tm_sec);
}
