// Any file is read without reading outside it, and only a sound one is taken: writing back what was read gives the
// same bytes. Each input is read twice: as it is, and with its last four bytes made its checksum, so the reader's
// checks beyond the checksum are reached too.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/protocol/list_entry.h"
#include "core/settings/remembered_list.h"
#include "require.h"

namespace {

void ReadAndCompare(const unsigned char* data, size_t size) {
    // The mod filter asked for is the one the file names when it names "ctf" in any case, and "ctf" otherwise.
    RememberedList list{-1, {}};
    RememberedFault fault = DecodeRememberedList(data, size, u"ctf", &list);
    if (fault != RememberedFault::None) {
        Require(list.rememberedAt == -1 && list.entries.empty());
        Require(RememberedFaultText(fault)[0] != 0);
        return;
    }
    Require(list.rememberedAt >= 0 && list.entries.size() % 6 == 0);
    std::vector<ListEntry> servers;
    for (size_t offset = 0; offset < list.entries.size(); offset += LIST_ENTRY_SIZE) {
        servers.push_back(ReadListEntry(list.entries.data() + offset));
    }
    // The stored directory is "ctf" in some case: write it back as stored.
    std::u16string dir;
    for (size_t i = 0; i < 3; ++i) {
        dir += static_cast<char16_t>(data[REMEMBERED_HEADER_BYTES + 2 * i] | data[REMEMBERED_HEADER_BYTES + 2 * i + 1]
                                                                                 << 8);
    }
    std::vector<unsigned char> written;
    Require(EncodeRememberedList(dir, list.rememberedAt, servers, &written));
    Require(written.size() == size && std::memcmp(written.data(), data, size) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MAX_REMEMBERED_FILE_BYTES + 1) {
        return 0; // the reader rejects these on their size alone; the fuzzer need not build them
    }
    ReadAndCompare(data, size);
    if (size >= 4) {
        std::vector<unsigned char> sealed(data, data + size);
        uint32_t crc = RememberedListChecksum(sealed.data(), size - 4);
        for (int i = 0; i < 4; ++i) {
            sealed[size - 4 + i] = static_cast<unsigned char>(crc >> (8 * i));
        }
        ReadAndCompare(sealed.data(), size);
    }
    return 0;
}
