#include "ui/SerialDevices.h"

#include "link/SerialPorts.h"
#include "ui/UiText.h"

#include <cstdint>
#include <optional>
#include <sys/stat.h>

namespace dravik::ui {
namespace {

// The stat of a device, or none when there is no such file.
std::optional<struct stat> StatOf(const QString& devicePath) {
    struct stat info {};
    if (::stat(devicePath.toLocal8Bit().constData(), &info) != 0) {
        return std::nullopt;
    }
    return info;
}

QString StateText(TDeviceState state, const std::string& why) {
    switch (state) {
    case TDeviceState::Present:
        return QStringLiteral("есть");
    case TDeviceState::Missing:
        return QStringLiteral("нет такого устройства");
    case TDeviceState::NoPermission:
        return QStringLiteral("нет доступа: ") + FromCp1251(why);
    default:
        return {};
    }
}

} // namespace

TDeviceState DeviceStateOf(const QString& devicePath, uid_t user,
                           const std::vector<gid_t>& groups) {
    if (devicePath.isEmpty()) {
        return TDeviceState::NotMapped;
    }
    const std::optional<struct stat> device = StatOf(devicePath);
    if (!device) {
        return TDeviceState::Missing;
    }
    return AccessProblem(*device, user, groups).empty() ? TDeviceState::Present
                                                        : TDeviceState::NoPermission;
}

QString DescribePort(int32_t portNumber, const TPortResolver& resolver, uid_t user,
                     const std::vector<gid_t>& groups) {
    const QString device = resolver ? QString::fromStdString(resolver(portNumber)) : QString();
    const TDeviceState state = DeviceStateOf(device, user, groups);
    if (state == TDeviceState::NotMapped) {
        return QStringLiteral("COM%1 не связан с устройством").arg(portNumber);
    }
    const std::optional<struct stat> info =
        state == TDeviceState::NoPermission ? StatOf(device) : std::nullopt;
    const std::string why = info ? AccessProblem(*info, user, groups) : std::string();
    return QStringLiteral("%1: %2").arg(device, StateText(state, why));
}

} // namespace dravik::ui
