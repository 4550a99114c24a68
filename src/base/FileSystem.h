#pragma once

#include <cstddef>
#include <sys/stat.h>
#include <sys/types.h>

namespace dravik {

// The one seam to files: the POSIX calls that the log, the .cfg files and the settings use, with
// their own return and errno conventions, so that tests can inject failures (a full disk, a short
// write, EINTR) by overriding single calls.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual ssize_t Read(int fd, void* data, size_t size);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual off_t Seek(int fd, off_t offset, int whence);
    virtual int Sync(int fd);
    virtual int Close(int fd);
    virtual int Lock(int fd, int operation); // flock
    virtual int Stat(int fd, struct stat* info);
    virtual int StatPath(const char* path, struct stat* info);     // follows links
    virtual int StatLinkPath(const char* path, struct stat* info); // does not follow links
    virtual int ChangeMode(int fd, mode_t mode);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
    // realpath(3) into buffer of PATH_MAX bytes; nullptr with errno on failure.
    virtual char* ResolvePath(const char* path, char* buffer);
    virtual int Access(const char* path, int mode);        // access(2) with the real user's rights
    virtual int MakeFolder(const char* path, mode_t mode); // mkdir(2)
    virtual ssize_t ReadLink(const char* path, char* buffer, size_t size); // readlink(2)
    virtual uid_t EffectiveUser();                                         // geteuid(2)
};

// The real file system: every call goes straight to the system.
FileSystem& SystemFileSystem();

// The file system every component uses; tests swap it with ScopedFileSystem.
FileSystem& CurrentFileSystem();

class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& fileSystem);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* Previous;
};

} // namespace dravik
