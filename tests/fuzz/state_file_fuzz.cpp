// Any state file is read line by line or refused whole with a reason: what it keeps holds only servers the service
// may check, with gamenames it can carry, no more than asked for, never more than the file held, and written out
// again it reads back the same, undamaged.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "require.h"
#include "state_file.h"

using namespace skerrow_master; // the service's state file under test

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
    StateContents contents;
    std::string error;
    if (!ParseState(text, MAX_SERVERS, &contents, &error)) {
        Require(contents.servers.empty() && !error.empty());
        return 0;
    }
    const std::vector<SavedServer>& servers = contents.servers;
    Require(servers.size() <= MAX_SERVERS && servers.size() + contents.damaged <= contents.held);
    Require((contents.damaged == 0) || !contents.damage.empty());
    for (const SavedServer& server : servers) {
        Require(IsQueryableServer(server.address) && IsSavableGameName(server.gamename) && server.last_answer >= 0);
    }
    StateContents again;
    Require(ParseState(FormatState(servers), MAX_SERVERS, &again, &error) && Same(servers, again.servers) &&
            again.damage.empty() && again.held == servers.size());
    return 0;
}
