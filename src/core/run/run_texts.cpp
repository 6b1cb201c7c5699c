#include "core/run/run_texts.h"

#include <ctime>

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

std::u16string DownloadFailedText(const MasterEntry& master, ListDownload end) {
    std::u16string why;
    switch (end) {
    case ListDownload::Unresolved:
        why = u"its host name is not found";
        break;
    case ListDownload::Refused:
        why = u"it refused the connection";
        break;
    case ListDownload::WebPage:
        why = u"it answered with a web page";
        break;
    case ListDownload::BadRedirect:
        why = u"it redirects to a URL that is not http://";
        break;
    case ListDownload::TooManyRedirects:
        why = fmt::format(u"it redirects more than {} times", LIST_URL_MAX_REDIRECTS);
        break;
    case ListDownload::TooSlow:
        why = fmt::format(u"the list did not come within {} seconds", LIST_URL_DEADLINE_MS / 1000);
        break;
    case ListDownload::Listed:
    case ListDownload::Failed:
        break;
    }
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
    return fmt::format(u"{}-{:02}-{:02} {:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour, local.tm_min);
}
