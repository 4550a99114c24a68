#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace dravik {

// Core texts are Windows-1251 bytes. Russian literals are written once, readable, in UTF-8 and
// turned into Windows-1251 here; nothing else in the core converts.
std::string Cp1251(std::string_view utf8);

// A text of the system (an error text) in the code set of the process's locale, turned into
// Windows-1251; characters the code page lacks become "?".
std::string LocaleToCp1251(std::string_view text);

// For the edges that talk to a UTF-8 world (the command line, tests).
std::string Cp1251ToUtf8(std::string_view cp1251);

// An argument of a message template: an integer no wider than int, or a C string. Anything else
// (a std::string, a string_view, a 64-bit count, a float) does not compile.
template <typename T>
concept FormatArgument = (std::is_integral_v<T> && !std::is_same_v<T, bool> &&
                          sizeof(T) <= sizeof(int)) ||
                         std::is_same_v<T, const char*> || std::is_same_v<T, char*>;

class TFormatArgument {
public:
    template <typename T>
    requires std::is_integral_v<T>
    explicit TFormatArgument(T value) : Integer(static_cast<int64_t>(value)) {}
    explicit TFormatArgument(const char* text) : Text(text != nullptr ? text : ""), IsText(true) {}

    int64_t Integer = 0;
    const char* Text = nullptr;
    bool IsText = false;
};

// Applies a template to arguments already checked for their kind. A conversion whose argument is
// missing or of the other kind is copied as it stands, so a wrong call shows, never misbehaves.
std::string FormatArguments(std::string_view pattern, std::span<const TFormatArgument> arguments);

// printf-style formatting into a std::string; the templates are the system's own ("%d", "%2d",
// "%s", "%02X"), applied to Windows-1251 bytes. Texts go in as c_str().
template <FormatArgument... Args>
std::string Format(std::string_view pattern, Args... args) {
    const std::array<TFormatArgument, sizeof...(Args)> arguments{TFormatArgument(args)...};
    return FormatArguments(pattern, arguments);
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
