#include "mod_list.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "core/mods/built_in_mods.h"
#include "core/mods/mod_filter_text.h"
#include "core/text/ascii_case.h"

namespace skerrow_master {

namespace {

// A gamename comes from any server: only printable ASCII goes into the list, and none of the characters that would
// change the meaning of the browser's unencoded request path "/?mod=%s&raw=2".
bool IsListableDir(std::string_view dir) {
    if (dir.empty()) {
        return false;
    }
    for (char c : dir) {
        if (c <= ' ' || c > '~' || std::string_view("&#%?/+\\\"").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

std::string Narrow(const char16_t* line) {
    std::string text;
    for (; *line; ++line) {
        text += static_cast<char>(*line);
    }
    return text;
}

bool AppendPair(std::string* text, std::string_view name, std::string_view dir) {
    std::string pair = std::string(name) + "\n" + std::string(dir) + "\n";
    if (text->size() + pair.size() > MAX_MOD_TEXT_BYTES) {
        return false;
    }
    *text += pair;
    return true;
}

} // namespace

bool ParseModText(std::string_view text, std::vector<ModPair>* pairs) {
    // Each byte widened to one code unit: the browser's splitter then finds the same lines in the UTF-8 bytes, and
    // narrowing its lines back gives the bytes unchanged.
    std::u16string wide(text.begin(), text.end());
    for (char16_t& unit : wide) {
        unit = static_cast<unsigned char>(unit);
    }
    ModFilterPair split[MAX_MOD_PAIRS];
    size_t count = 0;
    if (!SplitModFilterText(wide.data(), split, MAX_MOD_PAIRS, count)) {
        return false;
    }
    pairs->clear();
    for (size_t i = 0; i < count; ++i) {
        pairs->push_back({Narrow(split[i].name), Narrow(split[i].dir)});
    }
    return true;
}

std::vector<ModPair> BuiltInMods() {
    std::u16string text(BUILT_IN_MOD_FILTER_TEXT);
    ModFilterPair split[MAX_MOD_PAIRS];
    size_t count = 0;
    SplitModFilterText(text.data(), split, MAX_MOD_PAIRS, count);
    std::vector<ModPair> pairs;
    for (size_t i = 0; i < count; ++i) {
        pairs.push_back({Narrow(split[i].name), Narrow(split[i].dir)}); // the built-in list is ASCII
    }
    return pairs;
}

bool ReadModsFile(const std::string& path, std::vector<ModPair>* pairs, std::string* error) {
    // Opening a FIFO would wait for a writer: the start would hang.
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        *error = path + ": not a regular file";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    if (!file || !(text << file.rdbuf())) {
        *error = path + ": cannot be read";
        return false;
    }
    if (text.str().find('\0') != std::string::npos || !ParseModText(text.str(), pairs)) {
        *error = path + ": not a mod filter text (LF-separated pairs of a display name and a game directory)";
        return false;
    }
    return true;
}

std::string BuildModText(const std::vector<ModPair>& configured, const std::vector<std::string>& seen) {
    std::string text;
    size_t pairs = 0;
    for (const ModPair& pair : configured) {
        if (pairs == MAX_MOD_PAIRS || !AppendPair(&text, pair.name, pair.dir)) {
            return text;
        }
        ++pairs;
    }
    for (const std::string& dir : seen) {
        bool known = false;
        for (const ModPair& pair : configured) {
            known = known || EqualsIgnoringAsciiCase(pair.dir, dir);
        }
        if (known || !IsListableDir(dir)) {
            continue;
        }
        if (pairs == MAX_MOD_PAIRS || !AppendPair(&text, dir, dir)) {
            return text;
        }
        ++pairs;
    }
    return text;
}

} // namespace skerrow_master
