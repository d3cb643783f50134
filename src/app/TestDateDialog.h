#pragma once

// "Test Date...": the day of a lesson's test, from today to kLatestTestDay days ahead, or
// none. Shows the date set, or "No Test Date" when none is set or it has passed.

#include "app/learning/CalendarDay.h"

#include <QDialog>

#include <optional>

class QDateEdit;
class QDialogButtonBox;
class QRadioButton;

namespace app {

class TestDateDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLatestTestDay = 30;

    TestDateDialog(const QString& lesson, std::optional<learning::Day> current, learning::Day today,
                   QWidget* parent = nullptr);

    // The day chosen; nullopt for "No Test Date".
    std::optional<learning::Day> Chosen() const;

    static QDate DateOf(learning::Day day);
    static learning::Day DayOf(const QDate& date);

    QRadioButton* NoTestDate = nullptr;
    QRadioButton* OnDate = nullptr;
    QDateEdit* DatePicker = nullptr;
    QDialogButtonBox* Buttons = nullptr;
};

} // namespace app
