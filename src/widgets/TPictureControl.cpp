#include "widgets/TPictureControl.h"

#include "widgets/Pictures.h"

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

void TPictureControl::SetPictureResource(const QString& resource, QSize expectedSize)
{
    pendingResource_ = resource;
    pendingSize_ = expectedSize;
    if (autoSize_)
        resize(expectedSize);
}

void TPictureControl::showEvent(QShowEvent* event)
{
    if (!pendingResource_.isEmpty()) {
        SetPicture(LoadPicture(pendingResource_, pendingSize_));
        pendingResource_.clear();
    }
    QLabel::showEvent(event);
}

void TPictureControl::SetAutoSize(bool on)
{
    autoSize_ = on;
    if (on && !pendingResource_.isEmpty())
        resize(pendingSize_);
    else if (on && !pixmap().isNull())
        resize(pixmap().size());
}

void TPictureControl::SetTransparent(bool on)
{
    transparent_ = on;
    setAutoFillBackground(!on);
    setAttribute(Qt::WA_TranslucentBackground, on);
}

} // namespace widgets
