// Server addresses as the service keeps them (the browser's ListEntry: network byte order), writes them in its log,
// state file and page, reads them from its command line, files them under a key and tells the internet's from others.
#include <gtest/gtest.h>

#include <cstring>

#include "server_address.h"

namespace skerrow_master {

namespace {

TEST(AddressText, ADottedQuadAndAPortReadInNetworkOrderAndWrittenBack) {
    const struct {
        const char* text;
        unsigned char octets[4];
        uint16_t port;
        const char* written; // as FormatAddress writes it back
    } CASES[] = {
        {"10.1.2.3:27910", {10, 1, 2, 3}, 27910, "10.1.2.3:27910"},
        {"0.0.0.0:0", {0, 0, 0, 0}, 0, "0.0.0.0:0"}, // any address, a port the system picks: for binding
        {"255.255.255.255:65535", {255, 255, 255, 255}, 65535, "255.255.255.255:65535"},
        {"127.0.0.1:00080", {127, 0, 0, 1}, 80, "127.0.0.1:80"},
    };
    for (const auto& c : CASES) {
        ListEntry address;
        ASSERT_TRUE(ParseAddress(c.text, &address)) << c.text;
        EXPECT_EQ(std::memcmp(&address.addr, c.octets, 4), 0) << c.text << ": the first octet first in memory";
        EXPECT_EQ(address.port, c.port) << c.text;
        EXPECT_EQ(FormatAddress(address), c.written);
    }
    for (const char* wrong : {"1.2.3.4", "1.2.3.4:", "1.2.3.4:+1", "1.2.3.4:65536", "1.2.3.4:123456", "01.2.3.4:1",
                              "1.2.3:1", "1.2.3.4.5:1", "256.1.1.1:1", "localhost:80", ":80"}) {
        ListEntry address;
        EXPECT_FALSE(ParseAddress(wrong, &address)) << wrong;
    }
}

TEST(AddressKey, OrdersByTheOctetsThenThePortAndGivesTheAddressBack) {
    // In network byte order 10.0.1.1 is the smaller number on a little-endian machine; the page sorts by octets.
    const ListEntry ordered[] = {FromOctets(0x0A000002, 27910), FromOctets(0x0A000002, 27911),
                                 FromOctets(0x0A000101, 1), FromOctets(0xC0A80001, 0)};
    for (size_t i = 0; i < sizeof ordered / sizeof ordered[0]; ++i) {
        EXPECT_EQ(AddressFromKey(AddressKey(ordered[i])), ordered[i]) << FormatAddress(ordered[i]);
        if (i > 0) {
            EXPECT_LT(AddressKey(ordered[i - 1]), AddressKey(ordered[i])) << FormatAddress(ordered[i]);
        }
    }
}

TEST(PublicAddress, OnlyTheInternetsOwnAddressesArePublic) {
    const struct {
        const char* address;
        bool is_public;
    } CASES[] = {
        {"8.8.8.8:1", true},          {"100.63.255.255:1", true},   {"100.64.0.1:1", false},
        {"127.0.0.1:1", false},       {"127.255.1.2:1", false},     {"10.1.2.3:1", false},
        {"172.15.255.255:1", true},   {"172.16.0.1:1", false},      {"172.31.255.255:1", false},
        {"172.32.0.0:1", true},       {"192.168.7.7:1", false},     {"192.169.0.1:1", true},
        {"169.254.1.1:1", false},     {"0.1.2.3:1", false},         {"224.0.0.1:1", false},
        {"239.255.255.250:1", false}, {"255.255.255.255:1", false}, {"223.255.255.255:1", true},
    };
    for (const auto& c : CASES) {
        ListEntry address;
        ASSERT_TRUE(ParseAddress(c.address, &address));
        EXPECT_EQ(IsPublicAddress(address.addr), c.is_public) << c.address;
    }
}

} // namespace

} // namespace skerrow_master
