#pragma once

#include <string>

namespace dravik {

// The file messages: the file's full path, then the system's text for the error.
inline constexpr const char* CannotOpenFile = "Cannot open file \"%s\". %s";
inline constexpr const char* CannotCreateFile = "Cannot create file \"%s\". %s";
inline constexpr const char* CannotReadFile = "Cannot read file \"%s\". %s";
inline constexpr const char* CannotWriteFile = "Cannot write file \"%s\". %s";

// The program's own reasons for refusing a file, beside the system's errno values (all positive).
inline constexpr int NotRegularFile = -1; // a fifo, a device, a socket: reading could block or
                                          // never end, replacing would destroy it
inline constexpr int UnsafeLink = -2;     // a link another user planted in a shared folder

// The text for an errno value or one of the reasons above.
std::string FileReason(int error);

} // namespace dravik
