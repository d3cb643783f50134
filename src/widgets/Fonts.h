#pragma once

#include <QFont>
#include <QString>

namespace widgets {

// The family of the window's font: "Tahoma" when the machine has it (Wine's
// metric-compatible Tahoma is registered on first use when it is installed),
// else the application's default family.
QString TahomaFamily();

// A font of the given family and pixel size. Pixel sizes keep the fixed layout
// independent of the screen's dpi.
QFont PixelFont(const QString& family, int pixelSize, bool bold = false);

// Tahoma in pixels, with the stand-in when Tahoma is missing.
QFont Tahoma(int pixelSize, bool bold = false);

// Arial, or a metric-compatible stand-in (Liberation Sans), else Tahoma.
QFont Arial(int pixelSize, bool bold = false);

} // namespace widgets
