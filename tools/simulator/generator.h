// Made-up game servers in plausible mixes of mods, maps, sizes and players, the same for the same seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scenario.h"

// The servers listen on 127.0.0.1 ports 27910 upwards, or with distinct_addresses each on port 27910 of its own
// address 127.0.x.y (x from 1). At most MAX_GENERATED_SERVERS.
constexpr size_t MAX_GENERATED_SERVERS = 30000;
std::vector<ServerConfig> GenerateServers(size_t count, uint64_t seed, bool distinct_addresses);
