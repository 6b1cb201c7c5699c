// Any filter list text (the master's body after decoding, or a stored value) splits without reading or writing
// outside its buffer into at most `capacity` pairs of non-empty lines that hold no line feed.
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/mods/mod_filter_text.h"
#include "require.h"

namespace {

constexpr size_t CAPACITY = 63;

bool InsideText(const char16_t* line, const std::vector<char16_t>& text) {
    return line >= text.data() && line < text.data() + text.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char16_t> text(size / 2 + 1, 0);
    std::memcpy(text.data(), data, size / 2 * 2);
    text.back() = 0;
    ModFilterPair pairs[CAPACITY + 1];
    size_t count = CAPACITY + 7;
    bool accepted = SplitModFilterText(text.data(), pairs, CAPACITY, count);
    Require(count <= CAPACITY);
    Require(accepted || count == 0);
    for (size_t i = 0; i < count; ++i) {
        for (const char16_t* line : {pairs[i].name, pairs[i].dir}) {
            Require(InsideText(line, text) && line[0] != 0);
            for (const char16_t* unit = line; *unit; ++unit) {
                Require(*unit != u'\n' && InsideText(unit, text));
            }
        }
    }
    return 0;
}
