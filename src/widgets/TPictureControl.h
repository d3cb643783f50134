#pragma once

#include <QLabel>
#include <QPixmap>

namespace widgets {

// A still picture. Sized to its image when AutoSize is on; transparent pictures
// let the page show through where the image has no opaque pixels.
class TPictureControl : public QLabel {
    Q_OBJECT
public:
    explicit TPictureControl(QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    void SetAutoSize(bool on);
    void SetTransparent(bool on);
    bool Transparent() const { return transparent_; }

private:
    bool autoSize_ = false;
    bool transparent_ = false;
};

} // namespace widgets
