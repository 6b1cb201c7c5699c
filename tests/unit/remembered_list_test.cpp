#include "core/settings/remembered_list.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/protocol/list_entry.h"

namespace {

ListEntry Server(std::vector<unsigned char> entry) {
    return ReadListEntry(entry.data());
}

const std::vector<ListEntry> SERVERS = {
    Server({127, 0, 0, 1, 0x6D, 0x06}),
    Server({10, 1, 2, 3, 0x12, 0x34}),
};
constexpr int64_t REMEMBERED_AT = 1796665620; // 2026-12-07, seconds since 1970

std::vector<unsigned char> Encoded(std::u16string_view dir = u"ctf", const std::vector<ListEntry>& servers = SERVERS) {
    std::vector<unsigned char> file;
    EXPECT_TRUE(EncodeRememberedList(dir, REMEMBERED_AT, servers, &file));
    return file;
}

RememberedFault Decode(const std::vector<unsigned char>& file, std::u16string_view dir = u"ctf") {
    RememberedList list{-1, {0xAA}};
    RememberedFault fault = DecodeRememberedList(file.data(), file.size(), dir, &list);
    if (fault != RememberedFault::None) {
        EXPECT_EQ(list.rememberedAt, -1) << "a rejected file leaves the list alone";
        EXPECT_EQ(list.entries, std::vector<unsigned char>{0xAA});
    }
    return fault;
}

// Rewrites the checksum after a deliberate change, so the decoder has to find the change itself.
void Reseal(std::vector<unsigned char>* file) {
    uint32_t crc = RememberedListChecksum(file->data(), file->size() - 4);
    for (int i = 0; i < 4; ++i) {
        (*file)[file->size() - 4 + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
}

TEST(RememberedList, ItsChecksumIsTheCrc32OfZip) {
    const char CHECK[] = "123456789";
    EXPECT_EQ(RememberedListChecksum(reinterpret_cast<const unsigned char*>(CHECK), 9), 0xCBF43926u);
    EXPECT_EQ(RememberedListChecksum(nullptr, 0), 0u);
    std::vector<unsigned char> file = Encoded();
    std::vector<unsigned char> resealed = file;
    Reseal(&resealed);
    EXPECT_EQ(resealed, file);
}

TEST(RememberedList, ReadsBackWhatItWroteForItsModFilterInAnyCase) {
    std::vector<unsigned char> file = Encoded();
    ASSERT_EQ(file.size(), 26u + 3 * 2 + 2 * 6 + 4);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 8), "SKRWLIST");
    for (std::u16string_view dir : {u"ctf", u"CTF"}) {
        RememberedList list{};
        ASSERT_EQ(DecodeRememberedList(file.data(), file.size(), dir, &list), RememberedFault::None);
        EXPECT_EQ(list.rememberedAt, REMEMBERED_AT);
        const std::vector<unsigned char> entries = {127, 0, 0, 1, 0x6D, 0x06, 10, 1, 2, 3, 0x12, 0x34};
        EXPECT_EQ(list.entries, entries) << "the entries of a master list, ready for AddressIndex";
    }

    std::vector<unsigned char> noFilter = Encoded(u"", {});
    RememberedList list{};
    ASSERT_EQ(DecodeRememberedList(noFilter.data(), noFilter.size(), u"", &list), RememberedFault::None);
    EXPECT_TRUE(list.entries.empty());

    std::vector<ListEntry> most(MAX_REMEMBERED_SERVERS + 5, SERVERS[0]);
    std::vector<unsigned char> full = Encoded(std::u16string(MAX_REMEMBERED_DIR_LENGTH, u'd'), most);
    EXPECT_EQ(full.size(), MAX_REMEMBERED_FILE_BYTES) << "the servers beyond the most are left out";
    EXPECT_EQ(Decode(full, std::u16string(MAX_REMEMBERED_DIR_LENGTH, u'D')), RememberedFault::None);
}

TEST(RememberedList, WritesNothingForADirectoryNoModFilterHas) {
    std::vector<unsigned char> file = {1};
    EXPECT_FALSE(EncodeRememberedList(std::u16string(64, u'd'), REMEMBERED_AT, SERVERS, &file));
    EXPECT_FALSE(EncodeRememberedList(std::u16string_view(u"c\0f", 3), REMEMBERED_AT, SERVERS, &file));
    EXPECT_FALSE(EncodeRememberedList(u"ctf", -1, SERVERS, &file));
    EXPECT_EQ(file, std::vector<unsigned char>{1});
}

TEST(RememberedList, EveryCutOfAFileIsRejected) {
    std::vector<unsigned char> file = Encoded();
    for (size_t size = 0; size < file.size(); ++size) {
        std::vector<unsigned char> cut(file.begin(), file.begin() + static_cast<long>(size));
        EXPECT_EQ(Decode(cut), RememberedFault::CutShort) << size << " bytes";
    }
}

TEST(RememberedList, EveryFlippedBitIsRejected) {
    std::vector<unsigned char> file = Encoded();
    for (size_t bit = 0; bit < file.size() * 8; ++bit) {
        std::vector<unsigned char> flipped = file;
        flipped[bit / 8] ^= static_cast<unsigned char>(1u << (bit % 8));
        EXPECT_NE(Decode(flipped), RememberedFault::None) << "bit " << bit;
    }
}

TEST(RememberedList, RejectsWhatIsNotSoundWithItsReason) {
    const std::vector<unsigned char> file = Encoded();
    auto changed = [&](size_t offset, std::vector<unsigned char> bytes, bool reseal = true) {
        std::vector<unsigned char> copy = file;
        std::copy(bytes.begin(), bytes.end(), copy.begin() + static_cast<long>(offset));
        if (reseal) {
            Reseal(&copy);
        }
        return copy;
    };
    std::vector<unsigned char> trailing = file;
    trailing.push_back(0);
    std::vector<unsigned char> longer = changed(22, {3, 0, 0, 0}); // says three servers, holds two
    std::vector<unsigned char> oversized(MAX_REMEMBERED_FILE_BYTES + 1, 0);
    std::copy(file.begin(), file.begin() + 8, oversized.begin());
    const struct {
        const char* what;
        std::vector<unsigned char> bytes;
        std::u16string_view dir;
        RememberedFault fault;
    } CASES[] = {
        {"another program's file", changed(0, {'P', 'K', 3, 4}), u"ctf", RememberedFault::Foreign},
        {"a text file", std::vector<unsigned char>(40, 'x'), u"ctf", RememberedFault::Foreign},
        {"a later format", changed(8, {2}), u"ctf", RememberedFault::Version},
        {"a negative time", changed(19, {0x80}), u"ctf", RememberedFault::Damaged},
        {"a directory of 64", changed(20, {64}), u"ctf", RememberedFault::Damaged},
        {"more servers than any list", changed(22, {1, 0, 1, 0}), u"ctf", RememberedFault::Damaged},
        {"a count beyond the bytes", longer, u"ctf", RememberedFault::CutShort},
        {"bytes after the checksum", trailing, u"ctf", RememberedFault::Damaged},
        {"a changed entry", changed(40, {99}, false), u"ctf", RememberedFault::Checksum},
        {"a changed checksum", changed(file.size() - 1, {static_cast<unsigned char>(file.back() ^ 1)}, false), u"ctf",
         RememberedFault::Checksum},
        {"a zero in the directory", changed(28, {0, 0}), u"ctf", RememberedFault::Damaged},
        {"another mod filter", file, u"action", RememberedFault::OtherModFilter},
        {"(No Filter)", file, u"", RememberedFault::OtherModFilter},
        {"too large to read", oversized, u"ctf", RememberedFault::Oversized},
    };
    std::set<std::u16string> texts;
    for (const auto& c : CASES) {
        EXPECT_EQ(Decode(c.bytes, c.dir), c.fault) << c.what;
        texts.insert(RememberedFaultText(c.fault));
    }
    EXPECT_EQ(texts.size(), 7u) << "each reason is told apart";
    EXPECT_EQ(std::u16string(RememberedFaultText(RememberedFault::None)), u"");
}

TEST(RememberedList, FileNamesAreSafeAndOnePerModFilterIgnoringCase) {
    const struct {
        std::u16string dir;
        std::u16string prefix;
    } CASES[] = {
        {u"", u"remembered-all-"},
        {u"ctf", u"remembered-ctf-"},
        {u"Lithium II + runes", u"remembered-lithium_ii___runes-"},
        {u"..\\..\\evil:name", u"remembered-______evil_name-"},
        {u"K\u00f6ln", u"remembered-k_ln-"},
        {std::u16string(63, u'x'), u"remembered-" + std::u16string(32, u'x') + u"-"},
    };
    std::set<std::u16string> names;
    for (const auto& c : CASES) {
        std::u16string name = RememberedListFileName(c.dir);
        EXPECT_EQ(name.compare(0, c.prefix.size(), c.prefix), 0) << std::string(name.begin(), name.end());
        EXPECT_EQ(name.size(), c.prefix.size() + 8 + 5);
        EXPECT_EQ(name.substr(name.size() - 5), u".list");
        names.insert(name);
    }
    EXPECT_EQ(names.size(), sizeof CASES / sizeof CASES[0]);
    EXPECT_EQ(RememberedListFileName(u"CTF"), RememberedListFileName(u"ctf"));
    EXPECT_NE(RememberedListFileName(u"a b"), RememberedListFileName(u"a_b")) << "the hash tells them apart";
    EXPECT_NE(RememberedListFileName(u"all"), RememberedListFileName(u""));
}

} // namespace
