#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace dravik::test {

// The whole file as bytes; empty when it cannot be opened.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace dravik::test
