#pragma once

#include "link/LinkLog.h"

#include <functional>

#include <QString>
#include <QUrl>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace dravik::ui {

// «Журнал обмена»: this session's link-log lines as they are written, in Unicode, coloured by
// kind, with the log file's path and a way to its folder. It listens from its creation, so it
// holds the traffic from the start whether or not it is shown. One per process: it is the link
// log's one listener.
class TfmTraffic : public QWidget {
    Q_OBJECT

public:
    explicit TfmTraffic(QWidget* parent = nullptr);
    ~TfmTraffic() override; // stops listening before anything of the window goes

    TfmTraffic(const TfmTraffic&) = delete;
    TfmTraffic& operator=(const TfmTraffic&) = delete;

    // The oldest lines go beyond this many, so a long session stays small.
    static constexpr int MaxLines = 10000;

    QLabel* lblLogState; // what the path is: the file, the folder, or a log that is not kept
    QLineEdit* eLogPath; // read-only: may be selected and copied
    QPushButton* btnOpenFolder;
    QPushButton* btnClear;
    QPlainTextEdit* mTraffic; // one block per line; the block's user state is its kind

    // Opens the folder in the desktop's file manager; tests answer in its place.
    std::function<bool(const QUrl&)> OpenUrl;

    // Shows one line, or that a channel runs without a log. On the user-interface thread.
    void Receive(const TLinkLogLine& line);

    // The folder «Открыть папку» opens: that of the last log file, before any the log folder.
    QString LogFolder() const;

private:
    void AppendLine(const TLinkLogLine& line);
    void ShowLogState(const QString& state, const QString& path, bool kept);
    void btnOpenFolderClick();

    QString LogFile; // absolute; empty until a channel has opened its log
};

} // namespace dravik::ui
