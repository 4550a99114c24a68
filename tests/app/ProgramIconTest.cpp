#include "app/ProgramIcon.h"

#include <QPixmap>
#include <gtest/gtest.h>

namespace dravik::test {
namespace {

// The icon comes from the program itself in every size a desktop asks for, with no theme.
TEST(ProgramIcon, HoldsEverySizeCompiledIn) {
    const QIcon icon = app::ProgramIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(side);
        EXPECT_TRUE(sizes.contains(QSize(side, side)));
        const QPixmap pixmap = icon.pixmap(QSize(side, side));
        EXPECT_EQ(pixmap.size(), QSize(side, side));
        EXPECT_FALSE(pixmap.toImage().isNull());
    }
}

} // namespace
} // namespace dravik::test
