#include "PortCommands.h"

#include "JsonText.h"
#include "LogFolder.h"
#include "base/Text.h"
#include "config/Settings.h"
#include "link/SerialPorts.h"
#include "protocol/ControllerProbe.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <sstream>

namespace dravik::cli {
namespace {

constexpr int ExitFound = 0;
constexpr int ExitNotFound = 1;
constexpr int ExitUsage = 2;
constexpr const char* NoValue = "-";
constexpr const char* ColumnGap = "  ";

struct TOptions {
    std::string Command;
    bool Json = false;
    std::string Settings;
    std::optional<std::string> LogFolder; // scan's probes log there
};

struct TUsageError {
    std::string Text;
};

// The options of every command that take a value, so that a value is not taken for a command.
const char* const ValueOptions[] = {"--port",   "-p", "--device",   "-d",
                                    "--output", "-o", "--settings", "--log-dir"};

bool TakesValue(const std::string& option) {
    return std::find(std::begin(ValueOptions), std::end(ValueOptions), option) !=
           std::end(ValueOptions);
}

// The command word: the first argument that is neither an option nor an option's value.
std::string CommandOf(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (TakesValue(args[i])) {
            ++i;
        } else if (!args[i].starts_with('-')) {
            return args[i];
        }
    }
    return {};
}

TOptions Parse(const std::vector<std::string>& args, const std::string& settingsPath) {
    TOptions options{CommandOf(args), false, settingsPath, std::nullopt};
    bool commandSeen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == options.Command && !commandSeen) {
            commandSeen = true;
        } else if (args[i] == "--json") {
            options.Json = true;
        } else if (args[i] == "--settings" && i + 1 < args.size()) {
            options.Settings = args[++i];
        } else if (args[i] == "--settings") {
            throw TUsageError{"--settings wants a value"};
        } else if (args[i] == "--log-dir" && options.Command == "scan" && i + 1 < args.size()) {
            options.LogFolder = args[++i];
        } else if (args[i] == "--log-dir" && options.Command == "scan") {
            throw TUsageError{"--log-dir wants a value"};
        } else {
            throw TUsageError{options.Command + " takes no " + args[i]};
        }
    }
    return options;
}

std::string Utf8(const std::string& cp1251) {
    return Cp1251ToUtf8(cp1251);
}

std::string Or(const std::string& text, const char* absent) {
    return text.empty() ? absent : text;
}

std::string MakerAndModel(const TSerialPort& port) {
    const std::string both =
        port.Maker + (port.Maker.empty() || port.Model.empty() ? "" : " ") + port.Model;
    return Or(both, NoValue);
}

std::string NumberText(int32_t number) {
    return "COM" + std::to_string(number);
}

std::string NumbersColumn(const TSerialPort& port) {
    std::string text;
    for (const int32_t number : port.Numbers) {
        text += (text.empty() ? "" : ",") + NumberText(number);
    }
    return Or(text, NoValue);
}

const char* StateName(TPortState state) {
    switch (state) {
    case TPortState::NoAccess:
        return "no-access";
    case TPortState::Held:
        return "held";
    default:
        return "free";
    }
}

// The characters a UTF-8 text shows as, for lining up columns.
size_t Width(const std::string& utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], Width(row[c]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            const bool last = c + 1 == row.size();
            line += row[c] + (last ? "" : std::string(widths[c] - Width(row[c]), ' ') + ColumnGap);
        }
        std::cout << line << '\n';
    }
}

std::string NumbersJson(const std::vector<int32_t>& numbers) {
    std::string json = "[";
    for (const int32_t number : numbers) {
        json += (json.size() > 1 ? ", " : "") + std::to_string(number);
    }
    return json + "]";
}

std::string NullOr(const std::string& text) {
    return text.empty() ? "null" : JsonString(text);
}

void PrintPortsJson(const std::vector<TSerialPort>& ports) {
    std::cout << "[";
    for (size_t i = 0; i < ports.size(); ++i) {
        const TSerialPort& p = ports[i];
        std::cout << (i == 0 ? "\n" : ",\n") << "  {\"port\": "
                  << (p.Numbers.empty() ? "null" : std::to_string(p.Numbers.front()))
                  << ", \"ports\": " << NumbersJson(p.Numbers)
                  << ", \"device\": " << JsonString(p.Device) << ", \"by_id\": " << NullOr(p.ById)
                  << ", \"maker\": " << NullOr(p.Maker) << ", \"model\": " << NullOr(p.Model)
                  << ", \"state\": \"" << StateName(p.State) << "\""
                  << ", \"reason\": " << NullOr(Utf8(p.Why)) << "}";
    }
    std::cout << (ports.empty() ? "]\n" : "\n]\n");
}

