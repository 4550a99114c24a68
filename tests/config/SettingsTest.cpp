#include "config/Settings.h"

#include "base/FileSystem.h"
#include "support/Files.h"
#include "support/Messages.h"
#include "support/TempFolder.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::MessageOf;
using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

const std::string SettingsFixture = DRAVIK_TEST_DATA "/config/settings.ini";

TEST(Settings, ConvertsThePortValue) {
    const std::pair<std::string, int> cases[] = {
        {"5", 5},           {"0x0A", 10},        {"0X0a", 10},      {"$0A", 10},
        {"$0a", 10},        {" 7", 7},           {"+3", 3},         {"256", 0},
        {"257", 1},         {"300", 44},         {"-1", 255},       {"2147483647", 255},
        {"-2147483648", 0}, {"0x7FFFFFFF", 255}, {"abc", 1},        {"", 1},
        {"7 ", 1},          {"0x", 1},           {"$", 1},          {" 0x0A", 1},
        {"x0A", 1},         {"10000000000", 1},  {"2147483648", 1}, {"$FFFFFFFF", 1},
    };
    for (const auto& [text, port] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(PortFromSettingText(text), port);
    }
}

TEST(Settings, FormsTheFileNameFromTheExecutable) {
    const std::pair<std::string, std::string> cases[] = {
        {"/opt/dravik/dravik_conf", "/opt/dravik/dravik_conf.ini"},
        {"/opt/tools/tank.exe", "/opt/tools/tank.ini"},
        {"/opt/x.d/tank", "/opt/x.d/tank.ini"},
        {"/a/b.c.d", "/a/b.c.ini"},
        {"tank", "tank.ini"},
        {"/a/.hidden", "/a/.ini"},
    };
    for (const auto& [executable, settings] : cases) {
        EXPECT_EQ(SettingsPathFor(executable), settings);
    }
    const std::string own = SettingsFilePath();
    EXPECT_EQ(own.front(), '/');
    EXPECT_TRUE(own.ends_with("/test_config.ini")) << own;
}

TEST(Settings, ReadsThePortAndGivesOneForAnythingMissing) {
    TTempFolder folder;
    const std::string path = folder.File("s.ini");
    EXPECT_EQ(LoadPortSetting(path), 1);
    EXPECT_EQ(LoadPortSetting(SettingsFixture), 3);
    const std::pair<std::string, int> cases[] = {
        {"[CONN]\r\nPORT = 0x0A \r\n", 10}, {"[conn]\r\nport=-1\r\n", 255}, {"[conn]\r\n", 1},
        {"[other]\r\nport=5\r\n", 1},       {"[conn]\r\nport=\r\n", 1},
    };
    for (const auto& [text, port] : cases) {
        SCOPED_TRACE(text);
        WriteBytes(path, text);
        EXPECT_EQ(LoadPortSetting(path), port);
    }
}

TEST(Settings, WritesThePortKeepingTheRestOfTheFile) {
    TTempFolder folder;
    const std::string path = folder.File("s.ini");
    SavePortSetting(path, 7);
    EXPECT_EQ(ReadBytes(path), "[conn]\r\nport=7\r\n");

    std::string expected = ReadBytes(SettingsFixture);
    WriteBytes(path, expected);
    SavePortSetting(path, 255);
    expected.replace(expected.find("port = 3"), 8, "port=255");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(LoadPortSetting(path), 255);
    SavePortSetting(path, 0);
    EXPECT_EQ(LoadPortSetting(path), 0);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"s.ini"});
}

// Fails every read or every rename.
class TBrokenFileSystem : public FileSystem {
public:
    explicit TBrokenFileSystem(bool reads) : Reads(reads) {}
    ssize_t Read(int fd, void* data, size_t size) override {
        errno = EIO;
        return Reads ? -1 : FileSystem::Read(fd, data, size);
    }
    int Rename(const char* from, const char* to) override {
        errno = EROFS;
        return Reads ? FileSystem::Rename(from, to) : -1;
    }

private:
    bool Reads;
};

