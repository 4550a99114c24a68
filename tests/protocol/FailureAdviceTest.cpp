// What the technician is told to do about a failed command: the advice is chosen by the failure's
// type and errno, and reads the machine from a fixture tree with ids of the test's choosing.
#include "protocol/FailureAdvice.h"

#include "link/PortFailure.h"
#include "link/SerialDevice.h"
#include "protocol/ReplyTimeout.h"
#include "protocol/Terminal.h"
#include "support/FailingOpen.h"
#include "support/FixtureTree.h"
#include "support/Messages.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

#include <cerrno>
#include <map>
#include <optional>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace dravik {
namespace {

using test::W;
using TLines = std::vector<std::string>;

constexpr const char* Adapter = "/dev/ttyUSB0";
constexpr const char* AdapterById = "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0";

// A machine with one USB adapter on COM33 and a technician who is neither its owner nor in its
// group, whatever ids the test process has: the ids are taken from the device file itself.
class AdviceFixture : public testing::Test {
protected:
    AdviceFixture() {
        Tree.UsbTty("ttyUSB0", "1-1", {{"idVendor", "0403"}, {"manufacturer", "FTDI"}});
        Tree.Link(AdapterById, "../../ttyUSB0");
        struct stat info {};
        ::stat(Tree.Under(Adapter).c_str(), &info);
        Host.Root = Tree.Path();
        Host.User = info.st_uid + 1000;
        Host.GroupName = [group = info.st_gid](gid_t id) {
            return id == group ? std::string("dialout") : "g" + std::to_string(id);
        };
        Host.UserName = [owner = info.st_uid](uid_t id) {
            return id == owner ? std::string("root") : std::string("ivan");
        };
        DeviceGroup = info.st_gid;
    }

    void Mode(mode_t mode) { ::chmod(Tree.Under(Adapter).c_str(), mode); }

    TLines Advice(int error, const std::string& device, int32_t port = 33) {
        const TPortFailure failure(W("COM33: system text"), port, device, error);
        return FailureAdvice(failure, port, Resolver, Host);
    }

