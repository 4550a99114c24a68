#pragma once

#include "base/Cancellation.h"

#include <string>
#include <string_view>

namespace dravik::cli {

// All of standard input; raises "Cannot read standard input" with the system's reason, or
// TCancelled when a signal interrupts the wait (a terminal's input may never end).
std::string ReadStandardInput(const TCancellation& cancellation);

// Writes bytes to standard output and flushes them; raises "Cannot write standard output" with
// the system's reason (a full disk, a closed descriptor).
void WriteStandardOutput(std::string_view bytes);

// A message of the program's own (Windows-1251, its lines parted by CR LF as in the link log)
// as a terminal or a pipe wants it: UTF-8, lines ending in LF alone.
std::string ForTerminal(std::string_view cp1251);

// Says a message on standard error, ending with a full stop.
void Say(const std::string& cp1251);

} // namespace dravik::cli
