#include "core/protocol/master_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/run/address_index.h"
#include "core/settings/build_defaults.h"

namespace {

std::string Narrow(std::u16string_view text) {
    std::string narrow;
    for (char16_t unit : text) {
        narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return narrow;
}

TEST(MasterEntry, ReadsWebAndUdpMastersWithTheirDefaultPorts) {
    const struct {
        const char16_t* text;
        MasterKind kind;
        const char16_t* host;
        uint16_t port;
        const char16_t* formatted;
    } CASES[] = {
        {u"http://127.0.0.1", MasterKind::Web, u"127.0.0.1", 80, u"http://127.0.0.1"},
        {u"http://master.example.net:8080", MasterKind::Web, u"master.example.net", 8080,
         u"http://master.example.net:8080"},
        {u"HTTP://Master.Example.NET:80", MasterKind::Web, u"Master.Example.NET", 80, u"http://Master.Example.NET"},
        {u"master.example.net", MasterKind::Udp, u"master.example.net", 27900, u"master.example.net"},
        {u"192.0.2.1:27950", MasterKind::Udp, u"192.0.2.1", 27950, u"192.0.2.1:27950"},
        {u"q2-master.a1.example", MasterKind::Udp, u"q2-master.a1.example", 27900, u"q2-master.a1.example"},
        {u"1.2.3.4.example:1", MasterKind::Udp, u"1.2.3.4.example", 1, u"1.2.3.4.example:1"},
        {u"http://0.0.0.0:65535", MasterKind::Web, u"0.0.0.0", 65535, u"http://0.0.0.0:65535"},
        {u"http://master.example.net/", MasterKind::Web, u"master.example.net", 80, u"http://master.example.net"},
        // A path names a list URL, kept as written; a query alone gets its path.
        {u"http://q2servers.com/?raw=2", MasterKind::WebList, u"q2servers.com", 80, u"http://q2servers.com/?raw=2"},
        {u"http://Lists.example:8080?raw=2&g=1", MasterKind::WebList, u"Lists.example", 8080,
         u"http://Lists.example:8080/?raw=2&g=1"},
        {u"http://192.0.2.1/q2/All%20Servers.bin?x=(1);y=$:@~!*'+,", MasterKind::WebList, u"192.0.2.1", 80,
         u"http://192.0.2.1/q2/All%20Servers.bin?x=(1);y=$:@~!*'+,"},
    };
    for (const auto& c : CASES) {
        MasterEntry entry{};
        ASSERT_EQ(ParseMasterEntry(c.text, &entry), MasterFault::None) << Narrow(c.text);
        EXPECT_EQ(entry.kind, c.kind) << Narrow(c.text);
        EXPECT_EQ(entry.host, c.host) << Narrow(c.text);
        EXPECT_EQ(entry.port, c.port) << Narrow(c.text);
        EXPECT_EQ(FormatMasterEntry(entry), c.formatted);
    }
}

TEST(MasterEntry, RejectsAnythingElseWithItsReason) {
    const std::u16string LONG_LABEL(64, u'a');
    const std::u16string LONG_HOST = [] {
        std::u16string host;
        for (int i = 0; i < 50; ++i) {
            host += u"abcd.";
        }
        return host + u"net"; // 253 characters in parts of 4: one more is too long
    }();
    const struct {
        std::u16string text;
        MasterFault fault;
    } CASES[] = {
        {u"", MasterFault::Empty},
        {u"master.example.net ", MasterFault::Space},
        {u"master example.net", MasterFault::Space},
        {u"master.example.net\r", MasterFault::Space},
        {u"https://master.example.net", MasterFault::Scheme},
        {u"://master.example.net", MasterFault::Scheme},
        {u"master.example.net/list", MasterFault::Path},
        {u"master.example.net?x", MasterFault::Path},
        {u"http://master.example.net/#top", MasterFault::PathCharacter},
        {u"http://master.example.net/\"list\"", MasterFault::PathCharacter},
        {u"http://master.example.net/a\\b", MasterFault::PathCharacter},
        {u"http://master.example.net/%4", MasterFault::PathCharacter},
        {u"http://master.example.net/%zz", MasterFault::PathCharacter},
        {u"http://master.example.net/b\u00fccher", MasterFault::PathCharacter},
        {u"http://master.example.net/" + std::u16string(1024, u'a'), MasterFault::PathLength},
        {u"http://master.example.net:x/list", MasterFault::Port},
        {u"http:/master.example.net", MasterFault::Path},
        {u"[::1]:27900", MasterFault::Ipv6},
        {u"fe80::1", MasterFault::Ipv6},
        {u"master.example.net:27900:1", MasterFault::Ipv6},
        {u"http://", MasterFault::NoHost},
        {u":27900", MasterFault::NoHost},
        {u"user@master.example.net", MasterFault::HostCharacter},
        {u"master_1.example.net", MasterFault::HostCharacter},
        {u"b\u00fccher.example", MasterFault::HostCharacter},
        {std::u16string(u"master.example.net\0x", 20), MasterFault::Space},
        {u"-master.example.net", MasterFault::HostLabel},
        {u"master..example.net", MasterFault::HostLabel},
        {u"master.example.net.", MasterFault::HostLabel},
        {LONG_LABEL + u".net", MasterFault::HostLabel},
        {LONG_HOST + u"x", MasterFault::HostLength},
        {u"256.0.0.1", MasterFault::Address},
        {u"http://010.0.0.1", MasterFault::Address},
        {u"1.2.3.4.5", MasterFault::Address},
        {u"example.123", MasterFault::Address},
        {u"master.example.net:0", MasterFault::Port},
        {u"master.example.net:65536", MasterFault::Port},
        {u"http://master.example.net:http", MasterFault::Port},
        {u"http:master.example.net", MasterFault::Port},
    };
    MasterEntry sound{};
    ASSERT_EQ(ParseMasterEntry(LONG_HOST, &sound), MasterFault::None) << "253 characters are allowed";
    for (const auto& c : CASES) {
        MasterEntry entry{MasterKind::Web, u"kept", 7};
        EXPECT_EQ(ParseMasterEntry(c.text, &entry), c.fault) << Narrow(c.text);
        EXPECT_EQ(entry.host, u"kept") << "a bad entry leaves the entry alone";
        EXPECT_NE(std::u16string(MasterFaultText(c.fault)), u"");
    }
}

TEST(MasterListText, ReadsOneMasterPerLineSkippingBlankLinesAndRepeats) {
    std::vector<MasterEntry> entries = {{MasterKind::Udp, u"old", 1}};
    std::u16string error = u"untouched";
    ASSERT_TRUE(
        ParseMasterListText(u"\r\n  http://127.0.0.1  \r\n\r\nmaster.example.net\n\t \nMASTER.example.net:27900\n"
                            u"http://master.example.net:27900\nhttp://127.0.0.1:80",
                            &entries, &error))
        << Narrow(error);
    EXPECT_EQ(error, u"untouched");
    EXPECT_EQ(FormatMasterListText(entries),
              u"http://127.0.0.1\r\nmaster.example.net\r\nhttp://master.example.net:27900");

    ASSERT_TRUE(ParseMasterListText(u" \r\n\r\n", &entries, &error));
    EXPECT_TRUE(entries.empty()) << "a blank box is no masters; the caller decides what that means";
    EXPECT_EQ(FormatMasterListText(entries), u"");
}

TEST(MasterListText, NamesTheFirstBadLineAndKeepsWhatWasThere) {
    std::u16string many;
    for (int i = 0; i < MAX_MASTERS; ++i) {
        many += u"m" + std::u16string(1, char16_t(u'a' + i)) + u".example\n";
    }
    const struct {
        std::u16string text;
        std::u16string error;
    } CASES[] = {
        {u"http://127.0.0.1\r\nftp://x\r\nalso bad",
         u"Line 2: \"ftp://x\" is not a master: only http:// web masters and HOST[:PORT] UDP masters are supported."},
        {u"\n\n  master.example.net:99999  ",
         u"Line 3: \"master.example.net:99999\" is not a master: the port is a number from 1 to 65535."},
        {std::u16string(60, u'a') + u"/list",
         u"Line 1: \"" + std::u16string(40, u'a') +
             u"...\" is not a master: a classic master is written HOST[:PORT], without a path."},
        {u"http://" + std::u16string(32, u'a') + u"\U0001F600/",
         u"Line 1: \"http://" + std::u16string(32, u'a') +
             u"...\" is not a master: a host name has only letters, digits, hyphens and dots."},
        {many + u"ma.example\nlast.example", u"Line 18: at most 16 masters can be asked."},
    };
    for (const auto& c : CASES) {
        std::vector<MasterEntry> entries = {{MasterKind::Udp, u"old", 1}};
        std::u16string error;
        EXPECT_FALSE(ParseMasterListText(c.text, &entries, &error));
        EXPECT_EQ(error, c.error) << Narrow(error);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].host, u"old");
    }
    std::vector<MasterEntry> entries;
    std::u16string error;
    EXPECT_TRUE(ParseMasterListText(many, &entries, &error)) << "exactly the most is fine";
    EXPECT_EQ(entries.size(), static_cast<size_t>(MAX_MASTERS));
}

