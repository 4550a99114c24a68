#pragma once

#include "base/PortResolver.h"

#include <cstdint>

#include <QString>

namespace dravik::ui {

enum class TDeviceState { NotMapped, Present, Missing, NoPermission };

// Whether the device can be opened by this user, as far as its file tells.
TDeviceState DeviceStateOf(const QString& devicePath);

// One line for the connection dialog: the device the number maps to and its state.
QString DescribePort(int32_t portNumber, const TPortResolver& resolver);

} // namespace dravik::ui
