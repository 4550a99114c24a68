#include "config/UserFolders.h"

#include "base/FileSystem.h"
#include "config/FilePath.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace dravik {
namespace {

const std::string ProgramFolder = "/dravik_conf";
const std::string FallbackSettingsName = "/dravik_conf.ini";
const char* const CurrentDirectory = ".";

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    const passwd* user = ::getpwuid(::getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

// A base directory from its variable; a relative or empty value is ignored, as the rules say.
std::string BaseFolder(const char* variable, const std::string& underHome) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value == '/') {
        return value;
    }
    return HomeFolder() + underHome;
}

bool MayWrite(const std::string& path) {
    return CurrentFileSystem().Access(path.c_str(), W_OK) == 0;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return CurrentFileSystem().StatPath(path.c_str(), &info) == 0 || errno != ENOENT;
}

} // namespace

std::string UserConfigFolder() {
    return BaseFolder("XDG_CONFIG_HOME", "/.config") + ProgramFolder;
}

std::string UserStateFolder() {
    return BaseFolder("XDG_STATE_HOME", "/.local/state") + ProgramFolder;
}

std::string ChooseSettingsFile(const std::string& beside) {
    const std::string besideFolder = FolderOf(beside);
    const bool mayWrite = Exists(beside)
                              ? MayWrite(beside)
                              : MayWrite(besideFolder.empty() ? CurrentDirectory : besideFolder);
    if (!beside.empty() && mayWrite) {
        return beside;
    }
    const std::string folder = UserConfigFolder();
    MakeFolders(folder, UserFolderMode); // when it fails, saving says "Unable to write"
    return folder + FallbackSettingsName;
}

std::string ChooseLogFolder(bool fromMenu) {
    if (!fromMenu && MayWrite(CurrentDirectory)) {
        return "";
    }
    const std::string folder = UserStateFolder();
    MakeFolders(folder, UserFolderMode); // when it fails, opening the log says nothing, as before
    return folder;
}

bool MakeFolders(const std::string& path, mode_t mode) {
    FileSystem& files = CurrentFileSystem();
    for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string folder = path.substr(0, end);
        if (!folder.empty() && files.MakeFolder(folder.c_str(), mode) != 0 && errno != EEXIST) {
            return false;
        }
        if (end == std::string::npos) {
            return true;
        }
    }
}

} // namespace dravik
