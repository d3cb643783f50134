// The progress of a player on the real window: the "Pro&gress" button of the start
// page, the history a test run writes, the window it opens, its export and its print.

#include "test_child_fixture.h"

#include "app/TProgressWindow.h"
#include "app/TestDayPanel.h"
#include "app/learning/TestPlan.h"
#include "app/progress/AttemptHistory.h"
#include "app/progress/TrickyWords.h"

#include <QChartView>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QGraphicsTextItem>
#include <QRegularExpression>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>

namespace {

class ProgressTest : public ChildTest {
protected:
    // Opens the progress window with the button, runs `check` on it, and closes it.
    void WithProgressWindow(const std::function<void(TProgressWindow&)>& check)
    {
        bool opened = false;
        QTimer::singleShot(0, form_.get(), [&] {
            auto* window = form_->findChild<TProgressWindow*>();
            if (!window)
                return;
            opened = true;
            EXPECT_TRUE(window->isModal());
            check(*window);
            window->reject();
        });
        QTest::mouseClick(form_->btnProgress, Qt::LeftButton);
        EXPECT_TRUE(opened) << "no progress window";
        EXPECT_EQ(form_->findChild<TProgressWindow*>(), nullptr);
    }

    // One test run: the first word drawn is answered `wrongly`, drilled and answered
    // right later; every other word right. Counts each word's tries and right answers.
    void RunTestWithOneMistake(const QString& wrongly)
    {
        StartTest();
        ASSERT_EQ(form_->RunMode, 2);
        missed_ = Current();
        Answer(wrongly);
        ++counts_[missed_].first;
        ASSERT_EQ(form_->RunMode, 3);
        DrillAndReturn();
        for (int limit = 50; form_->RunMode == 2 && limit > 0; --limit) {
            const std::string word = Current();
            ++counts_[word].first;
            ++counts_[word].second;
            answers_.push_back(word);
            Answer(QString::fromStdString(word).toLower());
        }
        ASSERT_EQ(form_->RunMode, 0);
    }

    std::map<std::string, std::vector<QString>> WordsTable(const TProgressWindow& window) const
    {
        std::map<std::string, std::vector<QString>> rows;
        const QTableWidget* table = window.tblWords;
        for (int r = 0; r < table->rowCount(); ++r) {
            std::vector<QString> cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells.push_back(table->item(r, c) ? table->item(r, c)->text() : QString());
            rows[cells[1].toStdString()] = cells;
        }
        return rows;
    }

    // Every text the chart draws (title, axis titles, labels), once it is laid out.
    static QStringList ChartTexts(TProgressWindow& window)
    {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(50);
        QStringList texts;
        for (QGraphicsItem* item : window.chartView->scene()->items())
            if (const auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible())
                texts << text->toPlainText();
        return texts;
    }

