#include "ui/SerialDevices.h"

#include <cstdint>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>

namespace dravik::ui {
namespace {

constexpr int32_t LastPortNumber = UINT8_MAX;
const QStringList DevicePatterns = {QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"),
                                    QStringLiteral("ttyACM*")};
const QString ByIdFolder = QStringLiteral("serial/by-id");
const QString SysTtyFolder = QStringLiteral("/sys/class/tty/");

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

// The device each COM number maps to, indexed by the number; empty where there is none.
QStringList MappedDevices(const TPortResolver& resolver) {
    QStringList devices;
    for (int32_t n = 0; n <= LastPortNumber; ++n) {
        devices.append(resolver ? QString::fromStdString(resolver(n)) : QString());
    }
    return devices;
}

// The COM numbers that reach each device, by the device file a path finally names.
QMap<QString, QStringList> PortsByDevice(const QStringList& mapped) {
    QMap<QString, QStringList> ports;
    for (int32_t n = 0; n < mapped.size(); ++n) {
        const QFileInfo device(mapped[n]);
        if (!mapped[n].isEmpty() && device.exists()) {
            ports[device.canonicalFilePath()].append(QStringLiteral("COM%1").arg(n));
        }
    }
    return ports;
}

// The kernel keeps a ttyS node for every possible UART; type 0 means there is none behind it.
bool IsVacantUart(const QString& name) {
    QFile type(SysTtyFolder + name + QStringLiteral("/type"));
    return name.startsWith(QStringLiteral("ttyS")) && type.open(QIODevice::ReadOnly) &&
           type.readAll().trimmed() == "0";
}

QStringList PresentDevices(const QString& deviceRoot) {
    QStringList devices;
    const QDir root(deviceRoot);
    for (const QString& name : root.entryList(DevicePatterns, QDir::System | QDir::Files)) {
        if (!IsVacantUart(name)) {
            devices.append(root.filePath(name));
        }
    }
    const QDir byId(root.filePath(ByIdFolder));
    for (const QString& name : byId.entryList(QDir::System | QDir::Files)) {
        devices.append(byId.filePath(name));
    }
    return devices;
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

QString ListSerialDevices(const TPortResolver& resolver, const QString& deviceRoot) {
    const QStringList mapped = MappedDevices(resolver);
    const QMap<QString, QStringList> ports = PortsByDevice(mapped);
    QStringList devices = PresentDevices(deviceRoot);
    // Devices outside the usual names (a simulator's link, say) appear through the port map.
    for (const QString& device : mapped) {
        if (!device.isEmpty() && QFileInfo::exists(device) && !devices.contains(device)) {
            devices.append(device);
        }
    }
    if (devices.isEmpty()) {
        return QStringLiteral("Последовательные порты не найдены");
    }
    QStringList lines = {QStringLiteral("Последовательные порты:")};
    for (const QString& device : devices) {
        const QStringList numbers = ports.value(QFileInfo(device).canonicalFilePath());
        lines.append(QStringLiteral("%1 — %2").arg(
            device, numbers.isEmpty() ? QStringLiteral("без номера COM") : numbers.join(", ")));
    }
    return lines.join('\n');
}

} // namespace dravik::ui
