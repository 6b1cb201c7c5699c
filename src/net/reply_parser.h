// The status reply parser on the receiver thread. Win32 side.
#pragma once

#include "net/server_record.h"

// Parses a status reply of `length` bytes (1 or more, a zero byte stored after the last) into `record`, measures
// the ping, lists the server when it passes the Full/Empty filters and reports it in the status line. Called on
// the receiver thread with tableLock held, once per record and run; the storing and listing run on the user
// interface thread.
void ParseStatusReply(const char* datagram, int length, ServerRecord* record);

// The system's ANSI code page to UTF-16, cut to `size` code units with the terminator, never splitting a
// surrogate pair.
void DecodeAnsi(const char* text, char16_t* dest, size_t size);