    std::string missed_;
    std::map<std::string, std::pair<int, int>> counts_; // word -> tries, right
    std::vector<std::string> answers_;
};

TEST_F(ProgressTest, TheButtonOverlapsNothingIsLastInTabOrderAndNeedsALessonAndAPlayer)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    QPushButton* button = form_->btnProgress; // its caption and place: form_layout_test
    for (QWidget* other : form_->Panel1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != button && other->isVisibleTo(form_->Panel1)) {
            EXPECT_FALSE(other->geometry().intersects(button->geometry()))
                << other->objectName().toStdString();
        }
    }
    EXPECT_FALSE(button->isEnabled());

    std::vector<QWidget*> tabOrder;
    for (QWidget* w = form_->nextInFocusChain(); w != form_.get(); w = w->nextInFocusChain())
        if (form_->TabSheet1->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus))
            tabOrder.push_back(w);
    ASSERT_FALSE(tabOrder.empty());
    EXPECT_EQ(tabOrder.back(), button);

    ChooseLessonAndPlayer();
    EXPECT_TRUE(button->isEnabled());
    DropDown(form_->ComboBox3); // no player chosen: the button shows the whole class
    EXPECT_FALSE(form_->btnStartTest->isEnabled());
    EXPECT_TRUE(button->isEnabled());
    Choose(form_->ComboBox3, 0);
    EXPECT_TRUE(button->isEnabled());
    // Without players there is nothing to show.
    std::filesystem::remove(Path("Children/Ann.xml"));
    DropDown(form_->ComboBox3);
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(ProgressTest, ATestRunWritesItsHistoryAndTheWindowShowsIt)
{
    MakeLesson("Week", {"CAT", "DOG", "SUN"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    RunTestWithOneMistake(QStringLiteral("  Xyz \"q\","));

    // One line per judged answer, in order, with the run's start on every one.
    const auto history = app::progress::ReadHistory(Path("Children/Ann.history"));
    ASSERT_EQ(history.attempts.size(), answers_.size() + 1);
    EXPECT_EQ(history.skippedLines, 0u);
    const auto& first = history.attempts.front();
    EXPECT_EQ(first.word, missed_);
    EXPECT_EQ(first.typed, "  Xyz \"q\","); // as typed
    EXPECT_FALSE(first.right);
    EXPECT_EQ(first.tries, 1);
    EXPECT_EQ(first.lesson, "Week");
    std::map<std::string, std::int64_t> tries = {{missed_, 1}};
    for (std::size_t i = 1; i < history.attempts.size(); ++i) {
        const auto& attempt = history.attempts[i];
        EXPECT_EQ(attempt.run, first.run);
        EXPECT_EQ(attempt.word, answers_[i - 1]);
        EXPECT_TRUE(attempt.right);
        EXPECT_EQ(attempt.tries, ++tries[attempt.word]);
    }
    const QDateTime run = QDateTime::fromString(QString::fromStdString(first.run), Qt::ISODateWithMs);
    const QDateTime judged = QDateTime::fromString(QString::fromStdString(first.time), Qt::ISODateWithMs);
    ASSERT_TRUE(run.isValid() && judged.isValid()) << first.run << " " << first.time;
    EXPECT_TRUE(before <= run && run <= judged && judged <= QDateTime::currentDateTime());
    EXPECT_EQ(judged.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());
    // The history beside the record is no player.
    DropDown(form_->ComboBox3);
    EXPECT_EQ(Items(form_->ComboBox3), QStringList{"Ann"});
    Choose(form_->ComboBox3, 0);

    WithProgressWindow([&](TProgressWindow& window) {
        EXPECT_EQ(window.Lesson(), std::optional<std::string>("Week"));
        EXPECT_TRUE(window.isSizeGripEnabled());
        const int attempts = static_cast<int>(answers_.size()) + 1;
        const QString summary = window.lblSummary->text();
        EXPECT_TRUE(summary.contains(
            QStringLiteral("Lessons practised: 1 \u00b7 Tests taken: 1 \u00b7 Attempts: %1").arg(attempts)))
            << summary.toStdString();
        EXPECT_TRUE(summary.contains(QStringLiteral("(2 of 3)"))) << summary.toStdString();
        EXPECT_FALSE(window.lblNotes->isVisibleTo(&window));

        // The record's counts, and the missed word first.
        const auto rows = WordsTable(window);
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(window.tblWords->item(0, 1)->text().toStdString(), missed_);
        for (const auto& [word, count] : counts_) {
            SCOPED_TRACE(word);
            const auto& cells = rows.at(word);
            EXPECT_EQ(cells[2], QString::number(count.first));
            EXPECT_EQ(cells[3], QString::number(count.second));
            EXPECT_EQ(cells[4], QString::number(qRound(100.0 * count.second / count.first)) + "%");
            EXPECT_FALSE(cells[5].isEmpty());
        }
        EXPECT_TRUE(rows.at(missed_)[6].startsWith(QStringLiteral("\u2717\u2713")));
        EXPECT_TRUE(window.tblWords->isColumnHidden(0));
        // Sorting by a column, as a teacher would.
        window.tblWords->sortItems(2, Qt::DescendingOrder);
        EXPECT_EQ(window.tblWords->item(0, 2)->text().toInt(), counts_[missed_].first);

        EXPECT_TRUE(window.txtMisspellings->toPlainText().contains(QString::fromStdString(missed_)));
        ASSERT_GE(window.tblPatterns->rowCount(), 1);
        EXPECT_EQ(window.chartView->chart()->series().size(), 1);

        window.cbLesson->setCurrentIndex(0); // all lessons
        EXPECT_FALSE(window.Lesson().has_value());
        EXPECT_FALSE(window.tblWords->isColumnHidden(0));
    });
}

TEST_F(ProgressTest, ThePrintAndTheExportHoldThePlayerAndTheTroubleWords)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann_Lee", "<CHILD name=\"Ann_Lee\"/>");
    RunTestWithOneMistake(QStringLiteral("=zzz")); // a spreadsheet would run it
    const QString pdf = QString::fromStdString(Path("report.pdf").string());
    const std::string csv = Path("Ann attempts.csv").string();
    const std::string words = Path("Ann words.csv").string();
    WriteFile("Ann words.csv", "old");
    std::vector<std::string> asked;
    WithProgressWindow([&](TProgressWindow& window) {
        window.AskPrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        QTest::mouseClick(window.btnPrint, Qt::LeftButton);
        // The dialog asked about the file it named, not about the words file beside it.
        window.AskCsvPath = [&] { return csv; };
        {
            const platform::ScopedDialogResponder no([&](const platform::DialogRequest& request) {
                asked.push_back(request.text);
                return platform::DialogAnswer{false, {}};
            });
            QTest::mouseClick(window.btnSaveCsv, Qt::LeftButton);
        }
        EXPECT_EQ(asked, std::vector<std::string>{words + " already exists. Replace it?"});
        EXPECT_EQ(ReadFile("Ann words.csv"), "old");
        EXPECT_FALSE(std::filesystem::exists(csv));
        QTest::mouseClick(window.btnSaveCsv, Qt::LeftButton); // Yes
        // ".csv" is added after the dialog: both files are asked about.
        window.AskCsvPath = [&] { return Path("Ann attempts").string(); };
        QTest::mouseClick(window.btnSaveCsv, Qt::LeftButton);
    });
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Error).empty());
    EXPECT_EQ(BoxTexts(platform::DialogKind::Confirmation),
              (std::vector<std::string>{words + " already exists. Replace it?",
                                        csv + " and " + words + " already exist. Replace them?"}));
    EXPECT_EQ(BoxTexts(platform::DialogKind::Information).size(), 2u);

    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        << "pdftotext (poppler-utils) is needed: run scripts/setup.sh";
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(pdftotext.waitForFinished(30000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    EXPECT_TRUE(text.contains(QStringLiteral("Progress of Ann_Lee"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Trouble words")));
    EXPECT_TRUE(text.contains(QString::fromStdString(missed_))) << text.toStdString();
    EXPECT_TRUE(text.contains(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));

    const std::string attempts = ReadFile("Ann attempts.csv");
    EXPECT_NE(attempts.find("\"'=zzz\",\"false\",\"1\""), std::string::npos) << attempts;
    EXPECT_NE(ReadFile("Ann words.csv").find("\"" + missed_ + "\""), std::string::npos);
}

TEST_F(ProgressTest, AHistoryThatCannotBeWrittenNeverStopsTheChildAndTheWindowSaysSo)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann",
                "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"4\" correct=\"3\"/></Week></CHILD>");
    MakeFolder("Children/Ann.history"); // no file can be appended there
    StartTest();
    Answer("cat");
    EXPECT_EQ(form_->RunMode, 0); // the run ended as usual
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Error).empty());
    EXPECT_NE(ReadFile("Children/Ann.xml").find("trys=\"5\" correct=\"4\""), std::string::npos);

    WithProgressWindow([&](TProgressWindow& window) {
        EXPECT_TRUE(window.lblNotes->text().contains(QStringLiteral("could not be read")))
            << window.lblNotes->text().toStdString();
        const auto rows = WordsTable(window);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows.at("CAT")[2], "5"); // the record's counts
        EXPECT_EQ(rows.at("CAT")[4], "");
    });
}