    test::FixtureTree Tree;
    TAdviceHost Host;
    gid_t DeviceGroup = 0;
    TPortResolver Resolver = [](int32_t n) { return n == 33 ? std::string(Adapter) : ""; };
};

TEST_F(AdviceFixture, PermissionDeniedNamesTheGroupOnlyWhereJoiningItHelps) {
    const std::string device = W("COM33 — это /dev/ttyUSB0");
    const std::string rights = W("Вступление в группу не поможет: у устройства /dev/ttyUSB0 права "
                                 "%s, владелец root, группа dialout. Доступ может дать "
                                 "администратор (например, правилом udev).");
    struct TCase {
        const char* name;
        mode_t mode;
        bool member;
        TLines expected;
    };
    const TCase cases[] = {
        {"the group may read and write",
         0660,
         false,
         {device,
          W("Устройство /dev/ttyUSB0 открыто для группы dialout, а пользователь ivan в неё не "
            "входит. Добавьте его в группу командой:"),
          "sudo usermod -aG dialout ivan", W("затем выйдите из системы и войдите снова.")}},
        {"the group may only read", 0640, false, {device, Format(rights, "0640")}},
        {"only the owner may", 0600, false, {device, Format(rights, "0600")}},
        {"already a member",
         0660,
         true,
         {device, W("Права устройства /dev/ttyUSB0 (права 0660, владелец root, группа dialout) "
                    "доступ разрешают: отказ идёт не от них (например, от политики безопасности "
                    "системы).")}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Mode(c.mode);
        Host.Groups = c.member ? std::vector<gid_t>{DeviceGroup} : std::vector<gid_t>{};
        EXPECT_EQ(Advice(EACCES, Adapter), c.expected);
    }
}

TEST_F(AdviceFixture, TheDeviceLineFollowsAStableNameAndSaysWhenNothingIsMapped) {
    EXPECT_EQ(Advice(EIO, AdapterById).front(),
              W("COM33 — это /dev/serial/by-id/usb-FTDI_FT232R-if00-port0 (/dev/ttyUSB0)"));
    EXPECT_EQ(Advice(EIO, Adapter), TLines{W("COM33 — это /dev/ttyUSB0")}) << "nothing more to say";
    EXPECT_EQ(Advice(ENOENT, "", 200).front(),
              W("COM200 не связан ни с одним устройством: выберите порт в окне «Связь» или задайте "
                "его в файле настроек ([ports] com200=устройство)"));
}

TEST_F(AdviceFixture, AMissingDeviceListsThePortsPresentOrSaysThereAreNone) {
    EXPECT_EQ(
        Advice(ENOENT, "/dev/ttyUSB1", 34),
        (TLines{W("COM34 — это /dev/ttyUSB1"),
                W("Устройства /dev/ttyUSB1 нет: адаптер не подключён или получил другое имя."),
                W("Последовательные порты этого компьютера:"), "  COM33: /dev/ttyUSB0 (FTDI)"}));
    const test::FixtureTree emptyMachine;
    Host.Root = emptyMachine.Path();
    EXPECT_EQ(Advice(ENOENT, "", 200).back(),
              W("Последовательных портов на этом компьютере не найдено."));
}

TEST_F(AdviceFixture, ABusyDeviceNamesTheProcessesThatHoldItWhenTheyCanBeSeen) {
    EXPECT_EQ(Advice(EBUSY, Adapter).back(),
              W("Порт занят другой программой; какой — узнать не удалось (она может быть запущена "
                "другим пользователем)."));
    Tree.Process(4242, "picocom", {Adapter});
    Tree.Process(4250, "minicom", {"/dev/null", Adapter});
    EXPECT_EQ(Advice(EBUSY, AdapterById).back(),
              W("Устройство /dev/ttyUSB0 держит открытым: picocom (pid 4242), minicom (pid 4250). "
                "Закройте эту программу."));
}

TEST_F(AdviceFixture, ATimeoutNamesTheLineSettingsAndTheUsualCauses) {
    EXPECT_EQ(FailureAdvice(TReplyTimeout(), 33, Resolver, Host),
              (TLines{W("COM33 — это /dev/ttyUSB0"),
                      W("Контроллер не ответил. Ожидаются: адрес 32, 19200 бод, 8N1 (8 бит данных, "
                        "без чётности, 1 стоповый бит)."),
                      W("Частые причины: перепутаны провода A и B линии RS-485; у контроллера нет "
                        "питания; у контроллера другой адрес.")}));
}

TEST_F(AdviceFixture, OtherFailuresGetNone) {
    EXPECT_EQ(FailureAdvice(Exception(W("Неверный формат")), 33, Resolver, Host), TLines{});
    EXPECT_EQ(FailureAdvice(Exception(W("Таймаут")), 33, Resolver, Host), TLines{})
        << "chosen by the type, never by the text";
}

// The failure of a real transfer whose open the system refuses carries its cause beside the
// message, and the message stays the channel's own.
TEST(PortFailure, ARefusedOpenRaisesTheCauseWithTheSameMessage) {
    const test::TempDir dir; // the link log lands here
    const std::map<int, std::string> messages = {
        {EACCES, "COM1: Permission denied"},
        {ENOENT, "COM1: No such file or directory"},
        {EBUSY, "COM1: Device or resource busy"},
    };
    for (const auto& [error, message] : messages) {
        SCOPED_TRACE(message);
        test::FailingOpen refusing(error);
        const ScopedSerialDevice seam(refusing);
        TTerminal terminal;
        terminal.Resolver = FixedDevice("/dev/ttyUSB7");
        TTerminalConfig config;
        try {
            terminal.ReadConfig(config);
            ADD_FAILURE() << "no failure";
        } catch (const TPortFailure& failure) {
            EXPECT_EQ(failure.message(), message);
            EXPECT_EQ(failure.PortNumber(), 1);
            EXPECT_EQ(failure.DevicePath(), "/dev/ttyUSB7");
            EXPECT_EQ(failure.SystemError(), error);
        }
    }
}

TEST(ReplyTimeout, ASilentControllerRaisesItAsTimeout) {
    const test::TempDir dir;
    const test::PseudoTerminal line; // nobody answers on the far end
    TTerminal terminal;
    terminal.Resolver = FixedDevice(line.SlavePath());
    terminal.Attempts = 1;
    TTerminalConfig config;
    try {
        terminal.ReadConfig(config);
        ADD_FAILURE() << "no failure";
    } catch (const TReplyTimeout& timeout) {
        EXPECT_EQ(timeout.message(), W("Таймаут"));
    }
}

} // namespace
} // namespace dravik
