#include "ui/PortSearch.h"

#include "protocol/ControllerProbe.h"
#include "ui/UiText.h"

#include <QThread>

namespace dravik::ui {

TPortSearch::TPortSearch(std::vector<TSerialPort> ports, TPortResolver resolver, QObject* parent)
    : QObject(parent), Ports(std::move(ports)), Resolver(std::move(resolver)) {
}

TPortSearch::~TPortSearch() {
    Cancel();
    if (Thread != nullptr) {
        Thread->wait();
        delete Thread;
    }
}

void TPortSearch::Start() {
    // Signals sent from the worker reach the receivers on their own thread, queued.
    Thread = QThread::create([this] {
        ScanForController(
            Ports, Resolver, &Cancellation, [this](size_t index, const TProbeResult& result) {
                emit Probed(static_cast<int>(index), result.Answered, FromCp1251(result.Message));
            });
        emit Finished();
    });
    Thread->start();
}

void TPortSearch::Cancel() {
    Cancellation.Cancel();
}

bool TPortSearch::IsCancelled() const {
    return Cancellation.IsCancelled();
}

} // namespace dravik::ui
