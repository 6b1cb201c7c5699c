#include "core/text/address.h"

#include <cstring>

#include "core/text/format.h"

std::u16string DottedQuad(uint32_t addr) {
    unsigned char octets[4];
    std::memcpy(octets, &addr, sizeof octets);
    return fmt::format(u"{}.{}.{}.{}", octets[0], octets[1], octets[2], octets[3]);
}

bool FormatServerAddress(char16_t* dest, size_t size, uint32_t addr, uint16_t port) {
    return FormatInto(dest, size, u"{}:{}", DottedQuad(addr), port);
}

namespace {

// A decimal number of at most `maxDigits` digits without a leading zero; false for anything else.
bool ParseBareDecimal(std::u16string_view text, size_t maxDigits, uint32_t* value) {
    if (text.empty() || text.size() > maxDigits || (text[0] == u'0' && text.size() > 1)) {
        return false;
    }
    uint32_t number = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
        number = number * 10 + static_cast<uint32_t>(c - u'0');
    }
    *value = number;
    return true;
}

} // namespace

bool ParseDottedQuad(std::u16string_view text, uint32_t* addr) {
    unsigned char octets[4];
    for (int i = 0; i < 4; ++i) {
        size_t dot = i < 3 ? text.find(u'.') : text.size();
        uint32_t value = 0;
        if (dot == std::u16string_view::npos || !ParseBareDecimal(text.substr(0, dot), 3, &value) || value > 255) {
            return false;
        }
        octets[i] = static_cast<unsigned char>(value);
        text.remove_prefix(i < 3 ? dot + 1 : dot);
    }
    std::memcpy(addr, octets, sizeof octets);
    return true;
}

bool ParsePort(std::u16string_view text, uint16_t* port) {
    uint32_t value = 0;
    if (!ParseBareDecimal(text, 5, &value) || value == 0 || value > 65535) {
        return false;
    }
    *port = static_cast<uint16_t>(value);
    return true;
}

bool ParseServerAddress(std::u16string_view text, uint32_t* addr, uint16_t* port) {
    size_t colon = text.find(u':');
    uint32_t parsedAddr = 0;
    uint16_t parsedPort = 0;
    if (colon == std::u16string_view::npos || !ParseDottedQuad(text.substr(0, colon), &parsedAddr) ||
        !ParsePort(text.substr(colon + 1), &parsedPort)) {
        return false;
    }
    *addr = parsedAddr;
    *port = parsedPort;
    return true;
}
