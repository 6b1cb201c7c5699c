#include "core/history/history_texts.h"

#include "core/text/format.h"

std::u16string HistorySampleText(const CivilTime& localStart, const HistoryBucket& bucket) {
    std::u16string ping = bucket.lowestPing == bucket.highestPing
                              ? fmt::format(u"ping {} ms", bucket.lowestPing)
                              : fmt::format(u"ping {}\u2013{} ms (mean {})", bucket.lowestPing, bucket.highestPing,
                                            bucket.MeanPing());
    return fmt::format(u"{:02}:{:02}  {}, {}/{} players", localStart.hour, localStart.minute, ping, bucket.mostPlayers,
                       bucket.maxClients);
}

std::u16string HourLabel(const CivilTime& local) {
    return fmt::format(u"{:02}:{:02}", local.hour, local.minute);
}