int Ports(const TOptions& options) {
    const std::vector<TSerialPort> ports = ListSerialPorts(MakePortResolver(options.Settings));
    if (options.Json) {
        PrintPortsJson(ports);
        return ExitFound;
    }
    std::vector<std::vector<std::string>> rows = {
        {"COM", "DEVICE", "BY-ID", "MAKER/MODEL", "STATE"}};
    for (const TSerialPort& port : ports) {
        rows.push_back({NumbersColumn(port), port.Device, Or(port.ById, NoValue),
                        MakerAndModel(port), Utf8(PortStateText(port))});
    }
    PrintTable(rows);
    if (ports.empty()) {
        std::cerr << "no serial devices found\n";
    }
    return ExitFound;
}

void PrintScanJson(const std::vector<TSerialPort>& ports,
                   const std::vector<TProbeResult>& results) {
    std::cout << "[";
    for (size_t i = 0; i < results.size(); ++i) {
        const TProbeResult& r = results[i];
        std::cout << (i == 0 ? "\n" : ",\n") << "  {\"port\": "
                  << (ports[i].Numbers.empty() ? "null" : std::to_string(r.Number))
                  << ", \"probed_as\": " << r.Number << ", \"device\": " << JsonString(r.Device)
                  << ", \"by_id\": " << NullOr(ports[i].ById)
                  << ", \"probed\": " << (r.Probed ? "true" : "false")
                  << ", \"answered\": " << (r.Answered ? "true" : "false")
                  << ", \"message\": " << NullOr(Utf8(r.Message)) << "}";
    }
    std::cout << (results.empty() ? "]\n" : "\n]\n");
}

// The answering devices on standard output, the others with their reason on standard error.
void PrintScan(const std::vector<TSerialPort>& ports, const std::vector<TProbeResult>& results,
               const std::string& settings) {
    for (size_t i = 0; i < results.size(); ++i) {
        const TProbeResult& r = results[i];
        const std::string name = ports[i].Numbers.empty() ? NoValue : NumberText(r.Number);
        if (!r.Answered) {
            // The channel's messages name the port already.
            const bool named = r.Message.starts_with(NumberText(r.Number) + ":");
            std::cerr << (named ? "" : name + " ") << r.Device << ": "
                      << Utf8(WithFullStop(r.Message)) << '\n';
        } else if (ports[i].Numbers.empty()) {
            std::cout << NoValue << ColumnGap << r.Device << ColumnGap << "no COM number: add \"com"
                      << r.Number << '=' << r.Device << "\" to section [ports] of " << settings
                      << '\n';
        } else {
            std::cout << name << ColumnGap << r.Device
                      << (ports[i].ById.empty() ? "" : ColumnGap + ports[i].ById) << '\n';
        }
    }
}

int Scan(const TOptions& options, const TCancellation* cancellation) {
    ChooseLinkLogFolder(options.LogFolder);
    const TPortResolver resolver = MakePortResolver(options.Settings);
    const std::vector<TSerialPort> ports = ListSerialPorts(resolver);
    const std::vector<TProbeResult> results = ScanForController(ports, resolver, cancellation);
    if (options.Json) {
        PrintScanJson(ports, results);
    } else {
        PrintScan(ports, results, options.Settings);
    }
    if (cancellation != nullptr && cancellation->IsCancelled()) {
        throw TCancelled(); // after what was found so far is out
    }
    const bool found = std::any_of(results.begin(), results.end(),
                                   [](const TProbeResult& r) { return r.Answered; });
    if (!found && !options.Json) {
        std::cerr << "no controller answered\n";
    }
    return found ? ExitFound : ExitNotFound;
}

} // namespace

const char* const PortCommandsUsage =
    "\nFinding the controller:\n"
    "  dravik_cli ports [--json] [--settings FILE]\n"
    "      List the serial devices: COM number, device, by-id name, maker and model, and\n"
    "      whether it is free, not accessible (and why) or held by another program.\n"
    "  dravik_cli scan [--json] [--settings FILE] [--log-dir DIR]\n"
    "      Ask every free device whether the controller is on it (one read, 19200 8N1)\n"
    "      and print those where it answered; exit status 1 when none did.\n"
    "\n"
    "  --json           print a JSON array instead of the table\n"
    "  --settings FILE  read the port map from FILE, not the window's settings\n";

bool IsPortCommand(const std::vector<std::string>& args) {
    // --help and --version answer whatever else is on the line: they are the main parser's.
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h" || a == "--version" || a == "-V") {
            return false;
        }
    }
    const std::string command = CommandOf(args);
    return command == "ports" || command == "scan";
}

int RunPortCommand(const std::vector<std::string>& args, const std::string& settingsPath,
                   const TCancellation* cancellation) {
    try {
        const TOptions options = Parse(args, settingsPath);
        return options.Command == "scan" ? Scan(options, cancellation) : Ports(options);
    } catch (const TUsageError& e) {
        std::cerr << "dravik_cli: " << e.Text << "\n\nUsage:\n" << PortCommandsUsage;
        return ExitUsage;
    }
}

} // namespace dravik::cli
