#include "core/text/address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/settings/favourites.h"
#include "core/text/text.h"

namespace {

uint32_t AddressFromOctets(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    const unsigned char octets[4] = {a, b, c, d};
    uint32_t addr;
    std::memcpy(&addr, octets, sizeof addr);
    return addr;
}

TEST(DottedQuad, WritesTheFirstOctetInMemoryFirst) {
    EXPECT_EQ(DottedQuad(AddressFromOctets(192, 168, 0, 1)), u"192.168.0.1");
    EXPECT_EQ(DottedQuad(AddressFromOctets(0, 0, 0, 0)), u"0.0.0.0");
    EXPECT_EQ(DottedQuad(AddressFromOctets(255, 255, 255, 255)), u"255.255.255.255");
    EXPECT_EQ(DottedQuad(AddressFromOctets(10, 20, 100, 9)), u"10.20.100.9");
}

TEST(FormatServerAddress, JoinsAddressAndDecimalPort) {
    char16_t text[64];
    EXPECT_TRUE(FormatServerAddress(text, 64, AddressFromOctets(10, 0, 0, 1), 80));
    EXPECT_EQ(std::u16string(text), u"10.0.0.1:80");
    EXPECT_TRUE(FormatServerAddress(text, 64, AddressFromOctets(255, 255, 255, 255), 65535));
    EXPECT_EQ(std::u16string(text), u"255.255.255.255:65535");
}

TEST(FormatServerAddress, CutsToTheBuffer) {
    char16_t text[8];
    EXPECT_FALSE(FormatServerAddress(text, 8, AddressFromOctets(127, 0, 0, 1), 27910));
    EXPECT_EQ(std::u16string(text), u"127.0.0");
}

TEST(ParseServerAddress, ReadsWhatFormatServerAddressWrites) {
    const struct {
        uint32_t addr;
        uint16_t port;
    } SERVERS[] = {{AddressFromOctets(127, 0, 0, 1), 27910},
                   {AddressFromOctets(0, 0, 0, 0), 1},
                   {AddressFromOctets(255, 255, 255, 255), 65535},
                   {AddressFromOctets(10, 20, 100, 9), 80}};
    for (const auto& server : SERVERS) {
        char16_t text[32];
        ASSERT_TRUE(FormatServerAddress(text, 32, server.addr, server.port));
        uint32_t addr = 1;
        uint16_t port = 1;
        ASSERT_TRUE(ParseServerAddress(text, &addr, &port)) << std::string(text, text + TextLength(text));
        EXPECT_EQ(addr, server.addr);
        EXPECT_EQ(port, server.port);
    }
}

TEST(ParseServerAddress, TakesNothingButAnExactDottedQuadAndPort) {
    const char16_t* const REJECTED[] = {
        u"",
        u":27910",
        u"127.0.0.1",
        u"127.0.0.1:",
        u"127.0.0.1:0",
        u"127.0.0.1:65536",
        u"127.0.0.1:027910",
        u"127.0.0.1:+80",
        u"127.0.0.1:80 ",
        u"127.0.0:80",
        u"127.0.0.1.5:80",
        u"256.0.0.1:80",
        u"127.0.0.01:80",
        u"localhost:80",
        u"\u013127.0.0.1:80", // its low byte is a '1'
        u"\uff11.0.0.1:80",   // a full-width digit
    };
    for (const char16_t* text : REJECTED) {
        uint32_t addr = 7;
        uint16_t port = 7;
        EXPECT_FALSE(ParseServerAddress(text, &addr, &port)) << std::string(text, text + TextLength(text));
        EXPECT_EQ(addr, 7u);
        EXPECT_EQ(port, 7);
    }
    uint32_t addr = 0;
    EXPECT_FALSE(ParseDottedQuad(std::u16string_view(u"1.2.3.4\0", 8), &addr)) << "an embedded zero ends nothing";
    EXPECT_TRUE(ParseDottedQuad(u"1.2.3.4", &addr));
    EXPECT_EQ(addr, AddressFromOctets(1, 2, 3, 4));
}

TEST(Favourites, StoredStringsAreTakenExactlyAndRepeatsOnce) {
    std::vector<FavouriteServer> favourites = {{99, 99}};
    size_t leftOut = ParseFavourites(
        {u"10.0.0.1:27910", u"bad", u"10.0.0.1:27910", u"10.0.0.1:27911", u"", u"10.0.0.2:27910 ", u"192.168.0.1:1"},
        &favourites);
    EXPECT_EQ(leftOut, 4u);
    ASSERT_EQ(favourites.size(), 3u);
    EXPECT_EQ(favourites[0].addr, AddressFromOctets(10, 0, 0, 1));
    EXPECT_EQ(favourites[1].port, 27911);
    EXPECT_EQ(favourites[2].addr, AddressFromOctets(192, 168, 0, 1));
    EXPECT_EQ(FormatFavourites(favourites),
              (std::vector<std::u16string>{u"10.0.0.1:27910", u"10.0.0.1:27911", u"192.168.0.1:1"}));
}

TEST(Favourites, AddAndRemoveKeepOneOfEachInTheOrderAdded) {
    std::vector<FavouriteServer> favourites;
    uint32_t a = AddressFromOctets(10, 0, 0, 1);
    uint32_t b = AddressFromOctets(10, 0, 0, 2);
    EXPECT_TRUE(AddFavourite(&favourites, a, 27910));
    EXPECT_TRUE(AddFavourite(&favourites, b, 27910));
    EXPECT_TRUE(AddFavourite(&favourites, a, 27911)) << "another port is another server";
    EXPECT_FALSE(AddFavourite(&favourites, a, 27910));
    EXPECT_FALSE(AddFavourite(&favourites, b, 0));
    EXPECT_TRUE(IsFavourite(favourites, b, 27910));
    EXPECT_TRUE(RemoveFavourite(&favourites, b, 27910));
    EXPECT_FALSE(RemoveFavourite(&favourites, b, 27910));
    EXPECT_FALSE(IsFavourite(favourites, b, 27910));
    EXPECT_EQ(FormatFavourites(favourites), (std::vector<std::u16string>{u"10.0.0.1:27910", u"10.0.0.1:27911"}));
}

} // namespace
