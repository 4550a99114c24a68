#pragma once

#include <string>

namespace dravik {

struct TFileContent {
    bool Opened = false; // false: the file could not be opened
    int Error = 0;       // errno of the failure, 0 when the whole file was read
    std::string Bytes;
};

// Reads the whole file, refusing it while another program holds it locked for writing.
TFileContent TryReadFileContent(const std::string& path);

// The same, raising "Cannot open file" or "Cannot read file" with the full path.
std::string ReadFileContent(const std::string& path);

} // namespace dravik
