#include "ui/CommandProgress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace dravik::ui {
namespace {

constexpr QSize BusySize(40, 12);
constexpr int ButtonHeight = 21;
constexpr int Spacing = 6;
constexpr int RightMargin = 2;

QString BlockText(TTransferBlock block) {
    switch (block) {
    case TTransferBlock::Mask:
        return QStringLiteral("маска");
    case TTransferBlock::Thresholds:
        return QStringLiteral("пороги");
    case TTransferBlock::Script:
        return QStringLiteral("скрипт");
    case TTransferBlock::Verify:
        return QStringLiteral("проверка");
    }
    return {};
}

} // namespace

QString StepText(const TTransferStep& step) {
    const QString block = BlockText(step.Block);
    // The same words as the link log's line for a repeated request.
    return step.Attempt > 1 ? QStringLiteral("%1, Дубль %2").arg(block).arg(step.Attempt) : block;
}

TCommandProgress::TCommandProgress(std::function<void()> abort, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("CommandProgress"));
    lblStep = new QLabel(this);
    lblStep->setObjectName(QStringLiteral("lblStep"));
    pbBusy = new QProgressBar(this);
    pbBusy->setObjectName(QStringLiteral("pbBusy"));
    pbBusy->setRange(0, 0); // no end known: the bar only shows that work goes on
    pbBusy->setTextVisible(false);
    pbBusy->setFixedSize(BusySize);
    btnAbort = new QPushButton(QStringLiteral("Прервать"), this);
    btnAbort->setObjectName(QStringLiteral("btnAbort"));
    btnAbort->setFixedHeight(ButtonHeight);
    btnAbort->setShortcut(QKeySequence(Qt::Key_Escape));
    btnAbort->setFocusPolicy(Qt::NoFocus); // the keyboard stays where the user left it
    connect(btnAbort, &QPushButton::clicked, this, [this, abort = std::move(abort)] {
        btnAbort->setEnabled(false); // pressed once: the command is on its way out
        abort();
    });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, RightMargin, 0);
    layout->setSpacing(Spacing);
    layout->addWidget(lblStep);
    layout->addWidget(pbBusy);
    layout->addWidget(btnAbort);
}

void TCommandProgress::Show(const TTransferStep& step) {
    lblStep->setText(StepText(step));
}

} // namespace dravik::ui
