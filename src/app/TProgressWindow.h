#pragma once

// The progress window: how a player is doing, for parents and teachers. A resizable
// modal dialog on the player's record and attempt history, for one lesson or all:
// a summary, a chart of each test's share of words right at the first answer, the
// per-word table (trouble words first, sortable), the misspellings with their
// letters marked, and the patterns behind them; "Save as CSV" and "Print".

#include "app/learning/CalendarDay.h"
#include "app/progress/ProgressReport.h"
#include "app/progress/ProgressSource.h"

#include <QDialog>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTextBrowser;
namespace app {
class TestDayPanel;
}

class TProgressWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShowClass = 2; // the exec() result of "Whole class"

    // Shows `lesson` first (nullopt or a lesson not offered: all lessons).
    TProgressWindow(app::progress::ProgressSource source, const std::optional<std::string>& lesson,
                    QWidget* parent = nullptr);
    ~TProgressWindow() override;

    QComboBox* cbLesson = nullptr; // "All lessons", then each lesson
    QLabel* lblSummary = nullptr;
    QLabel* lblNotes = nullptr; // incomplete or unreadable history, since when it is kept
    QChartView* chartView = nullptr;
    QTabWidget* tabs = nullptr;
    QTableWidget* tblWords = nullptr;
    QTextBrowser* txtMisspellings = nullptr;
    QTableWidget* tblPatterns = nullptr;
    QPushButton* btnSaveCsv = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnWholeClass = nullptr; // closes the window for the whole class's

    // A tab while the lesson shown has a test date.
    app::TestDayPanel* pnlTestDay = nullptr;

    // A lesson's test date, with the lesson's words in its order.
    struct LessonTestDay {
        app::learning::Day day = 0;
        std::vector<std::string> words;
    };
    // The lessons that have a test date, as of `today`: the plan toward a date to come, and
    // how the words stood on a date passed.
    void ShowTestDays(std::map<std::string, LessonTestDay> lessons, app::learning::Day today);

    // The lesson shown; nullopt for all lessons.
    std::optional<std::string> Lesson() const;
    const app::progress::ProgressReport& Report() const { return report_; }

    // Writes the two CSV files for the chosen path (see CsvPaths); raises on failure.
    void SaveCsv(const std::string& attemptsPath);
    // The attempts file as chosen, and the words file beside it ("... attempts.csv" gives
    // "... words.csv"; any other name gets " words" added).
    static std::pair<std::string, std::string> CsvPaths(const std::string& attemptsPath);
    // Asks before either CSV file for the chosen path replaces a file the save dialog did
    // not ask about; true when nothing is replaced or the user agrees.
    static bool MayReplaceCsvFiles(const std::string& chosen);
    // "TOMORROW (tommorow), ...": a pattern's example words, each with what was typed.
    static QString ExamplesText(const app::progress::PatternCount& pattern);
    // Prints the one- or two-page report on a set-up printer (or PDF file).
    void PrintReport(QPrinter& printer) const;

    // Where the buttons ask for a file and a printer; tests answer instead.
    std::function<std::string()> AskCsvPath;
    std::function<bool(QPrinter&)> AskPrinter;

signals:
    void firstPainted();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowLesson(const std::optional<std::string>& lesson);
    void FillSummary();
    void FillChart();
    // A new chart of the tests shown, owned by the caller.
    QChart* MakeChart() const;
    void FillWords();
    void FillMisspellings();
    void FillPatterns();
    void FillTestDay();
    // The heading of the share column: the history's share, since when it is kept.
    QString ShareRightTitle() const;
    void btnSaveCsvClick();
    void btnPrintClick();

    app::progress::ProgressSource source_;
    app::progress::ProgressReport report_;
    bool painted_ = false;
    std::map<std::string, LessonTestDay> testDays_;
    app::learning::Day today_ = 0;
};
