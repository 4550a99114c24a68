// Files a user or another account could hand the program: things that are not files, links
// planted in shared folders, huge files, long names, folders that cannot be written. None may
// hang, be replaced or end without a message.
#include "base/FileSystem.h"
#include "config/ConfigFile.h"
#include "config/FileContent.h"
#include "config/SafeFile.h"
#include "config/Settings.h"
#include "config/TempFolder.h"
#include "support/Messages.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

constexpr uid_t OtherUser = 65534;  // nobody
constexpr dev_t NullDevice = 0x103; // makedev(1, 3)

const std::string NotRegular = "Not a regular file";

bool IsRoot() {
    return ::geteuid() == 0;
}

// What stands under a name, as lstat sees it.
mode_t KindOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

struct TInput {
    const char* Name;
    std::function<std::string(const TTempFolder&)> Make; // the path, or "" when it cannot be made
    std::string Reason;
};

// Things that must not be read: each refused at once with its reason.
const TInput Unreadable[] = {
    {"fifo",
     [](const TTempFolder& folder) {
         const std::string path = folder.File("fifo.cfg");
         return ::mkfifo(path.c_str(), 0666) == 0 ? path : std::string();
     },
     NotRegular},
    {"device node",
     [](const TTempFolder& folder) {
         const std::string path = folder.File("null.cfg");
         return IsRoot() && ::mknod(path.c_str(), S_IFCHR | 0666, NullDevice) == 0 ? path
                                                                                   : std::string();
     },
     NotRegular},
    {"/dev/zero", [](const TTempFolder&) { return std::string("/dev/zero"); }, NotRegular},
    {"folder", [](const TTempFolder& folder) { return folder.Path; }, "Is a directory"},
    {"oversize file",
     [](const TTempFolder& folder) {
         const std::string path = folder.File("huge.cfg");
         WriteBytes(path, "");
         return ::truncate(path.c_str(), MaxFileBytes + 1) == 0 ? path : std::string();
     },
     "File too large"},
};

TEST(HostileFile, WhatIsNotAReadableFileIsRefusedAtOnceAndTheSettingsReadAsDefault) {
    for (const TInput& input : Unreadable) {
        SCOPED_TRACE(input.Name);
        TTempFolder folder;
        const std::string path = input.Make(folder);
        if (path.empty()) {
            std::printf("[  SKIPPED ] %s: needs root to be made\n", input.Name);
            continue;
        }
        EXPECT_EQ(MessageOf([&] { ReadConfigDocument(path); }),
                  "Cannot open file \"" + path + "\". " + input.Reason);
        EXPECT_EQ(LoadPortSetting(path), 1);
    }
}

TEST(HostileFile, AFileOfTheLargestSizeIsStillRead) {
    TTempFolder folder;
    const std::string path = folder.File("large.cfg");
    WriteBytes(path, "");
    ASSERT_EQ(::truncate(path.c_str(), MaxFileBytes), 0);
    EXPECT_EQ(TryReadFileContent(path).Bytes.size(), MaxFileBytes);
}

// A regular file that says nothing of its size and never ends, as some files of /proc.
class TEndlessFileSystem : public FileSystem {
public:
    int Stat(int, struct stat* info) override { return Regular(info); }
    int StatPath(const char*, struct stat* info) override { return Regular(info); }
    int Open(const char*, int, mode_t) override { return ::dup(0); }
    ssize_t Read(int, void* data, size_t size) override {
        std::memset(data, ' ', size);
        return static_cast<ssize_t>(size);
    }
    int Lock(int, int) override { return 0; }

private:
    static int Regular(struct stat* info) {
        *info = {};
        info->st_mode = S_IFREG | 0644;
        return 0;
    }
};

// A name that is a regular file when looked at, and a fifo once opened.
class TSwappedFileSystem : public FileSystem {
public:
    int Stat(int fd, struct stat* info) override {
        const int result = FileSystem::Stat(fd, info);
        info->st_mode = S_IFIFO | 0644;
        return result;
    }
};

