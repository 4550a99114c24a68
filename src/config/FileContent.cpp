#include "config/FileContent.h"

#include "base/FileSystem.h"
#include "base/Text.h"
#include "config/FileMessages.h"
#include "config/FilePath.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace dravik {
namespace {

constexpr size_t ReadChunk = 64 * 1024;

// Refused only while a writer holds the exclusive lock, like a share-deny-write open; a file
// system without locks reads as unlocked.
int LockForReading(int fd) {
    while (CurrentFileSystem().Lock(fd, LOCK_SH | LOCK_NB) != 0) {
        if (errno != EINTR) {
            return errno == EWOULDBLOCK ? errno : 0;
        }
    }
    return 0;
}

// Why a file is not read, or 0.
int Refusal(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(info.st_mode)) {
        return NotRegularFile;
    }
    return static_cast<uint64_t>(info.st_size) > MaxFileBytes ? EFBIG : 0;
}

// The file may grow while it is read, or say nothing of its size (files of /proc).
int ReadAll(int fd, std::string& bytes) {
    char chunk[ReadChunk];
    for (;;) {
        if (bytes.size() > MaxFileBytes) {
            return EFBIG;
        }
        const ssize_t got = CurrentFileSystem().Read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            return 0;
        }
        bytes.append(chunk, static_cast<size_t>(got));
    }
}

} // namespace

TFileContent TryReadFileContent(const std::string& path) {
    FileSystem& files = CurrentFileSystem();
    TFileContent content;
    struct stat info {};
    // Looked at before opening, as opening a device can itself act (a serial line's modem lines).
    if (files.StatPath(path.c_str(), &info) == 0 && (content.Error = Refusal(info)) != 0) {
        return content;
    }
    const int fd = files.Open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) {
        content.Error = errno;
        return content;
    }
    // And again after: the name may have been given to something else in between.
    content.Error = files.Stat(fd, &info) != 0 ? errno : Refusal(info);
    if (content.Error == 0) {
        content.Error = LockForReading(fd);
    }
    content.Opened = content.Error == 0;
    if (content.Opened) {
        content.Bytes.reserve(static_cast<size_t>(info.st_size));
        content.Error = ReadAll(fd, content.Bytes);
    }
    files.Close(fd);
    return content;
}

std::string ReadFileContent(const std::string& path) {
    TFileContent content = TryReadFileContent(path);
    if (content.Error != 0) {
        const char* pattern = content.Opened ? CannotReadFile : CannotOpenFile;
        Raise(Format(pattern, MessagePath(path).c_str(), FileReason(content.Error).c_str()));
    }
    return std::move(content.Bytes);
}

} // namespace dravik
