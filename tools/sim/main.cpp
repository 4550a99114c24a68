// dravik_sim: a tank-level controller on a pseudo-terminal, Modbus RTU slave 32 at 19200 8N1,
// answered by libmodbus so that the master meets an implementation that is not its own.
#include "Controller.h"
#include "Options.h"
#include "base/ProgramGuard.h"

#include <csignal>

namespace {

void OnSignal(int) {
    sim::StopRequested = 1;
}

int Main(int argc, char** argv) {
    const sim::Options options = sim::ParseOptions(argc, argv);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sim::Controller controller(options);
    controller.Serve();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return dravik::RunProgram("dravik_sim", [&] { return Main(argc, argv); });
}
