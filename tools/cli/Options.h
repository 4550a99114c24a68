#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dravik::cli {

// A file named "-": standard input for write, check and verify, standard output for read -o.
inline constexpr const char* StandardStreamName = "-";

// The command line, options in any place among the command and its file.
struct TOptions {
    std::string Command; // read, write, verify or check; empty with Help or Version
    std::string File;
    std::string Output; // read -o; empty or "-" is standard output
    std::optional<uint8_t> Port;
    std::string Device;
    std::optional<std::string> LogFolder;
    bool Help = false;
    bool Version = false;
};

struct TUsageError {
    std::string Text;
};

// Parses argv by getopt_long: "--port=N", "--port N" and "-p N" alike, "--" ending the options.
// --help and --version win over any fault of the rest; otherwise a fault raises TUsageError.
TOptions ParseOptions(int argc, char** argv);

// The commands and their options, a line each: the help's first lines, and what a usage error
// shows below its message.
extern const char* const Synopsis;
// What the help says of the configuration commands after the synopsis.
extern const char* const UsageDetails;

} // namespace dravik::cli
