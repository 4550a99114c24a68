// dravik_cli: headless backup and restore of a controller's configuration.
#include "LogFolder.h"
#include "Options.h"
#include "PortCommands.h"
#include "StandardStreams.h"
#include "base/Cancellation.h"
#include "base/Exception.h"
#include "base/ProgramGuard.h"
#include "base/Text.h"
#include "base/Version.h"
#include "config/ConfigFile.h"
#include "config/Settings.h"
#include "protocol/ConfigCheck.h"
#include "protocol/FailureAdvice.h"
#include "protocol/RegisterMap.h"
#include "protocol/ScriptCodec.h"
#include "protocol/Terminal.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace dravik;
using namespace dravik::cli;

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

TTerminalConfig LoadFile(const std::string& path) {
    TTerminalConfig config;
    FillConfig(path == StandardStreamName ? ParseConfigText(ReadStandardInput(Interruption))
                                          : ReadConfigDocument(path),
               config);
    return config;
}

void SetUpTerminal(TTerminal& terminal, const TOptions& o) {
    cli::ChooseLinkLogFolder(o.LogFolder);
    const std::string settings = WindowSettingsFilePath();
    terminal.Port = o.Port ? *o.Port : LoadPortSetting(settings);
    terminal.Cancellation = &Interruption;
    if (!o.Device.empty()) {
        terminal.Resolver = FixedDevice(o.Device);
    } else {
        terminal.Resolver = MakePortResolver(settings);
    }
}

// Runs a command on the controller. Its failure is said with what to do about it, the advice
// lines after the message (an interruption is not a failure of the line and goes on up).
template <typename F>
int WithTerminal(const TOptions& o, F&& command) {
    TTerminal terminal;
    SetUpTerminal(terminal, o);
    try {
        return command(terminal);
    } catch (const TCancelled&) {
        throw;
    } catch (const Exception& e) {
        Say(e.message());
        for (const std::string& line :
             FailureAdvice(e, terminal.Port, terminal.Resolver, ThisHost())) {
            std::fputs((ForTerminal(line) + '\n').c_str(), stderr);
        }
        return ExitFailed;
    }
}

int Read(const TOptions& o) {
    return WithTerminal(o, [&](TTerminal& terminal) {
        TTerminalConfig config;
        terminal.ReadConfig(config);
        if (o.Output.empty() || o.Output == StandardStreamName) {
            WriteStandardOutput(ConfigToXml(config));
        } else {
            SaveConfigFile(o.Output, config);
        }
        return ExitSuccess;
    });
}

int Write(const TOptions& o) {
    const TTerminalConfig config = LoadFile(o.File);
    return WithTerminal(o, [&](TTerminal& terminal) {
        terminal.WriteConfig(config);
        return ExitSuccess;
    });
}

// Names every difference between the file and the controller on standard output.
int ShowDifferences(TTerminal& terminal, const TTerminalConfig& config) {
    const std::vector<std::string> differences = terminal.VerifyConfig(config);
    std::string lines;
    for (const std::string& difference : differences) {
        lines += ForTerminal(difference) + '\n';
    }
    WriteStandardOutput(lines);
    return differences.empty() ? ExitSuccess : ExitDiffers;
}

int Verify(const TOptions& o) {
    const TTerminalConfig config = LoadFile(o.File);
    return WithTerminal(o, [&](TTerminal& terminal) { return ShowDifferences(terminal, config); });
}

int Check(const TOptions& o) {
    const TTerminalConfig config = LoadFile(o.File);
    const std::vector<std::string> problems = ConfigProblems(config);
    for (const std::string& problem : problems) {
        Say(problem);
    }
    if (!problems.empty()) {
        return ExitFailed;
    }
    const std::vector<uint16_t> image = ScriptImage(EncodeScript(config.Script));
    std::string lines;
    for (size_t k = 0; k < image.size(); ++k) {
        if (k % WordsPerLine == 0) {
            lines += (k == 0 ? "" : "\n") + std::to_string(ScriptRegister + k) + ":";
        }
        lines += Format(" %04X", image[k]);
    }
    WriteStandardOutput(image.empty() ? lines : lines + "\n");
    if (image.empty()) {
        std::fputs("no script: write leaves the controller's script area as it is\n", stderr);
    }
    return ExitSuccess;
}

int Run(const TOptions& o) {
    if (o.Help) {
        WriteStandardOutput(std::string(cli::Synopsis) + cli::UsageDetails +
                            cli::PortCommandsUsage);
        return ExitSuccess;
    }
    if (o.Version) {
        WriteStandardOutput(std::string("dravik_cli ") + ProgramVersion + "\n");
        return ExitSuccess;
    }
    if (o.Command == "read") {
        return Read(o);
    }
    if (o.Command == "write") {
        return Write(o);
    }
    if (o.Command == "verify") {
        return Verify(o);
    }
    return Check(o);
}

int Main(int argc, char** argv) {
    // System error texts come in the user's language and code set, and are converted from it.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    InstallInterruptHandlers();
    try {
        if (const std::vector<std::string> args(argv + 1, argv + argc); cli::IsPortCommand(args)) {
            return cli::RunPortCommand(args, WindowSettingsFilePath(), &Interruption);
        }
        return Run(ParseOptions(argc, argv));
    } catch (const TUsageError& e) {
        // The fault and the commands' lines, not the whole help: the message stays in sight.
        std::fprintf(stderr, "dravik_cli: %s\n\n%sTry 'dravik_cli --help' for more information.\n",
                     e.Text.c_str(), cli::Synopsis);
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
