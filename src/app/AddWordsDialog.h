#pragma once

// "Add Words": a list of words typed, pasted or loaded from a text file, checked against the
// word rules and the lesson as it is typed, then each new word's clip made in the tutor's
// voice with a progress bar that can be cancelled. What is made stays made; a word the voice
// cannot say is reported in the list and the others are made.

#include "app/WordRules.h"

#include <QDialog>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class QDialogButtonBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace app {

class AddWordsDialog : public QDialog {
    Q_OBJECT
public:
    // `clipPath` gives the file a word's clip goes to; `lessonWords` are the words that
    // have a clip already.
    AddWordsDialog(std::function<std::filesystem::path(const std::string&)> clipPath,
                   std::vector<std::string> lessonWords, QWidget* parent = nullptr);

    // Puts a text file's words in the box; false (and a box saying why) when it is refused.
    bool LoadWordFile(const std::filesystem::path& path);

    // What the list box shows: one row per listed word, its status in the second column.
    QPlainTextEdit* WordsBox = nullptr;
    QPushButton* LoadButton = nullptr;
    QTreeWidget* Preview = nullptr;
    QLabel* Summary = nullptr;
    QProgressBar* Progress = nullptr;
    QDialogButtonBox* Buttons = nullptr;

    int MadeCount() const { return made_; }

signals:
    // A clip has been made and is in place.
    void WordMade(const QString& word);

public slots:
    void reject() override;

private:
    void UpdatePreview();
    void ChooseFile();
    void MakeClips();
    void MakeOne(int row);

    std::function<std::filesystem::path(const std::string&)> clipPath_;
    std::vector<std::string> lessonWords_;
    std::vector<ListedWord> listed_;
    bool making_ = false;
    bool cancelled_ = false;
    int made_ = 0;
};

} // namespace app