TEST_F(ProgressTest, DamagedLinesAndMissingAttemptsAreToldAndTheRestIsShown)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"3\" correct=\"1\"/>"
                       "<DOG word=\"DOG\" trys=\"7\" correct=\"7\"/></Week></CHILD>");
    const auto line = [](const char* word, const char* typed, bool right, int tries) {
        return app::progress::AttemptToLine({"2026-12-01T10:00:00.000+01:00", "2026-12-01T10:00:05.000+01:00",
                                             "Week", word, typed, right, tries}) +
               "\n";
    };
    const std::string writing = "{\"run\":\"2026-12-0"; // a line cut by a crash, or still being written
    WriteFile("Children/Ann.history", "not json\n" + line("CAT", "kat", false, 1) + writing + "\n" +
                                          line("CAT", "cat", true, 3) + line("DOG", "dog", true, 7) +
                                          writing);
    ChooseLessonAndPlayer();
    WithProgressWindow([&](TProgressWindow& window) {
        const QString notes = window.lblNotes->text();
        EXPECT_TRUE(notes.contains(QStringLiteral("2 damaged or unknown line(s)"))) << notes.toStdString();
        EXPECT_TRUE(notes.contains(QStringLiteral("incomplete"))) << notes.toStdString();
        EXPECT_TRUE(notes.contains(QStringLiteral("History is kept since 2026-12-01")))
            << notes.toStdString();
        const auto rows = WordsTable(window);
        EXPECT_EQ(rows.count("CAT *"), 1u); // try 2 is missing
        EXPECT_EQ(rows.count("DOG"), 1u);   // tried six times before the history
        // Tries and Right are the record's; the share is the history's.
        const QTableWidgetItem* share = window.tblWords->horizontalHeaderItem(4);
        EXPECT_EQ(share->text(), QStringLiteral("Share right since 2026-12-01"));
        EXPECT_TRUE(share->toolTip().contains(QStringLiteral("history"))) << share->toolTip().toStdString();
    });
}

