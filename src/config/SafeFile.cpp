#include "config/SafeFile.h"

#include "base/FileSystem.h"
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
constexpr int MaxLinks = 40;                       // the kernel's own bound before ELOOP
constexpr mode_t SharedFolder = S_ISVTX | S_IWOTH; // sticky and writable by everyone
constexpr const char* FolderMustBeWritable = "The folder \"%s\" must be writable for a safe save";

TReplaceOutcome Failure(TReplaceStep step, int error) {
    return TReplaceOutcome{step, error, {}};
}

// Why a file may not be replaced, or 0: only a regular file is, never what it stands for.
int Refusal(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        return EISDIR;
    }
    return S_ISREG(info.st_mode) ? 0 : NotRegularFile;
}

// The kernel's protected-symlinks rule: in a sticky folder that everyone may write, a link is
// followed only when it belongs to the follower or to the folder's owner.
bool MayFollow(const std::string& link, const struct stat& linkInfo) {
    FileSystem& files = CurrentFileSystem();
    if (linkInfo.st_uid == files.EffectiveUser()) {
        return true;
    }
    const std::string folder = FolderOf(link);
    struct stat folderInfo {};
    if (files.StatPath(folder.empty() ? "." : folder.c_str(), &folderInfo) != 0) {
        return false;
    }
    return (folderInfo.st_mode & SharedFolder) != SharedFolder ||
           folderInfo.st_uid == linkInfo.st_uid;
}

// The file that is really replaced: the end of a chain of links, or the name itself. Each link
// is followed by its own text, so that the folders on the way are the kernel's to walk.
TReplaceOutcome ResolveTarget(const std::string& path, std::string& target) {
    FileSystem& files = CurrentFileSystem();
    target = path;
    for (int links = 0;; ++links) {
        struct stat info {};
        if (files.StatLinkPath(target.c_str(), &info) != 0) {
            // A dangling link: replacing the link itself would lose it.
            return links == 0 ? TReplaceOutcome{} : Failure(TReplaceStep::CreateNew, errno);
        }
        if (!S_ISLNK(info.st_mode)) {
            return {};
        }
        if (links == MaxLinks) {
            return Failure(TReplaceStep::OpenExisting, ELOOP);
        }
        if (!MayFollow(target, info)) {
            return Failure(TReplaceStep::OpenExisting, UnsafeLink);
        }
        char buffer[PATH_MAX];
        const ssize_t length = files.ReadLink(target.c_str(), buffer, sizeof buffer);
        if (length < 0 || static_cast<size_t>(length) >= sizeof buffer) {
            return Failure(TReplaceStep::OpenExisting, length < 0 ? errno : ENAMETOOLONG);
        }
        const std::string destination(buffer, static_cast<size_t>(length));
        target = destination.starts_with('/') ? destination : FolderOf(target) + destination;
    }
}

// The start of name, cut to at most length bytes and never inside a UTF-8 character.
std::string Stem(const std::string& name, size_t length) {
    if (name.size() <= length) {
        return name;
    }
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length;
    }
    return name.substr(0, length);
}

// A hidden name beside the target, unique within the process and across processes, and within
// NAME_MAX however long the target's name is.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    const std::string suffix =
        "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
    const size_t room = NAME_MAX - 1 - suffix.size(); // 1: the leading "."
    return folder + "." + Stem(target.substr(folder.size()), room) + suffix;
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

// An existing file that may not be written is refused, as opening it for writing would be; the
// opened file is looked at again, as the name may have been given to something else meanwhile.
int WriteRefusal(const std::string& target) {
    FileSystem& files = CurrentFileSystem();
    const int fd = files.Open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    const int error = files.Stat(fd, &info) != 0 ? errno : Refusal(info);
    files.Close(fd);
    return error;
}

bool IsPermissionError(int error) {
    return error == EACCES || error == EPERM;
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
    if (TReplaceOutcome resolved = ResolveTarget(path, target);
        resolved.Failed != TReplaceStep::Done) {
        return resolved;
    }
    struct stat old {};
    const bool exists = files.StatPath(target.c_str(), &old) == 0;
    if (const int refusal = exists ? Refusal(old) : 0; refusal != 0) {
        return Failure(TReplaceStep::OpenExisting, refusal);
    }
    if (const int refusal = exists ? WriteRefusal(target) : 0; refusal != 0) {
        return Failure(TReplaceStep::OpenExisting, refusal);
    }
    std::string temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0) {
        const int error = errno;
        if (exists && IsPermissionError(error)) {
            return TReplaceOutcome{TReplaceStep::FolderLocked, error, FullPath(FolderOf(target))};
        }
        return Failure(exists ? TReplaceStep::Write : TReplaceStep::CreateNew, error);
    }
    if (!FillAndRename(fd, temporary, target, exists ? &old : nullptr, bytes)) {
        const int error = errno;
        files.Unlink(temporary.c_str());
        return Failure(TReplaceStep::Write, error);
    }
    SyncFolder(target);
    return {};
}

std::string ReplaceFailureReason(const TReplaceOutcome& outcome) {
    if (outcome.Failed == TReplaceStep::FolderLocked) {
        return Format(FolderMustBeWritable, Cp1251(outcome.Folder).c_str());
    }
    return FileReason(outcome.Error);
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
    case TReplaceStep::FolderLocked:
        pattern = CannotWriteFile;
        break;
    }
    Raise(Format(pattern, MessagePath(path).c_str(), ReplaceFailureReason(outcome).c_str()));
}

} // namespace dravik
