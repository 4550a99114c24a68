#pragma once

#include <string>

namespace dravik {

// Where the settings file keeps what the program reads from it.
inline constexpr const char* ConnectionSection = "conn";
inline constexpr const char* PortKey = "port";
inline constexpr const char* PortsSection = "ports";
inline constexpr const char* PortKeyPrefix = "com"; // "com3" names the device of COM3

// Sets one key of the settings file and keeps the rest of it; raises "Unable to write to %s" with
// the file's path when it cannot.
void WriteSettingsKey(const std::string& settingsPath, const char* section, const std::string& key,
                      const std::string& value);

} // namespace dravik
