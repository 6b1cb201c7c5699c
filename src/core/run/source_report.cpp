#include "core/run/source_report.h"

#include "core/run/run_texts.h"
#include "core/text/format.h"
#include "core/text/text.h"

namespace {

std::u16string Servers(size_t count) {
    return fmt::format(u"{} server{}", count, PluralSuffix(static_cast<int32_t>(count)));
}

const char16_t* MasterKindText(MasterKind kind) {
    return kind == MasterKind::Web       ? u"Master web service"
           : kind == MasterKind::WebList ? u"List URL"
                                         : u"Classic master";
}

std::u16string DownloadGave(const SourceResult& result) {
    if (result.download == ListDownload::Listed) {
        return u"Listed " + Servers(result.named);
    }
    if (result.download == ListDownload::Refused) {
        return u"Refused the connection";
    }
    std::u16string why = ListDownloadWhy(result.download);
    return u"Failed: " + (why.empty() ? u"no whole list with status 200" : why);
}

std::u16string UdpGave(const SourceResult& result) {
    if (result.udp.end == UdpMasterEnd::Answered) {
        return u"Listed " + Servers(result.named);
    }
    if (result.udp.end == UdpMasterEnd::SendFailed) {
        return fmt::format(u"Could not be asked: error {}", result.udp.error);
    }
    if (result.udp.end == UdpMasterEnd::Unresolved) {
        return u"Failed: " + ListDownloadWhy(ListDownload::Unresolved);
    }
    return result.udp.end == UdpMasterEnd::NoAnswer ? u"No answer" : u"Aborted";
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
    row.when = LocalClockText(result.at);
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
            row.when = LocalClockText(result.at);
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
