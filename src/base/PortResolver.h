#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace dravik {

// Maps a COM port number to the device path that stands for it. The link knows no settings: its
// owner hands it the map. An empty result means the number has no device.
using TPortResolver = std::function<std::string(int32_t portNumber)>;

// Every port number maps to the one device: a line named on the command line or by a test.
TPortResolver FixedDevice(std::string path);

} // namespace dravik
