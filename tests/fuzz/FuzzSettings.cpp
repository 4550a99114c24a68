// Arbitrary bytes as the settings file: reading the port never fails, mapping a port number
// never crashes, and saving the port changes that one key's line and nothing else of the file.
// The input's first byte is the port to save, its second the port number to map (signed, 0x80 and
// 0x7F for the ends of the 32-bit range), the rest the file.
#include "base/NameCompare.h"
#include "config/IniFile.h"
#include "config/Settings.h"
#include "config/SettingsSections.h"
#include "support/Files.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace dravik;

namespace {

constexpr size_t ParameterBytes = 2;
constexpr size_t MaxProbes = 64; // names of each kind tried after a save
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

// A folder of our own, in memory where the system has a tmpfs there; removed at exit.
const std::string& Folder() {
    static const test::TTempFolder folder(std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                    : "/tmp");
    return folder.Path;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    ::close(fd);
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

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos
               ? std::string_view()
               : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Every name the text might use as a section or a key, found loosely: a wrong guess reads as
// missing both before and after.
void CollectNames(const std::string& text, std::vector<std::string>& sections,
                  std::vector<std::string>& keys) {
    for (size_t start = 0;
         start < text.size() && keys.size() < MaxProbes && sections.size() < MaxProbes;) {
        const size_t feed = std::min(text.find('\n', start), text.size());
        const std::string_view line = Trimmed(std::string_view(text).substr(start, feed - start));
        if (line.starts_with('[')) {
            sections.emplace_back(Trimmed(line.substr(1, line.find(']') - 1)));
        } else if (const size_t equals = line.find('='); equals != std::string_view::npos) {
            keys.emplace_back(Trimmed(line.substr(0, equals)));
        }
        start = feed + 1;
    }
}

// Every other key reads as it did.
void CheckOtherKeysKept(const std::string& before, const std::string& after) {
    std::vector<std::string> sections;
    std::vector<std::string> keys;
    CollectNames(before, sections, keys);
    const TIniFile old(before);
    const TIniFile saved(after);
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            if (SameNameIgnoringCase(section, ConnectionSection) &&
                SameNameIgnoringCase(key, PortKey)) {
                continue;
            }
            if (old.Read(section, key) != saved.Read(section, key)) {
                Finding(("saving the port changed [" + section + "] " + key).c_str(), before,
                        after);
            }
        }
    }
}

// A signed byte, its two ends standing for the ends of the 32-bit range.
int32_t MappedPort(uint8_t byte) {
    const auto value = static_cast<int8_t>(byte);
    if (value == INT8_MIN) {
        return INT32_MIN;
    }
    return value == INT8_MAX ? INT32_MAX : value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t port = size > 0 ? data[0] : 0;
    const int32_t mapped = size > 1 ? MappedPort(data[1]) : 0;
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
    const std::string after = test::ReadBytes(path);
    if (LoadPortSetting(path) != port) {
        Finding("the saved port does not read back", before, after);
    }
    CheckOneLineChanged(before, after);
    CheckOtherKeysKept(before, after);
    if (EntriesInFolder() != 1) {
        Finding("saving left another file in the folder", before, after);
    }
    return 0;
}
