#pragma once

#include <functional>

namespace dravik {

// Runs a command-line program's body and turns whatever escapes it into one line on standard
// error, "<program>: <message>", and exit status 1: running out of memory, a library's exception,
// the program's own failure. No input ends a program by abort.
int RunProgram(const char* program, const std::function<int()>& body);

} // namespace dravik
