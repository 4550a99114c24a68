#include "config/FileContent.h"

#include "base/FileSystem.h"
#include "base/SystemError.h"
#include "base/Text.h"
#include "config/FileMessages.h"
#include "config/FilePath.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

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

int ReadAll(int fd, std::string& bytes) {
    char chunk[ReadChunk];
    for (;;) {
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
    const int fd = files.Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY, 0);
    if (fd < 0) {
        content.Error = errno;
        return content;
    }
    content.Error = LockForReading(fd);
    content.Opened = content.Error == 0;
    if (content.Opened) {
        content.Error = ReadAll(fd, content.Bytes);
    }
    files.Close(fd);
    return content;
}

std::string ReadFileContent(const std::string& path) {
    TFileContent content = TryReadFileContent(path);
    if (content.Error != 0) {
        const char* pattern = content.Opened ? CannotReadFile : CannotOpenFile;
        Raise(Format(pattern, MessagePath(path).c_str(), SystemText(content.Error).c_str()));
    }
    return std::move(content.Bytes);
}

} // namespace dravik
