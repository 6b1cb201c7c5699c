// Any bytes the registry hands back for a text value decode into a field of any size without writing outside it,
// terminated and never holding a null character before its end; a refusal leaves the field untouched.
#include <cstdint>
#include <vector>

#include "core/settings/stored_text.h"
#include "require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the field's size, as the fixed fields (64 and 260 characters) and heap texts differ.
    size_t fieldSize = data[0] % 80 + 1;
    std::vector<char16_t> field(fieldSize, u'#');
    bool stored = DecodeStoredText(data + 1, size - 1, field.data(), fieldSize);
    if (!stored) {
        for (char16_t unit : field) {
            Require(unit == u'#');
        }
        return 0;
    }
    size_t length = 0;
    while (length < fieldSize && field[length] != 0) {
        ++length;
    }
    Require(length < fieldSize);
    Require(length <= (size - 1) / 2);
    return 0;
}
