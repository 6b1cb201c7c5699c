#include "core/history/history_texts.h"

#include "core/text/format.h"

std::u16string HistorySampleText(const CivilTime& localStart, const HistoryBucket& bucket) {
    std::u16string ping =
        bucket.lowestPing == bucket.highestPing
            ? fmt::format(u"ping {} ms", bucket.lowestPing)
            : fmt::format(u"ping {}\u2013{} ms (mean {})", bucket.lowestPing, bucket.highestPing, bucket.MeanPing());
    // A server that gives no maxclients has no "of".
    std::u16string players = bucket.maxClients > 0
                                 ? fmt::format(u"{}/{} players", bucket.mostPlayers, bucket.maxClients)
                             : bucket.mostPlayers == 1 ? std::u16string(u"1 player")
                                                       : fmt::format(u"{} players", bucket.mostPlayers);
    return fmt::format(u"{:02}:{:02}  {}, {}", localStart.hour, localStart.minute, ping, players);
}

std::u16string HourLabel(const CivilTime& local) {
    return fmt::format(u"{:02}:{:02}", local.hour, local.minute);
}
