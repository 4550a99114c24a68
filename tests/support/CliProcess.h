#pragma once

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dravik::test {

// The generous time a child program gets to do what a test waits for: a loaded machine is slow.
constexpr int ChildDeadlineMs = 20000;

// How a run of dravik_cli ended: its exit status (-1 for a signal) and what it wrote.
struct CliRun {
    int status;
    std::string out;
    std::string err;
};

// dravik_cli run to its end with these arguments (a shell's words), standard input from input and
// standard output to output, run by prefix (an environment, another user) when one is given.
// Standard error goes to cli.err in the current directory; an output under /dev is not read back
// (/dev/full reads as endless zeros).
CliRun Cli(const std::string& arguments, const std::string& input = "/dev/null",
           const std::string& output = "cli.out", const std::string& prefix = "");

// Whether done() came to hold within the deadline, asked every few milliseconds.
bool AwaitUntil(const std::function<bool()>& done);

// dravik_cli started in the background with these arguments, its output in cli.out and cli.err
// of the current directory.
pid_t StartCli(const std::vector<std::string>& arguments);

// The child's exit status, or -1 when it was ended by a signal or did not end within the
// deadline (it is killed then).
int AwaitExit(pid_t pid);

// Whether the file came to hold the text within the deadline.
bool AwaitInFile(const std::string& path, const std::string& text);

} // namespace dravik::test
