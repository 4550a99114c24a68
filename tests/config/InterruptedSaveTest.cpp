// A .cfg save and a settings save stopped at any step of the file work, by a failing call or by
// the death of the process, leave the old file or the new one, never a broken one.
#include "base/FileSystem.h"
#include "config/ConfigFile.h"
#include "config/Settings.h"
#include "support/Files.h"
#include "support/Messages.h"
#include "support/TempFolder.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

constexpr const char* NoException = "<no exception>";
constexpr int MostCalls = 1000; // far more than one save makes

// Fails the call with the given number, counting every call of the seam from 1, with EIO.
class TCountdownFileSystem : public FileSystem {
public:
    explicit TCountdownFileSystem(int failing) : Failing(failing) {}

    int Calls = 0;

    int Open(const char* path, int flags, mode_t mode) override {
        return Due() ? Fail() : FileSystem::Open(path, flags, mode);
    }
    ssize_t Read(int fd, void* data, size_t size) override {
        return Due() ? Fail() : FileSystem::Read(fd, data, size);
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        return Due() ? Fail() : FileSystem::Write(fd, data, size);
    }
    off_t Seek(int fd, off_t offset, int whence) override {
        return Due() ? Fail() : FileSystem::Seek(fd, offset, whence);
    }
    int Sync(int fd) override { return Due() ? Fail() : FileSystem::Sync(fd); }
    int Close(int fd) override {
        const int result = FileSystem::Close(fd); // the descriptor is gone either way
        return Due() ? Fail() : result;
    }
    int Lock(int fd, int operation) override {
        return Due() ? Fail() : FileSystem::Lock(fd, operation);
    }
    int Stat(int fd, struct stat* info) override {
        return Due() ? Fail() : FileSystem::Stat(fd, info);
    }
    int StatPath(const char* path, struct stat* info) override {
        return Due() ? Fail() : FileSystem::StatPath(path, info);
    }
    int StatLinkPath(const char* path, struct stat* info) override {
        return Due() ? Fail() : FileSystem::StatLinkPath(path, info);
    }
    int ChangeMode(int fd, mode_t mode) override {
        return Due() ? Fail() : FileSystem::ChangeMode(fd, mode);
    }
    int Rename(const char* from, const char* to) override {
        return Due() ? Fail() : FileSystem::Rename(from, to);
    }
    int Unlink(const char* path) override { return Due() ? Fail() : FileSystem::Unlink(path); }
    char* ResolvePath(const char* path, char* buffer) override {
        if (Due()) {
            errno = EIO;
            return nullptr;
        }
        return FileSystem::ResolvePath(path, buffer);
    }

private:
    bool Due() { return ++Calls == Failing; }
    static int Fail() {
        errno = EIO;
        return -1;
    }

    int Failing;
};

// The process dies where the temporary file would be renamed over the real one.
class TKilledAtRename : public FileSystem {
public:
    int Rename(const char*, const char*) override {
        ::raise(SIGKILL);
        return -1;
    }
};

// Records the temporary files a save creates.
class TRecordingFileSystem : public FileSystem {
public:
    std::vector<std::string> Created;

    int Open(const char* path, int flags, mode_t mode) override {
        if ((flags & O_EXCL) != 0) {
            Created.emplace_back(path);
        }
        return FileSystem::Open(path, flags, mode);
    }
};

TTerminalConfig Record(int32_t hmin) {
    TTerminalConfig config;
    config.Tanks[2] = {1, hmin, 50, 90};
    config.Script.Add(" 04 01 02");
    config.Script.Add(" 00");
    return config;
}

TTerminalConfig Loaded(const std::string& path) {
    TTerminalConfig config;
    FillConfig(ReadConfigDocument(path), config);
    return config;
}

// One kind of save: what it does to the file at path, the old content it meets (empty: no
// file) and the content it should leave.
struct TSave {
    const char* Name;
    std::string FileName;
    std::string Old;
    std::function<void(const std::string&)> Run;
    std::string New;
};

std::vector<TSave> Saves() {
    const std::string oldSettings = "; mine\r\n[conn]\r\nport=3\r\n[keep]\r\nthis=1\r\n";
    const auto saveConfig = [](const std::string& path) { SaveConfigFile(path, Record(20)); };
    const auto savePort = [](const std::string& path) { SavePortSetting(path, 9); };
    return {
        {"cfg over an old file", "a.cfg", ConfigToXml(Record(10)), saveConfig,
         ConfigToXml(Record(20))},
        {"new cfg", "a.cfg", "", saveConfig, ConfigToXml(Record(20))},
        {"settings over an old file", "s.ini", oldSettings, savePort,
         "; mine\r\n[conn]\r\nport=9\r\n[keep]\r\nthis=1\r\n"},
        {"new settings", "s.ini", "", savePort, "[conn]\r\nport=9\r\n"},
    };
}

std::set<std::string> OnlyThe(const std::string& name) {
    return {name};
}

