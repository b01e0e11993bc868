// The program's texts are ANSI (Windows-1252), as the A functions take and give them; desktops and
// script files use UTF-8. Conversions both ways.
#pragma once

#include <string>

namespace platform {

// The Unicode code point of a Windows-1252 byte; 0 for the five bytes the code page leaves undefined.
char32_t CodePointOfAnsi(unsigned char byte);

// ANSI to UTF-8. Text that is valid UTF-8 already (plain ASCII, or UTF-8 a caller wrote) passes unchanged.
std::string ToDisplayText(const std::string& text);

// UTF-8 to ANSI: characters Windows-1252 lacks become '?'. Text that is not valid UTF-8 is taken as
// ANSI already and passes unchanged.
std::string FromDisplayText(const std::string& text);

} // namespace platform
