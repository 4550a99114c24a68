#include "Options.h"

#include <getopt.h>
#include <vector>

namespace dravik::cli {
namespace {

// getopt_long's code for an option without a short form.
constexpr int LogDirCode = 256;
// getopt_long's code for an argument that is not an option, with "-" leading the short options.
constexpr int ArgumentCode = 1;
// "-": keep every argument in its place (whatever POSIXLY_CORRECT says), ":": tell a missing
// value from an unknown option.
constexpr const char* ShortOptions = "-:p:d:o:hV";

const option LongOptions[] = {
    {"port", required_argument, nullptr, 'p'},
    {"device", required_argument, nullptr, 'd'},
    {"output", required_argument, nullptr, 'o'},
    {"log-dir", required_argument, nullptr, LogDirCode},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

uint8_t ParsePort(const std::string& text) {
    size_t used = 0;
    int value = -1;
    try {
        value = std::stoi(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || value < 0 || value > UINT8_MAX) {
        throw TUsageError{"--port wants a number 0..255, not '" + text + "'"};
    }
    return static_cast<uint8_t>(value);
}

// The option getopt_long has just refused, as the user wrote it.
std::string RefusedOption(char** argv) {
    const std::string written = argv[optind - 1];
    if (optopt != 0 && !written.starts_with("--")) {
        return std::string("-") + static_cast<char>(optopt);
    }
    return written;
}

void TakeOption(int code, char** argv, TOptions& o, std::vector<std::string>& positional) {
    switch (code) {
    case ArgumentCode:
        positional.emplace_back(optarg);
        break;
    case 'p':
        o.Port = ParsePort(optarg);
        break;
    case 'd':
        o.Device = optarg;
        break;
    case 'o':
        o.Output = optarg;
        break;
    case LogDirCode:
        o.LogFolder = optarg;
        break;
    case 'h':
        o.Help = true;
        break;
    case 'V':
        o.Version = true;
        break;
    case ':':
        throw TUsageError{RefusedOption(argv) + " wants a value"};
    default:
        throw TUsageError{"unknown option " + RefusedOption(argv)};
    }
}

void CheckCommand(TOptions& o, const std::vector<std::string>& positional) {
    if (positional.empty()) {
        throw TUsageError{"no command given"};
    }
    o.Command = positional[0];
    const bool wantsFile = o.Command == "write" || o.Command == "check" || o.Command == "verify";
    if (o.Command != "read" && !wantsFile) {
        throw TUsageError{"unknown command " + o.Command};
    }
    if (positional.size() != (wantsFile ? 2u : 1u)) {
        throw TUsageError{o.Command + (wantsFile ? " wants one FILE" : " takes no FILE (use -o)")};
    }
    if (wantsFile) {
        o.File = positional[1];
    }
    if (!o.Output.empty() && o.Command != "read") {
        throw TUsageError{"-o belongs to read"};
    }
    if (o.Command == "check" && (o.Port || !o.Device.empty() || o.LogFolder)) {
        throw TUsageError{"check works offline and takes no port or log folder"};
    }
}

} // namespace

const char* const Synopsis = "Usage: dravik_cli read [-p N] [-d PATH] [--log-dir DIR] [-o FILE]\n"
                             "       dravik_cli write FILE [-p N] [-d PATH] [--log-dir DIR]\n"
                             "       dravik_cli verify FILE [-p N] [-d PATH] [--log-dir DIR]\n"
                             "       dravik_cli check FILE\n"
                             "       dravik_cli ports [--json] [--settings FILE]\n"
                             "       dravik_cli scan [--json] [--settings FILE] [--log-dir DIR]\n"
                             "       dravik_cli --help | --version\n";

const char* const UsageDetails =
    "\n"
    "  read    read the controller's configuration and write it as a .cfg file to FILE,\n"
    "          or to standard output\n"
    "  write   load FILE and write it to the controller, then read it back to prove it\n"
    "  verify  read the controller and compare it with what write FILE would leave in it;\n"
    "          print each difference on standard output\n"
    "  check   validate FILE as write would; on success print the script registers from 256\n"
    "A FILE of - is standard input; -o - is standard output. Options may come before or after\n"
    "the command; after -- every argument is a command or a FILE.\n"
    "\n"
    "  -p, --port=N        COM port number 0..255 (default: \"port\" in section [conn] of\n"
    "                      the window's settings file dravik_conf.ini, else 1); mapped to a\n"
    "                      device by section [ports] of that file (com1=/dev/...) or the\n"
    "                      fixed table COM1..32 /dev/ttyS0..31, COM33..64 /dev/ttyUSB0..31,\n"
    "                      COM65..96 /dev/ttyACM0..31\n"
    "  -d, --device=PATH   use this serial device; N then only names the log port<N>.log\n"
    "      --log-dir=DIR   write the link log port<N>.log to folder DIR\n"
    "  -o, --output=FILE   write the configuration read to FILE instead of standard output\n"
    "  -h, --help          print this text and exit\n"
    "  -V, --version       print the version and exit\n"
    "\n"
    "Every byte of the link is logged to port<N>.log in the current directory, or, when that\n"
    "cannot be written, in $XDG_STATE_HOME/dravik_conf (~/.local/state/dravik_conf).\n"
    "Exit status: 0 success (verify: the controller agrees), 1 the operation failed,\n"
    "2 usage error, 3 verify: the controller differs; a command interrupted by SIGINT,\n"
    "SIGTERM or SIGHUP closes the port and the log, then exits 130, 143 or 129.\n"
    "See dravik_cli(1).\n";

TOptions ParseOptions(int argc, char** argv) {
    TOptions o;
    std::vector<std::string> positional;
    std::optional<TUsageError> fault;
    optind = 0; // a full start, as for a fresh process
    opterr = 0; // the faults are told here, with the usage
    for (int code = 0;
         (code = getopt_long(argc, argv, ShortOptions, LongOptions, nullptr)) != -1;) {
        try {
            TakeOption(code, argv, o, positional);
        } catch (const TUsageError& e) {
            if (!fault) {
                fault = e; // the first one is told
            }
        }
    }
    positional.insert(positional.end(), argv + optind, argv + argc); // those after "--"
    if (o.Help || o.Version) {
        return o;
    }
    if (fault) {
        throw *fault;
    }
    CheckCommand(o, positional);
    return o;
}

} // namespace dravik::cli
