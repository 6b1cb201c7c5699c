// The mod filter text the service answers "/filters" with: the configured pairs of display name and game directory
// (a --mods file or the browser's built-in list), then the game directories of live servers that those lack, each
// as its own name. UTF-8, LF after every line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace skerrow_master {

struct ModPair {
    std::string name;
    std::string dir;
};

// The browser takes at most 63 pairs and reads at most 8,191 bytes of the text; we never send more.
constexpr size_t MAX_MOD_PAIRS = 63;
constexpr size_t MAX_MOD_TEXT_BYTES = 8191;

// Splits a mod filter text as the browser does; false for a text the browser would reject (an odd number of
// lines). Pairs beyond MAX_MOD_PAIRS are left out.
bool ParseModText(std::string_view text, std::vector<ModPair>* pairs);

std::vector<ModPair> BuiltInMods();

// Reads a --mods file; false with the reason in *error when it cannot be read or is not a filter text.
bool ReadModsFile(const std::string& path, std::vector<ModPair>* pairs, std::string* error);

// The configured pairs, then each of `seen` that no configured directory equals (ignoring ASCII case) and that a
// request path can carry, while the limits allow.
std::string BuildModText(const std::vector<ModPair>& configured, const std::vector<std::string>& seen);

} // namespace skerrow_master
