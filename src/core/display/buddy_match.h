// Buddy names: splitting the typed buddy list into entries and matching player names against them. Portable (no
// Win32); the buddy list view (windows/views/buddy_highlight.h) calls these with its entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/protocol/server_record.h"

constexpr int BUDDY_NAME_SIZE = 32; // 31 characters and the terminator

struct BuddyName {
    char16_t text[BUDDY_NAME_SIZE];
};

// The number of entries SplitBuddyNames makes from `text`: its non-empty lines. Lines end at CR, LF or both.
size_t CountBuddyNames(const char16_t* text);

// Writes the names of `text` into `entries`, one per non-empty line, each cut to its first 31 characters and
// terminated; stops after `capacity` names. Nothing is trimmed and duplicates stay. Returns the names written.
size_t SplitBuddyNames(const char16_t* text, BuddyName* entries, size_t capacity);

// Whether `name` equals an entry ignoring the case of A to Z, or contains an entry with exact case.
bool MatchesBuddy(const char16_t* name, const BuddyName* entries, size_t count);

// Whether any of the server's first playerCount players (at most MAX_PLAYERS) matches an entry.
bool HasBuddyAmong(const ServerRecord& record, const BuddyName* entries, size_t count);