TEST(HostileFile, AFileThatGrowsWhileReadOrChangesKindAfterTheLookIsRefused) {
    TTempFolder folder;
    const std::string path = folder.File("a.cfg");
    WriteBytes(path, "<configure/>");
    {
        TEndlessFileSystem endless;
        ScopedFileSystem scoped(endless);
        EXPECT_EQ(MessageOf([&] { ReadConfigDocument(path); }),
                  "Cannot read file \"" + path + "\". File too large");
    }
    TSwappedFileSystem swapped;
    ScopedFileSystem scoped(swapped);
    EXPECT_EQ(MessageOf([&] { ReadConfigDocument(path); }),
              "Cannot open file \"" + path + "\". " + NotRegular);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(path, "new"); }),
              "Cannot open file \"" + path + "\". " + NotRegular);
    EXPECT_EQ(ReadBytes(path), "<configure/>");
}

TEST(HostileFile, ASaveOntoWhatIsNotARegularFileLeavesItAsItIs) {
    for (const TInput& input : Unreadable) {
        if (std::string(input.Name) == "oversize file" || std::string(input.Name) == "/dev/zero") {
            continue; // a large file is replaced like any other; /dev/zero is not ours to risk
        }
        SCOPED_TRACE(input.Name);
        TTempFolder folder;
        const std::string path = input.Make(folder);
        if (path.empty()) {
            std::printf("[  SKIPPED ] %s: needs root to be made\n", input.Name);
            continue;
        }
        const mode_t kind = KindOf(path);
        const std::set<std::string> names = folder.Names();
        EXPECT_EQ(MessageOf([&] { SaveConfigFile(path, TTerminalConfig()); }),
                  "Cannot open file \"" + path + "\". " + input.Reason);
        EXPECT_EQ(MessageOf([&] { SavePortSetting(path, 7); }), "Unable to write to " + path);
        EXPECT_EQ(KindOf(path), kind);
        EXPECT_EQ(folder.Names(), names);
    }
}

// Makes the links of one owner look as if another user had planted them.
class TPlantedLinks : public FileSystem {
public:
    explicit TPlantedLinks(uid_t follower) : Follower(follower) {}
    uid_t EffectiveUser() override { return Follower; }

private:
    uid_t Follower;
};

struct TShared {
    TTempFolder Folder;
    std::string Shared; // sticky and writable by everyone
    std::string Secret; // a file only its owner may write
    std::string Link;   // in Shared, to Secret

    TShared() : Shared(Folder.File("shared")), Secret(Folder.File("secret")) {
        Link = Shared + "/planted.cfg";
        ::mkdir(Shared.c_str(), 0777);
        ::chmod(Shared.c_str(), 01777);
        WriteBytes(Secret, "secret");
        ::chmod(Secret.c_str(), 0600);
        ::symlink(Secret.c_str(), Link.c_str());
    }
};

const std::string UnsafeLinkReason =
    "The symbolic link lies in a shared folder and belongs to another user";

TEST(HostileFile, ALinkOfAnotherUserInASharedFolderIsNotFollowedThroughTheSeam) {
    TShared shared;
    {
        // The link and the folder are ours; the saving user is someone else.
        TPlantedLinks other(::geteuid() + 1);
        ScopedFileSystem scoped(other);
        // The folder's owner planted it: followed.
        ReplaceFile(shared.Link, "by the folder's owner");
        EXPECT_EQ(ReadBytes(shared.Secret), "by the folder's owner");
    }
    const std::string inner = shared.Folder.File("inner.cfg");
    ASSERT_EQ(::symlink("shared/planted.cfg", inner.c_str()), 0);
    struct TOtherOwner : FileSystem {
        uid_t EffectiveUser() override { return ::geteuid() + 1; }
        int StatPath(const char* path, struct stat* info) override {
            const int result = FileSystem::StatPath(path, info);
            info->st_uid += 2; // every folder belongs to a third user
            return result;
        }
    } otherOwner;
    ScopedFileSystem scoped(otherOwner);
    EXPECT_EQ(MessageOf([&] { ReplaceFile(shared.Link, "planted"); }),
              "Cannot open file \"" + shared.Link + "\". " + UnsafeLinkReason);
    // A chain is judged link by link: the first, in a private folder, is followed.
    EXPECT_EQ(MessageOf([&] { ReplaceFile(inner, "planted"); }),
              "Cannot open file \"" + inner + "\". " + UnsafeLinkReason);
    EXPECT_EQ(ReadBytes(shared.Secret), "by the folder's owner");
}

