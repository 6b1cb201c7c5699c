// Whether an answer over HTTP is a web page rather than the list or the filter text asked for: a web site answers a
// path it does not know with one. Portable (no Win32).
#pragma once

#include <cstddef>
#include <string_view>

// Served as text/html (whatever the type's parameters), or a body that begins, after white space, with "<!doctype"
// or "<html" in any case. A first "<" alone proves nothing: in a server list it is an address byte.
bool IsWebPage(std::u16string_view contentType, const unsigned char* body, size_t length);
