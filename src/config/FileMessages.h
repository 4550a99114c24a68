#pragma once

namespace dravik {

// The file messages: the file's full path, then the system's text for the error.
inline constexpr const char* CannotOpenFile = "Cannot open file \"%s\". %s";
inline constexpr const char* CannotCreateFile = "Cannot create file \"%s\". %s";
inline constexpr const char* CannotReadFile = "Cannot read file \"%s\". %s";
inline constexpr const char* CannotWriteFile = "Cannot write file \"%s\". %s";

} // namespace dravik
