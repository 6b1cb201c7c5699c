// The status reply parser on the receiver thread. Win32 side.
#pragma once

#include <cstdint>

#include "net/server_record.h"

// Parses a status reply of `length` bytes (1 or more, a zero byte stored after the last) into `record`, marks it
// answered, takes the ping from the query to `arrivalTime` (the millisecond clock just after the datagram was
// received), hands the record over to the user interface thread for listing and reports it in the status line.
// Called on the receiver thread with tableLock held, once per record and run.
void ParseStatusReply(const char* datagram, int length, uint32_t arrivalTime, ServerRecord* record);

// The system's ANSI code page to UTF-16, cut to `size` code units with the terminator, never splitting a
// surrogate pair.
void DecodeAnsi(const char* text, char16_t* dest, size_t size);
