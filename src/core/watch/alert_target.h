// Where an alert leads when the user clicks it: a server, and on it the player the alert is about (empty for none).
// Portable (no Win32).
#pragma once

#include <cstdint>
#include <string>

struct AlertTarget {
    uint32_t addr = 0; // IPv4 address in network byte order, as the server's record holds it
    uint16_t port = 0; // host byte order
    std::u16string player;
};
