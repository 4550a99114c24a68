#include "base/FileSystem.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace dravik {

int FileSystem::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

ssize_t FileSystem::Read(int fd, void* data, size_t size) {
    return ::read(fd, data, size);
}

ssize_t FileSystem::Write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}

off_t FileSystem::Seek(int fd, off_t offset, int whence) {
    return ::lseek(fd, offset, whence);
}

int FileSystem::Sync(int fd) {
    return ::fsync(fd);
}

int FileSystem::Close(int fd) {
    return ::close(fd);
}

int FileSystem::Lock(int fd, int operation) {
    return ::flock(fd, operation);
}

int FileSystem::Stat(int fd, struct stat* info) {
    return ::fstat(fd, info);
}

int FileSystem::StatPath(const char* path, struct stat* info) {
    return ::stat(path, info);
}

int FileSystem::StatLinkPath(const char* path, struct stat* info) {
    return ::lstat(path, info);
}

int FileSystem::ChangeMode(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int FileSystem::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

int FileSystem::Unlink(const char* path) {
    return ::unlink(path);
}

char* FileSystem::ResolvePath(const char* path, char* buffer) {
    return ::realpath(path, buffer);
}

int FileSystem::Access(const char* path, int mode) {
    return ::access(path, mode);
}

int FileSystem::MakeFolder(const char* path, mode_t mode) {
    return ::mkdir(path, mode);
}

ssize_t FileSystem::ReadLink(const char* path, char* buffer, size_t size) {
    return ::readlink(path, buffer, size);
}

uid_t FileSystem::EffectiveUser() {
    return ::geteuid();
}

namespace {
FileSystem* Installed = nullptr;
}

FileSystem& SystemFileSystem() {
    static FileSystem system;
    return system;
}

FileSystem& CurrentFileSystem() {
    return Installed != nullptr ? *Installed : SystemFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fileSystem) : Previous(Installed) {
    Installed = &fileSystem;
}

ScopedFileSystem::~ScopedFileSystem() {
    Installed = Previous;
}

} // namespace dravik
