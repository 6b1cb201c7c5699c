// The master list download: one HTTP GET of the selected mod filter's server list. Win32 side, update thread.
#pragma once

#include <cstdint>

// The most body bytes ever stored: 10,922 whole 6-byte entries and two bytes more.
constexpr uint32_t MASTER_BODY_CAP = 0xFFFE;

// Downloads the list into `body` (at least MASTER_BODY_CAP bytes) and stores the byte count in bodyLength.
// Returns 0 on success (a body cut at the cap included), 1 on failure, with the failure in the status line.
int FetchServerList(unsigned char* body, uint32_t& bodyLength);
