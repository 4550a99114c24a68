#pragma once

#include "base/PortResolver.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravik {

// The running program's settings file: its path (from /proc/self/exe) with the extension replaced
// by ".ini" where the user may write it, else the file in the user's settings folder
// (ChooseSettingsFile).
std::string SettingsFilePath();

// The window's settings file as another program beside it finds it: dravik_conf.ini in the running
// program's folder by the same choice.
std::string WindowSettingsFilePath();

// The same rule for a given executable path.
std::string SettingsPathFor(const std::string& executablePath);

// Port number from section "conn", key "port" of the settings file; anything unreadable gives 1.
uint8_t LoadPortSetting(const std::string& settingsPath);

// Writes the port number; raises "Unable to write to %s"
// when it cannot.
void SavePortSetting(const std::string& settingsPath, uint8_t port);

// The port number that a "port" value stands for: the low eight bits of a 32-bit number ("0x"
// and "$" for hexadecimal), 1 for anything that does not convert.
uint8_t PortFromSettingText(std::string_view text);

// The COM port map: section "ports", key "comN" of the settings file, else the fixed table
// (COM1..32 ttyS0..31, COM33..64 ttyUSB0..31, COM65..96 ttyACM0..31). Empty: no device.
std::string PortDevicePath(int32_t portNumber, const std::string& settingsPath);

// The map as the link takes it, reading the settings file at each call.
TPortResolver MakePortResolver(const std::string& settingsPath);

// Where numbers for devices outside the fixed table begin.
constexpr int32_t FirstSparePort = 97;

// The first number from `from` up (and at most 255) that the map gives no device; nothing when
// every one is taken.
std::optional<int32_t> FreePortNumber(const TPortResolver& resolver, int32_t from = FirstSparePort);

// Adds "comN=device" to section "ports" of the settings file, keeping the rest of it; raises
// "Unable to write to %s" when it cannot.
void SavePortDevice(const std::string& settingsPath, int32_t portNumber, const std::string& device);

} // namespace dravik
