#include "widgets/TXPButton.h"

namespace widgets {

namespace {

// Only colours and borders: the font stays the one the window gives the button.
const char* const kXPStyle = R"(
QPushButton {
    border: 1px solid #003C74;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #FFFFFF, stop:0.85 #ECEBE6, stop:1 #D6D0C5);
    color: #000000;
}
QPushButton:hover { border-color: #E5A01A; }
QPushButton:pressed {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #E3E2DA, stop:1 #F0F0EA);
}
QPushButton:focus { border-color: #6B8CDC; }
QPushButton:disabled { border-color: #C9C7BA; color: #ACA899; background: #F5F4EA; }
)";

} // namespace

TXPButton::TXPButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent)
{
    setStyleSheet(QString::fromLatin1(kXPStyle));
}

} // namespace widgets
