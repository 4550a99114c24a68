#include "ui/SerialDevices.h"

#include <cstdint>

#include <QFileInfo>

namespace dravik::ui {
namespace {

QString StateText(TDeviceState state) {
    switch (state) {
    case TDeviceState::Present:
        return QStringLiteral("есть");
    case TDeviceState::Missing:
        return QStringLiteral("нет такого устройства");
    case TDeviceState::NoPermission:
        return QStringLiteral("нет доступа, нужна группа dialout");
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
    return QStringLiteral("%1: %2").arg(device, StateText(state));
}

} // namespace dravik::ui
