#include "utf8.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(Utf8, CopiesUtf8AndConvertsLatin1) {
    struct Case {
        std::string given, want;
    };
    const Case cases[] = {
        {"", ""},
        {"quadrix", "quadrix"},
        {"Uhr \xc3\xa9t\xc3\xa9 \xe2\x8c\x9a \xf0\x9f\x95\x90", "Uhr \xc3\xa9t\xc3\xa9 \xe2\x8c\x9a \xf0\x9f\x95\x90"},
        // Latin-1: each byte above 127 becomes two.
        {"\xe9t\xe9", "\xc3\xa9t\xc3\xa9"},
        {"\xff", "\xc3\xbf"},
        // Not UTF-8, so all of it is Latin-1: a lone continuation byte, an
        // overlong form, a surrogate, beyond U+10FFFF, a cut sequence.
        {"\xc3\xa9\x80", "\xc3\x83\xc2\xa9\xc2\x80"},
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},
        {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},
        {"a\xe2\x8c", "a\xc3\xa2\xc2\x8c"},
    };
    for (const Case &c : cases) {
        std::size_t length = 99;
        char *copy = utf8_copy(c.given.c_str(), &length);
        EXPECT_EQ(std::string(copy), c.want) << c.given;
        EXPECT_EQ(length, c.want.size()) << c.given;
        std::free(copy);
    }
}

TEST(Utf8, SequenceLengths) {
    const unsigned char ascii[] = "A";
    const unsigned char two[] = "\xdf\xbf";
    const unsigned char three[] = "\xef\xbf\xbf";
    const unsigned char four[] = "\xf4\x8f\xbf\xbf";
    const unsigned char lead_only[] = "\xc2";
    EXPECT_EQ(utf8_sequence(ascii), 1u);
    EXPECT_EQ(utf8_sequence(two), 2u);
    EXPECT_EQ(utf8_sequence(three), 3u);
    EXPECT_EQ(utf8_sequence(four), 4u);
    EXPECT_EQ(utf8_sequence(lead_only), 0u);
}

}  // namespace
