#pragma once

#include <string_view>

namespace dravik {

// Names in the program's files are compared ignoring ASCII letter case.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

} // namespace dravik
