// The keys and values of a status reply's info line, in the order the server sent them. Portable (no Win32).
//
// The line is backslash-separated tokens taken in pairs, as the reply parser reads them: a run of backslashes
// counts as one, so there are no empty keys or values, and leading and trailing backslashes give no token.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/text/ansi_decoder.h"

// One pair as it lies in the line: not terminated. A key at the end of the line without a value has valueLength 0.
struct InfoPairSpan {
    const char* key;
    size_t keyLength;
    const char* value;
    size_t valueLength;
};

// Reads the next pair from `cursor` (terminated text) and moves the cursor past it and the backslash that ended it.
// Returns false once no key is left.
bool NextInfoPair(const char*& cursor, InfoPairSpan& pair);

struct InfoPair {
    std::u16string key;
    std::u16string value; // empty for a key the line ended without a value for
};

// Every pair of the terminated info text, decoded from the ANSI code page, in the order they came; keys and
// values are cut to INFO_TEXT_SIZE - 1 bytes each before decoding (a stored info text is never longer).
std::vector<InfoPair> ReadInfoPairs(const char* infoText, AnsiDecoder decode);
