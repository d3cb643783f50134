#pragma once

#include <QLabel>

namespace widgets {

// A label that fits itself to its caption, growing to the right from where it
// stands, as the tallies do when their counts change. It is laid out at its design
// size; every caption set through it afterwards resizes it.
class TAutoSizeLabel : public QLabel {
    Q_OBJECT
public:
    TAutoSizeLabel(const QString& caption, QWidget* parent = nullptr);

    // Sets the caption and fits the label to it. (Hides QLabel::setText, which is not
    // virtual: set captions through this type.)
    void setText(const QString& caption);
};

} // namespace widgets
