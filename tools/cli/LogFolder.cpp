#include "LogFolder.h"

#include "base/Exception.h"
#include "base/FileSystem.h"
#include "base/SystemError.h"
#include "base/Text.h"
#include "config/UserFolders.h"
#include "link/LinkLog.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace dravik::cli {
namespace {

constexpr const char* CannotWriteLogFolder = "Cannot write the log folder \"%s\". %s";

// Why the link log cannot be written in folder, or 0.
int LogFolderFault(const std::string& folder) {
    FileSystem& files = CurrentFileSystem();
    struct stat info {};
    if (files.StatPath(folder.c_str(), &info) != 0) {
        return errno;
    }
    if (!S_ISDIR(info.st_mode)) {
        return ENOTDIR;
    }
    return files.Access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

} // namespace

void ChooseLinkLogFolder(const std::optional<std::string>& folder) {
    if (!folder) {
        SetLinkLogFolder(ChooseLogFolder(false));
        return;
    }
    if (const int fault = LogFolderFault(*folder)) {
        throw Exception(Format(CannotWriteLogFolder, folder->c_str(), SystemText(fault).c_str()));
    }
    SetLinkLogFolder(*folder);
}

} // namespace dravik::cli
