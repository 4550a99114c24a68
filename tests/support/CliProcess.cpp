#include "support/CliProcess.h"

#include "support/Files.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace dravik::test {
namespace {

constexpr std::chrono::milliseconds Step(20);

} // namespace

CliRun Cli(const std::string& arguments, const std::string& input, const std::string& output,
           const std::string& prefix) {
    const std::string err = std::filesystem::current_path() / "cli.err";
    const std::string command = prefix + std::string(DRAVIK_BIN_DIR) + "/dravik_cli " + arguments +
                                " <" + input + " >" + output + " 2>" + err;
    const int raw = std::system(command.c_str());
    const std::string out = output.starts_with("/dev/") ? std::string() : ReadBytes(output);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out, ReadBytes(err)};
}

bool AwaitUntil(const std::function<bool()>& done) {
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
