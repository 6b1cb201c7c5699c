// Text from game servers made safe for the web page and the JSON API. A server may send any byte but zero in a
// name: markup, quotes, control characters, bytes that are no UTF-8. Each byte is read as a character of Windows-1252,
// as the browser shows it on a Western Windows, and written out as UTF-8, so the page and the API are valid UTF-8
// whatever arrived.
#pragma once

#include <string>
#include <string_view>

namespace skerrow_master {

// Escaped for HTML text and quoted attribute values; control characters and bytes Windows-1252 leaves undefined
// become U+FFFD.
void AppendHtml(std::string* out, std::string_view bytes);

// A JSON string, quotes included; control characters as \u00XX, so nothing a server sends is lost.
void AppendJsonString(std::string* out, std::string_view bytes);

// How many bytes AppendJsonString writes for these, so a large answer is allocated once.
size_t JsonStringSize(std::string_view bytes);

// A query value as a link carries it: bytes other than letters, digits and -._~ as %XX.
void AppendPercentEncoded(std::string* out, std::string_view bytes);
// A query value as it came in a link: %XX as its byte and + as a space; a broken escape stays as it is.
std::string PercentDecoded(std::string_view text);

} // namespace skerrow_master
