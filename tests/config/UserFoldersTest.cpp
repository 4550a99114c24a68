#include "config/UserFolders.h"

#include "base/FileSystem.h"
#include "config/Settings.h"
#include "support/Files.h"
#include "support/TempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::TTempFolder;

// Sets or unsets an environment variable for one test and puts back what was there.
class TScopedVariable {
public:
    TScopedVariable(const char* name, const std::optional<std::string>& value) : Name(name) {
        if (const char* old = std::getenv(name)) {
            Previous = old;
        }
        Set(value);
    }
    ~TScopedVariable() { Set(Previous); }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(Name, value->c_str(), 1);
        } else {
            ::unsetenv(Name);
        }
    }

    const char* Name;
    std::optional<std::string> Previous;
};

// The tests run as any user, root included, for whom every folder is writable: the folders a user
// may not write are named to the seam instead.
class TReadOnlyPaths : public FileSystem {
public:
    int Access(const char* path, int mode) override {
        std::string name(path);
        if (name.size() > 1 && name.ends_with('/')) {
            name.pop_back();
        }
        if ((mode & W_OK) != 0 && ReadOnly.contains(name)) {
            errno = EACCES;
            return -1;
        }
        return FileSystem::Access(path, mode);
    }

    std::set<std::string> ReadOnly;
};

class UserFoldersTest : public ::testing::Test {
protected:
    TTempFolder Home;
    TTempFolder Program;
    TReadOnlyPaths Files;
    ScopedFileSystem UseFiles{Files};
    TScopedVariable HomeVariable{"HOME", Home.Path};
    std::string Beside = Program.File("dravik_conf.ini");
};

TEST_F(UserFoldersTest, KeepsTheSettingsBesideTheProgramWhereTheUserMayWriteThem) {
    TScopedVariable config("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(ChooseSettingsFile(Beside), Beside);
    test::WriteBytes(Beside, "[conn]\r\nport=4\r\n");
    EXPECT_EQ(ChooseSettingsFile(Beside), Beside);
    // An existing file the user may write stays in use even in a folder they may not write.
    Files.ReadOnly.insert(Program.Path);
    EXPECT_EQ(ChooseSettingsFile(Beside), Beside);
}

TEST_F(UserFoldersTest, ElseKeepsThemInTheUsersConfigFolder) {
    Files.ReadOnly.insert(Program.Path);
    const std::string underHome = Home.Path + "/.config/dravik_conf/dravik_conf.ini";
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, underHome},
        {"", underHome},
        {"relative/config", underHome}, // the base directory rules ignore a relative value
        {"/elsewhere/config", "/elsewhere/config/dravik_conf/dravik_conf.ini"},
    };
    for (const auto& [variable, expected] : cases) {
        SCOPED_TRACE(variable.value_or("(unset)"));
        TScopedVariable config("XDG_CONFIG_HOME", variable);
        EXPECT_EQ(ChooseSettingsFile(Beside), expected);
    }
    // So is a file beside the program that the user may read but not write: a system-wide copy.
    test::WriteBytes(Beside, "[conn]\r\nport=4\r\n");
    Files.ReadOnly = {Beside};
    TScopedVariable config("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(ChooseSettingsFile(Beside), underHome);
}

TEST_F(UserFoldersTest, CreatesTheUsersFolderSoThatTheFirstSaveSucceeds) {
    Files.ReadOnly.insert(Program.Path);
    TScopedVariable config("XDG_CONFIG_HOME", Home.File("config"));
    const std::string settings = ChooseSettingsFile(Beside);
    ASSERT_EQ(settings, Home.File("config/dravik_conf/dravik_conf.ini"));
    EXPECT_EQ(LoadPortSetting(settings), 1);
    SavePortSetting(settings, 9);
    EXPECT_EQ(LoadPortSetting(settings), 9);
    EXPECT_EQ(std::filesystem::status(Home.File("config/dravik_conf")).permissions(),
              std::filesystem::perms::owner_all);
    EXPECT_FALSE(std::filesystem::exists(Beside));
}

TEST_F(UserFoldersTest, LogsInTheCurrentDirectoryOnlyWhenStartedFromATerminalThatMayWriteIt) {
    const std::string cwd = std::filesystem::current_path();
    struct TCase {
        const char* Name;
        std::optional<std::string> StateHome;
        bool FromMenu;
        bool CurrentWritable;
        std::string Expected;
    };
    const TCase cases[] = {
        {"terminal", std::nullopt, false, true, ""},
        {"menu", std::nullopt, true, true, Home.Path + "/.local/state/dravik_conf"},
        {"menu, state home set", Home.File("state"), true, true, Home.File("state/dravik_conf")},
        {"read-only current directory", Home.File("s2"), false, false, Home.File("s2/dravik_conf")},
        {"relative state home", "state", true, true, Home.Path + "/.local/state/dravik_conf"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TScopedVariable state("XDG_STATE_HOME", c.StateHome);
        Files.ReadOnly.clear();
        if (!c.CurrentWritable) {
            Files.ReadOnly = {".", cwd};
        }
        const std::string folder = ChooseLogFolder(c.FromMenu);
        EXPECT_EQ(folder, c.Expected);
        if (!folder.empty()) {
            EXPECT_EQ(std::filesystem::status(folder).permissions(),
                      std::filesystem::perms::owner_all);
        }
    }
}

TEST_F(UserFoldersTest, MakesEveryMissingFolderAndReportsAFileInTheWay) {
    EXPECT_TRUE(MakeFolders(Home.File("a/b/c"), UserFolderMode));
    EXPECT_TRUE(std::filesystem::is_directory(Home.File("a/b/c")));
    EXPECT_TRUE(MakeFolders(Home.File("a/b/c"), UserFolderMode)); // already there
    test::WriteBytes(Home.File("file"), "");
    errno = 0;
    EXPECT_FALSE(MakeFolders(Home.File("file/d"), UserFolderMode));
    EXPECT_EQ(errno, ENOTDIR);
}

} // namespace
} // namespace dravik
