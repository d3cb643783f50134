// A lesson's test date: "Test Date..." on the start page's lesson list sets or clears the
// day of the lesson's test, for every child who uses the lesson.

#include "app/TForm1.h"

#include "app/LessonSettings.h"
#include "app/TestDateDialog.h"
#include "app/progress/AttemptHistory.h"

#include <QComboBox>

app::learning::Day TForm1::Today() const
{
    if (FixedToday)
        return *FixedToday;
    // The history's own clock, so a session's answers fall on the day it planned for.
    return app::learning::DayOfDate(app::progress::LocalTimestampNow()).value_or(0);
}

std::optional<app::learning::Day> TForm1::UpcomingTestDay(const std::string& lesson) const
{
    const auto day = app::ReadTestDay(ContentFile(ExeDir + lesson));
    return day && *day > Today() ? day : std::nullopt;
}

void TForm1::LessonListMenuPopup(QObject* /*Sender*/)
{
    TestDate1->setEnabled(!ComboBox2->currentText().isEmpty() && RunMode == 0);
}

void TForm1::TestDate1Click(QObject* /*Sender*/)
{
    const QString lesson = ComboBox2->currentText();
    if (lesson.isEmpty() || RunMode != 0)
        return;
    const std::filesystem::path folder = ContentFile(ExeDir + lesson.toStdString());
    const app::learning::Day today = Today();
    app::TestDateDialog dialog(lesson, app::CurrentTestDay(folder, today), today, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    app::WriteTestDay(folder, dialog.Chosen());
}
