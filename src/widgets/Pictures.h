#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace widgets {

// The picture stored under a Qt resource name (":/pictures/banner.png"). When the
// resource is missing or cannot be decoded, a plain placeholder of the given size
// takes its place, so a missing picture never stops the window.
QPixmap LoadPicture(const QString& resource, QSize placeholderSize);

// True when the resource exists and decodes.
bool HasPicture(const QString& resource);

} // namespace widgets
