// The status query and the text of a server's status reply. Portable (no Win32).
//
// A reply is one datagram of 8-bit text in the system's ANSI code page: a header line (ignored), an info line of
// backslash-separated keys and values, then one line per player: score, ping and the name in double quotes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/protocol/server_field.h"
#include "core/protocol/server_record.h"
#include "core/text/ansi_decoder.h"

// The status query datagram: four 0xFF bytes, "status", a line feed and a zero byte.
constexpr size_t STATUS_QUERY_SIZE = 12;
extern const unsigned char STATUS_QUERY[STATUS_QUERY_SIZE];

struct InfoKey {
    const char* key;
    ServerField field;
};

constexpr int INFO_KEY_COUNT = 8;
extern const InfoKey InfoKeyTable[INFO_KEY_COUNT];

// A line as ReadLine returns it: at most 2047 characters and the terminator.
constexpr int STATUS_LINE_SIZE = 2048;

// Reads the next line from `position` (with `remaining` unread bytes) into `line`, terminated, and moves both
// past its line feed. The copy ends at a zero byte inside the line and is cut to 2047 characters, but the whole
// line is consumed either way. A last line without a line feed is returned as a line too. Returns false, leaving
// `line` untouched, once nothing is left to read (`remaining` 0 or less).
bool ReadLine(const char*& position, int& remaining, char (&line)[STATUS_LINE_SIZE]);

// The decimal value of narrow text as the reply's numbers are read: leading white space skipped, an optional
// sign, then digits up to the first other character; no digits give 0. Values beyond the 32-bit range saturate.
int32_t ParseDecimal(const char* text);

// Ends `text` at the white space before its third word start (counting every white-space character followed by
// a non-white-space one), so a build date keeps its "Mon dd yy" part.
void CutGameDate(char16_t* text);

// What the gamename field holds for a reply that names no game: the parser cannot tell it from a server that says
// "default" itself.
extern const char16_t GAMENAME_ABSENT[];

// Fills the reply's fields of `record` from a datagram of `length` bytes (a zero byte stored after the last):
// the text fields, maxClients, anticheat, timelimit, players and playerCount, and infoText (the info line as it came,
// cut to INFO_TEXT_SIZE - 1 bytes). Absent info values get their
// defaults (GAMENAME_ABSENT for the gamename); gamedate is left as it is when absent. addr, port, queryTime, ping,
// answered and attempts are not touched. Never rejects a reply.
void ParseStatusText(const char* datagram, int length, AnsiDecoder decode, ServerRecord& record);
