// Tidying players and lessons: renaming and deleting a player (start page, the player list's
// pop-up menu) and deleting a lesson (editor page, the lesson list's pop-up menu). The menus
// act on what the closed list shows. Deleting moves to the desktop's trash, never erases.

#include "app/TForm1.h"

#include "app/TrashOrSay.h"
#include "app/MergingSave.h"
#include "app/PlayerSettings.h"
#include "platform/AsciiCase.h"
#include "platform/fs/Files.h"
#include "platform/fs/Trash.h"
#include "platform/ui/Dialogs.h"
#include "rtl/Exception.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <system_error>

namespace {

using FileMoves = std::vector<std::pair<std::filesystem::path, std::filesystem::path>>;

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Moves one file to its new name without ever replacing another file: only a rename of a file
// onto itself (its letter case alone changes) may find its new name taken. 0 or the errno.
int MoveWithoutReplacing(const std::filesystem::path& source, const std::filesystem::path& target)
{
    if (SameFile(source, target))
        return ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
    return platform::RenameNoReplace(source, target);
}

// A rename of the files of one player that undoes itself unless kept.
class PlayerFilesMove {
public:
    PlayerFilesMove(const FileMoves& moves, const std::string& from)
    {
        for (const auto& [source, target] : moves) {
            if (const int error = MoveWithoutReplacing(source, target)) {
                // A constructor that raises has no destructor run: undo here.
                Undo();
                throw rtl::Exception("The player \"" + from + "\" could not be renamed: " +
                                     std::generic_category().message(error) + ".");
            }
            moved_.emplace_back(source, target);
        }
    }
    ~PlayerFilesMove()
    {
        if (!kept_)
            Undo();
    }
    PlayerFilesMove(const PlayerFilesMove&) = delete;
    PlayerFilesMove& operator=(const PlayerFilesMove&) = delete;

    void Keep() { kept_ = true; }

private:
    void Undo() noexcept
    {
        for (auto it = moved_.rbegin(); it != moved_.rend(); ++it) {
            std::error_code ignored;
            std::filesystem::rename(it->second, it->first, ignored);
        }
        moved_.clear();
    }

    FileMoves moved_;
    bool kept_ = false;
};

// The record's own copy of the player's name, rewritten where the record can be read; a
// record that does not load is moved as it is.
void RenameInRecord(const std::filesystem::path& record, const std::string& name)
{
    platform::XmlDocument document;
    try {
        document.LoadFromFile(record);
    } catch (const std::exception&) {
        return;
    }
    platform::XmlNode root = document.DocumentElement();
    if (!root)
        return;
    root.SetAttribute("name", name);
    document.SaveToFile(record);
}

// A save still waiting on the removed file finds the record gone once it has the lock; a
// later one makes a new lock file.
void RemoveLockFile(const std::filesystem::path& lockFile)
{
    std::error_code ignored;
    std::filesystem::remove(lockFile, ignored);
}

} // namespace

bool TForm1::ClipIsIn(const std::filesystem::path& folder) const
{
    try {
        return ContentFile(ClipPath).parent_path() == folder;
    } catch (const platform::EPathError&) {
        return false;
    }
}

void TForm1::PlayerMenuPopup(QObject* /*Sender*/)
{
    const bool shown = ComboBox3->isEnabled() && !ComboBox3->currentText().isEmpty();
    RenamePlayer1->setEnabled(shown);
    DeletePlayer1->setEnabled(shown);
    PracticeFromMemory1->setEnabled(shown);
    const std::string player = ComboBox3->currentText().toStdString();
    PracticeFromMemory1->setChecked(
        shown && app::ReadPlayerSettings(PlayerFile(player, app::kPlayerSettingsExtension)).practiceFromMemory);
}

