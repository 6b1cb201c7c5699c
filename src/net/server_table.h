// The server table: one record per game server of an update run. Portable (no Win32).
//
// A run builds its table and fills it; the window that shows it holds it too (std::shared_ptr), so the table
// lives as long as either needs it. See server_record.h for which thread writes which field.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "net/server_record.h"

using ServerTable = std::vector<ServerRecord>;

// A table with one zeroed record per distinct address and port of a master list body, in the order of first
// appearance, each named by `source`; null when no memory is left for it.
std::shared_ptr<ServerTable> BuildServerTable(const unsigned char* body, uint32_t length, SourceSet source);

// The records whose `answered` is still 0.
int32_t CountUnanswered(const ServerTable& table);
