#pragma once

#include "base/Cancellation.h"
#include "base/PortResolver.h"
#include "config/TerminalConfig.h"
#include "protocol/TransferStep.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <QObject>

namespace dravik::ui {

// Compare reads what a write of the configuration would have sent and lists the differences.
enum class TCommandKind { Read, Write, Compare };

// What a command is given: the port as the window's terminal holds it and the configuration to
// write (a read starts from it and gives it back filled in).
struct TCommandInput {
    TCommandKind Kind = TCommandKind::Read;
    uint8_t Port = 1;
    TPortResolver Resolver;
    TTerminalConfig Config;
};

// One read or write of the controller on a thread of its own. The thread touches only what this
// object owns: a terminal made for this command alone and its own copy of the configuration, so
// the window's terminal and record stay the user-interface thread's. Progress and the end are
// handed to the handlers on the thread that created the object, through its event loop.
class TControllerCommand : public QObject {
public:
    struct THandlers {
        std::function<void(const TTransferStep&)> Progress;
        std::function<void()> Finished; // the port is closed by then
    };

    TControllerCommand(TCommandInput input, THandlers handlers);
    // Cancels a command still running and waits for its thread, which closes the port.
    ~TControllerCommand() override;
    TControllerCommand(const TControllerCommand&) = delete;
    TControllerCommand& operator=(const TControllerCommand&) = delete;

    // Asks the running exchange to stop; the command then ends with TCancelled.
    void Cancel() noexcept { Cancellation.Cancel(); }
    bool IsCancelled() const noexcept { return Cancellation.IsCancelled(); }

    TCommandKind Kind() const { return Input.Kind; }
    uint8_t Port() const { return Input.Port; }
    const TPortResolver& Resolver() const { return Input.Resolver; }
    // Once Finished has been handed over: what the transfer left in its configuration, and its
    // failure, if any.
    const TTerminalConfig& Config() const { return Input.Config; }
    std::exception_ptr Failure() const { return Error; }
    // Once a comparison has finished: what the controller holds otherwise than the configuration.
    const std::vector<std::string>& Differences() const { return Found; }

private:
    void Run();
    void Report(const TTransferStep& step);
    void Finish();

    TCommandInput Input;
    THandlers Handlers;
    TCancellation Cancellation;
    std::exception_ptr Error;
    std::vector<std::string> Found;
    std::thread Thread;
};

} // namespace dravik::ui
