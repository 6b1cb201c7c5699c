// Any text typed into the masters box or stored as its value (UTF-16) is read without reading outside it: either
// every entry is a master that writes back to text reading as the same masters, or the first bad line is named.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/protocol/master_entry.h"
#include "core/run/address_index.h"
#include "require.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, size / 2 * 2);
    std::vector<MasterEntry> entries;
    std::u16string error;
    if (!ParseMasterListText(text, &entries, &error)) {
        Require(entries.empty() && error.compare(0, 5, u"Line ") == 0 && error.back() == u'.');
        return 0;
    }
    Require(error.empty() && entries.size() <= static_cast<size_t>(MAX_MASTERS));
    std::vector<MasterEntry> again;
    Require(ParseMasterListText(FormatMasterListText(entries), &again, &error));
    Require(again.size() == entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        Require(again[i].kind == entries[i].kind && again[i].host == entries[i].host &&
                again[i].port == entries[i].port && entries[i].port != 0);
        Require(!entries[i].host.empty() && entries[i].host.size() <= 253);
        for (size_t j = 0; j < i; ++j) {
            Require(!IsSameMaster(entries[i], entries[j]));
        }
    }
    return 0;
}
