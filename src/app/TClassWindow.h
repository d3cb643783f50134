#pragma once

// The progress of the whole class: every player of the players' folder at a glance, for one
// lesson or all. A table of the players (those who need help first), the words the class misses
// most, and the mistake patterns with the players who show them; "Save as CSV" and "Print".
// The records and histories are read on a thread of their own while a bar shows how far it has
// got, so a slow shared folder never freezes the window. Choosing a player in the view list
// closes the window with kShowPlayer, for the player's own progress window.

#include "app/progress/ClassReport.h"

#include <QDialog>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QLabel;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;

class TClassWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kShowPlayer = 2; // the exec() result when a player was chosen

    TClassWindow(std::filesystem::path children, std::map<std::string, std::vector<std::string>> lessonWords,
                 const std::optional<std::string>& lesson, QWidget* parent = nullptr);
    ~TClassWindow() override;

    QComboBox* cbView = nullptr;   // "Whole class", then each player once the class is read
    QComboBox* cbLesson = nullptr; // "All lessons", then each lesson
    QProgressBar* barReading = nullptr;
    QLabel* lblNotes = nullptr; // the players whose files could not be read, with the reasons
    QTabWidget* tabs = nullptr;
    QTableWidget* tblPlayers = nullptr;
    QTableWidget* tblWords = nullptr;
    QTableWidget* tblPatterns = nullptr;
    QPushButton* btnSaveCsv = nullptr;
    QPushButton* btnPrint = nullptr;

    bool ClassRead() const { return read_; }
    std::optional<std::string> Lesson() const;
    std::string ChosenPlayer() const { return chosenPlayer_; }
    const app::progress::ClassReport& Report() const { return report_; }

    // Writes the players table to the chosen path (".csv" added) and the class's words beside
    // it (" words.csv"); raises on failure.
    void SaveCsv(const std::string& path) const;
    void PrintReport(QPrinter& printer) const;

    // Where the buttons ask for a file and a printer; tests answer instead.
    std::function<std::string()> AskCsvPath;
    std::function<bool(QPrinter&)> AskPrinter;

signals:
    void classRead();

private:
    void StartReading(std::filesystem::path children,
                      std::map<std::string, std::vector<std::string>> lessonWords);
    void Read(std::vector<app::progress::ClassMember> members);
    void ShowLesson();
    void FillPlayers();
    void FillWords();
    void FillPatterns();
    void FillNotes();
    void ViewChosen(int index);
    void btnSaveCsvClick();
    void btnPrintClick();

    std::vector<std::string> lessons_;
    std::optional<std::string> firstLesson_;
    std::vector<app::progress::ClassMember> members_;
    app::progress::ClassReport report_;
    std::string chosenPlayer_;
    bool read_ = false;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};
