#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace dravik::test {

// The generous time a child program gets to do what a test waits for: a loaded machine is slow.
constexpr int ChildDeadlineMs = 20000;

// dravik_cli started in the background with these arguments, its output in cli.out and cli.err
// of the current directory.
pid_t StartCli(const std::vector<std::string>& arguments);

// The child's exit status, or -1 when it was ended by a signal or did not end within the
// deadline (it is killed then).
int AwaitExit(pid_t pid);

// Whether the file came to hold the text within the deadline.
bool AwaitInFile(const std::string& path, const std::string& text);

} // namespace dravik::test