void TForm1::RenamePlayer1Click(QObject* /*Sender*/)
{
    const std::string player = ComboBox3->currentText().toStdString();
    if (player.empty())
        return;
    const std::optional<std::string> typed =
        platform::InputQuery("Rename Player", "Childs Full Name", player);
    if (!typed)
        return;
    const std::string name = CleanName(*typed);
    if (name.empty() || name == player)
        return;
    // Each file of the player moves to the new name, unless a file of that name (in any letter
    // case) is there already that is not the player's own: renaming Sam to SAM where SAM.xml is
    // another player's record replaces nothing.
    FileMoves moves;
    for (const std::string_view extension :
         {kRecordExtension, kHistoryExtension, app::kPlayerSettingsExtension}) {
        const std::filesystem::path source = PlayerFile(player, extension);
        const bool present = platform::FileExists(source);
        const std::optional<std::filesystem::path> taken = ExistingPlayerFile(name, extension);
        if (taken && !(present && SameFile(*taken, source))) {
            platform::ShowInformation("That child already exists.");
            return;
        }
        if (present || extension == kRecordExtension)
            moves.emplace_back(source, source.parent_path() / (name + std::string(extension)));
    }
    {
        // No save of either name runs while the files move; one that comes after finds the old
        // record gone and says so. The new name's lock file stays, the old one goes. (A change of
        // letter case alone may name the same lock file, which one lock already holds.)
        const std::filesystem::path oldLock = app::LockPathOf(moves.front().first);
        const platform::RecordLock lockOld(oldLock, RecordLockTimeout);
        std::optional<platform::RecordLock> lockNew;
        if (!platform::EqualsIgnoreAsciiCase(name, player))
            lockNew.emplace(app::LockPathOf(moves.front().second), RecordLockTimeout);
        PlayerFilesMove move(moves, player);
        RenameInRecord(moves.front().second, name);
        move.Keep();
        RemoveLockFile(oldLock);
    }

    ComboBox3DropDown(ComboBox3);
    ComboBox3->setCurrentIndex(ComboBox3->findText(QString::fromStdString(name), Qt::MatchExactly));
    ComboBox3Change(ComboBox3);
}

void TForm1::DeletePlayer1Click(QObject* /*Sender*/)
{
    const std::string player = ComboBox3->currentText().toStdString();
    if (player.empty() ||
        !platform::ConfirmYesNo("Move the player " + player + " and all their results to the trash?"))
        return;
    const std::filesystem::path lockFile = app::LockPathOf(PlayerFile(player, kRecordExtension));
    const platform::RecordLock lock(lockFile, RecordLockTimeout);
    FileMoves trashed;
    for (const std::string_view extension :
         {kRecordExtension, kHistoryExtension, app::kPlayerSettingsExtension}) {
        const std::filesystem::path file = PlayerFile(player, extension);
        if (!platform::FileExists(file))
            continue;
        try {
            trashed.emplace_back(file, app::MoveToTrashOrSay(file, "The player " + player));
        } catch (...) {
            for (const auto& [original, moved] : trashed)
                platform::RestoreFromTrash(moved, original);
            throw;
        }
    }
    RemoveLockFile(lockFile);
    ComboBox3DropDown(ComboBox3);
}

void TForm1::LessonMenuPopup(QObject* /*Sender*/)
{
    // A take under way is ended only by Stop, never by deleting a lesson.
    DeleteLesson1->setEnabled(!cbLessions->currentText().isEmpty() && !TakeRuns());
}

void TForm1::DeleteLesson1Click(QObject* /*Sender*/)
{
    const QString lesson = cbLessions->currentText();
    if (lesson.isEmpty() || TakeRuns() ||
        !platform::ConfirmYesNo("Move the lesson " + lesson.toStdString() +
                                " and all its words to the trash?"))
        return;
    const std::filesystem::path folder = ContentFile(ExeDir + lesson.toStdString());
    // Its clip may be the one sounding right now.
    if (ClipFile && ClipIsIn(folder))
        StopAnyClip();
    app::MoveToTrashOrSay(folder, "The lesson " + lesson.toStdString());

    for (QComboBox* list : {static_cast<QComboBox*>(cbLessions), static_cast<QComboBox*>(ComboBox2)}) {
        const bool chosen = list->currentText() == lesson;
        if (const int at = list->findText(lesson, Qt::MatchExactly); at >= 0)
            list->removeItem(at);
        if (chosen)
            list->setCurrentIndex(-1);
    }
    if (ComboBox2->currentText().isEmpty()) {
        // No lesson on the start page: nothing to start.
        btnStartTest->setEnabled(false);
        btnStartPractice->setEnabled(false);
    }
    ListBox1->clear();
    EditorLessonListRefilled();
}
