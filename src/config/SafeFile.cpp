#include "config/SafeFile.h"

#include "base/FileSystem.h"
#include "base/SystemError.h"
#include "base/Text.h"
#include "config/FileMessages.h"
#include "config/FilePath.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravik {
namespace {

constexpr int TemporaryNameAttempts = 100;
constexpr mode_t NewFileMode = 0666; // narrowed by the umask, as for any new file
constexpr mode_t PermissionBits = 07777;

// The file that is really replaced: the end of a chain of links, or the name itself.
bool ResolveTarget(const std::string& path, std::string& target, int& error) {
    struct stat info {};
    target = path;
    if (CurrentFileSystem().StatLinkPath(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return true;
    }
    char buffer[PATH_MAX];
    if (CurrentFileSystem().ResolvePath(path.c_str(), buffer) == nullptr) {
        error = errno; // a dangling link: replacing the link itself would lose it
        return false;
    }
    target = buffer;
    return true;
}

// A hidden name beside the target, unique within the process and across processes.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    return folder + "." + target.substr(folder.size()) + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter++) + ".tmp";
}

int CreateTemporary(const std::string& target, std::string& name) {
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
        name = TemporaryName(target);
        const int fd = CurrentFileSystem().Open(
            name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, NewFileMode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = CurrentFileSystem().Write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written == 0 ? EIO : errno;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// The rename itself reaches the disk only with its folder.
void SyncFolder(const std::string& target) {
    const std::string folder = FolderOf(target);
    FileSystem& files = CurrentFileSystem();
    const int fd =
        files.Open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0) {
        files.Sync(fd);
        files.Close(fd);
    }
}

// An existing file that may not be written is refused, as opening it for writing would be.
bool MayWrite(const std::string& target, int& error) {
    FileSystem& files = CurrentFileSystem();
    const int fd = files.Open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) {
        error = errno;
        return false;
    }
    files.Close(fd);
    return true;
}

// Fills the temporary file and puts it in place; errno tells a failure.
bool FillAndRename(int fd, const std::string& temporary, const std::string& target,
                   const struct stat* old, std::string_view bytes) {
    FileSystem& files = CurrentFileSystem();
    bool filled = (old == nullptr || files.ChangeMode(fd, old->st_mode & PermissionBits) == 0) &&
                  WriteAll(fd, bytes) && files.Sync(fd) == 0;
    int error = filled ? 0 : errno;
    if (files.Close(fd) != 0 && filled) {
        filled = false;
        error = errno;
    }
    if (!filled) {
        errno = error;
        return false;
    }
    return files.Rename(temporary.c_str(), target.c_str()) == 0;
}

} // namespace

TReplaceOutcome TryReplaceFile(const std::string& path, std::string_view bytes) {
    FileSystem& files = CurrentFileSystem();
    std::string target;
    int error = 0;
    if (!ResolveTarget(path, target, error)) {
        return TReplaceOutcome{TReplaceStep::CreateNew, error};
    }
    struct stat old {};
    const bool exists = files.StatPath(target.c_str(), &old) == 0;
    if (exists && !MayWrite(target, error)) {
        return TReplaceOutcome{TReplaceStep::OpenExisting, error};
    }
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        return TReplaceOutcome{exists ? TReplaceStep::Write : TReplaceStep::CreateNew, errno};
    }
    if (!FillAndRename(fd, temporary, target, exists ? &old : nullptr, bytes)) {
        error = errno;
        files.Unlink(temporary.c_str());
        return TReplaceOutcome{TReplaceStep::Write, error};
    }
    SyncFolder(target);
    return {};
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
    const TReplaceOutcome outcome = TryReplaceFile(path, bytes);
    const char* pattern = nullptr;
    switch (outcome.Failed) {
    case TReplaceStep::Done:
        return;
    case TReplaceStep::OpenExisting:
        pattern = CannotOpenFile;
        break;
    case TReplaceStep::CreateNew:
        pattern = CannotCreateFile;
        break;
    case TReplaceStep::Write:
        pattern = CannotWriteFile;
        break;
    }
    Raise(Format(pattern, MessagePath(path).c_str(), SystemText(outcome.Error).c_str()));
}

} // namespace dravik
