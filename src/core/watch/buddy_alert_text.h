// What a buddy alert says, and where a click on it leads. Portable (no Win32).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/watch/alert_target.h"
#include "core/watch/buddy_appearances.h"

// The most characters a notification balloon's text holds (its 256 with the terminator).
constexpr size_t ALERT_TEXT_LIMIT = 255;

struct BuddyAlert {
    std::u16string text;
    AlertTarget target; // the first sighting's server and player
};

// One sighting: "Bob is playing on Server X (q2dm1, 7/16)".
std::u16string SightingText(const BuddySighting& sighting);

// One alert for the sightings of a delivery (at least one): theirs joined by "; " in order, as many whole ones as fit
// in `limit` characters, the rest counted at the end ("; and 2 more buddies are playing"). A first sighting too long
// on its own has its host name cut, with an ellipsis.
BuddyAlert ComposeBuddyAlert(const std::vector<BuddySighting>& sightings, size_t limit = ALERT_TEXT_LIMIT);
