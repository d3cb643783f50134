#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace widgets {

// The picture stored under a Qt resource name (":/pictures/banner.png"). When the
// resource is missing or cannot be decoded, a plain placeholder of the given size
// takes its place, so a missing picture never stops the window.
QPixmap LoadPicture(const QString& resource, QSize placeholderSize);

// The picture, or a null pixmap when it is missing or cannot be decoded. Decoded by the
// reader of its name's format only: left to guess, Qt would first load and ask every
// image plugin installed, a few milliseconds of the tutor's start.
QPixmap ReadPicture(const QString& resource);

} // namespace widgets
