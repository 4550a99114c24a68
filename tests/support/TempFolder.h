#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

namespace dravik::test {

// A fresh folder for one test, removed with everything in it afterwards. When no folder can be
// made it throws: a test must never go on writing beside the root or the current directory.
class TTempFolder {
public:
    explicit TTempFolder(
        const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        std::string pattern = (base / "dravik-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder " + pattern + ": " +
                                     std::strerror(errno));
        }
        Path = pattern;
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::string File(const std::string& name) const { return Path + "/" + name; }

    // The names in the folder, hidden ones included.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Path)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string Path;
};

} // namespace dravik::test
