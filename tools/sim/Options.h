#pragma once

#include <string>
#include <vector>

namespace sim {

constexpr int DefaultTurnaroundMs = 5;

enum class FaultKind {
    Silent,
    BadCrc,
    WrongAddress,
    Exception,
    Drop,
    HangUp,
    Echo,
    Late,
    Trickle,
    Stuck
};

struct Fault {
    FaultKind Kind;
    int Value = 0;
};

struct Options {
    std::string Link;
    std::string StatePath;
    bool Pace = false;
    int TurnaroundMs = DefaultTurnaroundMs;
    std::vector<Fault> Faults;
};

// Says why on stderr and ends the program: status 2 for a wrong command line.
[[noreturn]] void Fail(const std::string& text, int status = 1);

// The command line; --help, --version and every mistake end the program here.
Options ParseOptions(int argc, char** argv);

} // namespace sim
