#include "core/settings/recent_servers.h"
#include "core/settings/settings.h"
#include "core/settings/stored_multi_text.h"
#include "core/settings/stored_text.h"
#include "core/text/case_fold.h"
#include "core/text/format.h"
#include "core/text/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <vector>

namespace {

std::u16string Str(const char16_t* text) {
    return std::u16string(text);
}

TEST(TextCopy, CopiesWholeTextWhenItFitsExactly) {
    char16_t buffer[6] = u"zzzzz";
    EXPECT_TRUE(TextCopy(buffer, 6, u"hello"));
    EXPECT_EQ(Str(buffer), u"hello");
}

TEST(TextCopy, CutsTerminatesAndReportsWhenTooLong) {
    char16_t buffer[8];
    for (char16_t& unit : buffer) {
        unit = u'#';
    }
    EXPECT_FALSE(TextCopy(buffer, 5, u"abcdefgh"));
    EXPECT_EQ(Str(buffer), u"abcd");
    EXPECT_EQ(buffer[5], u'#') << "nothing written past the given size";
}

TEST(TextCopy, SizeOneHoldsOnlyTheTerminatorAndSizeZeroWritesNothing) {
    char16_t buffer[2] = {u'x', u'y'};
    EXPECT_TRUE(TextCopy(buffer, 1, u""));
    EXPECT_EQ(buffer[0], 0);
    buffer[0] = u'x';
    EXPECT_FALSE(TextCopy(buffer, 1, u"a"));
    EXPECT_EQ(buffer[0], 0);
    buffer[0] = u'x';
    EXPECT_FALSE(TextCopy(buffer, 0, u"a"));
    EXPECT_EQ(buffer[0], u'x');
}

// The bounded form of the program's formatting: cut to the buffer, always terminated, and the cut reported.
TEST(FormatInto, CutsToTheBufferAndReports) {
    char16_t buffer[6];
    EXPECT_TRUE(FormatInto(buffer, 6, u"{} {}", -4, u"ab"));
    EXPECT_EQ(Str(buffer), u"-4 ab");
    EXPECT_FALSE(FormatInto(buffer, 6, u"n={}", 123456));
    EXPECT_EQ(Str(buffer), u"n=123");
    EXPECT_FALSE(FormatInto(buffer, 6, u"{}!", std::u16string(u"abcdef")));
    EXPECT_EQ(Str(buffer), u"abcde");
    EXPECT_FALSE(FormatInto(buffer, 1, u"{}", 7));
    EXPECT_EQ(Str(buffer), u"");
    buffer[0] = u'x';
    EXPECT_FALSE(FormatInto(buffer, 0, u"{}", 7));
    EXPECT_EQ(buffer[0], u'x') << "nothing written into no room";
    wchar_t wide[4];
    EXPECT_TRUE(FormatInto(wide, 4, L"{}%", 99));
    EXPECT_EQ(std::wstring(wide), L"99%");
}

TEST(PluralSuffix, OnlyExactlyOneIsSingular) {
    EXPECT_EQ(Str(PluralSuffix(1)), u"");
    EXPECT_EQ(Str(PluralSuffix(0)), u"s");
    EXPECT_EQ(Str(PluralSuffix(2)), u"s");
    EXPECT_EQ(Str(PluralSuffix(-1)), u"s");
}

} // namespace