TEST(TrickyWordsTest, AWordIsTrickyWhileItsLatestDrillReachedTheThirdCoveredMiss)
{
    // Each letter a drill line of CAT: r right, w wrong; "|" a new run; "t" a test answer.
    struct Row {
        const char* lines;
        bool tricky;
    };
    const Row rows[] = {
        {"", false},      {"wwr", false},
        {"www", true},    {"wwwr", false}, // a later drill was right before its third miss
        {"wwwwr", false},                  // the copy ended the first drill; the next was right
        {"wwwww", true},                   // a drill unfinished after a tricky one leaves the mark
        {"ww|w", false},                   // an unfinished drill ends with its run
        {"ww|www", true}, {"wwwtt", true}, // test answers do not count
        {"rwww", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lines);
        std::vector<app::progress::Attempt> history;
        int run = 0;
        for (const char* c = row.lines; *c; ++c) {
            if (*c == '|') {
                ++run;
                continue;
            }
            history.push_back({"run" + std::to_string(run), "2026-12-01T10:00:00.000+01:00", "Week", "CAT",
                               "typed", *c == 'r', 1, *c == 't' ? "" : "drill"});
        }
        // Another word's and another lesson's drills are their own.
        history.push_back({"run9", "", "Week", "DOG", "x", false, 1, "drill"});
        history.push_back({"run9", "", "Other", "CAT", "x", true, 1, "drill"});
        const auto tricky = app::progress::TrickyWords(history);
        EXPECT_EQ(tricky.count({"Week", "CAT"}) == 1, row.tricky);
        EXPECT_EQ(tricky.count({"Other", "CAT"}), 0u);
    }
}

TEST_F(ProgressTest, ATrickyWordIsMarkedInTheWordTableAndDrillLinesCountInNoFigure)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"><Week><CAT word=\"CAT\" trys=\"1\" correct=\"0\"/>"
                       "<DOG word=\"DOG\" trys=\"1\" correct=\"1\"/></Week></CHILD>");
    const auto line = [](const char* word, const char* typed, bool right, const char* phase) {
        return app::progress::AttemptToLine({"2026-12-01T10:00:00.000+01:00", "2026-12-01T10:00:05.000+01:00",
                                             "Week", word, typed, right, 1, phase}) +
               "\n";
    };
    WriteFile("Children/Ann.history", line("CAT", "kat", false, "") + line("CAT", "kat", false, "drill") +
                                          line("CAT", "cta", false, "drill") +
                                          line("CAT", "ct", false, "drill") + line("DOG", "dog", true, "") +
                                          line("DOG", "dgo", false, "drill") +
                                          line("DOG", "dog", true, "drill"));
    ChooseLessonAndPlayer();
    WithProgressWindow([&](TProgressWindow& window) {
        const auto rows = WordsTable(window);
        ASSERT_EQ(rows.count("CAT (tricky)"), 1u) << rows.begin()->first;
        ASSERT_EQ(rows.count("DOG"), 1u);
        for (int r = 0; r < window.tblWords->rowCount(); ++r) {
            const QTableWidgetItem* word = window.tblWords->item(r, 1);
            EXPECT_EQ(word->toolTip().contains(QStringLiteral("Tricky")), word->text().startsWith("CAT"));
        }
        // The figures count the two test answers only.
        EXPECT_EQ(window.Report().summary.attempts, 2u);
        EXPECT_EQ(window.Report().misspellings.size(), 1u);
    });
}

