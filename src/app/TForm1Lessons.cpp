// The lesson store: the lesson lists, the editor's word list, typed names made safe
// as file names, and the files that paths built on ExeDir name.

#include "app/TForm1.h"

#include "app/WordRules.h"
#include "platform/fs/Files.h"
#include "platform/speech/VoiceClipFile.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace {

// A word whose clip is in the tutor's voice still waits for a person to record it.
void ShowAsTutorVoice(QListWidgetItem& item)
{
    QFont font = item.font();
    font.setItalic(true);
    item.setFont(font);
    item.setToolTip(QStringLiteral("Said by the tutor's voice. Record the word to use your own voice."));
}

bool IsReservedFolder(const std::string& name)
{
    return name == "." || name == ".." || name == "Alpha" || name == "Children";
}

// The tutor's own program file sits beside the lessons and, having no extension on this
// platform, would match "*." as a lesson would; no executable file is ever a lesson.
bool IsProgramFile(const std::filesystem::path& folder, const platform::DirEntry& entry)
{
    if (entry.directory)
        return false;
    std::error_code ec;
    const auto permissions = std::filesystem::status(folder / entry.name, ec).permissions();
    return !ec && (permissions & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
}

} // namespace

void TForm1::cbLessionsDropDown(QObject* Sender)
{
    auto* list = qobject_cast<QComboBox*>(Sender);
    if (!list)
        return;
    list->clear();
    for (const platform::DirEntry& entry : platform::ListFolder(contentDir_, "*.")) {
        if (entry.hidden || entry.system || IsReservedFolder(entry.name) || IsProgramFile(contentDir_, entry))
            continue;
        list->addItem(QString::fromStdString(entry.name));
    }
    list->setCurrentIndex(-1); // a fresh list has no choice
}

void TForm1::FillWordList()
{
    const std::string lesson = cbLessions->currentText().toStdString();
    if (lesson.empty())
        return;
    ListBox1->clear();
    std::filesystem::path folder;
    try {
        folder = ContentFile(ExeDir + lesson);
    } catch (const platform::EPathError&) {
        return; // not a folder below ExeDir: nothing to list
    }
    for (const platform::DirEntry& entry : platform::ListFolder(folder, "*.wav")) {
        // The item shows the word; it keeps the file it stands for, whose name may say more
        // ("MR..wav" is listed as "MR").
        auto* item = new QListWidgetItem(QString::fromStdString(WordOfFileName(entry.name)));
        item->setData(kClipFileRole, QString::fromStdString(entry.name));
        if (!entry.directory && platform::speech::IsTutorVoiceClip(folder / entry.name))
            ShowAsTutorVoice(*item);
        ListBox1->addItem(item); // the list owns it
    }
}

std::string TForm1::ClipFileOf(const QListWidgetItem& item)
{
    return item.data(kClipFileRole).toString().toStdString();
}

void TForm1::ComboBox2Change(QObject* /*Sender*/)
{
    Label4->setEnabled(true);
    ComboBox3->setEnabled(true);
    btnNewChild->setEnabled(true);
}

std::string TForm1::CleanName(std::string_view text)
{
    std::string name(text);
    for (const char unsafe : {'\\', '/', '*', '?', ':', '.', '\'', ' '})
        std::replace(name.begin(), name.end(), unsafe, '_');
    return name;
}

std::string TForm1::WordOfFileName(std::string_view fileName)
{
    return app::WordOfClipName(fileName);
}

namespace {

std::string_view BelowExeDir(std::string_view path, const std::string& exeDir)
{
    if (path.substr(0, exeDir.size()) != exeDir)
        throw platform::EPathError("The path \"" + std::string(path) + "\" is outside the tutor's folder.");
    return path.substr(exeDir.size());
}

} // namespace

std::filesystem::path TForm1::ContentFile(std::string_view path) const
{
    const std::string_view relative = BelowExeDir(path, ExeDir);
    std::filesystem::path file = platform::ResolveContentPath(contentDir_, relative);
    // A parent may put their own voice in the content folder; else the program's clips serve.
    if (!platform::FileExists(file))
        if (std::optional<std::filesystem::path> installed = InstalledDataFile(relative))
            return *installed;
    return file;
}

bool TForm1::ContentFileExists(std::string_view path) const
{
    try {
        return platform::FileExists(ContentFile(path));
    } catch (const platform::EPathError&) {
        return false;
    }
}
