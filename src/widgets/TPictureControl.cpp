#include "widgets/TPictureControl.h"

namespace widgets {

TPictureControl::TPictureControl(QWidget* parent) : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(true);
}

void TPictureControl::SetPicture(const QPixmap& picture)
{
    setPixmap(picture);
    if (autoSize_)
        resize(picture.size());
}

void TPictureControl::SetAutoSize(bool on)
{
    autoSize_ = on;
    if (on && !pixmap().isNull())
        resize(pixmap().size());
}

void TPictureControl::SetTransparent(bool on)
{
    transparent_ = on;
    setAutoFillBackground(!on);
    setAttribute(Qt::WA_TranslucentBackground, on);
}

} // namespace widgets
