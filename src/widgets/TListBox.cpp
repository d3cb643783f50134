#include "widgets/TListBox.h"

#include <QKeyEvent>

namespace widgets {

TListBox::TListBox(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemClicked, this, [this] { RaiseClick(); });
}

void TListBox::keyPressEvent(QKeyEvent* event)
{
    const QListWidgetItem* before = currentItem();
    const bool wasSelected = before && before->isSelected();
    QListWidget::keyPressEvent(event);
    const QListWidgetItem* now = currentItem();
    if (now != before || (now && now->isSelected() != wasSelected))
        RaiseClick();
}

void TListBox::RaiseClick()
{
    if (OnClick)
        OnClick(this);
}

} // namespace widgets
