#include "ui/TankCellDelegate.h"

#include "ui/CellInteger.h"
#include "ui/ErrorGuard.h"
#include "ui/TankTableModel.h"
#include "ui/UiText.h"

namespace dravik::ui {
namespace {

// As the table marks a cell: a pale red under dark text.
const QColor MarkedBase(255, 200, 200);
const QColor MarkedText(Qt::black);

} // namespace
} // namespace dravik::ui

namespace dravik::ui {

TankCellDelegate::TankCellDelegate(TankTableModel& model, QObject* parent)
    : QStyledItemDelegate(parent), Model(model) {
}

QWidget* TankCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& /*option*/,
                                        const QModelIndex& index) const {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    OpenEditor = editor;
    OpenIndex = index;
    connect(editor, &QLineEdit::textEdited, this, &TankCellDelegate::PendingEditChanged);
    return editor;
}

void TankCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* lineEdit = static_cast<QLineEdit*>(editor);
    // The view refreshes an open editor whenever its cell changes, marks included: what the
    // user is typing stays until it is stored.
    if (lineEdit->isModified()) {
        return;
    }
    // setText also marks the editor unmodified: only typing makes it worth storing.
    lineEdit->setText(index.data(Qt::EditRole).toString());
}

void TankCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* /*model*/,
                                    const QModelIndex& index) const {
    auto* lineEdit = static_cast<QLineEdit*>(editor);
    if (!lineEdit->isModified()) {
        return;
    }
    const QString text = lineEdit->text();
    // Unmodified before storing, so that the focus the message box takes does not store it again.
    lineEdit->setModified(false);
    if (!GuardedDeferred([&] { Model.StoreCellText(index, text); }, CellRefusalAdvice)) {
        setEditorData(editor, index);
    }
}

void TankCellDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    if (editor == OpenEditor) {
        OpenEditor = nullptr;
        OpenIndex = QPersistentModelIndex();
    }
    QStyledItemDelegate::destroyEditor(editor, index);
}

void TankCellDelegate::CommitPendingEdit() {
    if (!OpenEditor || !OpenEditor->isModified() || !OpenIndex.isValid()) {
        return;
    }
    Model.StoreCellText(OpenIndex, OpenEditor->text());
    OpenEditor->setModified(false);
    setEditorData(OpenEditor, OpenIndex);
}

std::optional<TankCellDelegate::TPendingValue> TankCellDelegate::PendingValue() const {
    if (!OpenEditor || !OpenEditor->isModified() || !OpenIndex.isValid()) {
        return std::nullopt;
    }
    const QString text = OpenEditor->text();
    if (text.isEmpty()) {
        return TPendingValue{OpenIndex, std::nullopt};
    }
    const std::optional<int32_t> number = ParseCellInteger(ToCp1251(text));
    if (!number) {
        return std::nullopt;
    }
    return TPendingValue{OpenIndex, number};
}

void TankCellDelegate::MarkEditor(const std::map<int, TCellProblem>& problems) {
    if (!OpenEditor || !OpenIndex.isValid()) {
        return;
    }
    const auto found = problems.find(OpenIndex.row());
    const bool marked = found != problems.end() && found->second.Column == OpenIndex.column();
    QPalette palette = OpenEditor->parentWidget()->palette();
    if (marked) {
        palette.setColor(QPalette::Base, MarkedBase);
        palette.setColor(QPalette::Text, MarkedText);
    }
    OpenEditor->setPalette(palette);
    OpenEditor->setToolTip(marked ? found->second.Text : QString());
}

} // namespace dravik::ui
