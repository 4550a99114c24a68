#include "config/SafeFile.h"

#include "base/FileSystem.h"
#include "config/ConfigFile.h"
#include "config/TempFolder.h"
#include "support/Messages.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

enum class TCall {
    None,
    OpenTarget,
    CreateTemporary,
    Write,
    ShortWrite,
    ChangeMode,
    Sync,
    Close,
    Rename
};

// Fails one kind of call with an errno; every other call goes to the system.
class TFailingFileSystem : public FileSystem {
public:
    TFailingFileSystem(TCall call, int error) : Call(call), Error(error) {}

    int Open(const char* path, int flags, mode_t mode) override {
        const bool creating = (flags & O_CREAT) != 0;
        const bool writing = (flags & O_ACCMODE) == O_WRONLY;
        if ((Call == TCall::CreateTemporary && creating) ||
            (Call == TCall::OpenTarget && writing && !creating)) {
            return Fail();
        }
        return FileSystem::Open(path, flags, mode);
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        if (Call == TCall::ShortWrite && !WroteOnce) {
            WroteOnce = true;
            return FileSystem::Write(fd, data, size / 2);
        }
        return Call == TCall::Write || Call == TCall::ShortWrite
                   ? Fail()
                   : FileSystem::Write(fd, data, size);
    }
    int ChangeMode(int fd, mode_t mode) override {
        return Call == TCall::ChangeMode ? Fail() : FileSystem::ChangeMode(fd, mode);
    }
    int Sync(int fd) override { return Call == TCall::Sync ? Fail() : FileSystem::Sync(fd); }
    int Close(int fd) override {
        const int result = FileSystem::Close(fd); // the descriptor is gone either way
        return Call == TCall::Close ? Fail() : result;
    }
    int Rename(const char* from, const char* to) override {
        return Call == TCall::Rename ? Fail() : FileSystem::Rename(from, to);
    }

private:
    int Fail() const {
        errno = Error;
        return -1;
    }

    TCall Call;
    int Error;
    bool WroteOnce = false;
};

struct TFault {
    TCall Call;
    int Error;
    std::string OverOldFile; // the message when a file is there, "%s" its full path
    std::string NewFile;     // the message when there is none
};

// The pattern with "%s" the path and "%F" its folder.
std::string WithPath(std::string pattern, const std::string& path) {
    pattern.replace(pattern.find("%s"), 2, path);
    const size_t folder = pattern.find("%F");
    return folder == std::string::npos
               ? pattern
               : pattern.replace(folder, 2, path.substr(0, path.rfind('/')));
}

TEST(SafeFile, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile) {
    const TFault cases[] = {
        {TCall::OpenTarget, EACCES, "Cannot open file \"%s\". Permission denied", ""},
        {TCall::CreateTemporary, EACCES,
         "Cannot write file \"%s\". The folder \"%F\" must be writable for a safe save",
         "Cannot create file \"%s\". Permission denied"},
        {TCall::CreateTemporary, ENOSPC, "Cannot write file \"%s\". No space left on device",
         "Cannot create file \"%s\". No space left on device"},
        {TCall::Write, ENOSPC, "Cannot write file \"%s\". No space left on device",
         "Cannot write file \"%s\". No space left on device"},
        {TCall::ShortWrite, ENOSPC, "Cannot write file \"%s\". No space left on device",
         "Cannot write file \"%s\". No space left on device"},
        {TCall::ChangeMode, EPERM, "Cannot write file \"%s\". Operation not permitted", ""},
        {TCall::Sync, EIO, "Cannot write file \"%s\". Input/output error",
         "Cannot write file \"%s\". Input/output error"},
        {TCall::Close, EIO, "Cannot write file \"%s\". Input/output error",
         "Cannot write file \"%s\". Input/output error"},
        {TCall::Rename, EXDEV, "Cannot write file \"%s\". Invalid cross-device link",
         "Cannot write file \"%s\". Invalid cross-device link"},
    };
    const std::string content(100000, 'n');
    for (const TFault& c : cases) {
        SCOPED_TRACE(c.OverOldFile);
        TTempFolder folder;
        const std::string path = folder.File("a.cfg");
        const std::string base = folder.Path;
        WriteBytes(path, "old content");
        ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
        {
            TFailingFileSystem failing(c.Call, c.Error);
            ScopedFileSystem scoped(failing);
            EXPECT_EQ(MessageOf([&] { ReplaceFile(path, content); }),
                      WithPath(c.OverOldFile, base + "/a.cfg"));
            EXPECT_EQ(MessageOf([&] { ReplaceFile(folder.File("new.cfg"), content); }),
                      c.NewFile.empty() ? "<no exception>"
                                        : WithPath(c.NewFile, base + "/new.cfg"));
        }
        EXPECT_EQ(ReadBytes(path), "old content");
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        const std::set<std::string> expected = c.NewFile.empty()
                                                   ? std::set<std::string>{"a.cfg", "new.cfg"}
                                                   : std::set<std::string>{"a.cfg"};
        EXPECT_EQ(folder.Names(), expected);
    }
}

TEST(SafeFile, KeepsThePermissionBitsAndALinkStaysALink) {
    TTempFolder folder;
    const std::string target = folder.File("real.cfg");
    const std::string link = folder.File("link.cfg");
    WriteBytes(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    ASSERT_EQ(::symlink("real.cfg", link.c_str()), 0);

    ReplaceFile(link, "new content");
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadBytes(target), "new content");
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"link.cfg", "real.cfg"}));

    const std::string dangling = folder.File("dangling.cfg");
    ASSERT_EQ(::symlink("nowhere/x.cfg", dangling.c_str()), 0);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(dangling, "x"); }),
              "Cannot create file \"" + folder.Path + "/dangling.cfg\". No such file or directory");
}

TEST(SafeFile, CreatesANewFileWithTheUsualModeAndReplacesAnOldOneWhole) {
    TTempFolder folder;
    const std::string path = folder.File("b.cfg");
    const mode_t mask = ::umask(022);
    ReplaceFile(path, "first, longer content");
    ReplaceFile(path, "second");
    ::umask(mask);
    EXPECT_EQ(ReadBytes(path), "second");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"b.cfg"});
    EXPECT_EQ(MessageOf([&] { ReplaceFile(folder.File("none/c.cfg"), "x"); }),
              "Cannot create file \"" + folder.Path + "/none/c.cfg\". No such file or directory");
}

TEST(SafeFile, SavingAConfigurationOnAFullDiskKeepsTheOldOne) {
    TTempFolder folder;
    const std::string path = folder.File("c.cfg");
    WriteBytes(path, "the configuration of yesterday");
    TFailingFileSystem full(TCall::Write, ENOSPC);
    ScopedFileSystem scoped(full);
    TTerminalConfig config;
    EXPECT_NE(MessageOf([&] { SaveConfigFile(path, config); }).find("No space left on device"),
              std::string::npos);
    EXPECT_EQ(ReadBytes(path), "the configuration of yesterday");
    EXPECT_EQ(folder.Names(), std::set<std::string>{"c.cfg"});
}

} // namespace
} // namespace dravik
