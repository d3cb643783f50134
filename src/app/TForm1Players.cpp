// Players: adding and listing them, and their record files, read at the start of a
// run into the lesson's word list and written back after every judged answer.

#include "app/TForm1.h"

#include "app/PlayerRecord.h"
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

std::string TForm1::PlayerRecordPath() const
{
    return ExeDir + "Children" + PathDelim + ComboBox3->currentText().toStdString() + ".xml";
}

void TForm1::btnNewChildClick(QObject* /*Sender*/)
{
    RequireContentFolder();
    platform::ForceDirectories(ContentFile(ExeDir + "Children"));
    const std::string name = CleanName(platform::InputBox("Add New Child", "Childs Full Name", ""));
    const std::string path = ExeDir + "Children" + PathDelim + name + ".xml";
    if (ContentFileExists(path)) {
        platform::ShowInformation("That child already exists.");
        return;
    }
    {
        platform::XmlDocument record;
        app::NewPlayerRecord(record, name);
        record.SaveToFile(ContentFile(path));
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
        auto record = std::make_unique<platform::XmlDocument>();
        record->LoadFromFile(ContentFile(PlayerRecordPath()));
        LessonNode = platform::XmlNode();
        PlayerDoc = std::move(record);
        LessonNode = app::FindOrAddLessonNode(*PlayerDoc, ComboBox2->currentText().toStdString());
        LoadLessonWords();
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
         platform::ListFolder(ContentFile(ExeDir + ComboBox2->currentText().toStdString()), "*.wav"))
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
    app::SaveWords(LessonNode, Words);
    PlayerDoc->SaveToFile(ContentFile(PlayerRecordPath()));
}
