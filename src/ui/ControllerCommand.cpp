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
        switch (Input.Kind) {
        case TCommandKind::Read:
            terminal.ReadConfig(Input.Config);
            break;
        case TCommandKind::Write:
            terminal.WriteConfig(Input.Config);
            break;
        case TCommandKind::Compare:
            Found = terminal.VerifyConfig(Input.Config);
            break;
        }
    } catch (...) {
        Error = std::current_exception();
    }
    // The queued call is what hands Config, Found and Error over: it is posted after both were set.
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
