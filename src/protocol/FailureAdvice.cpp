#include "protocol/FailureAdvice.h"

#include "base/Text.h"
#include "link/DeviceHolders.h"
#include "link/PortFailure.h"
#include "link/SerialPorts.h"
#include "protocol/ReplyTimeout.h"
#include "protocol/Terminal.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace dravik {
namespace {

namespace fs = std::filesystem;

constexpr mode_t PermissionBits = 07777;
constexpr const char* ProcFolder = "/proc";

// Where a path of the machine is under the host's root.
std::string Under(const TAdviceHost& host, const std::string& path) {
    return host.Root == "/" ? path : host.Root + path;
}

// The device file a path finally leads to, named as the machine names it; empty when none.
std::string FinalDevice(const TAdviceHost& host, const std::string& path) {
    if (path.empty()) {
        return {};
    }
    std::error_code error;
    const std::string real = fs::canonical(Under(host, path), error).string();
    const std::string prefix = host.Root == "/" ? std::string() : host.Root;
    if (error || !real.starts_with(prefix)) {
        return {};
    }
    return real.substr(prefix.size());
}

std::string DeviceLine(int32_t port, const std::string& device, const std::string& final) {
    if (device.empty()) {
        return Format(Cp1251("COM%d не связан ни с одним устройством: выберите порт в окне «Связь» "
                             "или задайте его в файле настроек ([ports] com%d=устройство)"),
                      port, port);
    }
    if (!final.empty() && final != device) {
        return Format(Cp1251("COM%d — это %s (%s)"), port, device.c_str(), final.c_str());
    }
    return Format(Cp1251("COM%d — это %s"), port, device.c_str());
}

void AddAccessAdvice(const TAdviceHost& host, const std::string& device,
                     std::vector<std::string>& lines) {
    struct stat info {};
    if (device.empty() || ::stat(Under(host, device).c_str(), &info) != 0) {
        return;
    }
    const std::string group = host.GroupName(info.st_gid);
    if (JoiningGroupHelps(info, host.User, host.Groups)) {
        const std::string user = host.UserName(host.User);
        lines.push_back(Format(Cp1251("Устройство %s открыто для группы %s, а пользователь %s в "
                                      "неё не входит. Добавьте его в группу командой:"),
                               device.c_str(), group.c_str(), user.c_str()));
        lines.push_back(Format("sudo usermod -aG %s %s", group.c_str(), user.c_str()));
        lines.push_back(Cp1251("затем выйдите из системы и войдите снова."));
        return;
    }
    const std::string rights = Format(Cp1251("права %04o, владелец %s, группа %s"),
                                      static_cast<unsigned>(info.st_mode & PermissionBits),
                                      host.UserName(info.st_uid).c_str(), group.c_str());
    if (AccessProblem(info, host.User, host.Groups).empty()) {
        lines.push_back(Format(Cp1251("Права устройства %s (%s) доступ разрешают: отказ идёт не "
                                      "от них (например, от политики безопасности системы)."),
                               device.c_str(), rights.c_str()));
    } else {
        lines.push_back(Format(Cp1251("Вступление в группу не поможет: у устройства %s %s. "
                                      "Доступ может дать администратор (например, правилом udev)."),
                               device.c_str(), rights.c_str()));
    }
}

void AddMissingAdvice(const TAdviceHost& host, const TPortResolver& resolver,
                      const std::string& device, std::vector<std::string>& lines) {
    if (!device.empty()) {
        lines.push_back(Format(Cp1251("Устройства %s нет: адаптер не подключён или получил "
                                      "другое имя."),
                               device.c_str()));
    }
    const std::vector<TSerialPort> ports = ListSerialPorts(resolver, host.Root);
    if (ports.empty()) {
        lines.push_back(Cp1251("Последовательных портов на этом компьютере не найдено."));
        return;
    }
    lines.push_back(Cp1251("Последовательные порты этого компьютера:"));
    for (const TSerialPort& present : ports) {
        const std::string adapter = present.Maker +
                                    (present.Maker.empty() || present.Model.empty() ? "" : " ") +
                                    present.Model;
        const std::string line =
            Format("  %s: %s", PortNumbersText(present).c_str(), present.Device.c_str());
        lines.push_back(adapter.empty() ? line : line + " (" + adapter + ")");
    }
}

void AddBusyAdvice(const TAdviceHost& host, const std::string& device,
                   std::vector<std::string>& lines) {
    std::vector<TDeviceHolder> holders = device.empty()
                                             ? std::vector<TDeviceHolder>()
                                             : TDeviceHolders(Under(host, ProcFolder)).Of(device);
    // The process table comes in no particular order; the oldest process is named first.
    std::sort(holders.begin(), holders.end(),
              [](const TDeviceHolder& a, const TDeviceHolder& b) { return a.Pid < b.Pid; });
    if (holders.empty()) {
        lines.push_back(Cp1251("Порт занят другой программой; какой — узнать не удалось (она может "
                               "быть запущена другим пользователем)."));
        return;
    }
    std::string names;
    for (const TDeviceHolder& holder : holders) {
        names +=
            (names.empty() ? "" : ", ") + Format("%s (pid %d)", holder.Program.c_str(), holder.Pid);
    }
    lines.push_back(Format(Cp1251("Устройство %s держит открытым: %s. Закройте эту программу."),
                           device.c_str(), names.c_str()));
}

void AddTimeoutAdvice(std::vector<std::string>& lines) {
    lines.push_back(Format(Cp1251("Контроллер не ответил. Ожидаются: адрес %d, %d бод, 8N1 (8 бит "
                                  "данных, без чётности, 1 стоповый бит)."),
                           TTerminal::SlaveAddress, TTerminal::BaudRate));
    lines.push_back(Cp1251("Частые причины: перепутаны провода A и B линии RS-485; у контроллера "
                           "нет питания; у контроллера другой адрес."));
}

} // namespace

TAdviceHost ThisHost() {
    TAdviceHost host;
    host.User = ::geteuid();
    host.Groups = OwnGroups();
    host.GroupName = GroupName;
    host.UserName = UserName;
    return host;
}

std::vector<std::string> FailureAdvice(const std::exception& failure, int32_t port,
                                       const TPortResolver& resolver, const TAdviceHost& host) {
    const auto* portFailure = dynamic_cast<const TPortFailure*>(&failure);
    const bool timeout = dynamic_cast<const TReplyTimeout*>(&failure) != nullptr;
    if (portFailure == nullptr && !timeout) {
        return {};
    }
    // The failure knows the port it happened on; the number asked for may have changed since.
    const int32_t number = portFailure != nullptr ? portFailure->PortNumber() : port;
    const std::string device = portFailure != nullptr ? portFailure->DevicePath()
                               : resolver             ? resolver(number)
                                                      : std::string();
    const std::string final = FinalDevice(host, device);
    std::vector<std::string> lines{DeviceLine(number, device, final)};
    if (timeout) {
        AddTimeoutAdvice(lines);
        return lines;
    }
    switch (portFailure->SystemError()) {
    case EACCES:
    case EPERM:
        AddAccessAdvice(host, final, lines);
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        AddMissingAdvice(host, resolver, final.empty() ? device : std::string(), lines);
        break;
    case EBUSY:
        AddBusyAdvice(host, final, lines);
        break;
    default:
        break;
    }
    return lines;
}

} // namespace dravik
