// Tidying players and lessons: renaming and deleting a player (start page, the player list's
// pop-up menu) and deleting a lesson (editor page, the lesson list's pop-up menu). The menus
// act on what the closed list shows. Deleting moves to the desktop's trash, never erases.

#include "app/TForm1.h"

#include "app/MergingSave.h"
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

#include <optional>
#include <system_error>

namespace {

// Where a player's files live: the record and, beside it, the history of their answers.
constexpr const char* kPlayerFileExtensions[] = {".xml", ".history"};

// A rename of the files of one player that undoes itself unless kept.
class PlayerFilesMove {
public:
    PlayerFilesMove(const std::filesystem::path& children, const std::string& from, const std::string& to)
    {
        for (const char* extension : kPlayerFileExtensions) {
            const std::filesystem::path source = children / (from + extension);
            if (extension != std::string(".xml") && !platform::FileExists(source))
                continue;
            const std::filesystem::path target = children / (to + extension);
            std::error_code error;
            std::filesystem::rename(source, target, error);
            if (error) {
                // A constructor that raises has no destructor run: undo here.
                Undo();
                throw rtl::Exception("The player \"" + from + "\" could not be renamed: " + error.message() +
                                     ".");
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

    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> moved_;
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

[[noreturn]] void NoTrash(const std::string& what)
{
    throw rtl::Exception(what + " could not be moved to the trash (this disk has none, as on a USB stick or "
                                "a network share), so nothing was deleted.");
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
    const std::filesystem::path children = ContentFile(ExeDir + "Children");
    // A player whose name changes only in letter case stays the same player.
    const bool sameFiles = platform::EqualsIgnoreAsciiCase(name, player);
    for (const char* extension : kPlayerFileExtensions) {
        if (!sameFiles && ContentFileExists(ExeDir + "Children" + PathDelim + name + extension)) {
            platform::ShowInformation("That child already exists.");
            return;
        }
    }
    {
        // No save of either name runs while the files move; one that comes after finds the old
        // record gone and says so. The new name's lock file stays, the old one goes. (A change of
        // letter case alone may name the same lock file, which one lock already holds.)
        const std::filesystem::path oldLock = app::LockPathOf(children / (player + ".xml"));
        const platform::RecordLock lockOld(oldLock, RecordLockTimeout);
        std::optional<platform::RecordLock> lockNew;
        if (!sameFiles)
            lockNew.emplace(app::LockPathOf(children / (name + ".xml")), RecordLockTimeout);
        PlayerFilesMove move(children, player, name);
        RenameInRecord(children / (name + ".xml"), name);
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
    const std::filesystem::path children = ContentFile(ExeDir + "Children");
    const std::filesystem::path lockFile = app::LockPathOf(children / (player + ".xml"));
    const platform::RecordLock lock(lockFile, RecordLockTimeout);
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> trashed;
    for (const char* extension : kPlayerFileExtensions) {
        const std::filesystem::path file = children / (player + extension);
        if (!platform::FileExists(file))
            continue;
        const std::optional<std::filesystem::path> inTrash = platform::MoveToTrash(file);
        if (!inTrash) {
            for (const auto& [original, moved] : trashed)
                platform::RestoreFromTrash(moved, original);
            NoTrash("The player " + player);
        }
        trashed.emplace_back(file, *inTrash);
    }
    RemoveLockFile(lockFile);
    ComboBox3DropDown(ComboBox3);
}

void TForm1::LessonMenuPopup(QObject* /*Sender*/)
{
    DeleteLesson1->setEnabled(!cbLessions->currentText().isEmpty());
}

void TForm1::DeleteLesson1Click(QObject* /*Sender*/)
{
    const QString lesson = cbLessions->currentText();
    if (lesson.isEmpty() || !platform::ConfirmYesNo("Move the lesson " + lesson.toStdString() +
                                                    " and all its words to the trash?"))
        return;
    const std::filesystem::path folder = ContentFile(ExeDir + lesson.toStdString());
    // Its clip may be the one sounding or being recorded right now.
    if ((ClipFile || ClipWriter) && ClipIsIn(folder))
        StopAnyClip();
    if (!platform::MoveToTrash(folder))
        NoTrash("The lesson " + lesson.toStdString());

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
