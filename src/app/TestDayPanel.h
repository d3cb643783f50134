#pragma once

// The progress window's page on a lesson's test date: while the date is to come, the days
// left, whether the words fit them, and per word its right days and the day it is asked
// next; once the day has come, how each word stood going into it. Computed from the
// history each time; nothing is stored.

#include "app/learning/CalendarDay.h"
#include "app/progress/AttemptHistory.h"

#include <QWidget>

#include <span>
#include <string>

class QLabel;
class QTableWidget;

namespace app {

class TestDayPanel : public QWidget {
    Q_OBJECT
public:
    explicit TestDayPanel(QWidget* parent = nullptr);

    // `history` in file order; `words` in the lesson's order.
    void Show(std::span<const progress::Attempt> history, const std::string& lesson,
              std::span<const std::string> words, learning::Day testDay, learning::Day today);
    // The note for the parent when the words due do not fit the days left; empty otherwise.
    QString Warning() const { return warning_; }

    QLabel* lblTestDay = nullptr;
    QTableWidget* tblStanding = nullptr;

private:
    QString warning_;
};

} // namespace app
