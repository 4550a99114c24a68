#include "support/TempDir.h"

#include <climits>
#include <filesystem>
#include <unistd.h>

namespace dravik::test {

TempDir::TempDir() {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd) != nullptr) {
        Previous = cwd;
    }
    std::filesystem::current_path(Folder.Path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!Previous.empty()) {
        std::filesystem::current_path(Previous, ignored);
    }
}

} // namespace dravik::test
