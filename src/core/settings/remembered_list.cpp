#include "core/settings/remembered_list.h"

#include <cstring>

#include "core/text/ascii_case.h"
#include "core/text/little_endian.h"
#include "core/text/text.h"

namespace {

const unsigned char MAGIC[8] = {'S', 'K', 'R', 'W', 'L', 'I', 'S', 'T'};
constexpr uint32_t FORMAT_VERSION = 1;
constexpr size_t CHECKSUM_BYTES = 4;
constexpr size_t FILE_NAME_DIR_LENGTH = 32;

// FNV-1a over the code units' bytes, low byte first.
uint32_t HashDir(std::u16string_view folded) {
    uint32_t hash = 2166136261u;
    for (char16_t unit : folded) {
        for (int shift = 0; shift < 16; shift += 8) {
            hash = (hash ^ ((unit >> shift) & 0xFFu)) * 16777619u;
        }
    }
    return hash;
}

} // namespace

// Bit by bit, with the reflected polynomial: the file is read once per run.
uint32_t RememberedListChecksum(const unsigned char* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

bool EncodeRememberedList(std::u16string_view gameDir, int64_t rememberedAt, const std::vector<ListEntry>& servers,
                          std::vector<unsigned char>* file) {
    if (gameDir.size() > MAX_REMEMBERED_DIR_LENGTH || gameDir.find(u'\0') != std::u16string_view::npos ||
        rememberedAt < 0) {
        return false;
    }
    size_t count = servers.size() < MAX_REMEMBERED_SERVERS ? servers.size() : MAX_REMEMBERED_SERVERS;
    std::vector<unsigned char> out(MAGIC, MAGIC + sizeof MAGIC);
    out.reserve(REMEMBERED_HEADER_BYTES + gameDir.size() * 2 + count * LIST_ENTRY_SIZE + CHECKSUM_BYTES);
    AppendLittleEndian(out, FORMAT_VERSION, 4);
    AppendLittleEndian(out, static_cast<uint64_t>(rememberedAt), 8);
    AppendLittleEndian(out, gameDir.size(), 2);
    AppendLittleEndian(out, count, 4);
    AppendUtf16(out, gameDir);
    for (size_t i = 0; i < count; ++i) {
        unsigned char entry[LIST_ENTRY_SIZE];
        WriteListEntry(servers[i], entry);
        out.insert(out.end(), entry, entry + LIST_ENTRY_SIZE);
    }
    AppendLittleEndian(out, RememberedListChecksum(out.data(), out.size()), 4);
    *file = std::move(out);
    return true;
}

RememberedFault DecodeRememberedList(const unsigned char* data, size_t size, std::u16string_view gameDir,
                                     RememberedList* list) {
    if (size < sizeof MAGIC) {
        return RememberedFault::CutShort;
    }
    if (std::memcmp(data, MAGIC, sizeof MAGIC) != 0) {
        return RememberedFault::Foreign;
    }
    if (size > MAX_REMEMBERED_FILE_BYTES) {
        return RememberedFault::Oversized;
    }
    if (size < REMEMBERED_HEADER_BYTES + CHECKSUM_BYTES) {
        return RememberedFault::CutShort;
    }
    if (ReadLittleEndian(data + 8, 4) != FORMAT_VERSION) {
        return RememberedFault::Version;
    }
    auto rememberedAt = static_cast<int64_t>(ReadLittleEndian(data + 12, 8));
    size_t dirLength = ReadLittleEndian(data + 20, 2);
    size_t count = ReadLittleEndian(data + 22, 4);
    if (rememberedAt < 0 || dirLength > MAX_REMEMBERED_DIR_LENGTH || count > MAX_REMEMBERED_SERVERS) {
        return RememberedFault::Damaged;
    }
    size_t expected = REMEMBERED_HEADER_BYTES + dirLength * 2 + count * LIST_ENTRY_SIZE + CHECKSUM_BYTES;
    if (size != expected) {
        return size < expected ? RememberedFault::CutShort : RememberedFault::Damaged;
    }
    if (ReadLittleEndian(data + size - CHECKSUM_BYTES, 4) != RememberedListChecksum(data, size - CHECKSUM_BYTES)) {
        return RememberedFault::Checksum;
    }
    const unsigned char* dir = data + REMEMBERED_HEADER_BYTES;
    std::u16string storedDir;
    for (size_t i = 0; i < dirLength; ++i) {
        char16_t unit = ReadUtf16Unit(dir + 2 * i);
        if (unit == 0) {
            return RememberedFault::Damaged;
        }
        storedDir += unit;
    }
    if (!EqualsIgnoringAsciiCase(storedDir, gameDir)) {
        return RememberedFault::OtherModFilter;
    }
    const unsigned char* entries = dir + dirLength * 2;
    list->rememberedAt = rememberedAt;
    list->entries.assign(entries, entries + count * LIST_ENTRY_SIZE);
    return RememberedFault::None;
}

const char16_t* RememberedFaultText(RememberedFault fault) {
    switch (fault) {
    case RememberedFault::None:
        return u"";
    case RememberedFault::CutShort:
        return u"the file is cut short";
    case RememberedFault::Foreign:
        return u"the file is not a server list of this program";
    case RememberedFault::Oversized:
        return u"the file is too large";
    case RememberedFault::Version:
        return u"the file is of another format version";
    case RememberedFault::Damaged:
        return u"the file is damaged";
    case RememberedFault::Checksum:
        return u"the file is damaged (its checksum does not match)";
    case RememberedFault::OtherModFilter:
        return u"the file belongs to another mod filter";
    }
    return u"the file cannot be read";
}

std::u16string RememberedListFileName(std::u16string_view gameDir) {
    std::u16string folded = FoldedAscii(gameDir);
    std::u16string name = u"remembered-";
    if (folded.empty()) {
        name += u"all";
    }
    for (size_t i = 0; i < folded.size() && i < FILE_NAME_DIR_LENGTH; ++i) {
        char16_t c = folded[i];
        bool kept = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        name += kept ? c : u'_';
    }
    name += u'-';
    uint32_t hash = HashDir(folded);
    for (int shift = 28; shift >= 0; shift -= 4) {
        name += u"0123456789abcdef"[hash >> shift & 0xFu];
    }
    return name + u".list";
}
