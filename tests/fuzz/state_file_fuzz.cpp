// Any state file is taken whole or refused with a reason, never half: what it accepts holds only servers the service
// may check, with gamenames it can carry, no more than asked for, and written out again it reads back the same.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "require.h"
#include "state_file.h"

namespace {

constexpr size_t MAX_SERVERS = 64;

bool Same(const std::vector<SavedServer>& a, const std::vector<SavedServer>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (!(a[i].address == b[i].address) || a[i].last_answer != b[i].last_answer || a[i].gamename != b[i].gamename) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<SavedServer> servers;
    std::string error;
    if (!ParseState(text, MAX_SERVERS, &servers, &error)) {
        Require(servers.empty() && !error.empty());
        return 0;
    }
    Require(servers.size() <= MAX_SERVERS);
    for (const SavedServer& server : servers) {
        Require(IsCheckable(server.address) && IsSavableGameName(server.gamename) && server.last_answer >= 0);
    }
    std::vector<SavedServer> again;
    Require(ParseState(FormatState(servers), MAX_SERVERS, &again, &error) && Same(servers, again));
    return 0;
}
