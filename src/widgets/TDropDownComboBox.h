#pragma once

#include <QComboBox>

#include <functional>

namespace widgets {

// A drop-down list whose OnDropDown runs just before its list opens, so the items
// can be filled at that moment.
class TDropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDropDownComboBox(QWidget* parent = nullptr);

    std::function<void(QObject* sender)> OnDropDown;

    void showPopup() override;
};

} // namespace widgets
