// The content folder in use: the program's own data where the folder has none, choosing
// another folder with "Lessons Folder...", and what the start says about the folder.

#include "app/TForm1.h"

#include "platform/AsciiCase.h"
#include "platform/fs/Files.h"
#include "platform/ui/Dialogs.h"
#include "rtl/Exception.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>

namespace {

// The first part of a tutor-style relative path ("\Alpha\a.wav" gives "Alpha").
std::string_view FirstPart(std::string_view relative)
{
    const size_t start = relative.find_first_not_of("/\\");
    if (start == std::string_view::npos)
        return {};
    relative.remove_prefix(start);
    return relative.substr(0, relative.find_first_of("/\\"));
}

// The prompt and letter clips and the help belong to the program, not to the user.
bool IsProgramData(std::string_view relative)
{
    const std::string_view first = FirstPart(relative);
    return platform::EqualsIgnoreAsciiCase(first, "Alpha") ||
           platform::EqualsIgnoreAsciiCase(relative, "LexorinHelp.mht");
}

} // namespace

std::string TForm1::ExeDirOf(const std::filesystem::path& folder)
{
    std::string dir = folder.string();
    if (dir.empty() || dir.back() != PathDelim)
        dir += PathDelim;
    return dir;
}

std::optional<std::filesystem::path> TForm1::InstalledDataFile(std::string_view relative) const
{
    if (InstalledDataDir.empty() || !IsProgramData(relative))
        return std::nullopt;
    std::filesystem::path file = platform::ResolveContentPath(InstalledDataDir, relative);
    if (!platform::FileExists(file))
        return std::nullopt;
    return file;
}

void TForm1::RequireContentFolder() const
{
    if (!platform::DirectoryExists(contentDir_))
        throw rtl::Exception("The lessons folder \"" + contentDir_.string() +
                             "\" is not there. Connect it, or choose another with \"Lessons Folder...\".");
}

void TForm1::ShowContentFolder()
{
    ComboBox2->setToolTip(QString::fromStdString(contentDir_.string()));
}

void TForm1::LessonsFolderPopup(QObject* /*Sender*/)
{
    const std::string refusal = app::LessonsFolderRefusal(ContentOrigin);
    LessonsFolder1->setEnabled(refusal.empty() && AudioMode == 0 && SequenceDepth == 0);
    LessonsFolder1->setToolTip(QString::fromStdString(refusal));
}

void TForm1::LessonsFolder1Click(QObject* /*Sender*/)
{
    const std::optional<std::string> chosen = platform::ChooseFolder("Lessons Folder", contentDir_.string());
    if (!chosen)
        return;
    const std::filesystem::path folder = std::filesystem::path(*chosen).lexically_normal();
    if (!app::IsReadableFolder(folder)) {
        platform::ShowErrorBox("The folder \"" + folder.string() +
                               "\" cannot be read. Choose another folder.");
        return;
    }
    UseContentFolder(folder);
    if (!app::SaveContentFolder(SettingsFile, folder))
        platform::ShowErrorBox("The choice could not be saved in \"" + SettingsFile.string() +
                               "\": the tutor uses \"" + folder.string() + "\" until it is closed.");
}

void TForm1::UseContentFolder(const std::filesystem::path& folder)
{
    contentDir_ = folder;
    ExeDir = ExeDirOf(folder);
    ShowContentFolder();
    cbLessionsDropDown(ComboBox2);
    cbLessionsDropDown(cbLessions);
    ListBox1->clear();
    EditorLessonListRefilled();
    ComboBox3DropDown(ComboBox3);
}

void TForm1::ReportContentProblem(const app::ContentChoice& choice)
{
    if (choice.problem.empty())
        return;
    if (!choice.folderGone) {
        platform::ShowInformation(choice.problem);
        return;
    }
    if (platform::ConfirmYesNo(choice.problem))
        LessonsFolder1Click(LessonsFolder1);
}
