#include "app/TForm1.h"

TForm1::TForm1(std::filesystem::path contentDir, QWidget* parent)
    : QWidget(parent), contentDir_(std::move(contentDir))
{
    setWindowTitle(QStringLiteral("Quorbel's Lexorin"));
    setFixedSize(590, 425);
}
