// The JSON API for bots and sites: "/api/servers[?mod=DIR]", every listed server with the page's fields, its
// players, and when it last answered a check and last sent a heartbeat; "/api/health", whether it is up, its version
// and how many servers it lists. Valid JSON (and UTF-8) whatever bytes the servers sent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "answer_cache.h"

namespace skerrow_master {

std::string BuildServersJson(const ListPicture& picture, std::string_view mod);
std::string BuildHealthJson(size_t listed);

} // namespace skerrow_master
