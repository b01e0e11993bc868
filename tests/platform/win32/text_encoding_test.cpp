// ANSI (Windows-1252) and UTF-8 conversions of the window system's texts.
#include "win32/text_encoding.h"

#include <gtest/gtest.h>

TEST(TextEncoding, TypedUtf8BecomesAnsiWithUnknownCharactersAsQuestionMarks) {
    EXPECT_EQ(platform::FromDisplayText("Anna"), "Anna");
    EXPECT_EQ(platform::FromDisplayText("Zo\xc3\xab"), "Zo\xeb");
    EXPECT_EQ(platform::FromDisplayText("\xe2\x82\xac 5"), "\x80 5");       // the euro sign
    EXPECT_EQ(platform::FromDisplayText("\xe6\x97\xa5\xe6\x9c\xac"), "??"); // not in the code page
    EXPECT_EQ(platform::FromDisplayText("\xf0\x9f\x98\x80!"), "?!");        // outside the basic plane
    EXPECT_EQ(platform::FromDisplayText("Zo\xeb"), "Zo\xeb");               // ANSI already
}

TEST(TextEncoding, AnsiTextIsShownAsUtf8) {
    EXPECT_EQ(platform::ToDisplayText("Tolvex's Quarvel 1.00"), "Tolvex's Quarvel 1.00");
    EXPECT_EQ(platform::ToDisplayText("Zo\xeb"), "Zo\xc3\xab");
    EXPECT_EQ(platform::ToDisplayText("\x80"), "\xe2\x82\xac");
    EXPECT_EQ(platform::ToDisplayText("a\x81z"), "a?z");            // a byte the code page leaves undefined
    EXPECT_EQ(platform::ToDisplayText("Zo\xc3\xab"), "Zo\xc3\xab"); // UTF-8 already
}

TEST(TextEncoding, MalformedUtf8IsNotReadPastItsEnd) {
    EXPECT_EQ(platform::FromDisplayText(std::string("ab\xe2\x82", 4)), std::string("ab\xe2\x82", 4));
    EXPECT_EQ(platform::ToDisplayText(std::string("\xc3", 1)), "\xc3\x83");
    EXPECT_EQ(platform::FromDisplayText(std::string("\xc0\xaf", 2)), std::string("\xc0\xaf", 2)); // overlong
}
