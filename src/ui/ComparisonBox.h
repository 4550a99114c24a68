#pragma once

#include <functional>

#include <QStringList>

class QWidget;

namespace dravik::ui {

// Shows the outcome of a comparison with the controller: the differences in the user's terms,
// or that there are none. The real one is a message box; tests record instead.
using TComparisonPresenter = std::function<void(QWidget* parent, const QStringList& differences)>;

void ShowComparisonBox(QWidget* parent, const QStringList& differences);

} // namespace dravik::ui
