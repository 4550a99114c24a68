#include "support/Simulator.h"

#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace dravik::test {
namespace {

constexpr int StartDeadlineMs = 20000;

} // namespace

Simulator::Simulator(std::vector<std::string> arguments) {
    LinkPath = Folder.File("ttySIM");
    StateFile = Folder.File("state.txt");
    bool hasState = false;
    for (size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == "--state") {
            hasState = true;
            StateFile = arguments[i + 1]; // State() reads the registers where they are kept
        }
    }
    std::vector<std::string> args = {DRAVIK_BIN_DIR "/dravik_sim", "--link", LinkPath};
    if (!hasState) {
        args.insert(args.end(), {"--state", StateFile});
    }
    args.insert(args.end(), arguments.begin(), arguments.end());

    int out[2];
    if (::pipe(out) != 0) {
        throw std::runtime_error("pipe failed");
    }
    Pid = ::fork();
    if (Pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    // Ready once it prints the link.
    std::string printed;
    pollfd p{out[0], POLLIN, 0};
    while (printed.find('\n') == std::string::npos && ::poll(&p, 1, StartDeadlineMs) > 0) {
        char buffer[256];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        printed.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    if (printed != LinkPath + "\n") {
        Stop();
        throw std::runtime_error("dravik_sim did not start: '" + printed + "'");
    }
}

Simulator::~Simulator() {
    Stop(); // the folder goes after the simulator that writes into it
}

std::map<int, uint16_t> Simulator::State() const {
    std::map<int, uint16_t> registers;
    std::ifstream in(StateFile);
    int address = 0;
    std::string value;
    while (in >> address >> value) {
        registers[address] = static_cast<uint16_t>(std::stoul(value, nullptr, 16));
    }
    return registers;
}

int Simulator::Stop() {
    if (Pid <= 0) {
        return -1;
    }
    ::kill(Pid, SIGTERM);
    int status = 0;
    ::waitpid(Pid, &status, 0);
    Pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace dravik::test
