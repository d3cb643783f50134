#include "widgets/TAutoSizeLabel.h"

namespace widgets {

TAutoSizeLabel::TAutoSizeLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TAutoSizeLabel::setText(const QString& caption)
{
    QLabel::setText(caption);
    resize(sizeHint());
}

} // namespace widgets
