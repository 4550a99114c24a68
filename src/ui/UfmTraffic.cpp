#include "ui/UfmTraffic.h"

#include "base/Text.h"
#include "ui/ErrorGuard.h"
#include "ui/UiLook.h"
#include "ui/UiText.h"

#include <array>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace dravik::ui {
namespace {

constexpr QSize InitialSize(720, 420); // a frame in hex, its time stamp and a screenful of lines
constexpr int Spacing = 6;

// Colours that read on a light and on a dark background alike.
struct TKindLook {
    QColor Colour;
    bool Bold = false;
};

TKindLook LookOf(LogEntryKind kind) {
    switch (kind) {
    case lkSent:
        return {QColor(0x2f, 0x6f, 0xd0), false};
    case lkReceived:
        return {QColor(0x2e, 0x9a, 0x4a), false};
    case lkError:
        return {QColor(0xd0, 0x30, 0x30), true};
    default: // information and the closing rule
        return {QColor(0x90, 0x90, 0x90), false};
    }
}

// The legend under the lines: each kind's character and name, in its colour.
QString Legend() {
    struct Entry {
        LogEntryKind Kind;
        const char* Text;
    };
    QStringList parts;
    for (const Entry& entry : {Entry{lkSent, "&lt; отправлено"}, Entry{lkReceived, "&gt; принято"},
                               Entry{lkInfo, "i сведения"}, Entry{lkError, "e ошибка"}}) {
        const TKindLook look = LookOf(entry.Kind);
        parts.append(QStringLiteral("<span style=\"color:%1;%2\">%3</span>")
                         .arg(look.Colour.name(),
                              look.Bold ? QStringLiteral("font-weight:bold") : QString(),
                              QString::fromUtf8(entry.Text)));
    }
    return parts.join(QStringLiteral("&nbsp;&nbsp;&nbsp;"));
}

// A path of the link log as the file system spells it, made absolute against the current
// directory, which is where a relative log lies.
QString AbsolutePath(const std::string& path) {
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).absoluteFilePath();
}

} // namespace

TfmTraffic::TfmTraffic(QWidget* parent)
    : QWidget(parent, Qt::Window), OpenUrl(&QDesktopServices::openUrl) {
    setObjectName(QStringLiteral("fmTraffic"));
    setWindowTitle(QStringLiteral("Журнал обмена"));
    setFont(UiFont());
    resize(InitialSize);

    lblLogState = new QLabel(this);
    lblLogState->setObjectName(QStringLiteral("lblLogState"));
    eLogPath = new QLineEdit(this);
    eLogPath->setObjectName(QStringLiteral("eLogPath"));
    eLogPath->setReadOnly(true);
    btnOpenFolder = new QPushButton(QStringLiteral("Открыть папку"), this);
    btnOpenFolder->setObjectName(QStringLiteral("btnOpenFolder"));
    btnClear = new QPushButton(QStringLiteral("Очистить"), this);
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnClear->setToolTip(QStringLiteral("Очистить окно; файл журнала остаётся как есть"));

    mTraffic = new QPlainTextEdit(this);
    mTraffic->setObjectName(QStringLiteral("mTraffic"));
    mTraffic->setReadOnly(true);
    mTraffic->setLineWrapMode(QPlainTextEdit::NoWrap);
    mTraffic->setMaximumBlockCount(MaxLines);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(font().pointSize());
    mTraffic->setFont(fixed);
    mTraffic->setFocus(); // the lines, not the path, take the keys when the window opens

    auto* legend = new QLabel(Legend(), this);
    legend->setObjectName(QStringLiteral("lblLegend"));

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(lblLogState);
    pathRow->addWidget(eLogPath, 1);
    pathRow->addWidget(btnOpenFolder);
    auto* bottomRow = new QHBoxLayout;
    bottomRow->addWidget(legend, 1);
    bottomRow->addWidget(btnClear);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(Spacing);
    layout->addLayout(pathRow);
    layout->addWidget(mTraffic, 1);
    layout->addLayout(bottomRow);

    connect(btnOpenFolder, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnOpenFolderClick(); }); });
    connect(btnClear, &QPushButton::clicked, mTraffic, &QPlainTextEdit::clear);

    ShowLogState(QStringLiteral("Папка журнала:"), LogFolder(), true);
    // Lines come on the thread that writes them; the window takes them on its own. A call
    // queued for a window that has gone is dropped with it.
    SetLinkLogListener([this](const TLinkLogLine& line) {
        QMetaObject::invokeMethod(
            this, [this, line] { Receive(line); }, Qt::QueuedConnection);
    });
}

TfmTraffic::~TfmTraffic() {
    SetLinkLogListener({});
}

QString TfmTraffic::LogFolder() const {
    if (!LogFile.isEmpty()) {
        return QFileInfo(LogFile).absolutePath();
    }
    return QDir(QFile::decodeName(QByteArray::fromStdString(LinkLogFolder()))).absolutePath();
}

void TfmTraffic::Receive(const TLinkLogLine& line) {
    LogFile = AbsolutePath(line.Path);
    switch (line.Event) {
    case TLinkLogEvent::Line:
        ShowLogState(QStringLiteral("Файл журнала:"), LogFile, true);
        AppendLine(line);
        break;
    case TLinkLogEvent::Off:
        ShowLogState(QStringLiteral("Журнал не ведётся:"), LogFile, false);
        break;
    case TLinkLogEvent::Unavailable:
        ShowLogState(QStringLiteral("Журнал не ведётся, файл не открылся:"), LogFile, false);
        break;
    }
}

// One block per line, in its kind's colour; the view follows the end unless the user has
// scrolled up to read.
void TfmTraffic::AppendLine(const TLinkLogLine& line) {
    QScrollBar* bar = mTraffic->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextDocument* document = mTraffic->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    if (!document->isEmpty()) {
        cursor.insertBlock();
    }
    const TKindLook look = LookOf(line.Kind);
    QTextCharFormat format;
    format.setForeground(look.Colour);
    format.setFontWeight(look.Bold ? QFont::Bold : QFont::Normal);
    cursor.insertText(FromCp1251(line.Text), format);
    cursor.block().setUserState(line.Kind);
    if (atEnd) {
        bar->setValue(bar->maximum());
    }
}

void TfmTraffic::ShowLogState(const QString& state, const QString& path, bool kept) {
    lblLogState->setText(state);
    QPalette palette = lblLogState->palette();
    palette.setColor(QPalette::WindowText, kept ? QWidget::palette().color(QPalette::WindowText)
                                                : LookOf(lkError).Colour);
    lblLogState->setPalette(palette);
    eLogPath->setText(path);
    eLogPath->setToolTip(path);
    eLogPath->setCursorPosition(0);
}

void TfmTraffic::btnOpenFolderClick() {
    const QString folder = LogFolder();
    if (!OpenUrl(QUrl::fromLocalFile(folder))) {
        Raise(Cp1251("Не удалось открыть папку ") + ToCp1251(folder));
    }
}

} // namespace dravik::ui