TEST(MasterEntry, AListUrlIsItsOwnMasterAndARedirectLeadsToHttpOnly) {
    MasterEntry list{}, other{}, service{};
    ASSERT_EQ(ParseMasterEntry(u"http://q2servers.com/?raw=2", &list), MasterFault::None);
    ASSERT_EQ(ParseMasterEntry(u"http://Q2SERVERS.com/?raw=1", &other), MasterFault::None);
    ASSERT_EQ(ParseMasterEntry(u"http://q2servers.com", &service), MasterFault::None);
    EXPECT_FALSE(IsSameMaster(list, other)) << "the path counts, with its case";
    EXPECT_FALSE(IsSameMaster(list, service)) << "a master web service is another master";
    other.path = list.path;
    EXPECT_TRUE(IsSameMaster(list, other)) << "the host's case does not count";

    const struct {
        const char16_t* location;
        const char16_t* to; // as formatted; null: not followed
    } CASES[] = {
        {u"/list?raw=2", u"http://q2servers.com/list?raw=2"},
        {u"/", u"http://q2servers.com/"},
        {u"HTTP://mirror.example:8080/q2?raw=2", u"http://mirror.example:8080/q2?raw=2"},
        {u"http://mirror.example", u"http://mirror.example/"},
        {u"https://q2servers.com/?raw=2", nullptr},
        {u"ftp://q2servers.com/list", nullptr},
        {u"//mirror.example/list", nullptr},
        {u"list?raw=2", nullptr},
        {u"/a list", nullptr},
        {u"http://mirror.example:0/", nullptr},
        {u"", nullptr},
    };
    for (const auto& c : CASES) {
        MasterEntry to{MasterKind::Udp, u"kept", 1};
        EXPECT_EQ(FollowRedirect(list, c.location, &to), c.to != nullptr) << Narrow(c.location);
        if (c.to) {
            EXPECT_EQ(to.kind, MasterKind::WebList) << Narrow(c.location);
            EXPECT_EQ(FormatMasterEntry(to), c.to) << Narrow(c.location);
        } else {
            EXPECT_EQ(to.host, u"kept") << Narrow(c.location);
        }
    }
}

// The build's default list (CMake's SKERROW_MASTERS, or its web master alone) is one the program reads.
TEST(MasterListText, TheBuildsDefaultMastersAreValid) {
    std::vector<MasterEntry> entries;
    std::u16string error;
    ASSERT_TRUE(ParseMasterListText(SKERROW_DEFAULT_MASTERS, &entries, &error)) << Narrow(error);
    EXPECT_FALSE(entries.empty());
}

} // namespace
