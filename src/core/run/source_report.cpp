#include "core/run/source_report.h"

#include <ctime>

#include "core/run/run_texts.h"
#include "core/text/format.h"
#include "core/text/text.h"

namespace {

std::u16string Servers(size_t count) {
    return fmt::format(u"{} server{}", count, PluralSuffix(static_cast<int32_t>(count)));
}

std::u16string ClockText(int64_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    bool converted = localtime_s(&local, &time) == 0;
#else
    bool converted = localtime_r(&time, &local) != nullptr;
#endif
    return converted ? fmt::format(u"{:02}:{:02}:{:02}", local.tm_hour, local.tm_min, local.tm_sec) : u"?";
}

const char16_t* MasterKindText(MasterKind kind) {
    switch (kind) {
    case MasterKind::Web:
        return u"Master web service";
    case MasterKind::WebList:
        return u"List URL";
    case MasterKind::Udp:
        return u"Classic master";
    }
    return u"";
}

std::u16string DownloadGave(const SourceResult& result) {
    switch (result.download) {
    case ListDownload::Listed:
        return u"Listed " + Servers(result.named);
    case ListDownload::Failed:
        return u"Failed: no whole list with status 200";
    case ListDownload::Refused:
        return u"Refused the connection";
    case ListDownload::Unresolved:
        return u"Failed: its host name is not found";
    case ListDownload::WebPage:
        return u"Failed: it answered with a web page";
    case ListDownload::BadRedirect:
        return u"Failed: it redirects to a URL that is not http://";
    case ListDownload::TooManyRedirects:
        return fmt::format(u"Failed: it redirects more than {} times", LIST_URL_MAX_REDIRECTS);
    case ListDownload::TooSlow:
        return fmt::format(u"Failed: the list did not come within {} seconds", LIST_URL_DEADLINE_MS / 1000);
    }
    return u"";
}

std::u16string UdpGave(const SourceResult& result) {
    switch (result.udp.end) {
    case UdpMasterEnd::Answered:
        return u"Listed " + Servers(result.named);
    case UdpMasterEnd::NoAnswer:
        return u"No answer";
    case UdpMasterEnd::Unresolved:
        return u"Failed: its host name is not found";
    case UdpMasterEnd::SendFailed:
        return fmt::format(u"Could not be asked: error {}", result.udp.error);
    case UdpMasterEnd::Interrupted:
        return u"Aborted";
    }
    return u"";
}

SourceRow OtherRow(const SourceResult& result) {
    SourceRow row;
    switch (result.source) {
    case SOURCE_INDEX_LAN:
        row.source = u"Local networks";
        row.kind = u"LAN search";
        row.gave = result.named ? u"Found " + Servers(result.named) : u"Found none";
        break;
    case SOURCE_INDEX_FAVOURITES:
        row.source = u"Favourites";
        row.kind = u"Your list";
        row.gave = u"Queried " + Servers(result.named);
        break;
    case SOURCE_INDEX_RECENT:
        row.source = u"Recently played";
        row.kind = u"Your history";
        row.gave = u"Queried " + Servers(result.named);
        break;
    case SOURCE_INDEX_REMEMBERED:
        row.source = u"Remembered list";
        row.kind = u"No master answered";
        row.gave = result.listed ? fmt::format(u"Queried {} remembered on {}", Servers(result.named),
                                               LocalTimeText(result.rememberedAt))
                                 : u"Not used: " + result.rememberedFault;
        break;
    }
    row.when = ClockText(result.at);
    return row;
}

} // namespace

std::vector<SourceRow> SourceRows(const std::vector<MasterEntry>& masters, const std::vector<SourceResult>& results,
                                  bool running) {
    std::vector<SourceRow> rows;
    for (size_t i = 0; i < masters.size(); ++i) {
        SourceRow row{FormatMasterEntry(masters[i]), MasterKindText(masters[i].kind),
                      running ? u"Asking..." : u"Aborted", u""};
        for (const SourceResult& result : results) {
            if (result.source != static_cast<int32_t>(i)) {
                continue;
            }
            bool udp = masters[i].kind == MasterKind::Udp || result.udp.end != UdpMasterEnd::Answered;
            row.gave = result.interrupted ? u"Aborted" : udp ? UdpGave(result) : DownloadGave(result);
            row.when = ClockText(result.at);
        }
        rows.push_back(std::move(row));
    }
    for (int32_t source : {SOURCE_INDEX_LAN, SOURCE_INDEX_FAVOURITES, SOURCE_INDEX_RECENT, SOURCE_INDEX_REMEMBERED}) {
        for (const SourceResult& result : results) {
            if (result.source == source) {
                rows.push_back(OtherRow(result));
            }
        }
    }
    return rows;
}
