#pragma once

#include <cstddef>
#include <string>

namespace dravik {

// The largest file read: far beyond any configuration or settings file, small enough that
// reading and parsing it stays quick and within memory.
inline constexpr size_t MaxFileBytes = 16 * 1024 * 1024;

struct TFileContent {
    bool Opened = false; // false: the file could not be opened
    int Error = 0;       // errno of the failure, 0 when the whole file was read
    std::string Bytes;
};

// Reads the whole file, refusing it while another program holds it locked for writing. Only a
// regular file of at most MaxFileBytes is read: anything else is refused at once, without
// waiting (a fifo) or reading without end (a device).
TFileContent TryReadFileContent(const std::string& path);

// The same, raising "Cannot open file" or "Cannot read file" with the full path.
std::string ReadFileContent(const std::string& path);

} // namespace dravik
