#include "app/TestDateDialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace app {

namespace {
// The Julian day of 1970-01-01, the plan's day 0.
constexpr qint64 kJulianDayOfDayZero = 2440588;
constexpr int kDaysAheadOffered = 7; // the picker's first date when none is set
} // namespace

QDate TestDateDialog::DateOf(learning::Day day)
{
    return QDate::fromJulianDay(kJulianDayOfDayZero + day);
}

learning::Day TestDateDialog::DayOf(const QDate& date)
{
    return static_cast<learning::Day>(date.toJulianDay() - kJulianDayOfDayZero);
}

TestDateDialog::TestDateDialog(const QString& lesson, std::optional<learning::Day> current,
                               learning::Day today, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TestDateDialog"));
    setWindowTitle(QStringLiteral("Test Date"));
    auto* heading = new QLabel(QStringLiteral("The day of the test on %1:").arg(lesson), this);
    NoTestDate = new QRadioButton(QStringLiteral("&No Test Date"), this);
    OnDate = new QRadioButton(QStringLiteral("&On"), this);
    DatePicker = new QDateEdit(this);
    DatePicker->setCalendarPopup(true);
    DatePicker->setDisplayFormat(QStringLiteral("dddd d MMMM yyyy"));
    DatePicker->setDateRange(DateOf(today), DateOf(today + kLatestTestDay));
    DatePicker->setDate(DateOf(current.value_or(today + kDaysAheadOffered)));
    (current ? OnDate : NoTestDate)->setChecked(true);
    DatePicker->setEnabled(current.has_value());
    connect(OnDate, &QRadioButton::toggled, DatePicker, &QWidget::setEnabled);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* choices = new QGridLayout;
    choices->addWidget(NoTestDate, 0, 0, 1, 2);
    choices->addWidget(OnDate, 1, 0);
    choices->addWidget(DatePicker, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(choices);
    layout->addWidget(Buttons);
}

std::optional<learning::Day> TestDateDialog::Chosen() const
{
    if (!OnDate->isChecked())
        return std::nullopt;
    return DayOf(DatePicker->date());
}

} // namespace app