namespace {

TEST(DecodeStoredText, TakesTheTextUpToItsFirstNullOrTheEndOfTheData) {
    const unsigned char terminated[] = {'a', 0, 0xd6, 0, 0x13, 0x20, 0, 0, 'z', 0};
    char16_t dest[8] = u"#######";
    ASSERT_TRUE(DecodeStoredText(terminated, sizeof terminated, dest, 8));
    EXPECT_EQ(std::u16string(dest), u"a\u00d6\u2013");

    // Without a terminator, and with an odd byte left over that no code unit can be made of.
    const unsigned char unterminated[] = {'a', 0, 'b', 0, 'c'};
    ASSERT_TRUE(DecodeStoredText(unterminated, sizeof unterminated, dest, 3));
    EXPECT_EQ(std::u16string(dest), u"ab");
    ASSERT_TRUE(DecodeStoredText(unterminated, 0, dest, 1));
    EXPECT_EQ(dest[0], 0);
}

TEST(DecodeStoredText, ATextThatDoesNotFitWithItsTerminatorLeavesTheFieldUntouched) {
    const unsigned char full[] = {'a', 0, 'b', 0, 'c', 0};
    char16_t dest[4] = u"old";
    EXPECT_FALSE(DecodeStoredText(full, sizeof full, dest, 3));
    EXPECT_EQ(std::u16string(dest), u"old");
    EXPECT_TRUE(DecodeStoredText(full, sizeof full, dest, 4));
    EXPECT_EQ(std::u16string(dest), u"abc");
}

using Strings = std::vector<std::u16string>;

std::vector<unsigned char> Utf16Bytes(std::u16string_view text) {
    std::vector<unsigned char> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

TEST(StoredMultiText, ReadsTheStringsUpToTheFirstEmptyOneOrTheEnd) {
    const struct {
        std::u16string stored;
        bool oddByte;
        Strings strings;
    } CASES[] = {
        {std::u16string(u"10.0.0.1:27910\0http://m\u00e4ster\0\0", 30),
         false,
         {u"10.0.0.1:27910", u"http://m\u00e4ster"}},
        {std::u16string(u"a\0\0b\0\0", 6), false, {u"a"}}, // what follows the list's end is not read
        {std::u16string(u"a\0b", 3), false, {u"a", u"b"}}, // no terminators
        {std::u16string(u"a\0b", 3), true, {u"a", u"b"}},  // and an odd byte
        {std::u16string(u"\0\0", 2), false, {}},
        {std::u16string(u"\0a\0\0", 4), false, {}},
        {u"", true, {}},
        {u"", false, {}},
    };
    for (const auto& c : CASES) {
        std::vector<unsigned char> bytes = Utf16Bytes(c.stored);
        if (c.oddByte) {
            bytes.push_back('x');
        }
        Strings strings = {u"old"};
        EXPECT_TRUE(DecodeStoredMultiText({STORED_TYPE_MULTI_TEXT, bytes.data(), bytes.size()}, &strings));
        EXPECT_EQ(strings, c.strings) << bytes.size() << " bytes";
    }
    Strings strings = {u"old"};
    std::vector<unsigned char> text = Utf16Bytes(std::u16string(u"a\0", 2));
    EXPECT_FALSE(DecodeStoredMultiText({STORED_TYPE_TEXT, text.data(), text.size()}, &strings));
    EXPECT_EQ(strings, Strings{u"old"});
}

TEST(StoredMultiText, WritesWhatItReadsBackLeavingOutWhatCannotBeStored) {
    const Strings WRITTEN = {u"http://127.0.0.1", u"", u"master.example.net:27950", std::u16string(u"a\0b", 3), u"x"};
    std::vector<unsigned char> bytes = EncodeStoredMultiText(WRITTEN);
    EXPECT_EQ(bytes, Utf16Bytes(std::u16string(u"http://127.0.0.1\0master.example.net:27950\0x\0\0", 45)));
    Strings read;
    ASSERT_TRUE(DecodeStoredMultiText({STORED_TYPE_MULTI_TEXT, bytes.data(), bytes.size()}, &read));
    EXPECT_EQ(read, (Strings{u"http://127.0.0.1", u"master.example.net:27950", u"x"}));

    EXPECT_EQ(EncodeStoredMultiText({}), std::vector<unsigned char>(4, 0));
    EXPECT_EQ(EncodeStoredMultiText({u""}), std::vector<unsigned char>(4, 0));
}

TEST(StoredMultiText, TheHistoryKeepsEachSoundEntryOfADamagedListAndWritesItBackAsItWas) {
    const Strings STORED = {
        u"10.0.0.1:27910 2026-12-09T10:48:52Z",
        u"10.0.0.2:27911 2026-12-08T23:59:59Z",
        u"10.0.0.1:27910 2026-12-01T00:00:00Z", // the same server again: the newer one stands
        u"10.0.0.3:27910",                      // no time
        u"10.0.0.3:27910 2026-02-29T12:00:00Z", // no such day
        u"10.0.0.3:27910 2026-12-09T24:00:00Z", // no such hour
        u"10.0.0.3:27910  2026-12-09T10:00:00Z",
        u"10.0.0.3:27910 2026-12-09T10:00:00",
        u"010.0.0.3:27910 2026-12-09T10:00:00Z",
        u"10.0.0.3:0 2026-12-09T10:00:00Z",
        u"10.0.0.4:27910 1969-12-31T23:59:59Z", // before the count of seconds begins
        u"10.0.0.5:27910 2024-02-29T00:00:00Z",
        u"10.0.0.6:27910 1970-01-01T00:00:00Z",
    };
    std::vector<RecentServer> recent;
    EXPECT_EQ(ParseRecentServers(STORED, &recent), 9u);
    EXPECT_EQ(FormatRecentServers(recent), (Strings{STORED[0], STORED[1], STORED[11], STORED[12]}));
    EXPECT_EQ(recent[0].joinedAt, 1796813332);
    EXPECT_EQ(recent[3].joinedAt, 0);

    // The newest 20 are kept: a join goes first, once; more than 20 stored are cut, the oldest dropped.
    Strings many;
    for (int i = 0; i < 25; ++i) {
        many.push_back(fmt::format(u"10.0.1.{}:27910 2026-01-01T00:00:{:02}Z", i + 1, i));
    }
    EXPECT_EQ(ParseRecentServers(many, &recent), 5u);
    ASSERT_EQ(recent.size(), RECENT_SERVERS_MAX);
    EXPECT_TRUE(NoteJoin(&recent, recent[7].addr, recent[7].port, 1796813400));
    EXPECT_EQ(FormatRecentServers(recent)[0], u"10.0.1.8:27910 2026-12-09T10:50:00Z");
    EXPECT_EQ(recent.size(), RECENT_SERVERS_MAX);
    EXPECT_TRUE(NoteJoin(&recent, 0x0100007F, 27999, 1796813460));
    EXPECT_EQ(recent.size(), RECENT_SERVERS_MAX);
    EXPECT_EQ(FormatRecentServers(recent).back(), u"10.0.1.19:27910 2026-01-01T00:00:18Z") << "the oldest went";
    EXPECT_FALSE(NoteJoin(&recent, 0x0100007F, 0, 1796813460));
    ASSERT_NE(FindRecent(recent, 0x0100007F, 27999), nullptr);
    EXPECT_TRUE(ForgetRecent(&recent, 0x0100007F, 27999));
    EXPECT_FALSE(ForgetRecent(&recent, 0x0100007F, 27999));
    EXPECT_EQ(FindRecent(recent, 0x0100007F, 27999), nullptr);

    EXPECT_EQ(LastJoinedText(CivilFromSeconds(1796813332)), u"Last joined 2026-12-09 10:48");
    int64_t seconds = -1;
    EXPECT_FALSE(SecondsFromCivil({10000, 1, 1, 0, 0, 0}, &seconds));
    EXPECT_TRUE(SecondsFromCivil({9999, 12, 31, 23, 59, 59}, &seconds));
    EXPECT_EQ(CivilFromSeconds(seconds).year, 9999);
}

// The settings over a store of named values: what they read from it and every write and deletion they make, in order.
struct FakeStore {
    std::map<std::u16string, std::pair<uint32_t, std::vector<unsigned char>>> values;
    std::vector<std::u16string> calls; // each value's name, "-" before it for a deletion

    static bool Look(void* context, const char16_t* name, uint32_t& type, std::vector<unsigned char>& bytes) {
        auto& values = static_cast<FakeStore*>(context)->values;
        auto found = values.find(name);
        if (found == values.end()) {
            return false;
        }
        type = found->second.first;
        bytes = found->second.second;
        return true;
    }
    static void Write(void* context, const char16_t* name, uint32_t type, const unsigned char* data, size_t size) {
        auto* store = static_cast<FakeStore*>(context);
        store->calls.push_back((data ? u"" : u"-") + std::u16string(name));
        if (data) {
            store->values[name] = {type, std::vector<unsigned char>(data, data + size)};
        } else {
            store->values.erase(name);
        }
    }
    static size_t Widen(const char* text, size_t length, char16_t* dest, size_t size) {
        size_t count = length < size ? length : size;
        for (size_t i = 0; i < count; ++i) {
            dest[i] = static_cast<unsigned char>(text[i]);
        }
        return count;
    }

    void StoreStrings(const char16_t* name, const Strings& strings) {
        values[name] = {STORED_TYPE_MULTI_TEXT, EncodeStoredMultiText(strings)};
    }
    Settings Read() {
        Settings settings{};
        DecodeSettings(Look, this, Widen, settings);
        return settings;
    }
};

Strings MasterTexts(const std::vector<MasterEntry>& masters) {
    Strings texts;
    for (const MasterEntry& entry : masters) {
        texts.push_back(FormatMasterEntry(entry));
    }
    return texts;
}

TEST(StoredMultiText, TheSettingsTakeEachStoredMasterAndFavouriteOnceAndNothingThatIsNotOne) {
    Strings seventeen;
    for (int i = 1; i <= 17; ++i) {
        seventeen.push_back(u"m" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u".example.net");
    }
    const struct {
        Strings stored, masters;
    } CASES[] = {
        {{u"http://127.0.0.1", u"master.example.net:27950"}, {u"http://127.0.0.1", u"master.example.net:27950"}},
        // Written by hand: the default port and scheme case are read, and shown as the program writes them.
        {{u"HTTP://Web.example:80", u"q2.example:27900"}, {u"http://Web.example", u"q2.example"}},
        {{u"ftp://x", u" http://a", u"http://a/#list", u"a b", u"http://b", u"http://B", u"b", u"[::1]:27900"},
         {u"http://b", u"b"}},
        // A list URL, read back with its path; the same one with its host in another case is a repeat.
        {{u"http://q2servers.com/?raw=2", u"http://Q2SERVERS.com/?raw=2", u"http://q2servers.com"},
         {u"http://q2servers.com/?raw=2", u"http://q2servers.com"}},
        {seventeen, Strings(seventeen.begin(), seventeen.begin() + 16)},
        {{u"bad!", u"http://"}, {}},
    };
    for (const auto& c : CASES) {
        FakeStore store;
        store.StoreStrings(u"Master Servers", c.stored);
        EXPECT_EQ(MasterTexts(store.Read().config.masters), c.masters) << c.stored.size() << " stored";
    }

    FakeStore store;
    store.StoreStrings(u"Favourite Servers", {u"10.0.0.1:27910", u"10.0.0.1", u"10.0.0.1:27910", u"10.0.0.2:27911"});
    EXPECT_EQ(FormatFavourites(store.Read().favourites), (Strings{u"10.0.0.1:27910", u"10.0.0.2:27911"}));
    // Of another type: nothing is read.
    store.values[u"Favourite Servers"].first = STORED_TYPE_TEXT;
    store.values[u"Master Servers"] = {STORED_TYPE_BINARY, EncodeStoredMultiText({u"http://a"})};
    Settings settings = store.Read();
    EXPECT_TRUE(settings.favourites.empty());
    EXPECT_TRUE(settings.config.masters.empty());
}

TEST(StoredMultiText, TheSettingsStoreTheListsWhenThereAreAnyAndDeleteThemWhenNot) {
    const Strings EARLIER_VALUES = {u"Quake II Directory",
                                    u"Quake II Executable",
                                    u"Last Used Mod Filter",
                                    u"Buddy List",
                                    u"Mod Filters",
                                    u"Packets Per Second",
                                    u"Player View Style",
                                    u"Good Ping Threshold",
                                    u"Medium Ping Threshold",
                                    u"Version",
                                    u"Sort Order",
                                    u"Show Empty Servers",
                                    u"Show Full Servers"};
    FakeStore store;
    store.StoreStrings(u"Master Servers", {u"http://old"});
    store.StoreStrings(u"Favourite Servers", {u"10.0.0.9:1"});
    Settings settings{};
    SetFirstStart(settings);
    EncodeSettings(settings, FakeStore::Write, &store);
    Strings expected = EARLIER_VALUES;
    const Strings NEWER_DELETIONS = {u"-Refresh Every", u"-Keep Running In Notification Area",
                                     u"-Tell Me When Buddies Play", u"-Keep Server History", u"-Watched Servers"};
    expected.insert(expected.end(), {u"-Master Servers", u"-Favourite Servers", u"-Search LAN"});
    expected.insert(expected.end(), NEWER_DELETIONS.begin(), NEWER_DELETIONS.end());
    EXPECT_EQ(store.calls, expected) << "the values of earlier releases, in their order, and only deletions after them";
    EXPECT_EQ(store.values.count(u"Master Servers") + store.values.count(u"Favourite Servers"), 0u);

    MasterEntry web{}, udp{};
    ASSERT_EQ(ParseMasterEntry(u"http://m.example:8080", &web), MasterFault::None);
    ASSERT_EQ(ParseMasterEntry(u"q2.example", &udp), MasterFault::None);
    settings.config.masters = {web, udp};
    ASSERT_TRUE(AddFavourite(&settings.favourites, 0x0100000A, 27910));
    store.calls.clear();
    EncodeSettings(settings, FakeStore::Write, &store);
    expected = EARLIER_VALUES;
    expected.insert(expected.end(), {u"Master Servers", u"Favourite Servers", u"-Search LAN"});
    expected.insert(expected.end(), NEWER_DELETIONS.begin(), NEWER_DELETIONS.end());
    EXPECT_EQ(store.calls, expected);
    EXPECT_EQ(store.values[u"Master Servers"],
              std::make_pair(STORED_TYPE_MULTI_TEXT, EncodeStoredMultiText({u"http://m.example:8080", u"q2.example"})));
    Settings read = store.Read();
    EXPECT_EQ(MasterTexts(read.config.masters), (Strings{u"http://m.example:8080", u"q2.example"}));
    EXPECT_EQ(FormatFavourites(read.favourites), FormatFavourites(settings.favourites));
    EXPECT_TRUE(read.config.searchLan);

    // The LAN search is stored only while it is off, as the number 0; anything else stored leaves it on.
    settings.config.searchLan = false;
    EncodeSettings(settings, FakeStore::Write, &store);
    EXPECT_EQ(store.values[u"Search LAN"], std::make_pair(STORED_TYPE_NUMBER, std::vector<unsigned char>{0, 0, 0, 0}));
    EXPECT_FALSE(store.Read().config.searchLan);
    store.values[u"Search LAN"] = {STORED_TYPE_TEXT, {0, 0}};
    EXPECT_TRUE(store.Read().config.searchLan);
    store.values[u"Search LAN"] = {STORED_TYPE_NUMBER, {0, 0}};
    EXPECT_TRUE(store.Read().config.searchLan) << "a number of the wrong size is not read";
    store.values[u"Search LAN"] = {STORED_TYPE_NUMBER, {7, 0, 0, 0}};
    EXPECT_TRUE(store.Read().config.searchLan);

    // The watching settings: each stored only once it differs from its default, and read back as written.
    settings.config.refreshMinutes = 30;
    settings.config.keepInTray = true;
    settings.config.buddyAlerts = true;
    settings.config.keepHistory = false;
    ASSERT_TRUE(AddFavourite(&settings.watched, 0x0200000A, 27911));
    EncodeSettings(settings, FakeStore::Write, &store);
    EXPECT_EQ(store.values[u"Refresh Every"], std::make_pair(STORED_TYPE_NUMBER, std::vector<unsigned char>{30, 0, 0, 0}));
    EXPECT_EQ(store.values[u"Keep Server History"],
              std::make_pair(STORED_TYPE_NUMBER, std::vector<unsigned char>{0, 0, 0, 0}));
    EXPECT_EQ(store.values[u"Watched Servers"],
              std::make_pair(STORED_TYPE_MULTI_TEXT, EncodeStoredMultiText({u"10.0.0.2:27911"})));
    read = store.Read();
    EXPECT_EQ(read.config.refreshMinutes, 30);
    EXPECT_TRUE(read.config.keepInTray);
    EXPECT_TRUE(read.config.buddyAlerts);
    EXPECT_FALSE(read.config.keepHistory);
    EXPECT_EQ(FormatFavourites(read.watched), FormatFavourites(settings.watched));
    // A refresh more often than the lists' services bear is raised to the least interval; a negative one is off.
    store.values[u"Refresh Every"] = {STORED_TYPE_NUMBER, {1, 0, 0, 0}};
    EXPECT_EQ(store.Read().config.refreshMinutes, MIN_REFRESH_MINUTES);
    store.values[u"Refresh Every"] = {STORED_TYPE_NUMBER, {0xFF, 0xFF, 0xFF, 0xFF}};
    EXPECT_EQ(store.Read().config.refreshMinutes, 0);
}

} // namespace

TEST(FoldCase, FoldsByUnicodesSimpleFoldingBeyondAscii) {
    const std::pair<char32_t, char32_t> cases[] = {
        {U'A', U'a'},           {U'z', U'z'},
        {U'@', U'@'},           {U'\u00C4', U'\u00E4'}, // Ä
        {U'\u03A3', U'\u03C3'}, {U'\u03C2', U'\u03C3'},
        {U'\u0416', U'\u0436'},                                 // Σ and final ς to σ; Ж
        {U'\u212A', U'k'},      {U'\U00010400', U'\U00010428'}, // the Kelvin sign; Deseret
        {U'\u00DF', U'\u00DF'}, {U'\u0130', U'\u0130'},         // ß and İ fold only in full or Turkic folding
        {0xD800, 0xD800},       {0x110000, 0x110000},           // no code point: as it is
    };
    for (const auto& [from, to] : cases) {
        EXPECT_EQ(FoldCase(from), to) << std::hex << static_cast<uint32_t>(from);
    }
}

TEST(FoldCase, Utf16FoldsPairsAsPairsAndLoneSurrogatesStand) {
    auto fold = [](std::u16string_view text) {
        std::u16string out = u"#";
        AppendFolded(text, out);
        return out;
    };
    EXPECT_EQ(fold(u"A\U00010400b\u0416"), u"#a\U00010428b\u0436");
    const char16_t broken[] = {u'X', 0xD801, u'Y', 0xDC00, 0xDC00, 0xD800};
    const char16_t folded[] = {u'#', u'x', 0xD801, u'y', 0xDC00, 0xDC00, 0xD800};
    EXPECT_EQ(fold({broken, 6}), std::u16string(folded, 7));
    EXPECT_EQ(fold(u""), u"#");
}
