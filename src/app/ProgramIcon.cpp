#include "app/ProgramIcon.h"

namespace dravik::app {
namespace {

constexpr int IconSizes[] = {16, 24, 32, 48, 64, 128, 256};

} // namespace

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : IconSizes) {
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/dravik_conf.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

} // namespace dravik::app
