#include "ui/TankTableModel.h"

#include "base/Text.h"
#include "ui/CellInteger.h"
#include "ui/UiText.h"

#include <algorithm>
#include <array>

#include <QColor>

namespace dravik::ui {
namespace {

// A pale red under dark text, readable whatever the theme's own colours.
const QColor ProblemBackground(255, 200, 200);
const QColor ProblemForeground(Qt::black);

bool IsMarkRole(int role) {
    return role == Qt::ToolTipRole || role == Qt::BackgroundRole || role == Qt::ForegroundRole;
}

constexpr std::array<const char*, TankTableModel::ColumnCount> FieldNames = {
    "npp", "active", "hmin", "hmax", "hhigh"};

QString ColumnTitle(int column) {
    switch (column) {
    case TankTableModel::ColNpp:
        return QStringLiteral("#");
    case TankTableModel::ColActive:
        return QStringLiteral(" ");
    case TankTableModel::ColHmin:
        return QStringLiteral("Hmin,%");
    case TankTableModel::ColHmax:
        return QStringLiteral("Hmax,%");
    default:
        return QStringLiteral("Авария, %");
    }
}

// A row's threshold by its column, for a row that may be changed or not.
template <typename TRow>
auto& ThresholdIn(TRow& row, int column) {
    return column == TankTableModel::ColHmin   ? row.hmin
           : column == TankTableModel::ColHmax ? row.hmax
                                               : row.hhigh;
}

QVariant ThresholdValue(const std::optional<int32_t>& value) {
    return value ? QVariant(*value) : QVariant();
}

} // namespace

TankTableModel::TankTableModel(QObject* parent) : QAbstractTableModel(parent) {
}

int TankTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Rows.size());
}

int TankTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TankTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    const TTankRow& row = Row(index.row());
    const int column = index.column();
    if (IsMarkRole(role)) {
        return ProblemData(index, role);
    }
    if (role == Qt::TextAlignmentRole && column != ColActive) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    }
    if (column == ColActive) {
        return role == Qt::CheckStateRole ? QVariant(int{row.active ? Qt::Checked : Qt::Unchecked})
                                          : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole) {
        return {};
    }
    // The row number is calculated from the row's position, never stored.
    return column == ColNpp ? QVariant(index.row() + 1) : ThresholdValue(Threshold(index));
}

QVariant TankTableModel::ProblemData(const QModelIndex& index, int role) const {
    const auto found = Problems.find(index.row());
    if (found == Problems.end() || found->second.Column != index.column()) {
        return {};
    }
    switch (role) {
    case Qt::ToolTipRole:
        return found->second.Text;
    case Qt::BackgroundRole:
        return ProblemBackground;
    default:
        return ProblemForeground;
    }
}

QVariant TankTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    return section >= 0 && section < ColumnCount ? ColumnTitle(section) : QVariant();
}

Qt::ItemFlags TankTableModel::flags(const QModelIndex& index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == ColActive) {
        flags |= Qt::ItemIsUserCheckable;
    } else if (IsThreshold(index.column())) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool TankTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return false;
    }
    if (index.column() == ColActive && role == Qt::CheckStateRole) {
        Rows[static_cast<size_t>(index.row())].active =
            static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
    } else if (IsThreshold(index.column()) && role == Qt::EditRole) {
        bool isNumber = false;
        const int number = value.toInt(&isNumber);
        if (!value.isNull() && !isNumber) {
            return false;
        }
        Threshold(index) = value.isNull() ? std::nullopt : std::optional<int32_t>(number);
    } else {
        return false;
    }
    emit dataChanged(index, index, {role, Qt::DisplayRole});
    return true;
}

void TankTableModel::SetProblems(std::map<int, TCellProblem> problems) {
    std::swap(Problems, problems);
    // problems now holds the old marks: every row marked before or now is redrawn.
    for (const auto* marks : {&problems, &Problems}) {
        for (const auto& [row, problem] : *marks) {
            if (row >= 0 && row < rowCount()) {
                const QModelIndex cell = index(row, problem.Column);
                emit dataChanged(cell, cell,
                                 {Qt::ToolTipRole, Qt::BackgroundRole, Qt::ForegroundRole});
            }
        }
    }
}

bool TankTableModel::ChangesData(const QList<int>& roles) {
    return roles.empty() || !std::all_of(roles.begin(), roles.end(), IsMarkRole);
}

void TankTableModel::Clear() {
    Problems.clear();
    if (Rows.empty()) {
        return;
    }
    beginRemoveRows(QModelIndex(), 0, static_cast<int>(Rows.size()) - 1);
    Rows.clear();
    endRemoveRows();
}

void TankTableModel::Append(const TTankRow& row) {
    const int position = static_cast<int>(Rows.size());
    beginInsertRows(QModelIndex(), position, position);
    Rows.push_back(row);
    endInsertRows();
}

void TankTableModel::StoreCellText(const QModelIndex& index, const QString& text) {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || !IsThreshold(index.column())) {
        return;
    }
    if (text.isEmpty()) {
        setData(index, QVariant());
        return;
    }
    const std::string typed = ToCp1251(text);
    const std::optional<int32_t> number = ParseCellInteger(typed);
    if (!number) {
        throw TCellRefusal(Format(std::string("'%s' is not a valid integer value for field '%s'"),
                                  typed.c_str(), FieldNames[static_cast<size_t>(index.column())]));
    }
    setData(index, *number);
}

std::optional<int32_t>& TankTableModel::Threshold(const QModelIndex& index) {
    return Rows[static_cast<size_t>(index.row())].Threshold(index.column());
}

const std::optional<int32_t>& TankTableModel::Threshold(const QModelIndex& index) const {
    return Row(index.row()).Threshold(index.column());
}

std::optional<int32_t>& TTankRow::Threshold(int column) {
    return ThresholdIn(*this, column);
}

const std::optional<int32_t>& TTankRow::Threshold(int column) const {
    return ThresholdIn(*this, column);
}

} // namespace dravik::ui
