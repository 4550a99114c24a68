#include "app/CommandLine.h"

#include "base/Version.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace dravik::app {
namespace {

const char* const Usage =
    "Usage: dravik_conf [--from-menu] [Qt options]\n"
    "Configures the tank-level controller over a serial line in a window.\n"
    "  --from-menu  write the link logs to $XDG_STATE_HOME/dravik_conf (by default\n"
    "               ~/.local/state/dravik_conf) instead of the current directory\n"
    "  --help       print this text and exit\n"
    "  --version    print the version and exit\n"
    "Qt's own options, such as -platform NAME, are accepted too. See dravik_conf(1).\n";

bool HasOption(int argc, char* argv[], std::string_view option) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == option) {
            return true;
        }
    }
    return false;
}

// Standard output may be closed or full: that is a failure too, said on standard error.
int Print(const char* text) {
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0) {
        return EXIT_SUCCESS;
    }
    std::fprintf(stderr, "dravik_conf: standard output: %s\n", std::strerror(errno));
    return EXIT_FAILURE;
}

} // namespace

std::optional<int> AnswerWithoutWindow(int argc, char* argv[]) {
    if (HasOption(argc, argv, "--help")) {
        return Print(Usage);
    }
    if (HasOption(argc, argv, "--version")) {
        const std::string line = std::string("dravik_conf ") + ProgramVersion + "\n";
        return Print(line.c_str());
    }
    return std::nullopt;
}

bool StartedFromMenu(int argc, char* argv[]) {
    return HasOption(argc, argv, "--from-menu");
}

} // namespace dravik::app
