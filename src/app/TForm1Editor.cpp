// The lesson editor: new lessons, the word box, recording and replaying a word, the
// lesson's word list and its pop-up menu. Recording and playing go through the clip
// operations; the buttons follow SetUiState.

#include "app/TForm1.h"

#include "app/AddWordsDialog.h"
#include "app/RunThenAlways.h"
#include "app/TrashOrSay.h"
#include "app/WordRules.h"
#include "app/WordText.h"
#include "audio/kaErrors.h"
#include "platform/AsciiCase.h"
#include "platform/fs/Files.h"
#include "platform/ui/Dialogs.h"
#include "rtl/Exception.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <thread>

namespace {

// Failures of the disk rather than of the name asked for.
bool IsDiskRefusal(const std::error_code& error)
{
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return false;
    switch (error.value()) {
    case EROFS:
    case EACCES:
    case EPERM:
    case ENOSPC:
    case EDQUOT:
    case EIO:
        return true;
    default:
        return false;
    }
}

} // namespace

bool TForm1::IsRecordableWord(std::string_view word)
{
    // The word rules of Add Words: the clip's name up to its first "." is the word the list
    // shows and the child is asked, so a new word holding one would be asked as another word.
    return app::WordRefusal(word).empty();
}

void TForm1::RefreshEditorButtons() noexcept
{
    SetUiState(AudioMode);
    try {
        const std::string word(TrimBlanks(edSpellingword->text().toStdString()));
        if (!IsRecordableWord(word))
            btnRecord->setEnabled(false);
        // A clip already on disk may have any name inside the lesson's folder.
        if (!platform::IsPlainFileName(word + ".wav"))
            btnPlay->setEnabled(false);
    } catch (...) {
        // The state of the buttons is never worth an error.
    }
}

void TForm1::ShowTakeHint(TakeHint hint)
{
    switch (hint) {
    case TakeHint::TooQuiet:
        lblTakeHint->setText(QStringLiteral("Very quiet: next time, speak closer to the microphone."));
        break;
    case TakeHint::TooLoud:
        lblTakeHint->setText(QStringLiteral("Too loud: next time, speak a little softer."));
        break;
    case TakeHint::None:
        lblTakeHint->clear();
        break;
    }
}

std::string TForm1::EditorClipPath(std::string_view fileName) const
{
    return ExeDir + cbLessions->currentText().toStdString() + PathDelim + std::string(fileName);
}

std::string TForm1::EditorClipPath() const
{
    return EditorClipPath(edSpellingword->text().toStdString() + ".wav");
}

void TForm1::EditorLessonListRefilled()
{
    if (!cbLessions->currentText().isEmpty())
        return;
    // No lesson chosen: nothing may be recorded into a file directly in the tutor's folder.
    edSpellingword->setEnabled(false);
    Label1->setEnabled(false);
    RefreshEditorButtons();
}

void TForm1::btnAddLessonClick(QObject* /*Sender*/)
{
    btnAddLesson->setEnabled(false);
    RunThenAlways(
        [this] {
            RequireContentFolder();
            const std::string name = CleanName(platform::InputBox("Name of New Lesson", "Lesson Name", ""));
            const std::filesystem::path folder = ContentFile(ExeDir + name);
            if (!platform::DirectoryExists(folder)) {
                // A name the file system refuses makes no folder and shows nothing: the
                // refilled list then simply has no such lesson to choose. A disk that takes
                // no new folder at all is said, or the parent would wait for a lesson that
                // never comes.
                std::error_code refused;
                std::filesystem::create_directories(folder, refused);
                if (refused && IsDiskRefusal(refused))
                    throw rtl::Exception("The lesson folder \"" + folder.string() +
                                         "\" cannot be created: " + refused.message() + ".");
                std::this_thread::sleep_for(NewLessonSettle);
                QCoreApplication::processEvents();
            }
            cbLessionsDropDown(cbLessions);
            const QString wanted = QString::fromStdString(platform::UpperAscii(name));
            for (int i = 0; i < cbLessions->count(); ++i) {
                if (QString::fromStdString(platform::UpperAscii(cbLessions->itemText(i).toStdString())) ==
                    wanted) {
                    cbLessions->setCurrentIndex(i);
                    cbLessionsChange(cbLessions);
                    return;
                }
            }
            EditorLessonListRefilled();
        },
        [this] { btnAddLesson->setEnabled(true); });
}

void TForm1::cbLessionsChange(QObject* /*Sender*/)
{
    ShowTakeHint(TakeHint::None);
    const bool chosen = !cbLessions->currentText().isEmpty();
    for (QWidget* control : {static_cast<QWidget*>(edSpellingword), static_cast<QWidget*>(Label1),
                             static_cast<QWidget*>(btnRecord), static_cast<QWidget*>(btnStop)})
        control->setEnabled(chosen);
    FillWordList();
    RefreshEditorButtons();
}

void TForm1::edSpellingwordChange(QObject* /*Sender*/)
{
    ShowTakeHint(TakeHint::None); // the hint was about another word
    const std::string word(TrimBlanks(edSpellingword->text().toStdString()));
    if (const std::string refusal = word.empty() ? std::string() : app::WordRefusal(word); !refusal.empty())
        lblTakeHint->setText(QString::fromStdString("Cannot be recorded: " + refusal + "."));
    RefreshEditorButtons();
}

void TForm1::edSpellingwordExit(QObject* /*Sender*/)
{
    const QString word = QString::fromStdString(EditorWord(edSpellingword->text().toStdString()));
    if (word != edSpellingword->text())
        edSpellingword->setText(word);
}

