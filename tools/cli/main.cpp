// dravik_cli: headless backup and restore of a controller's configuration.
#include "PortCommands.h"
#include "base/Cancellation.h"
#include "base/Exception.h"
#include "base/ProgramGuard.h"
#include "base/Text.h"
#include "config/ConfigFile.h"
#include "config/Settings.h"
#include "protocol/ConfigCheck.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"
#include "protocol/Terminal.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace dravik;

constexpr int ExitSuccess = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitDiffers = 3;
constexpr int WordsPerLine = 8;
constexpr int ExitSignalBase = 128; // an interrupted command exits with 128 + the signal
constexpr int InterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The running command looks at this; the signal handlers set it and note which signal came.
TCancellation Interruption;
volatile sig_atomic_t InterruptSignal = 0;

extern "C" void OnInterrupt(int signal) {
    InterruptSignal = signal;
    Interruption.Cancel();
}

// The command ends in order: the port closed and released, the link log block complete.
void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : InterruptSignals) {
        sigaction(signal, &action, nullptr);
    }
}

constexpr const char* Usage =
    "Usage:\n"
    "  dravik_cli read [--port N] [--device PATH] [-o FILE]\n"
    "      Read the controller's configuration and write it as a .cfg file to FILE,\n"
    "      or to standard output.\n"
    "  dravik_cli write FILE [--port N] [--device PATH]\n"
    "      Load FILE and write it to the controller, then read it back to prove it.\n"
    "  dravik_cli verify FILE [--port N] [--device PATH]\n"
    "      Read the controller and compare it with what write FILE would leave in it;\n"
    "      print each difference on standard output.\n"
    "  dravik_cli check FILE\n"
    "      Validate FILE as write would; on success print the script registers from 256.\n"
    "\n"
    "  --port N       COM port number 0..255 (default: \"port\" in section [conn] of\n"
    "                 dravik_conf.ini beside this program, else 1); mapped to a device by\n"
    "                 section [ports] of that file (com1=/dev/...) or the fixed table\n"
    "                 COM1..32 /dev/ttyS0..31, COM33..64 /dev/ttyUSB0..31,\n"
    "                 COM65..96 /dev/ttyACM0..31\n"
    "  --device PATH  use this serial device; N then only names the log port<N>.log\n"
    "  -o FILE        write the configuration read to FILE instead of standard output\n"
    "\n"
    "Every byte of the link is logged to port<N>.log in the current directory.\n"
    "Exit status: 0 success (verify: the controller agrees), 1 the operation failed,\n"
    "2 usage error, 3 verify: the controller differs; a command interrupted by SIGINT,\n"
    "SIGTERM or SIGHUP closes the port and the log, then exits 130, 143 or 129.\n";

struct UsageError {
    std::string text;
};

struct Options {
    std::string command;
    std::string file;
    std::string output;
    std::optional<uint8_t> port;
    std::string device;
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
        throw UsageError{"--port wants a number 0..255, not '" + text + "'"};
    }
    return static_cast<uint8_t>(value);
}

Options Parse(const std::vector<std::string>& args) {
    Options o;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) {
                throw UsageError{a + " wants a value"};
            }
            return args[++i];
        };
        if (a == "--port") {
            o.port = ParsePort(value());
        } else if (a == "--device") {
            o.device = value();
        } else if (a == "-o") {
            o.output = value();
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError{"unknown option " + a};
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) {
        throw UsageError{"no command given"};
    }
    o.command = positional[0];
    const bool wantsFile = o.command == "write" || o.command == "check" || o.command == "verify";
    if (o.command != "read" && !wantsFile) {
        throw UsageError{"unknown command " + o.command};
    }
    if (positional.size() != (wantsFile ? 2u : 1u)) {
        throw UsageError{o.command + (wantsFile ? " wants one FILE" : " takes no FILE (use -o)")};
    }
    if (wantsFile) {
        o.file = positional[1];
    }
    if (!o.output.empty() && o.command != "read") {
        throw UsageError{"-o belongs to read"};
    }
    if (o.command == "check" && (o.port || !o.device.empty())) {
        throw UsageError{"check works offline and takes no port"};
    }
    return o;
}

