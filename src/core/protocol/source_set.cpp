#include "core/protocol/source_set.h"

#include "core/text/format.h"

std::vector<std::u16string> SourceLines(SourceSet sources, const std::vector<std::u16string>& masterNames) {
    std::vector<std::u16string> lines;
    for (int index = 0; index < MAX_MASTERS; ++index) {
        if (!(sources & MasterSource(index))) {
            continue;
        }
        if (static_cast<size_t>(index) < masterNames.size()) {
            lines.push_back(u"Master: " + masterNames[static_cast<size_t>(index)]);
        } else {
            lines.push_back(fmt::format(u"Master {}", index + 1));
        }
    }
    if (sources & SOURCE_FAVOURITE) {
        lines.push_back(u"Favourite");
    }
    if (sources & SOURCE_REMEMBERED) {
        lines.push_back(u"Remembered list");
    }
    if (sources & SOURCE_RECENT) {
        lines.push_back(u"Recently played");
    }
    if (sources & SOURCE_LAN) {
        lines.push_back(u"LAN");
    }
    return lines;
}
