#include "widgets/Fonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QStringList>

namespace widgets {

namespace {

bool HasFamily(const QString& family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

// Wine ships a Tahoma that fontconfig does not index; register it with Qt directly.
void RegisterWineTahoma()
{
    static const char* const files[] = {
        "/usr/share/wine/fonts/tahoma.ttf",
        "/usr/share/wine/fonts/tahomabd.ttf",
    };
    for (const char* file : files)
        QFontDatabase::addApplicationFont(QString::fromLatin1(file));
}

} // namespace

QString TahomaFamily()
{
    static const QString family = [] {
        const QString tahoma = QStringLiteral("Tahoma");
        if (!HasFamily(tahoma))
            RegisterWineTahoma();
        return HasFamily(tahoma) ? tahoma : QGuiApplication::font().family();
    }();
    return family;
}

QFont PixelFont(const QString& family, int pixelSize, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont Tahoma(int pixelSize, bool bold)
{
    return PixelFont(TahomaFamily(), pixelSize, bold);
}

QFont Arial(int pixelSize, bool bold)
{
    for (const char* candidate : {"Arial", "Liberation Sans"}) {
        const QString family = QString::fromLatin1(candidate);
        if (HasFamily(family))
            return PixelFont(family, pixelSize, bold);
    }
    return Tahoma(pixelSize, bold);
}

} // namespace widgets
