// Any reply to the service's status query (up to the 4,096 bytes it reads) gives a gamename that the state file
// and the web list can carry: 1 to 63 bytes, no line feed, no zero byte.
#include <cstdint>
#include <string>

#include "check_reply.h"
#include "master_datagram.h"
#include "require.h"
#include "state_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MAX_DATAGRAM_BYTES) {
        return -1; // never read
    }
    static ReplyReader reader;
    IsStatusReply(data, size);
    std::string gamename = reader.GameName(data, size);
    Require(IsSavableGameName(gamename));
    return 0;
}
