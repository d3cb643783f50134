#include "widgets/Pictures.h"

#include <QColor>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

namespace widgets {

namespace {

QPixmap Placeholder(QSize size)
{
    QPixmap pixmap(size.isValid() && !size.isEmpty() ? size : QSize(16, 16));
    pixmap.fill(QColor(0xEC, 0xE9, 0xD8));
    QPainter painter(&pixmap);
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return pixmap;
}

} // namespace

QPixmap ReadPicture(const QString& resource)
{
    QImageReader reader(resource, QFileInfo(resource).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

QPixmap LoadPicture(const QString& resource, QSize placeholderSize)
{
    const QPixmap pixmap = ReadPicture(resource);
    return pixmap.isNull() ? Placeholder(placeholderSize) : pixmap;
}

} // namespace widgets
