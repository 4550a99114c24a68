#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include <QAbstractTableModel>

namespace dravik::ui {

// One row of the tank table. A threshold the user emptied holds no value.
struct TTankRow {
    int32_t idx = 0; // index into the record's tanks; never shown, never edited
    bool active = false;
    std::optional<int32_t> hmin;
    std::optional<int32_t> hmax;
    std::optional<int32_t> hhigh;

    // The threshold shown in a column of the table (ColHmin, ColHmax or ColHhigh).
    std::optional<int32_t>& Threshold(int column);
    const std::optional<int32_t>& Threshold(int column) const;

    bool operator==(const TTankRow&) const = default;
};

// A cell whose value the write would refuse, with the refusal as the user would read it.
struct TCellProblem {
    int Column = 0;
    QString Text;

    bool operator==(const TCellProblem&) const = default;
};

// The in-memory tank table under the grid: either empty or the sixteen rows the window appended.
// Only existing rows are edited; rows are neither inserted nor removed by the user.
class TankTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColNpp, ColActive, ColHmin, ColHmax, ColHhigh, ColumnCount };

    explicit TankTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    void Clear();
    void Append(const TTankRow& row);
    const TTankRow& Row(int row) const { return Rows.at(static_cast<size_t>(row)); }

    // Stores typed text in a threshold cell: empty text empties it, anything but a whole number
    // raises "'%s' is not a valid integer value for field '%s'" and the cell keeps its value.
    void StoreCellText(const QModelIndex& index, const QString& text);

    // Marks the cells the write would refuse, by row: each is shown on a warning background
    // with its problem as the tooltip. Rows not named are unmarked.
    void SetProblems(std::map<int, TCellProblem> problems);

    // Whether a change of these roles is a change of the data, not of the marks.
    static bool ChangesData(const QList<int>& roles);

    static bool IsThreshold(int column) { return column >= ColHmin && column <= ColHhigh; }

private:
    QVariant ProblemData(const QModelIndex& index, int role) const;
    std::optional<int32_t>& Threshold(const QModelIndex& index);
    const std::optional<int32_t>& Threshold(const QModelIndex& index) const;

    std::vector<TTankRow> Rows;
    std::map<int, TCellProblem> Problems;
};

} // namespace dravik::ui
