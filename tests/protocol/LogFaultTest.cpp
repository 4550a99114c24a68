// A link log that cannot be written, whatever the reason, costs the log and nothing else: the
// transfers against dravik_sim go through as they do with a healthy disk.
#include "base/FileSystem.h"
#include "protocol/Terminal.h"
#include "support/Messages.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;

constexpr const char* NoException = "<no exception>";
constexpr std::string_view LogName = "port1.log";
constexpr size_t BytesBeforeFull = 100; // a disk that fills in the middle of a block

enum class TLogFault { None, OpenFails, WriteFails, FillsUp };

// Fails the link log's own calls; every other file and the serial line are left alone.
class TFailingLogFiles : public FileSystem {
public:
    TFailingLogFiles(TLogFault fault, int error) : Fault(fault), Error(error) {}

    int Open(const char* path, int flags, mode_t mode) override {
        const bool log = std::filesystem::path(path).filename() == LogName;
        if (log && Fault == TLogFault::OpenFails) {
            errno = Error;
            return -1;
        }
        const int fd = FileSystem::Open(path, flags, mode);
        LogFile = log ? fd : LogFile;
        return fd;
    }
    ssize_t Write(int fd, const void* data, size_t size) override {
        if (fd != LogFile || Fault == TLogFault::None) {
            return FileSystem::Write(fd, data, size);
        }
        const size_t room = Fault == TLogFault::FillsUp ? BytesBeforeFull - Written : 0;
        if (room == 0) {
            errno = Error;
            return -1;
        }
        const ssize_t n = FileSystem::Write(fd, data, std::min(size, room));
        Written += n > 0 ? static_cast<size_t>(n) : 0;
        return n;
    }

private:
    TLogFault Fault;
    int Error;
    int LogFile = -1;
    size_t Written = 0;
};

class LogFaultTest : public ::testing::Test {
protected:
    test::TempDir Dir;
    test::Simulator Sim;
    TTerminal Terminal;

    void SetUp() override {
        const std::string link = Sim.Link();
        Terminal.Resolver = FixedDevice(link);
    }

    static TTerminalConfig Sample() {
        TTerminalConfig config;
        config.Tanks[3] = {1, 10, 50, 90};
        config.Tanks[11] = {1, 20, 30, 40};
        config.Script.Assign(std::vector<std::string>{" 04 01 02", " 00"});
        return config;
    }

    // A write and a read through the faulty log, then a read with a healthy one.
    void ExpectTransfersUnaffected(FileSystem& files) {
        TTerminalConfig read;
        {
            ScopedFileSystem scoped(files);
            EXPECT_EQ(MessageOf([&] { Terminal.WriteConfig(Sample()); }), NoException);
            EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(read); }), NoException);
        }
        EXPECT_FALSE(Terminal.IsConnected());
        EXPECT_EQ(read, Sample());
        TTerminalConfig again;
        EXPECT_EQ(MessageOf([&] { Terminal.ReadConfig(again); }), NoException);
        EXPECT_EQ(again, Sample());
    }
};

TEST_F(LogFaultTest, ALogThatCannotBeOpenedOrWrittenNeverDisturbsATransfer) {
    struct Case {
        const char* What;
        TLogFault Fault;
        int Error;
    };
    const Case cases[] = {
        {"a folder that may not be written", TLogFault::OpenFails, EACCES},
        {"a read-only file system", TLogFault::OpenFails, EROFS},
        {"a full disk", TLogFault::WriteFails, ENOSPC},
        {"a disk that fills during the block", TLogFault::FillsUp, ENOSPC},
        {"a failing disk", TLogFault::WriteFails, EIO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TFailingLogFiles files(c.Fault, c.Error);
        ExpectTransfersUnaffected(files);
    }
}

TEST_F(LogFaultTest, AReadOnlyFolderOrALogHeldByAnotherProgramNeverDisturbsATransfer) {
    const int held = ::open(LogName.data(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    ExpectTransfersUnaffected(SystemFileSystem());
    ::close(held);
    EXPECT_EQ(std::filesystem::file_size(LogName), 0u) << "the other program's lock is kept";

    std::filesystem::remove(LogName);
    ASSERT_EQ(::chmod(".", 0555), 0);
    ExpectTransfersUnaffected(SystemFileSystem());
    if (::geteuid() != 0) { // the superuser writes in any folder
        EXPECT_FALSE(std::filesystem::exists(LogName));
    }
    ::chmod(".", 0755);
}

} // namespace
} // namespace dravik