TEST(HostileFile, ALinkPlantedByAnotherUserInASharedFolderIsNotFollowedOnRealFiles) {
    if (!IsRoot()) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    TShared shared;
    ASSERT_EQ(::lchown(shared.Link.c_str(), OtherUser, OtherUser), 0);
    EXPECT_EQ(MessageOf([&] { SaveConfigFile(shared.Link, TTerminalConfig()); }),
              "Cannot open file \"" + shared.Link + "\". " + UnsafeLinkReason);
    EXPECT_EQ(ReadBytes(shared.Secret), "secret");
    EXPECT_EQ(KindOf(shared.Link), S_IFLNK);

    // Outside a shared folder the same link is followed, as the kernel would.
    ASSERT_EQ(::chmod(shared.Shared.c_str(), 0755), 0);
    ReplaceFile(shared.Link, "replaced");
    EXPECT_EQ(ReadBytes(shared.Secret), "replaced");
}

TEST(HostileFile, ANameOfAnyValidLengthIsSaved) {
    for (const size_t length : {244, 255}) {
        TTempFolder folder;
        const std::string name = std::string(length - 4, 'n') + ".cfg";
        ReplaceFile(folder.File(name), "first");
        ReplaceFile(folder.File(name), "second");
        EXPECT_EQ(ReadBytes(folder.File(name)), "second");
        EXPECT_EQ(folder.Names(), std::set<std::string>{name});
    }
    // A name of Cyrillic letters is cut for the temporary name between two letters.
    TTempFolder folder;
    std::string name;
    while (name.size() < 250) {
        name += "ы";
    }
    ReplaceFile(folder.File(name), "x");
    EXPECT_EQ(ReadBytes(folder.File(name)), "x");
}

// Runs work as another user when the test runs as root, who may write any folder; gives the
// message it raised.
std::string MessageAsOtherUser(const std::function<void()>& work) {
    if (!IsRoot()) {
        return MessageOf(work);
    }
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return "<no pipe>";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        const std::string message =
            ::setgid(OtherUser) == 0 && ::setuid(OtherUser) == 0 ? MessageOf(work) : "<setuid>";
        ::write(pipe[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    std::string message;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) {
        message.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipe[0]);
    ::waitpid(child, nullptr, 0);
    return message;
}

TEST(HostileFile, AWritableFileInAFolderThatCannotBeWrittenNamesTheFolder) {
    TTempFolder folder;
    const std::string locked = folder.File("locked");
    const std::string path = locked + "/a.cfg";
    ASSERT_EQ(::mkdir(locked.c_str(), 0777), 0);
    WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.Path.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
    const std::string folderText = "The folder \"" + locked + "\" must be writable for a safe save";
    EXPECT_EQ(MessageAsOtherUser([&] { SaveConfigFile(path, TTerminalConfig()); }),
              "Cannot write file \"" + path + "\". " + folderText);
    EXPECT_EQ(MessageAsOtherUser([&] { SavePortSetting(path, 7); }),
              "Unable to write to " + path + ". " + folderText);
    EXPECT_EQ(ReadBytes(path), "old");
    ::chmod(locked.c_str(), 0755);
}

} // namespace
} // namespace dravik
