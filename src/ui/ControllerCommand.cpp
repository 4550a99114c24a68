#include "ui/ControllerCommand.h"

#include "protocol/Terminal.h"

#include <utility>

namespace dravik::ui {

TControllerCommand::TControllerCommand(TCommandInput input, THandlers handlers)
    : Input(std::move(input)), Handlers(std::move(handlers)) {
    Thread = std::thread([this] { Run(); });
}

TControllerCommand::~TControllerCommand() {
    Cancel();
    if (Thread.joinable()) {
        Thread.join();
    }
}

void TControllerCommand::Run() {
    try {
        TTerminal terminal;
        terminal.Port = Input.Port;
        terminal.Resolver = Input.Resolver;
        terminal.Cancellation = &Cancellation;
        terminal.Progress = [this](const TTransferStep& step) { Report(step); };
        if (Input.Kind == TCommandKind::Read) {
            terminal.ReadConfig(Input.Config);
        } else {
            terminal.WriteConfig(Input.Config);
        }
    } catch (...) {
        Error = std::current_exception();
    }
    // The queued call is what hands Config and Error over: it is posted after both were set.
    QMetaObject::invokeMethod(
        this, [this] { Finish(); }, Qt::QueuedConnection);
}

void TControllerCommand::Report(const TTransferStep& step) {
    QMetaObject::invokeMethod(
        this, [this, step] { Handlers.Progress(step); }, Qt::QueuedConnection);
}

void TControllerCommand::Finish() {
    Thread.join(); // it has nothing left to do but return
    Handlers.Finished();
}

} // namespace dravik::ui
