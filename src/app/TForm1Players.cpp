// Players: adding and listing them, and their record files, read at the start of a
// run into the lesson's word list; after every judged answer the run's gains are merged
// into the record as it is on disk then (MergingSave).

#include "app/TForm1.h"

#include "app/PlayerRecord.h"
#include "app/PlayerSettings.h"
#include "app/TrashOrSay.h"
#include "platform/fs/Files.h"
#include "platform/ui/Dialogs.h"
#include "rtl/Exception.h"
#include "widgets/TDropDownComboBox.h"

#include <QPushButton>

namespace {

// Counts add up as 32-bit numbers that wrap, also for hand-edited records with
// counts near the limits.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

} // namespace

std::filesystem::path TForm1::PlayerFile(const std::string& player, std::string_view extension) const
{
    const std::filesystem::path children = ContentFile(ExeDir + "Children");
    const std::string name = player + std::string(extension);
    if (!platform::IsPlainFileName(name))
        throw platform::EPathError("Invalid path: \"" + name + "\"");
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(children / name, ec)))
        return children / name;
    // Only the extension's letter case may differ: Sam and SAM are two players.
    for (const platform::DirEntry& entry : platform::ListFolder(children, "*" + std::string(extension)))
        if (entry.name.size() == name.size() && entry.name.compare(0, player.size(), player) == 0)
            return children / entry.name;
    return children / name;
}

std::optional<std::filesystem::path> TForm1::ExistingPlayerFile(const std::string& player,
                                                                std::string_view extension) const
{
    try {
        const std::filesystem::path file =
            ContentFile(ExeDir + "Children" + PathDelim + player + std::string(extension));
        if (platform::FileExists(file))
            return file;
    } catch (const platform::EPathError&) {
    }
    return std::nullopt;
}

std::string TForm1::PlayerRecordPath() const
{
    return PlayerFile(ComboBox3->currentText().toStdString(), kRecordExtension).string();
}

void TForm1::btnNewChildClick(QObject* /*Sender*/)
{
    RequireContentFolder();
    platform::ForceDirectories(ContentFile(ExeDir + "Children"));
    const std::string name = CleanName(platform::InputBox("Add New Child", "Childs Full Name", ""));
    if (ExistingPlayerFile(name, kRecordExtension)) {
        platform::ShowInformation("That child already exists.");
        return;
    }
    // A history or settings left behind by a record deleted by hand belong to someone else.
    if (const std::filesystem::path history = PlayerFile(name, kHistoryExtension);
        platform::FileExists(history))
        app::MoveToTrashOrSay(history, "An old history of a player named " + name, "no player was added");
    if (const std::filesystem::path settings = PlayerFile(name, app::kPlayerSettingsExtension);
        platform::FileExists(settings))
        app::MoveToTrashOrSay(settings, "Old settings of a player named " + name, "no player was added");
    {
        platform::XmlDocument record;
        app::NewPlayerRecord(record, name);
        record.SaveToFile(PlayerFile(name, kRecordExtension));
    }
    ComboBox3DropDown(ComboBox3);
    const QString typed = QString::fromStdString(name);
    for (int i = 0; i < ComboBox3->count(); ++i) {
        if (ComboBox3->itemText(i) == typed) {
            ComboBox3->setCurrentIndex(i);
            break;
        }
    }
    ComboBox3Change(ComboBox3);
}

void TForm1::ComboBox3DropDown(QObject* /*Sender*/)
{
    btnStartTest->setEnabled(false);
    btnStartPractice->setEnabled(false);
    const std::filesystem::path children = ContentFile(ExeDir + "Children");
    if (platform::DirectoryExists(contentDir_)) // a folder that is gone is never made again here
        platform::ForceDirectories(children);
    ComboBox3->clear();
    for (const platform::DirEntry& entry : platform::ListFolder(children, "*.xml"))
        ComboBox3->addItem(QString::fromStdString(WordOfFileName(entry.name)));
    ComboBox3->setCurrentIndex(-1); // a fresh list has no choice
}

void TForm1::ComboBox3Change(QObject* /*Sender*/)
{
    btnStartTest->setEnabled(!ComboBox3->currentText().isEmpty());
    btnStartPractice->setEnabled(btnStartTest->isEnabled());
}

void TForm1::OpenPlayerRecord()
{
    try {
        const std::string player = ComboBox3->currentText().toStdString();
        RunRecord = {PlayerFile(player, kRecordExtension), PlayerFile(player, kHistoryExtension),
                     ComboBox2->currentText().toStdString()};
        auto record = std::make_unique<platform::XmlDocument>();
        record->LoadFromFile(RunRecord.record);
        LessonNode = platform::XmlNode();
        PlayerDoc = std::move(record);
        LessonNode = app::FindOrAddLessonNode(*PlayerDoc, RunRecord.lesson);
        LoadLessonWords();
        RunRecalls = app::ReadPlayerSettings(PlayerFile(player, app::kPlayerSettingsExtension)).practiceFromMemory;
        RecordSave.Start({RunRecord.record, RunRecord.history, RunRecord.lesson, RunStarted}, Words);
        DrawCeiling = ComputeDrawCeiling();
    } catch (...) {
        DropFailedRun();
        throw;
    }
}

void TForm1::DropFailedRun() noexcept
{
    // Nothing of an earlier run may stay behind: its words would be drawn and its
    // document saved over the record of the player now chosen.
    RunMode = 0;
    CurrentWord = nullptr;
    Words.clear();
    LessonNode = platform::XmlNode();
    PlayerDoc.reset();
    RunRecord = {};
    RunRecalls = false;
    TotalTried = 0;
    TotalCorrect = 0;
    btnReturnToTest->setEnabled(false);
    btnForward->setEnabled(false);
    PageControl1->setCurrentWidget(TabSheet1);
}

void TForm1::LoadLessonWords()
{
    CurrentWord = nullptr; // it pointed into the list being replaced
    Words.clear();
    std::vector<std::string> words;
    for (const platform::DirEntry& entry :
         platform::ListFolder(ContentFile(ExeDir + RunRecord.lesson), "*.wav"))
        words.push_back(WordOfFileName(entry.name));
    Words = app::LoadWords(LessonNode, words);
    for (const auto& record : Words) {
        TotalTried = WrappingAdd(TotalTried, record->Trys);
        TotalCorrect = WrappingAdd(TotalCorrect, record->Correct);
    }
}

void TForm1::SavePlayerRecord()
{
    RTL_ASSERT(PlayerDoc && LessonNode);
    RecordSave.Save(Words, RecordLockTimeout);
}
