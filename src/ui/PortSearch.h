#pragma once

#include "base/Cancellation.h"
#include "base/PortResolver.h"
#include "link/SerialPorts.h"

#include <vector>

#include <QObject>
#include <QString>

class QThread;

namespace dravik::ui {

// The search for the controller on a thread of its own, so that the dialog stays live: it probes
// the ports in turn and reports each one. Destroying it cancels the search and waits for the probe
// under way, at most one reply timeout.
class TPortSearch : public QObject {
    Q_OBJECT

public:
    TPortSearch(std::vector<TSerialPort> ports, TPortResolver resolver, QObject* parent);
    ~TPortSearch() override;
    TPortSearch(const TPortSearch&) = delete;
    TPortSearch& operator=(const TPortSearch&) = delete;

    void Start();
    void Cancel();
    bool IsCancelled() const;

signals:
    // Each port of the list once, in order, on the thread that made the search.
    void Probed(int index, bool answered, const QString& message);
    void Finished();

private:
    std::vector<TSerialPort> Ports;
    TPortResolver Resolver;
    TCancellation Cancellation;
    QThread* Thread = nullptr;
};

} // namespace dravik::ui
