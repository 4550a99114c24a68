#pragma once

#include <string>

namespace dravik {

// The system's text for an errno value, without trailing blanks, control characters and full
// stops, in Windows-1251 whatever the locale, so that it can stand inside the program's own
// messages.
std::string SystemText(int code);

} // namespace dravik
