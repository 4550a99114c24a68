#include "ui/SerialDevices.h"

#include "link/SerialPorts.h"
#include "ui/UiText.h"

#include <cstdint>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

namespace dravik::ui {
namespace {

// Why this user may not use the device: the group to join only where joining would help (the
// group's own name), else its rights and owner.
QString AccessText(const QString& devicePath) {
    struct stat info {};
    const std::string why = ::stat(devicePath.toLocal8Bit().constData(), &info) == 0
                                ? AccessProblem(info, ::geteuid(), OwnGroups())
                                : std::string();
    return why.empty() ? QStringLiteral("нет доступа")
                       : QStringLiteral("нет доступа: ") + FromCp1251(why);
}

QString StateText(TDeviceState state, const QString& devicePath) {
    switch (state) {
    case TDeviceState::Present:
        return QStringLiteral("есть");
    case TDeviceState::Missing:
        return QStringLiteral("нет такого устройства");
    case TDeviceState::NoPermission:
        return AccessText(devicePath);
    default:
        return {};
    }
}

} // namespace

TDeviceState DeviceStateOf(const QString& devicePath) {
    if (devicePath.isEmpty()) {
        return TDeviceState::NotMapped;
    }
    const QFileInfo device(devicePath);
    if (!device.exists()) {
        return TDeviceState::Missing;
    }
    return device.isReadable() && device.isWritable() ? TDeviceState::Present
                                                      : TDeviceState::NoPermission;
}

QString DescribePort(int32_t portNumber, const TPortResolver& resolver) {
    const QString device = resolver ? QString::fromStdString(resolver(portNumber)) : QString();
    const TDeviceState state = DeviceStateOf(device);
    if (state == TDeviceState::NotMapped) {
        return QStringLiteral("COM%1 не связан с устройством").arg(portNumber);
    }
    return QStringLiteral("%1: %2").arg(device, StateText(state, device));
}

} // namespace dravik::ui
