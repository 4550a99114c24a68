#include "link/DeviceHolders.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

namespace dravik {
namespace {

namespace fs = std::filesystem;

constexpr const char* DeviceFolder = "/dev/";
constexpr const char* MasterDevice = "/dev/ptmx";
constexpr const char* PtsPrefix = "/dev/pts/";
constexpr const char* TtyIndexField = "tty-index:"; // in the descriptor info of a ptmx master

std::optional<pid_t> PidOf(const fs::path& entry) {
    const std::string name = entry.filename().string();
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || end != name.data() + name.size()) {
        return std::nullopt;
    }
    return pid;
}

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The pseudo-terminal whose master the descriptor holds, from its info file; empty if none.
std::string PtsOfMaster(const fs::path& infoFile) {
    std::ifstream in(infoFile);
    std::string field;
    while (in >> field) {
        if (field == TtyIndexField) {
            std::string index;
            in >> index;
            return PtsPrefix + index;
        }
    }
    return {};
}

} // namespace

TDeviceHolders::TDeviceHolders(const std::string& procDir) {
    std::error_code error;
    const pid_t self = ::getpid();
    for (const fs::directory_entry& process : fs::directory_iterator(procDir, error)) {
        const std::optional<pid_t> pid = PidOf(process.path());
        if (!pid || *pid == self) {
            continue;
        }
        const TDeviceHolder holder{*pid, FirstLine(process.path() / "comm")};
        std::error_code unreadable; // another user's process, or one that has just ended
        for (const fs::directory_entry& fd :
             fs::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code gone;
            const std::string target = fs::read_symlink(fd.path(), gone).string();
            if (target == MasterDevice) {
                const std::string pts =
                    PtsOfMaster(process.path() / "fdinfo" / fd.path().filename());
                if (!pts.empty()) {
                    FarEnds.emplace(pts, *pid);
                }
            } else if (target.starts_with(DeviceFolder)) {
                Open.emplace(target, holder);
            }
        }
    }
}

std::vector<TDeviceHolder> TDeviceHolders::Of(const std::string& device) const {
    std::vector<TDeviceHolder> holders;
    const auto [first, last] = Open.equal_range(device);
    for (auto it = first; it != last; ++it) {
        const auto [farFirst, farLast] = FarEnds.equal_range(device);
        const bool farEnd = std::any_of(
            farFirst, farLast, [&](const auto& end) { return end.second == it->second.Pid; });
        const bool counted =
            std::any_of(holders.begin(), holders.end(),
                        [&](const TDeviceHolder& h) { return h.Pid == it->second.Pid; });
        if (!farEnd && !counted) {
            holders.push_back(it->second);
        }
    }
    return holders;
}

} // namespace dravik
