#include "core/watch/buddy_alert_text.h"

#include "core/text/format.h"

namespace {

constexpr char16_t ELLIPSIS = u'\u2026';

std::u16string SightingWithHost(const BuddySighting& sighting, const std::u16string& hostname) {
    return fmt::format(u"{} is playing on {} ({}, {}/{})", sighting.player, hostname, sighting.mapname,
                       sighting.players, sighting.maxClients);
}

// What the end says of the sightings left out; empty for none.
std::u16string MoreText(size_t left) {
    if (left == 0) {
        return {};
    }
    if (left == 1) {
        return u"; and 1 more buddy is playing";
    }
    return fmt::format(u"; and {} more buddies are playing", left);
}

// The first `length` code units of `text`, one fewer when that would split a surrogate pair.
std::u16string CutAt(const std::u16string& text, size_t length) {
    if (length >= text.size()) {
        return text;
    }
    if (length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF) {
        --length;
    }
    return text.substr(0, length);
}

// The sighting in at most `room` characters: whole, else with its host name cut, else itself cut.
std::u16string FittedSighting(const BuddySighting& sighting, size_t room) {
    std::u16string whole = SightingWithHost(sighting, sighting.hostname);
    if (whole.size() <= room) {
        return whole;
    }
    size_t beside = whole.size() - sighting.hostname.size();
    if (beside + 1 < room) {
        return SightingWithHost(sighting, CutAt(sighting.hostname, room - beside - 1) + ELLIPSIS);
    }
    return room > 0 ? CutAt(whole, room - 1) + ELLIPSIS : std::u16string();
}

} // namespace

std::u16string SightingText(const BuddySighting& sighting) {
    return SightingWithHost(sighting, sighting.hostname);
}

BuddyAlert ComposeBuddyAlert(const std::vector<BuddySighting>& sightings, size_t limit) {
    BuddyAlert alert;
    if (sightings.empty()) {
        return alert;
    }
    const BuddySighting& first = sightings.front();
    alert.target = AlertTarget{first.addr, first.port, first.player};
    std::u16string more = MoreText(sightings.size() - 1);
    alert.text = FittedSighting(first, more.size() < limit ? limit - more.size() : 0);
    size_t shown = 1;
    for (; shown < sightings.size(); ++shown) {
        std::u16string next = alert.text + u"; " + SightingText(sightings[shown]);
        if (next.size() + MoreText(sightings.size() - shown - 1).size() > limit) {
            break;
        }
        alert.text = std::move(next);
    }
    // Within the limit by now, unless the limit is shorter than the count of those left out.
    alert.text = CutAt(alert.text + MoreText(sightings.size() - shown), limit);
    return alert;
}
