#pragma once

namespace dravik {

// Where the settings file keeps what the program reads from it.
inline constexpr const char* ConnectionSection = "conn";
inline constexpr const char* PortKey = "port";
inline constexpr const char* PortsSection = "ports";
inline constexpr const char* PortKeyPrefix = "com"; // "com3" names the device of COM3

} // namespace dravik
