#pragma once

#include <cstdint>
#include <optional>

#include <QLineEdit>

namespace dravik::ui {

// An edit for one whole number or nothing, without limits worth the name and without buttons;
// the Up and Down keys raise and lower the number by 1.
class NumberEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit NumberEdit(QWidget* parent);

    // No value while the edit is empty or holds only a sign.
    std::optional<int64_t> Number() const;
    void SetNumber(int64_t number);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace dravik::ui
