#pragma once

#include <optional>

namespace dravik::app {

// The window's own options, looked at before Qt starts: --help and --version answer without a
// display; --from-menu (given by the desktop entry) sends the link logs to the user's state folder.
// Anything else is left to Qt (-platform NAME and the like).

// The exit status when the command line asks only for --help or --version, answered on stdout.
std::optional<int> AnswerWithoutWindow(int argc, char* argv[]);

bool StartedFromMenu(int argc, char* argv[]);

} // namespace dravik::app
