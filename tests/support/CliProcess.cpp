#include "support/CliProcess.h"

#include "support/Files.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace dravik::test {
namespace {

constexpr std::chrono::milliseconds Step(20);

// Polls until done() holds or the deadline has passed.
template <typename Done>
bool AwaitUntil(Done done) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(ChildDeadlineMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(Step);
    }
    return true;
}

} // namespace

pid_t StartCli(const std::vector<std::string>& arguments) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::freopen("cli.out", "w", stdout);
        ::freopen("cli.err", "w", stderr);
        const std::string program = std::string(DRAVIK_BIN_DIR) + "/dravik_cli";
        std::vector<char*> argv = {const_cast<char*>(program.c_str())};
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int AwaitExit(pid_t pid) {
    int raw = 0;
    if (!AwaitUntil([&] { return ::waitpid(pid, &raw, WNOHANG) == pid; })) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return -1;
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

bool AwaitInFile(const std::string& path, const std::string& text) {
    return AwaitUntil([&] { return ReadBytes(path).find(text) != std::string::npos; });
}

} // namespace dravik::test
