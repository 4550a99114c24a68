#include "config/Settings.h"

#include "base/FileSystem.h"
#include "base/IntegerText.h"
#include "base/Text.h"
#include "config/FileContent.h"
#include "config/FilePath.h"
#include "config/IniFile.h"
#include "config/SafeFile.h"
#include "config/SettingsSections.h"
#include "config/UserFolders.h"

#include <cerrno>
#include <climits>
#include <limits>

namespace dravik {
namespace {

const char* const UnableToWrite = "Unable to write to %s";
const char* const ExecutableLink = "/proc/self/exe";
const std::string SettingsExtension = ".ini";
const std::string WindowProgramName = "dravik_conf";
constexpr uint8_t DefaultPort = 1;
constexpr size_t HexPrefixLength = 2; // "0x"

} // namespace

std::string SettingsPathFor(const std::string& executablePath) {
    const size_t nameStart = executablePath.rfind('/') + 1; // npos + 1 is 0
    const size_t dot = executablePath.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot >= nameStart;
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + SettingsExtension;
}

namespace {

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const char* executable = CurrentFileSystem().ResolvePath(ExecutableLink, buffer);
    return executable != nullptr ? executable : std::string();
}

} // namespace

std::string SettingsFilePath() {
    const std::string executable = ExecutablePath();
    return ChooseSettingsFile(executable.empty() ? executable : SettingsPathFor(executable));
}

std::string WindowSettingsFilePath() {
    const std::string executable = ExecutablePath();
    return ChooseSettingsFile(executable.empty()
                                  ? executable
                                  : SettingsPathFor(FolderOf(executable) + WindowProgramName));
}

uint8_t PortFromSettingText(std::string_view text) {
    std::string number(text);
    if (number.size() > HexPrefixLength && (text.starts_with("0x") || text.starts_with("0X"))) {
        number = "$" + number.substr(HexPrefixLength);
    }
    const auto value = ParseInteger(number, THexMarks::Dollar, std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max());
    return value ? static_cast<uint8_t>(static_cast<uint64_t>(*value) & 0xFF) : DefaultPort;
}

uint8_t LoadPortSetting(const std::string& settingsPath) {
    const TFileContent content = TryReadFileContent(settingsPath);
    if (content.Error != 0) {
        return DefaultPort;
    }
    return PortFromSettingText(
        TIniFile(content.Bytes).Read(ConnectionSection, PortKey).value_or(std::string()));
}

void WriteSettingsKey(const std::string& settingsPath, const char* section, const std::string& key,
                      const std::string& value) {
    const TFileContent content = TryReadFileContent(settingsPath);
    // A file that exists but cannot be read would lose its other sections.
    const bool readable = content.Error == 0 || (!content.Opened && content.Error == ENOENT);
    TIniFile settings(content.Bytes);
    settings.Write(section, key, value);
    if (!readable) {
        Raise(Format(UnableToWrite, MessagePath(settingsPath).c_str()));
    }
    const TReplaceOutcome outcome = TryReplaceFile(settingsPath, settings.Text());
    if (outcome.Failed != TReplaceStep::Done) {
        // Only the folder's lack is told: it is the one the user would not guess.
        const bool folder = outcome.Failed == TReplaceStep::FolderLocked;
        Raise(Format(UnableToWrite, MessagePath(settingsPath).c_str()) +
              (folder ? ". " + ReplaceFailureReason(outcome) : std::string()));
    }
}

void SavePortSetting(const std::string& settingsPath, uint8_t port) {
    WriteSettingsKey(settingsPath, ConnectionSection, PortKey, std::to_string(port));
}

TPortResolver MakePortResolver(const std::string& settingsPath) {
    return [settingsPath](int32_t portNumber) { return PortDevicePath(portNumber, settingsPath); };
}

} // namespace dravik
