#pragma once

#include "base/PortResolver.h"
#include "link/SerialPorts.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace dravik::ui {

class NumberEdit;
class TPortSearch;

// The connection dialog: the number of the COM port through which the controller is reached,
// with the serial devices present to choose from and a search for the controller among them.
// It touches neither the terminal nor the settings; the main window's command does. It names the
// settings file that keeps the number, which may be beside the program or in the user's folder.
class TfmConn : public QDialog {
    Q_OBJECT

public:
    // The resolver tells the user which device a number stands for and lists the ports.
    TfmConn(QWidget* owner, TPortResolver resolver, const QString& settingsPath = QString());
    ~TfmConn() override;

    QLabel* Label4;
    NumberEdit* eComPort;
    QLabel* lblDevice;
    QLabel* lblSettings;
    QTableWidget* dsPorts;
    QPushButton* btnFind;
    QProgressBar* pbFind;
    QLabel* lblFind;
    QPushButton* btnOk;
    QPushButton* Button2;

    // Gives a device without a number the next free one in the settings' port map and returns
    // it; without it the dialog offers no number.
    std::function<int32_t(const std::string& device)> AddPortEntry;

    void eComPortChange();
    // Fills the list; the dialog shows the ports present when it opens.
    void ShowPorts(std::vector<TSerialPort> ports);
    const std::vector<TSerialPort>& Ports() const { return PortList; }
    // The rows where the controller answered in the last search.
    const std::vector<int>& FoundRows() const { return Found; }
    bool IsSearching() const { return Search != nullptr; }

protected:
    // The number shown is selected, so that typing replaces it.
    void showEvent(QShowEvent* event) override;

private:
    // A click, a double click or Enter on a row: its number, or the offer of one. Merely moving
    // through the list changes nothing, so that tabbing into it does not replace the number.
    void dsPortsChoose(int row);
    void btnFindClick();
    void SearchProbed(int index, bool answered, const QString& message);
    void SearchFinished();
    void ShowRow(int row);

    TPortResolver Resolver;
    std::vector<TSerialPort> PortList;
    std::vector<int> Found;
    std::set<std::string> Asked; // devices offered a number
    std::unique_ptr<TPortSearch> Search;
};

} // namespace dravik::ui