// The window's settings file, dravik_conf.ini beside this program.
std::string WindowSettingsPath() {
    const std::string own = SettingsFilePath();
    const size_t slash = own.rfind('/');
    return SettingsPathFor(own.substr(0, slash + 1) + "dravik_conf");
}

void Say(const std::string& cp1251) {
    std::cerr << Cp1251ToUtf8(WithFullStop(cp1251)) << '\n';
}

TTerminalConfig LoadFile(const std::string& path) {
    TTerminalConfig config;
    FillConfig(ReadConfigDocument(path), config);
    return config;
}

void SetUpTerminal(TTerminal& terminal, const Options& o) {
    const std::string settings = WindowSettingsPath();
    terminal.Port = o.port ? *o.port : LoadPortSetting(settings);
    terminal.Cancellation = &Interruption;
    if (!o.device.empty()) {
        const std::string device = o.device;
        terminal.Resolver = [device](int32_t) { return device; };
    } else {
        terminal.Resolver = MakePortResolver(settings);
    }
}

int Read(const Options& o) {
    TTerminal terminal;
    SetUpTerminal(terminal, o);
    TTerminalConfig config;
    terminal.ReadConfig(config);
    if (o.output.empty()) {
        std::cout << ConfigToXml(config) << std::flush;
        return std::cout ? ExitSuccess : ExitFailed;
    }
    SaveConfigFile(o.output, config);
    return ExitSuccess;
}

int Write(const Options& o) {
    const TTerminalConfig config = LoadFile(o.file);
    TTerminal terminal;
    SetUpTerminal(terminal, o);
    terminal.WriteConfig(config);
    return ExitSuccess;
}

int Verify(const Options& o) {
    const TTerminalConfig config = LoadFile(o.file);
    TTerminal terminal;
    SetUpTerminal(terminal, o);
    const std::vector<std::string> differences = terminal.VerifyConfig(config);
    for (const std::string& difference : differences) {
        std::cout << Cp1251ToUtf8(difference) << '\n';
    }
    std::cout << std::flush;
    if (!std::cout) {
        return ExitFailed;
    }
    return differences.empty() ? ExitSuccess : ExitDiffers;
}

int Check(const Options& o) {
    const TTerminalConfig config = LoadFile(o.file);
    const std::vector<std::string> problems = ConfigProblems(config);
    for (const std::string& problem : problems) {
        Say(problem);
    }
    if (!problems.empty()) {
        return ExitFailed;
    }
    const std::vector<uint16_t> image = ScriptImage(EncodeScript(config.Script));
    for (size_t k = 0; k < image.size(); ++k) {
        if (k % WordsPerLine == 0) {
            std::printf("%s%d:", k == 0 ? "" : "\n", ScriptRegister + static_cast<int>(k));
        }
        std::printf(" %04X", image[k]);
    }
    std::printf(image.empty() ? "" : "\n");
    if (image.empty()) {
        std::cerr << "no script: write leaves the controller's script area as it is\n";
    }
    return ExitSuccess;
}

int Run(const Options& o) {
    if (o.command == "read") {
        return Read(o);
    }
    if (o.command == "write") {
        return Write(o);
    }
    if (o.command == "verify") {
        return Verify(o);
    }
    return Check(o);
}

int Main(int argc, char** argv) {
    // System error texts come in the user's language and code set, and are converted from it.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    InstallInterruptHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::cout << Usage << cli::PortCommandsUsage;
            return ExitSuccess;
        }
    }
    try {
        if (cli::IsPortCommand(args)) {
            return cli::RunPortCommand(args, WindowSettingsPath(), &Interruption);
        }
        return Run(Parse(args));
    } catch (const UsageError& e) {
        std::cerr << "dravik_cli: " << e.text << "\n\n" << Usage << cli::PortCommandsUsage;
        return ExitUsage;
    } catch (const TCancelled& e) {
        Say(e.message());
        return ExitSignalBase + InterruptSignal;
    } catch (const Exception& e) {
        Say(e.message());
        return ExitFailed;
    }
}

} // namespace

int main(int argc, char** argv) {
    return RunProgram("dravik_cli", [&] { return Main(argc, argv); });
}
