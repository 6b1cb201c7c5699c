// The program's settings as one plain value, and everything about how they are stored but the registry itself:
// the value names, their order, their formats, the decoding of whatever comes back, the old format's migration and
// the defaults. Portable (no Win32): the settings store (settings_store.h; the registry, in platform/win32) reads and
// writes through these, and the main window applies the value to the program at start-up and gathers it at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/settings/configuration.h"
#include "core/settings/favourites.h"
#include "core/settings/stored_value.h"

constexpr int MOD_DIR_SIZE = 64;
// The main window's placement as Win32 stores it (WINDOWPLACEMENT), kept as its bytes.
constexpr uint32_t PLACEMENT_SIZE = 44;

struct Settings {
    Configuration config;
    std::u16string lastModFilter; // the selected filter's game directory; read back at most 63 characters of it
    bool hasModFilterText;        // a stored list is there to fill the mod filter box from, even an empty one
    std::u16string modFilterText;
    int32_t playerViewDetails;
    int32_t showEmpty;
    int32_t showFull;
    int32_t sortColumn;
    bool hasPlacement;
    unsigned char placement[PLACEMENT_SIZE];
    std::vector<FavouriteServer> favourites;
    std::vector<FavouriteServer> watched; // the servers the user watches, in the order watched
};

// A first start, when nothing is stored: both Full and Empty shown, and the configuration's defaults.
void SetFirstStart(Settings& settings);

// Looks a stored value up by name: false when it is missing or cannot be read, else its type and bytes.
using StoredValueLookup = bool (*)(void* context, const char16_t* name, uint32_t& type,
                                   std::vector<unsigned char>& bytes);

// The settings as stored, each over its setting in `settings`. A value that is missing, of another type or of an
// unusable size leaves the setting as it was; so does a text too long for its field. The two texts of any size are
// the empty text then, and the masters and favourites none. Of the stored masters and favourites, a string that is
// not one and a repeat are left out, never guessed at; masters past MAX_MASTERS are cut. Stores of format 1 held the
// buddy list as 8-bit text, which `decodeAnsi` turns into UTF-16. The configuration is validated as it enters
// (ValidateConfiguration).
void DecodeSettings(StoredValueLookup lookup, void* context, AnsiTextDecoder decodeAnsi, Settings& settings);

// Writes one value: its name, type and bytes. Null `data` deletes the value instead: a list left at its default is
// not stored at all, so a later build's default applies to it.
using StoredValueWriter = void (*)(void* context, const char16_t* name, uint32_t type, const unsigned char* data,
                                   size_t size);

// Every setting in its stored form, in the order they have always been written, with the format version 2; the
// placement only when there is one. Then the masters (none set: the build's default) and the favourites, each
// written when there are any and deleted when there are none; then "Search LAN", a number 0 when the user turned
// the LAN search off, deleted while it is on. The settings that came after it are alike, each stored only while it
// differs from its default and deleted while it is that: "Refresh Every" (minutes), "Keep Running In Notification
// Area" and "Tell Me When Buddies Play" (1), "Keep Server History" (0), and "Watched Servers", written as the
// favourites are.
void EncodeSettings(const Settings& settings, StoredValueWriter write, void* context);
