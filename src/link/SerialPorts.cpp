#include "link/SerialPorts.h"

#include "base/Text.h"
#include "link/DeviceHolders.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <regex>
#include <unistd.h>

namespace dravik {
namespace {

namespace fs = std::filesystem;

constexpr int32_t LastPortNumber = UINT8_MAX;
const std::regex DeviceName("ttyS[0-9]+|ttyUSB[0-9]+|ttyACM[0-9]+");
constexpr const char* UartPrefix = "ttyS";
constexpr const char* ByIdFolder = "/dev/serial/by-id";
constexpr const char* TtyClassFolder = "/sys/class/tty/";
constexpr const char* SysFolder = "/sys";
constexpr const char* UsbDeviceMark = "idVendor"; // a file only a USB device's folder has
constexpr mode_t ReadWriteUser = S_IRUSR | S_IWUSR;
constexpr mode_t ReadWriteGroup = S_IRGRP | S_IWGRP;
constexpr mode_t ReadWriteOther = S_IROTH | S_IWOTH;
constexpr mode_t PermissionBits = 07777;

// Paths as the machine names them, and where they are under the root being read.
class TRoot {
public:
    explicit TRoot(const std::string& root) : Prefix(root == "/" ? std::string() : root) {
        while (Prefix.ends_with('/')) {
            Prefix.pop_back();
        }
    }
    fs::path Under(const std::string& path) const { return Prefix + path; }
    // The final file a name under the root leads to, named as the machine names it; empty when
    // there is none.
    std::string Final(const std::string& path) const {
        std::error_code error;
        const std::string real = fs::canonical(Under(path), error).string();
        if (error || !real.starts_with(Prefix)) {
            return {};
        }
        return real.substr(Prefix.size());
    }

private:
    std::string Prefix;
};

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The kernel keeps a ttyS node for every possible UART; type 0, or none, means none is there.
bool HasUart(const TRoot& root, const std::string& name) {
    const std::string type = FirstLine(root.Under(TtyClassFolder + name + "/type"));
    return !type.empty() && type != "0";
}

// Whether a device file stands for a line: any but a ttyS without a UART. The fixed port map names
// all 32 ttyS nodes, and the kernel makes them whether or not there is a UART behind.
bool IsLine(const TRoot& root, const std::string& device) {
    const std::string name = fs::path(device).filename().string();
    return !device.starts_with("/dev/" + std::string(UartPrefix)) || HasUart(root, name);
}

TSerialPort& RowOf(std::vector<TSerialPort>& ports, const std::string& device) {
    const auto row = std::find_if(ports.begin(), ports.end(),
                                  [&](const TSerialPort& port) { return port.Device == device; });
    if (row != ports.end()) {
        return *row;
    }
    ports.emplace_back().Device = device;
    return ports.back();
}

void AddKernelDevices(const TRoot& root, std::vector<TSerialPort>& ports) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(root.Under("/dev"), error)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory() && std::regex_match(name, DeviceName) &&
            IsLine(root, "/dev/" + name)) {
            RowOf(ports, "/dev/" + name);
        }
    }
}

void AddByIdNames(const TRoot& root, std::vector<TSerialPort>& ports) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(root.Under(ByIdFolder), error)) {
        const std::string name = std::string(ByIdFolder) + "/" + entry.path().filename().string();
        const std::string device = root.Final(name);
        if (!device.empty()) {
            RowOf(ports, device).ById = name;
        }
    }
}

void AddMappedDevices(const TRoot& root, const TPortResolver& resolver,
                      std::vector<TSerialPort>& ports) {
    for (int32_t number = 0; resolver && number <= LastPortNumber; ++number) {
        const std::string mapped = resolver(number);
        const std::string device = mapped.empty() ? std::string() : root.Final(mapped);
        if (!device.empty() && IsLine(root, device)) {
            RowOf(ports, device).Numbers.push_back(number);
        }
    }
}

// The USB device a tty belongs to is the nearest folder above it that has a vendor id.
void AddMakerAndModel(const TRoot& root, TSerialPort& port) {
    std::error_code error;
    const std::string name = fs::path(port.Device).filename().string();
    fs::path folder = fs::canonical(root.Under(TtyClassFolder + name + "/device"), error);
    const fs::path top = root.Under(SysFolder);
    for (; !error && folder.string().starts_with(top.string()) && folder != top;
         folder = folder.parent_path()) {
        if (fs::exists(folder / UsbDeviceMark)) {
            port.Maker = FirstLine(folder / "manufacturer");
            port.Model = FirstLine(folder / "product");
            if (port.Maker.empty() && port.Model.empty()) {
                port.Model =
                    FirstLine(folder / UsbDeviceMark) + ":" + FirstLine(folder / "idProduct");
            }
            return;
        }
    }
}