TEST(Settings, RaisesWhenThePortCannotBeWrittenAndKeepsTheOldFile) {
    TTempFolder folder;
    const std::string path = folder.File("s.ini");
    const std::string old = "[conn]\r\nport=3\r\n[keep]\r\nthis=1\r\n";
    for (const bool reads : {true, false}) {
        WriteBytes(path, old);
        TBrokenFileSystem broken(reads);
        ScopedFileSystem scoped(broken);
        EXPECT_EQ(MessageOf([&] { SavePortSetting(path, 9); }), "Unable to write to " + path);
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"s.ini"});
    EXPECT_EQ(MessageOf([&] { SavePortSetting(folder.File("none/s.ini"), 9); }),
              "Unable to write to " + folder.Path + "/none/s.ini");
}

TEST(Settings, MapsPortNumbersToDevices) {
    TTempFolder folder;
    const std::string mapped = folder.File("mapped.ini");
    WriteBytes(mapped, "[Ports]\r\nCOM3 = /dev/serial/by-id/usb-x \r\ncom40=/dev/ttyX\r\n"
                       "com97=/dev/ttyY\r\ncom5=\r\n[conn]\r\ncom6=/dev/not-here\r\n");
    const std::string none = folder.File("none.ini");
    struct Case {
        int32_t Port;
        std::string Plain;  // without a settings file
        std::string Mapped; // with the "ports" section above
    };
    const Case cases[] = {
        {1, "/dev/ttyS0", "/dev/ttyS0"},
        {3, "/dev/ttyS2", "/dev/serial/by-id/usb-x"},
        {5, "/dev/ttyS4", "/dev/ttyS4"}, // an empty value leaves the table's device
        {6, "/dev/ttyS5", "/dev/ttyS5"},
        {32, "/dev/ttyS31", "/dev/ttyS31"},
        {33, "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {40, "/dev/ttyUSB7", "/dev/ttyX"},
        {64, "/dev/ttyUSB31", "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0", "/dev/ttyACM0"},
        {96, "/dev/ttyACM31", "/dev/ttyACM31"},
        {97, "", "/dev/ttyY"},
        {0, "", ""},
        {-1, "", ""},
        {255, "", ""},
    };
    const TPortResolver resolver = MakePortResolver(mapped);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Port);
        EXPECT_EQ(PortDevicePath(c.Port, none), c.Plain);
        EXPECT_EQ(PortDevicePath(c.Port, mapped), c.Mapped);
        EXPECT_EQ(resolver(c.Port), c.Mapped);
    }
    EXPECT_EQ(PortDevicePath(3, SettingsFixture), "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
}

TEST(Settings, AddsADeviceUnderTheFirstFreeNumberFrom97KeepingTheRest) {
    TTempFolder folder;
    const std::string path = folder.File("dravik_conf.ini");
    WriteBytes(path, "[conn]\r\nport=3\r\n[ports]\r\ncom97=/dev/ttyY\r\ncom99=/dev/ttyZ\r\n");
    const TPortResolver resolver = MakePortResolver(path);
    EXPECT_EQ(FreePortNumber(resolver), 98);
    EXPECT_EQ(FreePortNumber(resolver, 1), 98) << "the fixed table takes 1..96";
    SavePortDevice(path, 98, "/dev/ttyXR0");
    EXPECT_EQ(ReadBytes(path),
              "[conn]\r\nport=3\r\n[ports]\r\ncom97=/dev/ttyY\r\ncom99=/dev/ttyZ\r\n"
              "com98=/dev/ttyXR0\r\n");
    EXPECT_EQ(FreePortNumber(resolver), 100);
    EXPECT_EQ(FreePortNumber([](int32_t) { return std::string("/dev/ttyS0"); }), std::nullopt);
    EXPECT_EQ(MessageOf([&] { SavePortDevice(folder.File("no/folder/x.ini"), 97, "/dev/ttyQ"); }),
              "Unable to write to " + folder.File("no/folder/x.ini"));
}

} // namespace
} // namespace dravik