TEST(InterruptedSave, AFailingCallAtAnyStepLeavesTheOldFileOrTheNewOne) {
    for (const TSave& save : Saves()) {
        SCOPED_TRACE(save.Name);
        int failed = 0;
        int step = 1;
        for (; step < MostCalls; ++step) {
            SCOPED_TRACE(step);
            TTempFolder folder;
            const std::string path = folder.File(save.FileName);
            if (!save.Old.empty()) {
                WriteBytes(path, save.Old);
            }
            TCountdownFileSystem countdown(step);
            std::string message;
            {
                ScopedFileSystem scoped(countdown);
                message = MessageOf([&] { save.Run(path); });
            }
            const std::set<std::string> present = folder.Names();
            if (present.empty()) {
                EXPECT_TRUE(save.Old.empty());
            } else {
                EXPECT_EQ(present, OnlyThe(save.FileName)); // no temporary file left
                const std::string now = ReadBytes(path);
                EXPECT_TRUE(now == save.Old || now == save.New) << now;
            }
            if (message == NoException) {
                EXPECT_EQ(ReadBytes(path), save.New);
            } else {
                ++failed;
            }
            if (countdown.Calls < step) {
                break; // the save ended before the call that was to fail: every step was tried
            }
        }
        EXPECT_LT(step, MostCalls);
        EXPECT_GT(failed, 3);
    }
}

// Runs save in a child process that dies at the rename; true when it died there.
bool KilledAtRename(const std::function<void()>& save) {
    const pid_t child = ::fork();
    if (child == 0) {
        TKilledAtRename killing;
        ScopedFileSystem scoped(killing);
        try {
            save();
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGKILL;
}

TEST(InterruptedSave, AProcessKilledBeforeTheRenameLeavesTheOldFileAndALeftoverThatHidesNothing) {
    for (const TSave& save : Saves()) {
        SCOPED_TRACE(save.Name);
        TTempFolder folder;
        const std::string path = folder.File(save.FileName);
        if (!save.Old.empty()) {
            WriteBytes(path, save.Old);
        }
        ASSERT_TRUE(KilledAtRename([&] { save.Run(path); }));

        std::set<std::string> names = folder.Names();
        EXPECT_EQ(names.erase(save.FileName), save.Old.empty() ? 0u : 1u);
        ASSERT_EQ(names.size(), 1u);
        const std::string leftover = *names.begin();
        EXPECT_TRUE(leftover.starts_with("." + save.FileName + ".")) << leftover;
        EXPECT_EQ(ReadBytes(folder.File(leftover)), save.New); // complete, but never in place
        if (save.Old.empty()) {
            EXPECT_EQ(ReadBytes(path), "");
        } else {
            EXPECT_EQ(ReadBytes(path), save.Old);
        }

        // The next run reads the real file and saves beside the leftover, which it leaves alone.
        if (save.FileName.ends_with(".cfg")) {
            if (save.Old.empty()) {
                EXPECT_EQ(MessageOf([&] { Loaded(path); }),
                          "Cannot open file \"" + path + "\". No such file or directory");
            } else {
                EXPECT_EQ(Loaded(path), Record(10));
            }
        } else {
            EXPECT_EQ(LoadPortSetting(path), save.Old.empty() ? 1 : 3);
        }
        EXPECT_EQ(MessageOf([&] { save.Run(path); }), NoException);
        EXPECT_EQ(ReadBytes(path), save.New);
        EXPECT_EQ(folder.Names(), (std::set<std::string>{save.FileName, leftover}));
    }
}

// The temporary name a save in this process takes after the one it just took.
std::string NextTemporaryName(const std::string& taken, int ahead) {
    const size_t end = taken.rfind(".tmp");
    const size_t dot = taken.rfind('.', end - 1);
    const int counter = std::stoi(taken.substr(dot + 1, end - dot - 1));
    return taken.substr(0, dot + 1) + std::to_string(counter + ahead) + ".tmp";
}

TEST(InterruptedSave, ALeftoverUnderTheNameASaveWouldTakeIsPassedOverAndNeverFollowed) {
    TTempFolder folder;
    const std::string path = folder.File("a.cfg");
    const std::string elsewhere = folder.File("elsewhere");
    WriteBytes(elsewhere, "not to be touched");
    TRecordingFileSystem recording;
    {
        ScopedFileSystem scoped(recording);
        SaveConfigFile(path, Record(10));
    }
    ASSERT_EQ(recording.Created.size(), 1u);
    const std::string planted = NextTemporaryName(recording.Created[0], 1);
    const std::string linked = NextTemporaryName(recording.Created[0], 2);
    WriteBytes(planted, "stale");
    ASSERT_EQ(::symlink(elsewhere.c_str(), linked.c_str()), 0);

    SaveConfigFile(path, Record(20));
    EXPECT_EQ(Loaded(path), Record(20));
    EXPECT_EQ(ReadBytes(planted), "stale");
    EXPECT_EQ(ReadBytes(elsewhere), "not to be touched");
    EXPECT_EQ(folder.Names().size(), 4u); // a.cfg, elsewhere and the two planted names
}

} // namespace
} // namespace dravik