TEST_F(ProgressTest, LinkedPlayerFilesKeepTheHistoryWithTheRecordAndANoBreakSpaceIsAMistake)
{
    MakeLesson("Week", {"CAT"});
    // The player's files are links into another folder, the history's not made yet.
    const QTemporaryDir shared;
    const std::filesystem::path record = shared.filePath(QStringLiteral("Ann.xml")).toStdString();
    const std::filesystem::path kept = shared.filePath(QStringLiteral("Ann.history")).toStdString();
    std::ofstream(record) << "<CHILD name=\"Ann\"/>";
    MakeFolder("Children");
    std::filesystem::create_symlink(record, Path("Children/Ann.xml"));
    std::filesystem::create_symlink(kept, Path("Children/Ann.history"));
    // The test trims ASCII blanks only: a no-break space after the word is wrong.
    RunTestWithOneMistake(QStringLiteral("cat\u00a0"));
    EXPECT_EQ(missed_, "CAT");

    EXPECT_TRUE(std::filesystem::is_symlink(Path("Children/Ann.xml")));
    EXPECT_TRUE(std::filesystem::is_symlink(Path("Children/Ann.history")));
    std::ifstream in(record);
    const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(saved.find("trys=\"3\" correct=\"2\""), std::string::npos) << saved;
    const auto history = app::progress::ReadHistory(kept);
    ASSERT_EQ(history.attempts.size(), 3u);
    EXPECT_EQ(history.attempts.front().typed, "cat\u00a0");

    WithProgressWindow([&](TProgressWindow& window) {
        // The blank is marked as added, and named.
        EXPECT_TRUE(window.txtMisspellings->toHtml().contains(QStringLiteral("line-through")));
        ASSERT_EQ(window.tblPatterns->rowCount(), 1);
        EXPECT_EQ(window.tblPatterns->item(0, 0)->text(), QStringLiteral("Space or apostrophe"));
        EXPECT_EQ(window.tblPatterns->item(0, 1)->text(), QStringLiteral("1"));
        EXPECT_EQ(window.tblPatterns->item(0, 2)->text(), QStringLiteral("CAT (cat\u00a0)"));
        EXPECT_EQ(window.tblPatterns->horizontalHeaderItem(1)->text(), QStringLiteral("Answers"));
    });
}

TEST_F(ProgressTest, TheChartLabelsTimesWithinTwoDaysDatesOverLongerAndNeverTheSameTwice)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    ChooseLessonAndPlayer();
    const QDateTime nine(QDate(2026, 12, 1), QTime(9, 0));
    const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d$"));
    const QRegularExpression date(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$"));
    const QRegularExpression dayAndTime(QStringLiteral("^\\d\\d-\\d\\d \\d\\d:\\d\\d$"));
    const struct {
        const char* name;
        std::vector<QDateTime> tests;
        const QRegularExpression& labels;
    } cases[] = {
        {"one test", {nine}, time},
        {"three tests on one day", {nine, nine.addSecs(2 * 3600), nine.addSecs(5 * 3600)}, time},
        {"tests over midnight", {nine.addSecs(14 * 3600), nine.addSecs(28 * 3600)}, dayAndTime},
        {"tests over a month", {nine, nine.addDays(6), nine.addDays(13), nine.addDays(31)}, date},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string lines;
        for (const QDateTime& test : c.tests) {
            const std::string at = test.toString(Qt::ISODateWithMs).toStdString();
            lines += app::progress::AttemptToLine({at, at, "Week", "CAT", "cat", true, 1}) + "\n";
        }
        WriteFile("Children/Ann.history", lines);
        WithProgressWindow([&](TProgressWindow& window) {
            ASSERT_EQ(window.size(), QSize(880, 660)); // the first size
            const QStringList texts = ChartTexts(window);
            QStringList labels = texts.filter(time) + texts.filter(date) + texts.filter(dayAndTime);
            EXPECT_GE(labels.size(), 3) << texts.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(labels, texts.filter(c.labels)) << labels.join(QLatin1Char('|')).toStdString();
            const std::set<QString> distinct(labels.begin(), labels.end());
            EXPECT_EQ(distinct.size(), static_cast<std::size_t>(labels.size()))
                << labels.join(QLatin1Char('|')).toStdString();
            // Every title whole, none cut short.
            EXPECT_TRUE(texts.contains(QStringLiteral("Test")));
            EXPECT_TRUE(texts.contains(QStringLiteral("Share right")));
            EXPECT_EQ(texts.filter(QStringLiteral("...")), QStringList())
                << texts.join(QLatin1Char('|')).toStdString();
            EXPECT_EQ(texts.filter(QStringLiteral("\u2026")), QStringList());
        });
    }
}

