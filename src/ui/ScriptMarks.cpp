#include "ui/ScriptMarks.h"

#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QToolTip>

namespace dravik::ui {
namespace {

const QColor MarkColour(Qt::red);

} // namespace

TScriptMarks::TScriptMarks(QPlainTextEdit& editor)
    : QObject(&editor), Editor(editor), Viewport(editor.viewport()) {
    Viewport->installEventFilter(this);
}

void TScriptMarks::SetProblems(std::map<int, QString> problems) {
    Problems = std::move(problems);
    ShowMarks();
}

QString TScriptMarks::Problem(int line) const {
    const auto found = Problems.find(line);
    return found == Problems.end() ? QString() : found->second;
}

void TScriptMarks::ShowMarks() {
    QList<QTextEdit::ExtraSelection> marks;
    const QTextDocument& document = *Editor.document();
    for (const auto& [line, problem] : Problems) {
        const QTextBlock block = document.findBlockByNumber(line);
        if (!block.isValid()) {
            continue;
        }
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(block);
        mark.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        mark.format.setUnderlineColor(MarkColour);
        marks.append(mark);
    }
    Editor.setExtraSelections(marks);
}

bool TScriptMarks::eventFilter(QObject* watched, QEvent* event) {
    // Events reach the filter while the editor is being destroyed: the pointer is only compared.
    if (watched != Viewport || event->type() != QEvent::ToolTip) {
        return QObject::eventFilter(watched, event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString problem = Problem(Editor.cursorForPosition(help->pos()).blockNumber());
    if (problem.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(help->globalPos(), problem, Viewport);
    }
    return true;
}

} // namespace dravik::ui
