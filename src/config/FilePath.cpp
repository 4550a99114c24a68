#include "config/FilePath.h"

#include "base/FileSystem.h"
#include "base/Text.h"

#include <climits>
#include <vector>

namespace dravik {
namespace {

std::string WorkingFolder() {
    char buffer[PATH_MAX];
    const char* folder = CurrentFileSystem().ResolvePath(".", buffer);
    return folder != nullptr ? std::string(folder) : std::string();
}

std::string Normalised(const std::string& absolute) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= absolute.size()) {
        size_t slash = absolute.find('/', start);
        slash = slash == std::string::npos ? absolute.size() : slash;
        const std::string part = absolute.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string out;
    for (const std::string& part : parts) {
        out += "/" + part;
    }
    return out.empty() ? "/" : out;
}

} // namespace

std::string FullPath(const std::string& path) {
    if (path.empty()) {
        return WorkingFolder();
    }
    return Normalised(path.front() == '/' ? path : WorkingFolder() + "/" + path);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string MessagePath(const std::string& path) {
    return Cp1251(FullPath(path));
}

} // namespace dravik
