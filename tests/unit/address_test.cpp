#include "base/address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

uint32_t AddressFromOctets(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    const unsigned char octets[4] = {a, b, c, d};
    uint32_t addr;
    std::memcpy(&addr, octets, sizeof addr);
    return addr;
}

TEST(FormatDottedQuad, WritesTheFirstOctetInMemoryFirst) {
    char quad[DOTTED_QUAD_SIZE];
    FormatDottedQuad(AddressFromOctets(192, 168, 0, 1), quad);
    EXPECT_STREQ(quad, "192.168.0.1");
    FormatDottedQuad(AddressFromOctets(0, 0, 0, 0), quad);
    EXPECT_STREQ(quad, "0.0.0.0");
    FormatDottedQuad(AddressFromOctets(255, 255, 255, 255), quad);
    EXPECT_STREQ(quad, "255.255.255.255");
    FormatDottedQuad(AddressFromOctets(10, 20, 100, 9), quad);
    EXPECT_STREQ(quad, "10.20.100.9");
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

} // namespace
