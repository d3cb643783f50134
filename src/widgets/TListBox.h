#pragma once

#include <QListWidget>

#include <functional>

namespace widgets {

// A list box whose OnClick answers the user's choice of an item by mouse and by keyboard
// alike: a click on an item, or a key that moves or selects the current item (arrows,
// Home/End, page keys, typing the start of an item). Filling the list or the focus entering
// it raises nothing.
class TListBox : public QListWidget {
public:
    explicit TListBox(QWidget* parent = nullptr);

    std::function<void(QObject* sender)> OnClick;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void RaiseClick();
};

} // namespace widgets
