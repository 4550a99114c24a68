#pragma once

#include <string>
#include <string_view>

namespace dravik::cli {

// A UTF-8 text as a JSON string, quotes included.
std::string JsonString(std::string_view utf8);

} // namespace dravik::cli
