#include "core/protocol/web_page.h"

#include "core/text/ascii_case.h"

namespace {

bool IsWhiteSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool IsHtmlType(std::u16string_view contentType) {
    std::u16string_view media = contentType.substr(0, contentType.find(u';'));
    while (!media.empty() && (media.front() == u' ' || media.front() == u'\t')) {
        media.remove_prefix(1);
    }
    while (!media.empty() && (media.back() == u' ' || media.back() == u'\t')) {
        media.remove_suffix(1);
    }
    return EqualsIgnoringAsciiCase(media, u"text/html");
}

bool BeginsWith(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && EqualsIgnoringAsciiCase(text.substr(0, start.size()), start);
}

} // namespace

bool IsWebPage(std::u16string_view contentType, const unsigned char* body, size_t length) {
    if (IsHtmlType(contentType)) {
        return true;
    }
    size_t start = 0;
    while (start < length && IsWhiteSpace(body[start])) {
        ++start;
    }
    std::string_view text(reinterpret_cast<const char*>(body) + start, length - start);
    return BeginsWith(text, "<!doctype") || BeginsWith(text, "<html");
}
