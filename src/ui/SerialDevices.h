#pragma once

#include "base/PortResolver.h"
#include "link/SerialPorts.h"

#include <cstdint>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

#include <QString>

namespace dravik::ui {

enum class TDeviceState { NotMapped, Present, Missing, NoPermission };

// Whether the device can be opened by a user with these ids, as far as its file's rights tell
// (the same judgement as the list of ports).
TDeviceState DeviceStateOf(const QString& devicePath, uid_t user, const std::vector<gid_t>& groups);

// One line for the connection dialog: the device the number maps to and its state; a device the
// user may not open names the group to join only where joining would help. The ids are this
// process's unless a test gives others.
QString DescribePort(int32_t portNumber, const TPortResolver& resolver, uid_t user = ::geteuid(),
                     const std::vector<gid_t>& groups = OwnGroups());

} // namespace dravik::ui
