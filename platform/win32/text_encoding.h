// The program's texts are ANSI (Windows-1252), as the A functions take and give them; desktops and
// script files use UTF-8. Conversions both ways.
#pragma once

#include <string>

namespace platform {

// ANSI to UTF-8. Text that is valid UTF-8 already (plain ASCII, or UTF-8 a caller wrote) passes unchanged.
std::string ToDisplayText(const std::string& text);

// UTF-8 to ANSI: characters Windows-1252 lacks become '?'. Text that is not valid UTF-8 is taken as
// ANSI already and passes unchanged.
std::string FromDisplayText(const std::string& text);

} // namespace platform
