#include "ui/TankTableModel.h"

#include "QtPrinting.h"
#include "base/Exception.h"
#include "support/Messages.h"

#include <QAbstractItemModelTester>
#include <QLoggingCategory>
#include <gtest/gtest.h>

namespace dravik::ui {
namespace {

using test::MessageOf;

// What the model tester complains about; it reports through Qt's log, not through the test.
QStringList& TesterComplaints() {
    static QStringList complaints;
    return complaints;
}

void CollectTesterComplaints(QtMsgType type, const QMessageLogContext& context,
                             const QString& text) {
    if (type != QtDebugMsg && QString::fromLatin1(context.category) == "qt.modeltest") {
        TesterComplaints().append(text);
    }
}

class TankTableModelTest : public testing::Test {
protected:
    TankTableModelTest() : Previous(qInstallMessageHandler(CollectTesterComplaints)) {
        TesterComplaints().clear();
    }
    ~TankTableModelTest() override {
        EXPECT_TRUE(TesterComplaints().isEmpty()) << TesterComplaints().join('\n').toStdString();
        qInstallMessageHandler(Previous);
    }

    void Fill() {
        for (int i = 0; i < 16; ++i) {
            Model.Append({i, i % 2 == 0, i, i + 10, i + 20});
        }
    }

    QVariant Cell(int row, int column, int role = Qt::DisplayRole) const {
        return Model.data(Model.index(row, column), role);
    }

    QtMessageHandler Previous;
    TankTableModel Model;
    QAbstractItemModelTester Tester{&Model,
                                    QAbstractItemModelTester::FailureReportingMode::Warning};
};

TEST_F(TankTableModelTest, ShowsFiveColumnsWithTheirTitles) {
    const QStringList titles = {"#", " ", "Hmin,%", "Hmax,%", QStringLiteral("Авария, %")};
    ASSERT_EQ(Model.columnCount(), titles.size());
    for (int column = 0; column < titles.size(); ++column) {
        EXPECT_EQ(Model.headerData(column, Qt::Horizontal).toString(), titles[column]);
    }
    EXPECT_EQ(Model.rowCount(), 0);
}

TEST_F(TankTableModelTest, NumbersRowsFromOneAndShowsTheFields) {
    Fill();
    ASSERT_EQ(Model.rowCount(), 16);
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(Cell(row, TankTableModel::ColNpp).toInt(), row + 1);
        EXPECT_EQ(Cell(row, TankTableModel::ColActive, Qt::CheckStateRole).toInt(),
                  row % 2 == 0 ? Qt::Checked : Qt::Unchecked);
        EXPECT_EQ(Cell(row, TankTableModel::ColHhigh).toInt(), row + 20);
    }
}

TEST_F(TankTableModelTest, LetsOnlyThresholdsBeEditedAndTheFlagBeTicked) {
    Fill();
    EXPECT_FALSE(Model.flags(Model.index(0, TankTableModel::ColNpp)) & Qt::ItemIsEditable);
    EXPECT_TRUE(Model.flags(Model.index(0, TankTableModel::ColActive)) & Qt::ItemIsUserCheckable);
    for (int column :
         {TankTableModel::ColHmin, TankTableModel::ColHmax, TankTableModel::ColHhigh}) {
        EXPECT_TRUE(Model.flags(Model.index(0, column)) & Qt::ItemIsEditable);
    }
    EXPECT_FALSE(Model.setData(Model.index(0, TankTableModel::ColNpp), 5));
    EXPECT_TRUE(
        Model.setData(Model.index(1, TankTableModel::ColActive), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(Model.Row(1).active);
    EXPECT_EQ(Model.Row(1).idx, 1);
}

TEST_F(TankTableModelTest, StoresTypedNumbersAndEmptiesOnEmptyText) {
    Fill();
    const QModelIndex hmax = Model.index(3, TankTableModel::ColHmax);
    Model.StoreCellText(hmax, QStringLiteral("  $1F"));
    EXPECT_EQ(Model.Row(3).hmax, 31);
    Model.StoreCellText(hmax, QString());
    EXPECT_EQ(Model.Row(3).hmax, std::nullopt);
    EXPECT_FALSE(Cell(3, TankTableModel::ColHmax).isValid());
}

TEST_F(TankTableModelTest, RefusesTextThatIsNoWholeNumberAndKeepsTheValue) {
    Fill();
    const struct {
        int column;
        const char* typed;
        const char* message;
    } cases[] = {
        {TankTableModel::ColHmin, "abc", "'abc' is not a valid integer value for field 'hmin'"},
        {TankTableModel::ColHmax, "1.5", "'1.5' is not a valid integer value for field 'hmax'"},
        {TankTableModel::ColHhigh, "3000000000",
         "'3000000000' is not a valid integer value for field 'hhigh'"},
        // The typed text reaches the message in the core's code page, "?" where it has no letter.
        {TankTableModel::ColHmin, "ёж€✓", "'ёж€?' is not a valid integer value for field 'hmin'"},
    };
    for (const auto& c : cases) {
        const TTankRow before = Model.Row(2);
        EXPECT_EQ(MessageOf([&] {
                      Model.StoreCellText(Model.index(2, c.column), QString::fromUtf8(c.typed));
                  }),
                  test::W(c.message));
        EXPECT_EQ(Model.Row(2), before);
    }
}

TEST_F(TankTableModelTest, EmptiesAndRefillsCleanly) {
    Fill();
    Model.Clear();
    EXPECT_EQ(Model.rowCount(), 0);
    Model.Clear();
    Fill();
    EXPECT_EQ(Model.rowCount(), 16);
}

} // namespace
} // namespace dravik::ui
