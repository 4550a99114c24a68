#include "ChildRun.h"

#include <chrono>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dravik::bench {
namespace {

constexpr int ExecFailed = 127;
constexpr size_t PipeChunk = 4096;

double Ms(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_usec) / 1000;
}

} // namespace

TChildRun RunProgram(const std::vector<std::string>& arguments, std::string* output) {
    std::vector<std::string> copy = arguments;
    std::vector<char*> argv;
    for (std::string& a : copy) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (output != nullptr && ::pipe(pipeFds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(output != nullptr ? pipeFds[1] : null, STDOUT_FILENO);
        if (output != nullptr) {
            ::close(pipeFds[0]);
        }
        ::dup2(null, STDERR_FILENO);
        ::execvp(argv[0], argv.data());
        ::_exit(ExecFailed);
    }
    if (output != nullptr) {
        ::close(pipeFds[1]);
        char buffer[PipeChunk];
        ssize_t n = 0;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            output->append(buffer, static_cast<size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    TChildRun run;
    run.WallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.CpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace dravik::bench
