#pragma once

#include "ui/TankTableModel.h"

#include <cstdint>
#include <map>
#include <optional>

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

namespace dravik::ui {

// Edits the threshold cells of the tank grid as plain text and stores it through the table's
// own rule for whole numbers; remembers the open editor so a command can store it first.
class TankCellDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    TankCellDelegate(TankTableModel& model, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;

    // Stores the text of an editor the user has typed into; raises when it is not a number.
    void CommitPendingEdit();

    // The cell whose editor the user is typing into, with the number it holds so far (none while
    // empty); nothing when no editor is changed or its text is not a whole number yet.
    struct TPendingValue {
        QModelIndex Cell;
        std::optional<int32_t> Value;
    };
    std::optional<TPendingValue> PendingValue() const;

    // Shows the problem of the open editor's cell, if it has one, on the editor itself, which
    // covers the cell's own mark.
    void MarkEditor(const std::map<int, TCellProblem>& problems);

signals:
    // The user typed into the open editor.
    void PendingEditChanged();

private:
    TankTableModel& Model;
    mutable QPointer<QLineEdit> OpenEditor;
    mutable QPersistentModelIndex OpenIndex;
};

} // namespace dravik::ui
