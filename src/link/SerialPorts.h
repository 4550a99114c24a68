#pragma once

#include "base/PortResolver.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace dravik {

enum class TPortState { Free, NoAccess, Held };

// One serial device present on the machine, as the connection dialog and `dravik_cli ports`
// show it. The texts are Windows-1251.
struct TSerialPort {
    std::string Device; // the device file a name finally leads to: "/dev/ttyUSB0"
    std::string ById;   // its stable name under /dev/serial/by-id, if it has one
    std::string Maker;  // the adapter's maker and model, as the kernel knows them
    std::string Model;
    std::vector<int32_t> Numbers; // the COM numbers the port map gives it, lowest first
    TPortState State = TPortState::Free;
    std::string Why; // what stops its use, when it is not free
};

// The serial devices present under root ("/" but for tests: a tree with dev, sys and proc):
// the ttyS that have a UART behind them, ttyUSB, ttyACM, the by-id names, and every device the
// port map names that exists. Rows with a COM number come first, by number.
std::vector<TSerialPort> ListSerialPorts(const TPortResolver& resolver,
                                         const std::string& root = "/");

// What keeps a user with these ids from opening a device for reading and writing, or empty when
// nothing does.
std::string AccessProblem(const struct stat& device, uid_t user, const std::vector<gid_t>& groups);

// The groups this process counts as its own for access to files: the supplementary ones and the
// effective one.
std::vector<gid_t> OwnGroups();

// The names the group and user databases give these ids, or the numbers when they have none.
std::string GroupName(gid_t group);
std::string UserName(uid_t user);

// Whether joining the device's group would let a user with these ids read and write it: the
// group may, and the user is neither root, nor the owner, nor a member yet.
bool JoiningGroupHelps(const struct stat& device, uid_t user, const std::vector<gid_t>& groups);

// "свободен", "нет доступа: ...", "занят: ...".
std::string PortStateText(const TSerialPort& port);

// "COM3", "COM3, COM35", or "нет номера".
std::string PortNumbersText(const TSerialPort& port);

} // namespace dravik
