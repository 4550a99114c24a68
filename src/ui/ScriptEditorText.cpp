#include "ui/ScriptEditorText.h"

#include "ui/UiText.h"

#include <QStringList>
#include <QTextDocument>

namespace dravik::ui {
namespace {

constexpr QChar LineBreak = u'\n';
constexpr QChar CarriageReturn = u'\r';
// The editor breaks a line at a carriage return, so one inside a line is shown as its picture.
constexpr QChar CarriageReturnPicture = QChar(0x240D);
// What the document holds between lines and around frames; all of it ends a line.
constexpr QChar DocumentBreaks[] = {QChar(QChar::ParagraphSeparator), QChar(QChar::LineSeparator),
                                    QChar(0xFDD0), QChar(0xFDD1)};

} // namespace

QString ScriptText(const TScriptLines& script) {
    QStringList lines;
    for (int i = 0; i < script.Count(); ++i) {
        lines.append(FromCp1251(script[i]).replace(CarriageReturn, CarriageReturnPicture));
    }
    const bool lastEmpty = !lines.isEmpty() && lines.back().isEmpty();
    return lines.join(LineBreak) + (lastEmpty ? QString(LineBreak) : QString());
}

std::vector<std::string> ScriptLines(const QTextDocument& document) {
    QString text = document.toRawText();
    for (const QChar separator : DocumentBreaks) {
        text.replace(separator, LineBreak);
    }
    QStringList lines = text.split(LineBreak);
    if (lines.back().isEmpty()) {
        lines.removeLast(); // an empty text, or one that ends in a line break
    }
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(lines.size()));
    for (QString& line : lines) {
        out.push_back(ToCp1251(line.replace(CarriageReturnPicture, CarriageReturn)));
    }
    return out;
}

} // namespace dravik::ui
