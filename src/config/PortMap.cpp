#include "config/FileContent.h"
#include "config/IniFile.h"
#include "config/Settings.h"
#include "config/SettingsSections.h"

#include <algorithm>
#include <cstdint>

namespace dravik {
namespace {

struct TPortRange {
    int32_t First; // the COM number of the range's device 0
    const char* DevicePrefix;
};

constexpr int32_t PortsPerRange = 32;
constexpr TPortRange PortRanges[] = {
    {1, "/dev/ttyS"},
    {33, "/dev/ttyUSB"}, // USB serial adapters
    {65, "/dev/ttyACM"}, // USB modem-class devices
};

std::string DeviceFromSettings(int32_t portNumber, const std::string& settingsPath) {
    const TFileContent content = TryReadFileContent(settingsPath);
    if (content.Error != 0) {
        return {};
    }
    const std::string key = PortKeyPrefix + std::to_string(portNumber);
    return TIniFile(content.Bytes).Read(PortsSection, key).value_or(std::string());
}

constexpr int32_t LastPortNumber = UINT8_MAX;

} // namespace

std::string PortDevicePath(int32_t portNumber, const std::string& settingsPath) {
    std::string device = DeviceFromSettings(portNumber, settingsPath);
    if (!device.empty()) {
        return device;
    }
    for (const TPortRange& range : PortRanges) {
        if (portNumber >= range.First && portNumber - range.First < PortsPerRange) {
            return range.DevicePrefix + std::to_string(portNumber - range.First);
        }
    }
    return {};
}

std::optional<int32_t> FreePortNumber(const TPortResolver& resolver, int32_t from) {
    for (int32_t number = std::max(from, 0); number <= LastPortNumber; ++number) {
        if (!resolver || resolver(number).empty()) {
            return number;
        }
    }
    return std::nullopt;
}

void SavePortDevice(const std::string& settingsPath, int32_t portNumber,
                    const std::string& device) {
    WriteSettingsKey(settingsPath, PortsSection, PortKeyPrefix + std::to_string(portNumber),
                     device);
}

} // namespace dravik
