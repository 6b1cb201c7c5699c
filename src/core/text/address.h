// Server addresses as the program shows them: an IPv4 address in network byte order and a port in host order,
// written "a.b.c.d:port". Portable (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The dotted-quad form of an address in network byte order (first octet first in memory), "192.168.0.1".
std::u16string DottedQuad(uint32_t addr);

// "a.b.c.d:port" into a bounded UTF-16 buffer; returns false when the text was cut.
bool FormatServerAddress(char16_t* dest, size_t size, uint32_t addr, uint16_t port);

// Exactly four decimal numbers from 0 to 255 separated by dots, none with a leading zero (which some readers take
// for octal). Stores the address in network byte order; returns false, leaving `addr` alone, for anything else.
bool ParseDottedQuad(std::u16string_view text, uint32_t* addr);

// Exactly a decimal port from 1 to 65535: digits only, no sign, no leading zero.
bool ParsePort(std::u16string_view text, uint16_t* port);

// Exactly "a.b.c.d:port" as FormatServerAddress writes it, with the rules above; nothing around it.
bool ParseServerAddress(std::u16string_view text, uint32_t* addr, uint16_t* port);
