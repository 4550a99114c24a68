#pragma once

#include <string>
#include <string_view>

namespace dravik {

// Core texts are Windows-1251 bytes. Russian literals are written once, readable, in UTF-8 and
// turned into Windows-1251 here; nothing else in the core converts.
std::string Cp1251(std::string_view utf8);

// A text of the system (an error text) in the code set of the process's locale, turned into
// Windows-1251; characters the code page lacks become "?".
std::string LocaleToCp1251(std::string_view text);

// For the edges that talk to a UTF-8 world (the command line, tests).
std::string Cp1251ToUtf8(std::string_view cp1251);

// printf-style formatting into a std::string; the templates are the system's own ("%d", "%2d",
// "%s"), applied to Windows-1251 bytes. Texts go in as c_str().
std::string FormatRaw(const char* pattern, ...);

template <typename... Args>
std::string Format(const std::string& pattern, Args... args) {
    return FormatRaw(pattern.c_str(), args...);
}

// Text from outside as it stands inside a message: a NUL byte, which would end the message there,
// is written as the escape "\0", so the bytes after it stay visible.
std::string Shown(std::string_view text);

// A message as the user sees it: a final "." is added when the last character is above ".", so
// "Таймаут" gets one and "...)" or a line break does not.
std::string WithFullStop(const std::string& message);

// Raises dravik::Exception with the message.
[[noreturn]] void Raise(const std::string& message);

} // namespace dravik