TEST_F(ProgressTest, ALessonsTestDateShowsThePlanOrHowEachWordStoodOnTheDay)
{
    using app::learning::DateOfDay;
    const app::learning::Day today = *app::learning::DayOfDate(app::progress::LocalTimestampNow());
    const auto date = [today](int days) { return QString::fromStdString(DateOfDay(today + days)); };
    const auto line = [today](int days, const char* word, bool right) {
        const std::string stamp = DateOfDay(today + days) + "T08:00:00.000+01:00";
        return app::progress::AttemptToLine({stamp, stamp, "Week", word, right ? word : "X", right, 1}) +
               "\n";
    };
    const std::string week = line(-1, "ANT", true) + line(-1, "BEE", false);
    const std::string past =
        line(-5, "ANT", true) + line(-4, "BEE", false) + line(-3, "ANT", true) + line(-2, "BEE", true) +
        line(0, "COW", true); // the test day's answer and later ones leave the standing as it was
    struct Row {
        int words;                  // ANT, BEE, COW, then more
        std::optional<int> testDay; // days from today; none: no date
        std::string history;
        QString cells; // ANT, BEE, COW: right days, last asked, asked next
    };
    for (const Row& row : {
             Row{3, std::nullopt, "", {}},
             Row{3, 7, week,
                 QStringLiteral("1|%1 (right)|%2|0|%1 (missed)|today|0|never|today").arg(date(-1), date(1))},
             Row{20, 2, "", QStringLiteral("0|never|today|0|never|today|0|never|today")},
             Row{3, -2, past,
                 QStringLiteral("2|%1 (right)||0|%2 (missed)||0|never|").arg(date(-3), date(-4))},
         }) {
        SCOPED_TRACE(std::to_string(row.words) + " words, test day " +
                     std::to_string(row.testDay.value_or(0)));
        std::filesystem::remove_all(Path("Week"));
        std::vector<std::string> words{"ANT", "BEE", "COW"};
        for (int i = 3; i < row.words; ++i)
            words.push_back("W" + std::to_string(i));
        MakeLesson("Week", words);
        if (row.testDay)
            WriteFile("Week/.lesson.settings", "test_date=" + DateOfDay(today + *row.testDay) + "\n");
        WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
        WriteFile("Children/Ann.history", row.history);
        ChooseLessonAndPlayer();
        WithProgressWindow([&](TProgressWindow& window) {
            ASSERT_EQ(window.tabs->isTabVisible(window.tabs->indexOf(window.pnlTestDay)),
                      row.testDay.has_value());
            EXPECT_EQ(window.lblNotes->text().contains(QStringLiteral("Too many words for the days left")),
                      row.words > app::learning::kSessionAnswers);
            if (!row.testDay)
                return;
            EXPECT_EQ(
                window.pnlTestDay->lblTestDay->text(),
                *row.testDay > 0
                    ? QStringLiteral("Test day %1: %2 day(s) left.").arg(date(*row.testDay)).arg(*row.testDay)
                    : QStringLiteral("Test day %1: how each word stood going into it.").arg(date(-2)));
            const QTableWidget* table = window.pnlTestDay->tblStanding;
            ASSERT_EQ(table->rowCount(), row.words);
            EXPECT_EQ(table->isColumnHidden(3), *row.testDay < 0);
            QStringList cells;
            for (const char* word : {"ANT", "BEE", "COW"})
                for (int c = 1; c < 4; ++c)
                    cells << table->item(table->findItems(word, Qt::MatchExactly)[0]->row(), c)->text();
            EXPECT_EQ(cells, row.cells.split(QLatin1Char('|')));
        });
    }
}

} // namespace
