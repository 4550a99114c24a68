#pragma once

#include <map>

#include <QObject>
#include <QString>

class QPlainTextEdit;

namespace dravik::ui {

// The lines of the script editor that the write would refuse: each is underlined with a wave and
// shows its problem as a tooltip when the mouse rests on it.
class TScriptMarks : public QObject {
    Q_OBJECT

public:
    explicit TScriptMarks(QPlainTextEdit& editor);

    // The problem of each marked line, by its index; replaces the marks before.
    void SetProblems(std::map<int, QString> problems);
    // The problem of a line, or an empty text.
    QString Problem(int line) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowMarks();

    QPlainTextEdit& Editor;
    QWidget* Viewport; // the editor's, which shows the text and takes the mouse
    std::map<int, QString> Problems;
};

} // namespace dravik::ui
