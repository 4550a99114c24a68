#pragma once

#include <string>
#include <vector>

namespace dravik::bench {

struct TChildRun {
    double WallMs = 0;
    double CpuMs = 0;  // user and system time of the child
    int ExitCode = -1; // -1 when it did not end by itself
};

// Runs a program as a user would and waits for it; its standard output goes to output when one
// is given, else it is thrown away with its errors. The program is looked up in PATH when its
// name has no slash.
TChildRun RunProgram(const std::vector<std::string>& arguments, std::string* output = nullptr);

} // namespace dravik::bench
