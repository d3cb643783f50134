#pragma once

#include <QLabel>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace widgets {

// A still picture. Sized to its image when AutoSize is on; transparent pictures
// let the page show through where the image has no opaque pixels.
class TPictureControl : public QLabel {
    Q_OBJECT
public:
    explicit TPictureControl(QWidget* parent = nullptr);

    void SetPicture(const QPixmap& picture);
    // The picture under a resource name, decoded when the control is first shown, so a
    // page not yet opened costs the start of the program nothing. Until then the control
    // has the picture's expected size (that of the placeholder used if it is missing).
    void SetPictureResource(const QString& resource, QSize expectedSize);
    void SetAutoSize(bool on);
    void SetTransparent(bool on);
    bool Transparent() const { return transparent_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QString pendingResource_;
    QSize pendingSize_;
    bool autoSize_ = false;
    bool transparent_ = false;
};

} // namespace widgets