void AddState(const TRoot& root, const TDeviceHolders& holders, TSerialPort& port) {
    struct stat info {};
    if (::stat(root.Under(port.Device).c_str(), &info) == 0) {
        port.Why = AccessProblem(info, ::geteuid(), OwnGroups());
        if (!port.Why.empty()) {
            port.State = TPortState::NoAccess;
            return;
        }
    }
    const std::vector<TDeviceHolder> others = holders.Of(port.Device);
    if (!others.empty()) {
        port.State = TPortState::Held;
        port.Why = Format("%s (pid %d)", others.front().Program.c_str(), others.front().Pid);
    }
}

bool ListedBefore(const TSerialPort& a, const TSerialPort& b) {
    const int32_t noNumber = LastPortNumber + 1;
    const int32_t first = a.Numbers.empty() ? noNumber : a.Numbers.front();
    const int32_t second = b.Numbers.empty() ? noNumber : b.Numbers.front();
    return first != second ? first < second : a.Device < b.Device;
}

} // namespace

std::vector<TSerialPort> ListSerialPorts(const TPortResolver& resolver, const std::string& root) {
    const TRoot tree(root);
    std::vector<TSerialPort> ports;
    AddKernelDevices(tree, ports);
    AddByIdNames(tree, ports);
    AddMappedDevices(tree, resolver, ports);
    const TDeviceHolders holders(tree.Under("/proc").string());
    for (TSerialPort& port : ports) {
        AddMakerAndModel(tree, port);
        AddState(tree, holders, port);
    }
    std::sort(ports.begin(), ports.end(), ListedBefore);
    return ports;
}

std::string GroupName(gid_t group) {
    const struct group* entry = ::getgrgid(group);
    return entry != nullptr ? entry->gr_name : std::to_string(group);
}

std::string UserName(uid_t user) {
    const struct passwd* entry = ::getpwuid(user);
    return entry != nullptr ? entry->pw_name : std::to_string(user);
}

std::vector<gid_t> OwnGroups() {
    std::vector<gid_t> groups(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    groups.resize(static_cast<size_t>(
        std::max(::getgroups(static_cast<int>(groups.size()), groups.data()), 0)));
    groups.push_back(::getegid());
    return groups;
}

bool JoiningGroupHelps(const struct stat& device, uid_t user, const std::vector<gid_t>& groups) {
    const bool member = std::find(groups.begin(), groups.end(), device.st_gid) != groups.end();
    return user != 0 && !member && user != device.st_uid &&
           (device.st_mode & ReadWriteGroup) == ReadWriteGroup;
}

std::string AccessProblem(const struct stat& device, uid_t user, const std::vector<gid_t>& groups) {
    const bool member = std::find(groups.begin(), groups.end(), device.st_gid) != groups.end();
    mode_t wanted = ReadWriteOther;
    if (user == 0) {
        return {};
    }
    if (user == device.st_uid) {
        wanted = ReadWriteUser;
    } else if (member) {
        wanted = ReadWriteGroup;
    }
    if ((device.st_mode & wanted) == wanted) {
        return {};
    }
    if (JoiningGroupHelps(device, user, groups)) {
        return Format(Cp1251("нужна группа %s").c_str(), GroupName(device.st_gid).c_str());
    }
    return Format(Cp1251("права %04o, владелец %s").c_str(),
                  static_cast<unsigned>(device.st_mode & PermissionBits),
                  UserName(device.st_uid).c_str());
}

std::string PortStateText(const TSerialPort& port) {
    switch (port.State) {
    case TPortState::NoAccess:
        return Cp1251("нет доступа: ") + port.Why;
    case TPortState::Held:
        return Cp1251("занят: ") + port.Why;
    default:
        return Cp1251("свободен");
    }
}

std::string PortNumbersText(const TSerialPort& port) {
    if (port.Numbers.empty()) {
        return Cp1251("нет номера");
    }
    std::string text;
    for (const int32_t number : port.Numbers) {
        text += (text.empty() ? "COM" : ", COM") + std::to_string(number);
    }
    return text;
}

} // namespace dravik
