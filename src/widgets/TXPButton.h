#pragma once

#include <QPushButton>

namespace widgets {

// A push button with the rounded, lightly shaded face of the XP look.
class TXPButton : public QPushButton {
    Q_OBJECT
public:
    explicit TXPButton(const QString& caption, QWidget* parent = nullptr);
};

} // namespace widgets
