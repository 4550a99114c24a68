#include "Options.h"

#include "RegisterState.h"
#include "base/Version.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

const char* const Usage =
    "Usage: dravik_sim --link PATH [--state FILE] [--pace] [--turnaround MS] [--fault F]...\n"
    "       dravik_sim --help | --version\n"
    "  --link PATH      make PATH a symbolic link to the simulator's terminal; printed when ready\n"
    "  --state FILE     registers to start from, written at start, after every write and on exit;\n"
    "                   lines \"<register> 0x<value>\" for 32, 36..67 and 256..355\n"
    "  --pace           answer byte by byte at the wire speed of 19200 baud 8N1\n"
    "  --turnaround MS  with --pace, the pause before an answer (default 5)\n"
    "  --fault F        silent | badcrc | wrongaddr | exception=N | drop=K (ignore the first\n"
    "                   K requests) | hangup=K (answer K requests, then unplug on the next one\n"
    "                   and come back on a fresh terminal behind the same link)\n"
    "                   | echo (return every request before anything else, as a two-wire\n"
    "                   adapter does) | late=MS (answer MS ms after the request)\n"
    "                   | trickle=MS (send the answer one byte every MS ms)\n"
    "                   | stuck=R (register R keeps its value through a write that is still\n"
    "                   acknowledged)\n"
    "Ends on SIGINT or SIGTERM.\n";

int ParseNumber(const std::string& text, const std::string& what) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 0 || value > 1000000) {
        Fail(what + " wants a whole number, not '" + text + "'", 2);
    }
    return static_cast<int>(value);
}

Fault ParseFault(const std::string& text) {
    const size_t eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
    const auto withValue = [&](FaultKind kind) {
        if (value.empty()) {
            Fail("--fault " + name + " wants =N", 2);
        }
        return Fault{kind, ParseNumber(value, "--fault " + name)};
    };
    if (name == "silent" && value.empty()) {
        return {FaultKind::Silent};
    }
    if (name == "badcrc" && value.empty()) {
        return {FaultKind::BadCrc};
    }
    if (name == "wrongaddr" && value.empty()) {
        return {FaultKind::WrongAddress};
    }
    if (name == "exception") {
        return withValue(FaultKind::Exception);
    }
    if (name == "drop") {
        return withValue(FaultKind::Drop);
    }
    if (name == "hangup") {
        return withValue(FaultKind::HangUp);
    }
    if (name == "echo" && value.empty()) {
        return {FaultKind::Echo};
    }
    if (name == "late") {
        return withValue(FaultKind::Late);
    }
    if (name == "trickle") {
        return withValue(FaultKind::Trickle);
    }
    if (name == "stuck") {
        const Fault stuck = withValue(FaultKind::Stuck);
        if (!RegisterState::Served(stuck.Value)) {
            Fail("--fault stuck wants a register of 32, 36..67 or 256..355", 2);
        }
        return stuck;
    }
    Fail("unknown fault '" + text + "'", 2);
}

} // namespace

[[noreturn]] void Fail(const std::string& text, int status) {
    std::fprintf(stderr, "dravik_sim: %s\n", text.c_str());
    std::exit(status);
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                Fail(a + " wants a value", 2);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (a == "--version") {
            std::printf("dravik_sim %s\n", dravik::ProgramVersion);
            std::exit(0);
        } else if (a == "--link") {
            o.Link = value();
        } else if (a == "--state") {
            o.StatePath = value();
        } else if (a == "--pace") {
            o.Pace = true;
        } else if (a == "--turnaround") {
            o.TurnaroundMs = ParseNumber(value(), "--turnaround");
        } else if (a == "--fault") {
            o.Faults.push_back(ParseFault(value()));
        } else {
            Fail("unknown option '" + a + "'\n" + Usage, 2);
        }
    }
    if (o.Link.empty()) {
        Fail(std::string("--link PATH is required\n") + Usage, 2);
    }
    return o;
}

} // namespace sim
