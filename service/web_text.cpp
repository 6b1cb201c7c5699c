#include "web_text.h"

#include <cstdint>

namespace skerrow_master {

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
const char HEX[] = "0123456789ABCDEF";

// Windows-1252's characters for 0x80 to 0x9F; 0 where it has none.
constexpr char16_t CP1252_HIGH[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t FromWindows1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return CP1252_HIGH[byte - 0x80] ? CP1252_HIGH[byte - 0x80] : REPLACEMENT;
    }
    return byte;
}

size_t Utf8Size(char32_t code) {
    return code < 0x80 ? 1 : code < 0x800 ? 2 : 3;
}

bool IsJsonEscaped(unsigned char byte) {
    // <, > and & too, so the text stays inert wherever a page embeds it.
    return byte < 0x20 || byte == 0x7F || byte == '<' || byte == '>' || byte == '&';
}

void AppendUtf8(std::string* out, char32_t code) {
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | code >> 6);
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xE0 | code >> 12);
        *out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    return digit >= 'A' && digit <= 'F' ? digit - 'A' + 10 : -1;
}

} // namespace

void AppendHtml(std::string* out, std::string_view bytes) {
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '<':
            *out += "&lt;";
            break;
        case '>':
            *out += "&gt;";
            break;
        case '&':
            *out += "&amp;";
            break;
        case '"':
            *out += "&quot;";
            break;
        case '\'':
            *out += "&#39;";
            break;
        default:
            AppendUtf8(out, IsControl(byte) ? REPLACEMENT : FromWindows1252(byte));
        }
    }
}

void AppendJsonString(std::string* out, std::string_view bytes) {
    *out += '"';
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            *out += '\\';
            *out += c;
        } else if (IsJsonEscaped(byte)) {
            *out += "\\u00";
            *out += HEX[byte >> 4];
            *out += HEX[byte & 0xF];
        } else {
            AppendUtf8(out, FromWindows1252(byte));
        }
    }
    *out += '"';
}

size_t JsonStringSize(std::string_view bytes) {
    size_t size = 2;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        size += c == '"' || c == '\\' ? 2 : IsJsonEscaped(byte) ? 6 : Utf8Size(FromWindows1252(byte));
    }
    return size;
}

void AppendPercentEncoded(std::string* out, std::string_view bytes) {
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~';
        if (plain) {
            *out += c;
        } else {
            *out += '%';
            *out += HEX[byte >> 4];
            *out += HEX[byte & 0xF];
        }
    }
}

std::string PercentDecoded(std::string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        bool room = i + 2 < text.size();
        int high = room ? HexValue(text[i + 1]) : -1;
        int low = room ? HexValue(text[i + 2]) : -1;
        if (text[i] == '%' && high >= 0 && low >= 0) {
            bytes += static_cast<char>(high << 4 | low);
            i += 2;
        } else {
            bytes += text[i] == '+' ? ' ' : text[i];
        }
    }
    return bytes;
}

} // namespace skerrow_master
