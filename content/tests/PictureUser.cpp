#include "PictureUser.h"

#include <QImage>

QSize PictureSizeSeenByLibrary(const char* resource)
{
    return QImage(resource).size();
}
