// Conversions between ANSI (Windows-1252) and UTF-8 for the window system's texts.
#include "win32/text_encoding.h"

#include <cstdint>

namespace platform {

namespace {

// Windows-1252 code points 0x80..0x9F; 0 where the code page has no character.
constexpr char32_t HIGH_CONTROLS[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes one UTF-8 sequence at `i`; false for a malformed one.
bool DecodeUtf8(const std::string& text, size_t* i, char32_t* code) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char first = byte(*i);
    int length = first < 0x80           ? 1
                 : (first >> 5) == 0x6  ? 2
                 : (first >> 4) == 0xE  ? 3
                 : (first >> 3) == 0x1E ? 4
                                        : 0;
    if (length == 0 || *i + length > text.size()) {
        return false;
    }
    char32_t value = length == 1 ? first : first & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        unsigned char next = byte(*i + k);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        value = (value << 6) | (next & 0x3F);
    }
    static constexpr char32_t MINIMUM[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < MINIMUM[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    *i += static_cast<size_t>(length);
    *code = value;
    return true;
}

bool IsUtf8(const std::string& text) {
    char32_t code = 0;
    for (size_t i = 0; i < text.size();) {
        if (!DecodeUtf8(text, &i, &code)) {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

char32_t CodePointOfAnsi(unsigned char byte) {
    // Windows-1252 differs from Latin-1 only in 0x80..0x9F.
    return byte >= 0x80 && byte < 0xA0 ? HIGH_CONTROLS[byte - 0x80] : byte;
}

std::string ToDisplayText(const std::string& text) {
    if (IsUtf8(text)) {
        return text;
    }
    std::string out;
    for (char c : text) {
        char32_t code = CodePointOfAnsi(static_cast<unsigned char>(c));
        AppendUtf8(out, code ? code : U'?');
    }
    return out;
}

std::string FromDisplayText(const std::string& text) {
    if (!IsUtf8(text)) {
        return text;
    }
    std::string out;
    char32_t code = 0;
    for (size_t i = 0; i < text.size() && DecodeUtf8(text, &i, &code);) {
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += static_cast<char>(code);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (HIGH_CONTROLS[k] == code) {
                mapped = static_cast<char>(0x80 + k);
            }
        }
        out += mapped;
    }
    return out;
}

} // namespace platform
