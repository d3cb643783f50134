// The whole class's progress on the real window: the "Pro&gress" button with no player chosen,
// the class window on a fixture of players with known histories, the switch to one player and
// back, the export and the print.

#include "test_child_fixture.h"

#include "app/TClassWindow.h"
#include "app/TProgressWindow.h"
#include "app/progress/AttemptHistory.h"

#include <QPrinter>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>

#include <functional>

namespace {

struct Said {
    const char* word;
    const char* typed; // as typed; right when it is the word
};

class ClassProgressTest : public ChildTest {
protected:
    void SetUp() override
    {
        ChildTest::SetUp();
        MakeLesson("Week", {"CAT", "DOG", "SUN"});
        // Ann: three tests, every word right at once.
        for (const char* day : {"01", "02", "03"})
            AddTest("Ann", day, {{"CAT", "cat"}, {"DOG", "dog"}, {"SUN", "sun"}});
        // Bob: two tests, CAT wrong at first in both.
        for (const char* day : {"01", "02"})
            AddTest("Bob", day, {{"CAT", "KAT"}, {"CAT", "CAT"}, {"DOG", "DOG"}, {"SUN", "SUN"}});
        // Dee: one test, CAT and DOG wrong at first, and a history damaged in two places.
        AddTest("Dee", "03",
                {{"CAT", "CT"}, {"CAT", "CAT"}, {"DOG", "DOOG"}, {"DOG", "DOG"}, {"SUN", "SUN"}});
        history_["Dee"] += "{\"run\":\"torn\n\x01\x02 not a line\n";
        WritePlayer("Cid", "<CHILD name=\"Cid\"/>");      // never tested
        WritePlayer("Eve", "<CHILD name=\"Eve\"><Week>"); // damaged
        for (const auto& [player, lines] : history_) {
            WritePlayer(player, "<CHILD name=\"" + player + "\"/>");
            WriteFile("Children/" + player + ".history", lines);
        }
    }

    void AddTest(const std::string& player, const std::string& day, const std::vector<Said>& answers)
    {
        const std::string run = "2026-12-" + day + "T09:00:00.000+00:00";
        for (const Said& said : answers) {
            const bool right = QString::fromLatin1(said.typed).toUpper() == QLatin1String(said.word);
            history_[player] += app::progress::AttemptToLine({run, run, "Week", said.word, said.typed, right,
                                                              ++tries_[player][said.word]}) +
                                "\n";
        }
    }

    // Runs `act` on the first shown window of type T once it appears (inside its exec()).
    template <class T> void WhenShown(std::function<void(T&)> act)
    {
        auto* timer = new QTimer(form_.get());
        timer->setInterval(5);
        QObject::connect(timer, &QTimer::timeout, form_.get(), [this, timer, act] {
            for (T* window : form_->findChildren<T*>()) {
                if (window->isVisible()) {
                    timer->stop();
                    timer->deleteLater();
                    act(*window);
                    return;
                }
            }
        });
        timer->start();
    }

    // Clicks Progress with only the lesson chosen; `check` runs on the class window once the
    // class is read; the window is closed afterwards unless `check` closed it.
    void WithClassWindow(const std::function<void(TClassWindow&)>& check)
    {
        Show();
        Choose(form_->ComboBox2, 0);
        ASSERT_TRUE(form_->ComboBox3->currentText().isEmpty());
        ASSERT_TRUE(form_->btnProgress->isEnabled()) << "a lesson and players: the class can be shown";
        bool opened = false;
        WhenShown<TClassWindow>([&](TClassWindow& window) {
            opened = true;
            EXPECT_TRUE(QTest::qWaitFor([&] { return window.ClassRead(); }, 10000));
            EXPECT_FALSE(window.barReading->isVisible());
            check(window);
            if (window.isVisible())
                window.reject();
        });
        QTest::mouseClick(form_->btnProgress, Qt::LeftButton);
        EXPECT_TRUE(opened) << "no class window";
    }

    // The cells of columns [first, end) of every row, joined by '|'.
    static std::vector<std::string> Rows(const QTableWidget* table, int first, int end)
    {
        std::vector<std::string> rows;
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = first; c < end; ++c)
                cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
            rows.push_back(cells.join('|').toStdString());
        }
        return rows;
    }

    std::map<std::string, std::string> history_;
    std::map<std::string, std::map<std::string, std::int64_t>> tries_;
};

} // namespace

