#include "base/address.h"

#include <cstring>

#include "base/text.h"

void FormatDottedQuad(uint32_t addr, char (&out)[DOTTED_QUAD_SIZE]) {
    unsigned char octets[4];
    std::memcpy(octets, &addr, sizeof octets);
    size_t length = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            out[length++] = '.';
        }
        unsigned value = octets[i];
        if (value >= 100) {
            out[length++] = static_cast<char>('0' + value / 100);
        }
        if (value >= 10) {
            out[length++] = static_cast<char>('0' + value / 10 % 10);
        }
        out[length++] = static_cast<char>('0' + value % 10);
    }
    out[length] = 0;
}

bool FormatServerAddress(char16_t* dest, size_t size, uint32_t addr, uint16_t port) {
    char quad[DOTTED_QUAD_SIZE];
    FormatDottedQuad(addr, quad);
    return TextFormat(dest, size, u"%S:%d", quad, static_cast<int>(port));
}
