#include "base/text.h"
#include "base/stored_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

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

TEST(TextAppend, AppendsAndCutsAtTheSize) {
    char16_t buffer[8] = u"abc";
    EXPECT_TRUE(TextAppend(buffer, 8, u"def"));
    EXPECT_EQ(Str(buffer), u"abcdef");
    EXPECT_FALSE(TextAppend(buffer, 8, u"ghij"));
    EXPECT_EQ(Str(buffer), u"abcdefg");
}

TEST(TextAppend, TerminatesADestinationThatWasNotTerminated) {
    char16_t buffer[4] = {u'a', u'b', u'c', u'd'};
    EXPECT_FALSE(TextAppend(buffer, 4, u"e"));
    EXPECT_EQ(Str(buffer), u"abc");
}

TEST(TextFormat, FormatsTheConversionsOurMessagesUse) {
    char16_t buffer[128];
    EXPECT_TRUE(TextFormat(buffer, 128, u"%d|%i|%u|%s|%S|%c|%%", -42, 7, 4000000000u, u"wide", "narrow", u'Q'));
    EXPECT_EQ(Str(buffer), u"-42|7|4000000000|wide|narrow|Q|%");

    EXPECT_TRUE(TextFormat(buffer, 128, u"%d %d %d", INT_MIN, INT_MAX, 0));
    EXPECT_EQ(Str(buffer), u"-2147483648 2147483647 0");
}

TEST(TextFormat, WidensNarrowBytesAsLatin1AndPrintsNullTexts) {
    char16_t buffer[32];
    EXPECT_TRUE(TextFormat(buffer, 32, u"%S", "\xe9\xff"));
    EXPECT_EQ(Str(buffer), u"\u00e9\u00ff");
    EXPECT_TRUE(
        TextFormat(buffer, 32, u"%s %S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)));
    EXPECT_EQ(Str(buffer), u"(null) (null)");
}

TEST(TextFormat, CopiesUnknownConversionsAndATrailingPercentLiterally) {
    char16_t buffer[32];
    EXPECT_TRUE(TextFormat(buffer, 32, u"%x %q 100%"));
    EXPECT_EQ(Str(buffer), u"%x %q 100%");
}

TEST(TextFormat, CutsInsideAnArgumentAndReports) {
    char16_t buffer[6];
    EXPECT_FALSE(TextFormat(buffer, 6, u"n=%d", 123456));
    EXPECT_EQ(Str(buffer), u"n=123");
    EXPECT_FALSE(TextFormat(buffer, 6, u"%s!", u"abcdef"));
    EXPECT_EQ(Str(buffer), u"abcde");
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

} // namespace
