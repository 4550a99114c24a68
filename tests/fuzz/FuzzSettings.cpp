// Arbitrary bytes as the settings file: reading the port never fails, mapping a port number
// never crashes, and saving the port changes that one key's line and nothing else of the file.
// The input's first byte is the port to save, its second the port number to map (signed), the
// rest the file.
#include "config/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace dravik;

namespace {

constexpr size_t ParameterBytes = 2;
constexpr int32_t FirstMappedPort = 1;
constexpr int32_t LastMappedPort = 96; // the fixed table covers COM1..COM96
constexpr std::string_view SettingsName = "s.ini";
// Every byte that saving one port may add: a new section, the key, its number, line breaks.
constexpr std::string_view WrittenBytes = "[conn]port=0123456789\r\n";

[[noreturn]] void Finding(const char* what, const std::string& before, const std::string& after) {
    std::fprintf(stderr, "%s\n--- before:\n%s\n--- after:\n%s\n", what, before.c_str(),
                 after.c_str());
    std::abort();
}

// A folder of our own, in memory where the system has a tmpfs there.
const std::string& Folder() {
    static const std::string folder = [] {
        const std::string base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/dravik_fuzz_XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return pattern;
    }();
    return folder;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    ::close(fd);
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

size_t EntriesInFolder() {
    size_t count = 0;
    DIR* dir = ::opendir(Folder().c_str());
    while (const dirent* entry = ::readdir(dir)) {
        count += std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..";
    }
    ::closedir(dir);
    return count;
}

// Outside the one stretch that changed, both texts are equal; the old stretch lies within one
// line and the new one holds only what writing the key adds.
void CheckOneLineChanged(const std::string& before, const std::string& after) {
    size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    const std::string_view removed =
        std::string_view(before).substr(prefix, before.size() - prefix - suffix);
    const std::string_view added =
        std::string_view(after).substr(prefix, after.size() - prefix - suffix);
    if (removed.find('\n') != std::string_view::npos) {
        Finding("saving the port removed more than one line", before, after);
    }
    if (added.find_first_not_of(WrittenBytes) != std::string_view::npos) {
        Finding("saving the port added more than the key", before, after);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t port = size > 0 ? data[0] : 0;
    const int32_t mapped = size > 1 ? static_cast<int8_t>(data[1]) : 0;
    const size_t skip = size < ParameterBytes ? size : ParameterBytes;
    const std::string before(reinterpret_cast<const char*>(data) + skip, size - skip);
    const std::string path = Folder() + "/" + std::string(SettingsName);
    WriteFile(path, before);

    // Neither may raise: an escaping exception is a finding.
    LoadPortSetting(path);
    const std::string device = PortDevicePath(mapped, path);
    if (device.empty() && mapped >= FirstMappedPort && mapped <= LastMappedPort) {
        Finding("a port of the fixed table has no device", before, "");
    }

    try {
        SavePortSetting(path, port);
    } catch (const std::exception& e) {
        Finding(e.what(), before, "");
    }
    const std::string after = ReadFile(path);
    if (LoadPortSetting(path) != port) {
        Finding("the saved port does not read back", before, after);
    }
    CheckOneLineChanged(before, after);
    if (EntriesInFolder() != 1) {
        Finding("saving left another file in the folder", before, after);
    }
    return 0;
}
