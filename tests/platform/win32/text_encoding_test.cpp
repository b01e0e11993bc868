// ANSI (Windows-1252) and UTF-8 conversions of the window system's texts, with the code page's own
// code points written out.
#include "win32/text_encoding.h"

#include <gtest/gtest.h>

namespace {

// The 27 characters Windows-1252 defines in 0x80..0x9F, in order, and the same in UTF-8 (the euro
// sign U+20AC, U+201A, U+0192, ..., U+017E, U+0178).
const std::string ANSI_HIGH = "\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8e\x91\x92\x93\x94\x95\x96\x97"
                              "\x98\x99\x9a\x9b\x9c\x9e\x9f";
const std::string UTF8_HIGH =
    "\xe2\x82\xac\xe2\x80\x9a\xc6\x92\xe2\x80\x9e\xe2\x80\xa6\xe2\x80\xa0\xe2\x80\xa1\xcb\x86\xe2\x80\xb0"
    "\xc5\xa0\xe2\x80\xb9\xc5\x92\xc5\xbd\xe2\x80\x98\xe2\x80\x99\xe2\x80\x9c\xe2\x80\x9d\xe2\x80\xa2"
    "\xe2\x80\x93\xe2\x80\x94\xcb\x9c\xe2\x84\xa2\xc5\xa1\xe2\x80\xba\xc5\x93\xc5\xbe\xc5\xb8";

} // namespace

TEST(TextEncoding, EveryCharacterOfTheCodePageGoesToUtf8AndBack) {
    EXPECT_EQ(platform::ToDisplayText("Tolvex's Quarvel 1.00"), "Tolvex's Quarvel 1.00");
    EXPECT_EQ(platform::ToDisplayText("<" + ANSI_HIGH + ">"), "<" + UTF8_HIGH + ">");
    EXPECT_EQ(platform::FromDisplayText("<" + UTF8_HIGH + ">"), "<" + ANSI_HIGH + ">");
    // 0xA0..0xFF are the same code points as bytes.
    EXPECT_EQ(platform::ToDisplayText("\xa0Zo\xeb\xff"), "\xc2\xa0Zo\xc3\xab\xc3\xbf");
    EXPECT_EQ(platform::FromDisplayText("\xc2\xa0Zo\xc3\xab\xc3\xbf"), "\xa0Zo\xeb\xff");
    EXPECT_EQ(platform::CodePointOfAnsi(0x80), 0x20ACu);
    EXPECT_EQ(platform::CodePointOfAnsi(0x9F), 0x0178u);
    EXPECT_EQ(platform::CodePointOfAnsi(0xA0), 0x00A0u);
    EXPECT_EQ(platform::CodePointOfAnsi('A'), 0x41u);
}

TEST(TextEncoding, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    // The five bytes the code page leaves undefined have no character to show.
    EXPECT_EQ(platform::ToDisplayText("a\x81\x8d\x8f\x90\x9dz"), "a?????z");
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(platform::CodePointOfAnsi(undefined), 0u) << int(undefined);
    }
    EXPECT_EQ(platform::FromDisplayText("\xc2\x81\xc2\x9f|\xc4\x80"), "??|?"); // U+0081, U+009F, U+0100
    EXPECT_EQ(platform::FromDisplayText("\xe6\x97\xa5\xe6\x9c\xac"), "??");     // not in the code page
    EXPECT_EQ(platform::FromDisplayText("\xf0\x9f\x98\x80!"), "?!");             // outside the basic plane
}

// Text that is not UTF-8 is ANSI already: it passes one way unchanged and is read byte by byte the other.
TEST(TextEncoding, TextThatIsNotUtf8IsTakenAsAnsiAndNotReadPastItsEnd) {
    const std::string notUtf8[] = {
        std::string("Zo\xeb", 3),             // a lone Latin-1 byte
        std::string("ab\xe2\x82", 4),         // cut short
        std::string("\xc0\xaf", 2),           // overlong
        std::string("\xed\xa0\x80", 3),       // a surrogate
        std::string("\xf4\x90\x80\x80", 4),   // beyond U+10FFFF
        std::string("\xc3\x28", 2),           // a second byte that does not continue
    };
    for (const std::string& text : notUtf8) {
        EXPECT_EQ(platform::FromDisplayText(text), text) << text;
    }
    EXPECT_EQ(platform::ToDisplayText(std::string("\xc3", 1)), "\xc3\x83");
    EXPECT_EQ(platform::ToDisplayText(std::string("\xed\xa0\x80", 3)), "\xc3\xad\xc2\xa0\xe2\x82\xac");
    EXPECT_EQ(platform::ToDisplayText("Zo\xc3\xab"), "Zo\xc3\xab") << "UTF-8 already";
}
