#include "widgets/TDropDownComboBox.h"

namespace widgets {

TDropDownComboBox::TDropDownComboBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
}

void TDropDownComboBox::showPopup()
{
    if (OnDropDown)
        OnDropDown(this);
    QComboBox::showPopup();
}

} // namespace widgets
