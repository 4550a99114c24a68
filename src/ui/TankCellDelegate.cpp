#include "ui/TankCellDelegate.h"

#include "ui/ErrorGuard.h"
#include "ui/TankTableModel.h"

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
    return editor;
}

void TankCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    // setText also marks the editor unmodified: only typing makes it worth storing.
    static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
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
    if (!GuardedDeferred([&] { Model.StoreCellText(index, text); })) {
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
    setEditorData(OpenEditor, OpenIndex);
}

} // namespace dravik::ui
