#include "support/TempDir.h"

#include <climits>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace dravik::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dravik-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    Dir = pattern;
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) {
        Previous = cwd;
    }
    std::filesystem::current_path(Dir);
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!Previous.empty()) {
        std::filesystem::current_path(Previous, ignored);
    }
    std::filesystem::remove_all(Dir, ignored);
}

} // namespace dravik::test