TEST_F(ClassProgressTest, TheClassShowsEveryPlayerThoseWhoNeedHelpFirstAndSwitchesToOneAndBack)
{
    bool sawPlayer = false;
    bool backToClass = false;
    const QString pdf = QString::fromStdString(Path("class.pdf").string());
    WithClassWindow([&](TClassWindow& window) {
        EXPECT_EQ(window.cbView->currentText(), QStringLiteral("Whole class"));
        EXPECT_EQ(window.Lesson(), std::optional<std::string>("Week"));
        // Lowest first-answer share over the last three tests first; untested, then unread, last.
        EXPECT_EQ(Rows(window.tblPlayers, 0, 7), (std::vector<std::string>{
                                                     "Dee|1|2026-12-03|1 of 3|33%|2|CAT, DOG",
                                                     "Bob|2|2026-12-02|2 of 3|67%|1|CAT",
                                                     "Ann|3|2026-12-03|3 of 3|100%|0|",
                                                     "Cid|0||||0|",
                                                     "Eve||||||",
                                                 }));
        const std::vector<std::string> problems = Rows(window.tblPlayers, 7, 8);
        EXPECT_NE(problems[0].find("2 damaged lines of the history were skipped"), std::string::npos)
            << problems[0];
        EXPECT_EQ(problems[4].rfind("The record could not be read", 0), 0u) << problems[4];
        EXPECT_EQ(problems[1] + problems[2] + problems[3], "");
        EXPECT_TRUE(window.lblNotes->text().contains("Eve: The record could not be read"));
        EXPECT_TRUE(window.lblNotes->text().contains("Dee: 2 damaged lines"));

        // The words the class misses: CAT by two players, right at first 3 times in 6.
        EXPECT_EQ(Rows(window.tblWords, 1, 4), (std::vector<std::string>{"CAT|2|50%", "DOG|1|83%"}));
        // Every kind of mistake names who makes it.
        ASSERT_GE(window.tblPatterns->rowCount(), 1);
        std::string who;
        for (const std::string& names : Rows(window.tblPatterns, 2, 3))
            who += names + ";";
        const auto names = [&](const char* player) { return who.find(player) != std::string::npos; };
        EXPECT_TRUE(names("Bob") && names("Dee") && !names("Ann")) << who;

        // The export and the print hold the class.
        window.AskCsvPath = [&] { return Path("class").string(); };
        window.AskPrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        QTest::mouseClick(window.btnSaveCsv, Qt::LeftButton);
        QTest::mouseClick(window.btnPrint, Qt::LeftButton);

        // Sortable as a teacher sorts: by tests taken, most first.
        window.tblPlayers->sortItems(1, Qt::DescendingOrder);
        EXPECT_EQ(window.tblPlayers->item(0, 0)->text(), QStringLiteral("Ann"));

        // "Whole class" and five players to switch to; the player's window leads back.
        ASSERT_EQ(window.cbView->count(), 6);
        WhenShown<TProgressWindow>([&](TProgressWindow& player) {
            sawPlayer = player.windowTitle().contains("Bob");
            WhenShown<TClassWindow>([&](TClassWindow& again) {
                backToClass = QTest::qWaitFor([&] { return again.ClassRead(); }, 10000);
                again.reject();
            });
            QTest::mouseClick(player.btnWholeClass, Qt::LeftButton);
        });
        const int bob = window.cbView->findText("Bob");
        window.cbView->setCurrentIndex(bob);
        emit window.cbView->activated(bob);
    });
    EXPECT_TRUE(sawPlayer);
    EXPECT_TRUE(backToClass);
    EXPECT_EQ(BoxTexts(platform::DialogKind::Information),
              std::vector<std::string>{"Saved the class's results in " + Path("class").string() + "."});
    const std::string players = ReadFile("class.csv");
    EXPECT_NE(players.find("\"Player\",\"Tests\""), std::string::npos);
    EXPECT_LT(players.find("\"Dee\",\"1\""), players.find("\"Bob\",\"2\""));
    EXPECT_NE(players.find("\"Eve\""), std::string::npos);
    EXPECT_NE(ReadFile("class words.csv").find("\"Week\",\"CAT\",\"2\",\"50%\""), std::string::npos);
    EXPECT_GT(std::filesystem::file_size(Path("class.pdf")), 1000u);
}
