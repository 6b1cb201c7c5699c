// Where a server came from: the set of sources that named it, and their names as the server info shows them.
// Portable (no Win32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Sources as bits: masters by their index in the run's list, then the favourites, the remembered list, the
// servers played on lately and the servers that answered the run's broadcast on a local network.
using SourceSet = uint32_t;
constexpr int MAX_MASTERS = 16;
constexpr SourceSet SOURCE_FAVOURITE = SourceSet{1} << MAX_MASTERS;
constexpr SourceSet SOURCE_REMEMBERED = SourceSet{1} << (MAX_MASTERS + 1);
constexpr SourceSet SOURCE_RECENT = SourceSet{1} << (MAX_MASTERS + 2);
constexpr SourceSet SOURCE_LAN = SourceSet{1} << (MAX_MASTERS + 3);

// The bit of the master at `index` (0 to MAX_MASTERS - 1); 0 for any other index.
inline SourceSet MasterSource(int index) {
    return index >= 0 && index < MAX_MASTERS ? SourceSet{1} << index : 0;
}

// One line per source in `sources`: "Master: <name>" for each master bit in index order (named by `masterNames`,
// or "Master <index + 1>" past its end), then "Favourite", then "Remembered list", then "Recently played", then
// "LAN". Unknown bits are left out.
std::vector<std::u16string> SourceLines(SourceSet sources, const std::vector<std::u16string>& masterNames);
