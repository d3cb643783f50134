#include "app/TestDayPanel.h"

#include "app/ProgressTables.h"
#include "app/learning/TestPlan.h"

#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace app {

namespace {

enum Column { kWord, kRightDays, kLastAsked, kNext };

QString DateText(learning::Day day)
{
    return QString::fromStdString(learning::DateOfDay(day));
}

QString NextText(const learning::WordStanding& standing, learning::Day today)
{
    if (!standing.due)
        return QStringLiteral("after the test");
    return *standing.due <= today ? QStringLiteral("today") : DateText(*standing.due);
}

QString LastAskedText(const learning::WordStanding& standing)
{
    if (!standing.lastDay)
        return QStringLiteral("never");
    return DateText(*standing.lastDay) +
           (standing.lastDayRight ? QStringLiteral(" (right)") : QStringLiteral(" (missed)"));
}

} // namespace

TestDayPanel::TestDayPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TestDayPanel"));
    lblTestDay = new QLabel(this);
    lblTestDay->setObjectName(QStringLiteral("lblTestDay"));
    lblTestDay->setWordWrap(true);
    tblStanding = MakeTable(this, "tblStanding",
                            {QStringLiteral("Word"), QStringLiteral("Right days"),
                             QStringLiteral("Last asked"), QStringLiteral("Asked next")});
    tblStanding->horizontalHeaderItem(kRightDays)
        ->setToolTip(QStringLiteral("Days whose first answer to the word was right; the plan aims at %1.")
                         .arg(learning::kAimedRightDays));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTestDay);
    layout->addWidget(tblStanding, 1);
}

void TestDayPanel::Show(std::span<const progress::Attempt> history, const std::string& lesson,
                        std::span<const std::string> words, learning::Day testDay, learning::Day today)
{
    const bool toCome = testDay > today;
    learning::TestPlan plan;
    if (toCome)
        plan = learning::MakeTestPlan(history, lesson, words, testDay, today);
    else // as the child went into the test: the answers of the days before it
        plan.words = learning::StandingsOn(history, lesson, words, testDay - 1);
    warning_ = plan.tooManyWords ? QStringLiteral("Too many words for the days left: some new words wait for "
                                                  "later days, and not every word can reach %1 right days.")
                                       .arg(learning::kAimedRightDays)
                                 : QString();
    lblTestDay->setText(
        toCome ? QStringLiteral("Test day %1: %2 day(s) left.").arg(DateText(testDay)).arg(plan.daysLeft)
               : QStringLiteral("Test day %1: how each word stood going into it.").arg(DateText(testDay)));
    tblStanding->setSortingEnabled(false);
    tblStanding->clearContents();
    tblStanding->setRowCount(static_cast<int>(plan.words.size()));
    int row = 0;
    for (const learning::WordStanding& standing : plan.words) {
        tblStanding->setItem(row, kWord, new QTableWidgetItem(QString::fromStdString(standing.word)));
        tblStanding->setItem(row, kRightDays, new QTableWidgetItem(QString::number(standing.rightDays)));
        tblStanding->setItem(row, kLastAsked, new QTableWidgetItem(LastAskedText(standing)));
        tblStanding->setItem(row, kNext,
                             new QTableWidgetItem(toCome ? NextText(standing, today) : QString()));
        ++row;
    }
    tblStanding->setColumnHidden(kNext, !toCome);
    tblStanding->resizeColumnsToContents();
}

} // namespace app
