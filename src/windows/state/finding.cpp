#include "windows/state/finding.h"

namespace {

// The delivered record's places folded for the search, made at its first search.
const std::u16string& SearchTextFor(Finding& finding, const ShownTable& shown, int32_t index) {
    if (finding.searchTexts.size() < static_cast<size_t>(shown.count)) {
        finding.searchTexts.resize(static_cast<size_t>(shown.count));
    }
    // A delivered record no longer changes, so its text holds as long as its table; any text has a separator.
    std::u16string& text = finding.searchTexts[static_cast<size_t>(index)];
    if (text.empty()) {
        text = SearchTextOf(shown.At(index));
    }
    return text;
}

} // namespace

bool ShowsUnderChoice(const Finding& finding, const ServerLists& lists, const ServerRecord& record) {
    switch (finding.showChoice) {
    case SHOW_FAVOURITES:
        return IsFavourite(lists.favourites, record.addr, record.port);
    case SHOW_RECENT:
        return FindRecent(lists.recent, record.addr, record.port) != nullptr;
    case SHOW_LAN:
        return (record.sources.load(std::memory_order_relaxed) & SOURCE_LAN) != 0;
    default:
        return true;
    }
}

bool IsFound(Finding& finding, const ShownTable& shown, const ServerLists& lists, int32_t index) {
    if (!ShowsUnderChoice(finding, lists, shown.At(index))) {
        return false;
    }
    if (!finding.search.Active()) {
        return true;
    }
    return SearchTextHolds(SearchTextFor(finding, shown, index), finding.search);
}

void PrepareSearchTexts(Finding& finding, const ShownTable& shown) {
    for (int32_t i = 0; i < shown.count; ++i) {
        if (shown.At(i).delivered) {
            SearchTextFor(finding, shown, i);
        }
    }
}