void TForm1::edSpellingwordKeyPress(QObject* /*Sender*/, QChar& Key)
{
    if (Key != QChar(13))
        return;
    Key = QChar(0);
    if (btnRecord->isEnabled())
        btnRecordClick(btnRecord);
}

void TForm1::btnRecordClick(QObject* /*Sender*/)
{
    RunThenAlways(
        [this] {
            // Blanks around the word would become part of the clip's name, and so of the
            // word the child must type.
            const std::string typed = edSpellingword->text().toStdString();
            const std::string_view word = TrimBlanks(typed);
            if (word.size() != typed.size())
                edSpellingword->setText(QString::fromStdString(std::string(word)));
            // Record is disabled for these; a click that comes anyway records nothing.
            if (cbLessions->currentText().isEmpty() || !IsRecordableWord(word))
                return;
            ShowTakeHint(TakeHint::None);
            ClipPath = EditorClipPath();
            try {
                StartRecording(ClipPath);
            } catch (const EACMAudioInError&) {
                if (!app::MicrophoneAnswers())
                    throw rtl::Exception(app::kNoMicrophone);
                throw;
            }
        },
        [this] {
            RefreshEditorButtons();
            if (btnStop->isEnabled())
                btnStop->setFocus(Qt::OtherFocusReason);
        });
}

void TForm1::btnPlayClick(QObject* /*Sender*/)
{
    if (kaAudioOut1->Active()) {
        kaAudioOut1->SetPaused(!kaAudioOut1->Paused());
        return;
    }
    RunThenAlways(
        [this] {
            if (cbLessions->currentText().isEmpty())
                return;
            ShowTakeHint(TakeHint::None);
            if (!SoundOutput.ReadyForClip())
                throw rtl::Exception(app::kNoSoundOutputForWord);
            ClipPath = EditorClipPath();
            StartPlayback(ClipPath);
        },
        [this] { RefreshEditorButtons(); });
}

void TForm1::btnStopClick(QObject* /*Sender*/)
{
    RunThenAlways(
        [this] {
            if (TakeRuns())
                StopRecording();
            else if (AudioMode == 2 || ClipReader)
                StopPlayback();
        },
        [this] {
            // The box is emptied for the next word; the hint on the take just ended stays.
            const QString hint = lblTakeHint->text();
            edSpellingword->clear();
            lblTakeHint->setText(hint);
            FillWordList();
            edSpellingword->setFocus(Qt::OtherFocusReason);
            RefreshEditorButtons();
        });
}

void TForm1::ListBox1Click(QObject* /*Sender*/)
{
    if (const QListWidgetItem* item = ListBox1->currentItem(); item && item->isSelected())
        edSpellingword->setText(item->text());
}

void TForm1::ListBox1DblClick(QObject* /*Sender*/)
{
    const QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected())
        return;
    // Only Stop ends a recording: a double click then would cut it off unsaid.
    if (TakeRuns())
        return;
    if (!SoundOutput.ReadyForClip())
        throw rtl::Exception(app::kNoSoundOutputForWord);
    const std::string path = EditorClipPath(ClipFileOf(*item));
    ClipPath = path;
    ShowTakeHint(TakeHint::None);
    SetUiState(2);
    // The clip may also end because another took its place: the buttons then follow that one.
    RunThenAlways([&] { PlayClipAndWait(path); }, [this] { RefreshEditorButtons(); });
}

void TForm1::PopupMenuPopup(QObject* /*Sender*/)
{
    const QListWidgetItem* item = ListBox1->currentItem();
    // A take under way is ended only by Stop, never by deleting its word.
    DeleteWord1->setEnabled(ListBox1->currentRow() >= 0 && item && item->isSelected() && !TakeRuns());
    const bool clipBusy = AudioMode != 0 || ClipFile || ClipWriter;
    AddWords1->setEnabled(!cbLessions->currentText().isEmpty() && !clipBusy);
}

void TForm1::AddWords1Click(QObject* /*Sender*/)
{
    if (cbLessions->currentText().isEmpty() || AudioMode != 0 || ClipFile || ClipWriter)
        return;
    std::vector<std::string> words;
    for (int i = 0; i < ListBox1->count(); ++i)
        words.push_back(ListBox1->item(i)->text().toStdString());
    app::AddWordsDialog dialog(
        [this](const std::string& word) { return ContentFile(EditorClipPath(word + ".wav")); },
        std::move(words), this);
    RunThenAlways([&] { dialog.exec(); },
                  [this] {
                      FillWordList();
                      RefreshEditorButtons();
                  });
}

void TForm1::DeleteWord1Click(QObject* /*Sender*/)
{
    const QListWidgetItem* item = ListBox1->currentItem();
    if (!item || !item->isSelected() || cbLessions->currentText().isEmpty() || TakeRuns())
        return;
    const std::string word = item->text().toStdString();
    const std::filesystem::path file = ContentFile(EditorClipPath(ClipFileOf(*item)));
    if (!platform::ConfirmYesNo("Delete the word " + word + " from this lesson?"))
        return;
    // The clip may be the one sounding.
    if (ClipFile && ClipFile->FileName() == file)
        StopAnyClip();
    // A recording is the costliest thing in the folder: it goes to the trash, as lessons do.
    RunThenAlways([&] { app::MoveToTrashOrSay(file, "The word " + word); },
                  [this] {
                      FillWordList();
                      RefreshEditorButtons();
                  });
}
