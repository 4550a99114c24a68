#pragma once

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

namespace dravik::ui {

class TankTableModel;

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

private:
    TankTableModel& Model;
    mutable QPointer<QLineEdit> OpenEditor;
    mutable QPersistentModelIndex OpenIndex;
};

} // namespace dravik::ui
