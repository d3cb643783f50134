// Renaming and deleting players on the start page and deleting lessons in the editor, on the
// real window, with the desktop's trash pointed at the test's own folder.

#include "clips_fixture.h"
#include "lock_holder.h"

#include "app/PlayerSettings.h"

#include <QByteArray>
#include <QMenu>

#include <filesystem>
#include <functional>
#include <tuple>

#include <unistd.h>

namespace {

using cliptest::ToneWave;

const char* const kSamRecord =
    R"(<CHILD name="Sam"><Week_3><CAT word="CAT" trys="2" correct="1"/></Week_3></CHILD>)";

class TidyTest : public ClipFormTest {
protected:
    void SetUp() override
    {
        ClipFormTest::SetUp(); // with the trash in the test's folder
        MakeFolder("Week_3");
        MakeFolder("Week_4");
        WriteFile("Week_3/CAT.wav", ToneWave(2, 44100, 44100 * 3));
        WriteFile("Children/Sam.xml", kSamRecord);
        WriteFile("Children/Sam.history", "{\"word\":\"CAT\"}\n");
        WriteFile("Children/Ann.xml", "<CHILD name=\"Ann\"/>");
    }
    // The start page with a lesson and the player chosen, as a user chooses them.
    void ChoosePlayer(const std::string& player)
    {
        Show();
        DropDown(form_->ComboBox2);
        Choose(form_->ComboBox2, form_->ComboBox2->findText("Week_3"));
        Reactivate();
        DropDown(form_->ComboBox3);
        Choose(form_->ComboBox3, form_->ComboBox3->findText(QString::fromStdString(player)));
        Reactivate();
        ASSERT_EQ(form_->ComboBox3->currentText().toStdString(), player);
    }

    // A right click on `control` opens `menu`; true when `item` is enabled in it.
    static bool EnabledInMenu(QWidget* control, QMenu* menu, QAction* item)
    {
        emit control->customContextMenuRequested(QPoint(5, 5));
        const bool enabled = item->isEnabled();
        menu->hide();
        return enabled;
    }
    bool PlayerMenuOffers(QAction* item) { return EnabledInMenu(form_->ComboBox3, form_->PlayerMenu, item); }
};

// ---- Rename Player -----------------------------------------------------------------------------

TEST_F(TidyTest, RenameMovesRecordAndHistoryRewritesTheNameAndChoosesThePlayer)
{
    ChoosePlayer("Sam");
    ASSERT_TRUE(PlayerMenuOffers(form_->RenamePlayer1));
    AnswerInput("Sam Jones");
    form_->RenamePlayer1->trigger();

    const auto asked = Boxes();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, "Rename Player");
    EXPECT_EQ(asked[0].text, "Childs Full Name");
    EXPECT_EQ(asked[0].defaultText, "Sam");
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Sam.xml")));
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Sam.history")));
    EXPECT_EQ(ReadFile("Children/Sam_Jones.history"), "{\"word\":\"CAT\"}\n");
    platform::XmlDocument record;
    record.LoadFromFile(Path("Children/Sam_Jones.xml"));
    EXPECT_EQ(record.DocumentElement().Attribute("name"), "Sam_Jones");
    EXPECT_EQ(record.DocumentElement().FindChild("Week_3").FindChild("CAT").Attribute("trys"), "2");
    EXPECT_EQ(form_->ComboBox3->currentText(), "Sam_Jones");
    EXPECT_EQ(Items(form_->ComboBox3), (QStringList{"Ann", "Sam_Jones"}));
    EXPECT_TRUE(form_->btnStartTest->isEnabled());
}

TEST_F(TidyTest, RenameToAnExistingPlayerCancelOrAnEmptyNameChangesNothing)
{
    ChoosePlayer("Sam");
    AnswerInput("ann"); // Ann exists in another letter case
    form_->RenamePlayer1->trigger();
    EXPECT_EQ(BoxTexts(platform::DialogKind::Information),
              std::vector<std::string>{"That child already exists."});
    CancelInput();
    form_->RenamePlayer1->trigger();
    AnswerInput("");
    form_->RenamePlayer1->trigger();
    EXPECT_EQ(ReadFile("Children/Sam.xml"), kSamRecord);
    EXPECT_TRUE(std::filesystem::exists(Path("Children/Sam.history")));
    EXPECT_EQ(ReadFile("Children/Ann.xml"), "<CHILD name=\"Ann\"/>");
    EXPECT_EQ(form_->ComboBox3->currentText(), "Sam");

    // Only the letter case changes: the same player under its new spelling.
    AnswerInput("SAM");
    form_->RenamePlayer1->trigger();
    EXPECT_TRUE(std::filesystem::exists(Path("Children/SAM.xml")));
    EXPECT_TRUE(std::filesystem::exists(Path("Children/SAM.history")));
    EXPECT_EQ(form_->ComboBox3->currentText(), "SAM");
}

TEST_F(TidyTest, ARecordThatDoesNotLoadIsMovedAsItIs)
{
    WriteFile("Children/Sam.xml", "<CHILD name=\"Sam\"><unclosed>");
    ChoosePlayer("Sam");
    AnswerInput("Sammy");
    form_->RenamePlayer1->trigger();
    EXPECT_EQ(ReadFile("Children/Sammy.xml"), "<CHILD name=\"Sam\"><unclosed>");
    EXPECT_TRUE(Errors().empty());
}

TEST_F(TidyTest, AFailedMoveMovesEverythingBackAndSaysWhy)
{
    // The history cannot take its new name (a folder is in the way), after the record has.
    MakeFolder("Children/Sammy.history/inside");
    ChoosePlayer("Sam");
    AnswerInput("Sammy");
    form_->RenamePlayer1->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].rfind("The player \"Sam\" could not be renamed: ", 0), 0u) << Errors()[0];
    EXPECT_EQ(ReadFile("Children/Sam.xml"), kSamRecord);
    EXPECT_TRUE(std::filesystem::exists(Path("Children/Sam.history")));
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Sammy.xml")));
}

TEST_F(TidyTest, ARenameNeverReplacesAnotherPlayersFileAndTheLetterCaseOfAnExtensionDoesNotMatter)
{
    WriteFile("Children/SAM.xml", "<CHILD name=\"SAM\"/>");
    WriteFile("Children/Bo.XML", "<CHILD name=\"Bo\"/>");
    WriteFile("Children/Bo.history", "{\"word\":\"DOG\"}\n");
    // Sam and SAM are two players; sAM a third spelling of them; ANN only Ann's letter case.
    for (const auto& [player, typed, refused] : {std::tuple{"Sam", "SAM", true},
                                                 {"SAM", "Sam", true},
                                                 {"Sam", "sAM", true},
                                                 {"Ann", "ANN", false},
                                                 {"Bo", "Bob", false}}) {
        SCOPED_TRACE(std::string(player) + " -> " + typed);
        requests_.clear();
        ChoosePlayer(player);
        AnswerInput(typed);
        form_->RenamePlayer1->trigger();
        EXPECT_EQ(BoxTexts(platform::DialogKind::Information).size(), refused ? 1u : 0u);
        EXPECT_EQ(form_->ComboBox3->currentText().toStdString(), refused ? player : typed);
        EXPECT_TRUE(Errors().empty());
    }
    EXPECT_EQ(ReadFile("Children/Sam.xml"), kSamRecord);
    EXPECT_EQ(ReadFile("Children/SAM.xml"), "<CHILD name=\"SAM\"/>");
    EXPECT_EQ(ReadFile("Children/Bob.history"), "{\"word\":\"DOG\"}\n");
    EXPECT_EQ(Items(form_->ComboBox3), (QStringList{"ANN", "Bob", "SAM", "Sam"}));

    // A record with its extension in capitals goes to the trash with its history.
    std::filesystem::rename(Path("Children/Bob.xml"), Path("Children/Bob.XML"));
    ChoosePlayer("Bob");
    form_->DeletePlayer1->trigger();
    EXPECT_TRUE(std::filesystem::exists(Trashed("Bob.XML")));
    EXPECT_TRUE(std::filesystem::exists(Trashed("Bob.history")));
}

TEST_F(TidyTest, ANewPlayerDoesNotInheritAHistoryLeftBehindAndWithoutATrashIsNotAdded)
{
    // The record of Tom was deleted by hand; his history stayed.
    WriteFile("Children/Tom.history", "{\"word\":\"CAT\"}\n");
    ChoosePlayer("Sam");
    WriteFile("nowhere", "a file where the trash's folder would be");
    UseTrashIn("nowhere");
    AnswerInput("Tom");
    QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    EXPECT_EQ(Errors(),
              std::vector<std::string>{"An old history of a player named Tom could not be moved to the "
                                       "trash (this disk has none, as on a USB stick or a network "
                                       "share), so no player was added."});
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Tom.xml")));

    UseTrashIn("data");
    AnswerInput("Tom");
    QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    EXPECT_EQ(Errors().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(Path("Children/Tom.xml")));
    EXPECT_EQ(ReadFile("data/Trash/files/Tom.history"), "{\"word\":\"CAT\"}\n");
    EXPECT_EQ(form_->ComboBox3->currentText(), "Tom");
}

TEST_F(TidyTest, RenameAndDeleteWaitForThePlayersLockAndCarryOrRemoveItsFile)
{
    form_->RecordLockTimeout = std::chrono::milliseconds(100);
    ChoosePlayer("Sam");
    {
        // Another tutor is saving Sam's answers and does not finish.
        LockHolder saving(Path("Children/.Sam.lock"));
        AnswerInput("Sammy");
        form_->RenamePlayer1->trigger();
        form_->DeletePlayer1->trigger();
        ASSERT_EQ(Errors().size(), 2u);
        for (const std::string& error : Errors())
            EXPECT_NE(error.find(Path("Children").string()), std::string::npos) << error;
        EXPECT_EQ(ReadFile("Children/Sam.xml"), kSamRecord);
        EXPECT_TRUE(std::filesystem::exists(Path("Children/Sam.history")));
        EXPECT_FALSE(std::filesystem::exists(Path("Children/Sammy.xml")));
    }
    AnswerInput("Sammy");
    form_->RenamePlayer1->trigger();
    EXPECT_FALSE(std::filesystem::exists(Path("Children/.Sam.lock")));
    EXPECT_TRUE(std::filesystem::exists(Path("Children/.Sammy.lock")));
    EXPECT_EQ(Items(form_->ComboBox3), (QStringList{"Ann", "Sammy"})); // lock files are no players
    form_->DeletePlayer1->trigger();
    EXPECT_FALSE(std::filesystem::exists(Path("Children/.Sammy.lock")));
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Sammy.xml")));
    EXPECT_EQ(Errors().size(), 2u);
}

// ---- Delete Player -----------------------------------------------------------------------------

TEST_F(TidyTest, DeletePlayerAsksThenMovesRecordAndHistoryToTheTrash)
{
    ChoosePlayer("Sam");
    ASSERT_TRUE(PlayerMenuOffers(form_->DeletePlayer1));
    form_->DeletePlayer1->trigger(); // the fixture answers Yes
    EXPECT_EQ(BoxTexts(platform::DialogKind::Confirmation),
              std::vector<std::string>{"Move the player Sam and all their results to the trash?"});
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Sam.xml")));
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Sam.history")));
    EXPECT_EQ(ReadFile("data/Trash/files/Sam.xml"), kSamRecord);
    EXPECT_TRUE(std::filesystem::exists(Trashed("Sam.history")));
    EXPECT_TRUE(std::filesystem::exists(Path("data/Trash/info/Sam.xml.trashinfo")));
    EXPECT_EQ(Items(form_->ComboBox3), QStringList{"Ann"});
    EXPECT_TRUE(form_->ComboBox3->currentText().isEmpty());
    EXPECT_FALSE(form_->btnStartTest->isEnabled());
    EXPECT_FALSE(form_->btnStartPractice->isEnabled());
    EXPECT_FALSE(PlayerMenuOffers(form_->DeletePlayer1)) << "no player shown, nothing to act on";
}

TEST_F(TidyTest, DeletePlayerOnNoOrWithoutATrashErasesNothing)
{
    ChoosePlayer("Sam");
    {
        platform::ScopedDialogResponder no(
            [](const platform::DialogRequest&) { return platform::DialogAnswer{}; });
        form_->DeletePlayer1->trigger();
    }
    EXPECT_TRUE(std::filesystem::exists(Path("Children/Sam.xml")));

    WriteFile("nowhere", "a file where the trash's folder would be");
    UseTrashIn("nowhere");
    form_->DeletePlayer1->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0],
              "The player Sam could not be moved to the trash (this disk has none, as on a USB stick "
              "or a network share), so nothing was deleted.");
    EXPECT_EQ(ReadFile("Children/Sam.xml"), kSamRecord);
    EXPECT_TRUE(std::filesystem::exists(Path("Children/Sam.history")));
    EXPECT_EQ(form_->ComboBox3->currentText(), "Sam");
}

// ---- Practice From Memory ----------------------------------------------------------------------

TEST_F(TidyTest, PracticeFromMemoryIsAPlayersCheckedChoiceKeptInTheSettingsFile)
{
    ChoosePlayer("Sam");
    ASSERT_TRUE(PlayerMenuOffers(form_->PracticeFromMemory1));
    EXPECT_TRUE(form_->PracticeFromMemory1->isCheckable());
    EXPECT_FALSE(form_->PracticeFromMemory1->isChecked()) << "off until a parent turns it on";
    form_->PracticeFromMemory1->trigger();
    EXPECT_EQ(ReadFile("Children/Sam.settings"), "practice_from_memory=on\n");
    // The menu shows the choice of the player the list shows; a run reads it when it starts.
    for (const auto& [player, on] : {std::pair{"Ann", false}, {"Sam", true}}) {
        ChoosePlayer(player);
        PlayerMenuOffers(form_->PracticeFromMemory1);
        EXPECT_EQ(form_->PracticeFromMemory1->isChecked(), on) << player;
        QTest::mouseClick(form_->btnStartPractice, Qt::LeftButton);
        EXPECT_EQ(form_->RunRecalls, on) << player;
        QTest::mouseClick(form_->ExitPractice, Qt::LeftButton);
    }
    form_->PracticeFromMemory1->trigger();
    EXPECT_FALSE(form_->PracticeFromMemory1->isChecked());
    EXPECT_EQ(ReadFile("Children/Sam.settings"), "practice_from_memory=off\n");
    EXPECT_EQ(Items(form_->ComboBox3), (QStringList{"Ann", "Sam"})) << "a settings file is no player";

    // Rename and Delete carry it; a new player of a name whose settings were left gets none.
    WriteFile("Children/Sam.settings", "practice_from_memory=on\n");
    AnswerInput("Sammy");
    form_->RenamePlayer1->trigger();
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Sam.settings")));
    PlayerMenuOffers(form_->PracticeFromMemory1);
    EXPECT_TRUE(form_->PracticeFromMemory1->isChecked());
    form_->DeletePlayer1->trigger();
    EXPECT_EQ(ReadFile("data/Trash/files/Sammy.settings"), "practice_from_memory=on\n");
    WriteFile("Children/Tom.settings", "practice_from_memory=on\n");
    AnswerInput("Tom");
    QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(Trashed("Tom.settings")));
    PlayerMenuOffers(form_->PracticeFromMemory1);
    EXPECT_FALSE(form_->PracticeFromMemory1->isChecked());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(TidyTest, PracticeFromMemoryThatCannotBeWrittenIsRefusedWithTheReasonAndChangesNothing)
{
    namespace fs = std::filesystem;
    struct Row {
        const char* reason;
        bool evenForRoot; // a Children folder without write permission stops no root
        std::function<void()> spoil;
    };
    const Row rows[] = {
        {"Permission denied", true,
         [&] {
             WriteFile("Children/Sam.settings", "practice_from_memory=off\n");
             fs::permissions(Path("Children/Sam.settings"), fs::perms::owner_read);
         }},
        {"Is a directory", true, [&] { MakeFolder("Children/Sam.settings/inside"); }},
        {"Permission denied", false,
         [&] { fs::permissions(Path("Children"), fs::perms::owner_read | fs::perms::owner_exec); }},
    };
    for (const auto& [reason, evenForRoot, spoil] : rows) {
        if (!evenForRoot && ::geteuid() == 0)
            continue;
        requests_.clear();
        fs::remove_all(Path("Children/Sam.settings"));
        spoil();
        ChoosePlayer("Sam");
        PlayerMenuOffers(form_->PracticeFromMemory1);
        form_->PracticeFromMemory1->trigger();
        ASSERT_EQ(Errors().size(), 1u);
        EXPECT_NE(Errors()[0].find(reason), std::string::npos) << Errors()[0];
        EXPECT_FALSE(form_->PracticeFromMemory1->isChecked());
        fs::permissions(Path("Children"), fs::perms::owner_all);
        EXPECT_FALSE(app::ReadPlayerSettings(Path("Children/Sam.settings")).practiceFromMemory);
    }
}

// ---- Delete Lesson -----------------------------------------------------------------------------

TEST_F(TidyTest, DeleteLessonStopsItsClipTrashesItsFolderAndDropsItFromBothLists)
{
    ChoosePlayer("Sam"); // Week_3 chosen on the start page
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    ChooseLesson("Week_3");
    ASSERT_EQ(Items(form_->ListBox1), QStringList{"CAT"});
    ClickItem(0);
    QTest::mouseClick(form_->btnPlay, Qt::LeftButton);
    ASSERT_EQ(form_->AudioMode, 2);
    ASSERT_TRUE(EnabledInMenu(form_->cbLessions, form_->LessonMenu, form_->DeleteLesson1));

    form_->DeleteLesson1->trigger();
    EXPECT_EQ(BoxTexts(platform::DialogKind::Confirmation),
              std::vector<std::string>{"Move the lesson Week_3 and all its words to the trash?"});
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_FALSE(form_->ClipFile);
    EXPECT_TRUE(Errors().empty());
    EXPECT_FALSE(std::filesystem::exists(Path("Week_3")));
    EXPECT_TRUE(std::filesystem::exists(Trashed("Week_3/CAT.wav")));
    EXPECT_EQ(Items(form_->cbLessions), QStringList{"Week_4"});
    EXPECT_TRUE(form_->cbLessions->currentText().isEmpty());
    EXPECT_EQ(Items(form_->ComboBox2), QStringList{"Week_4"});
    EXPECT_TRUE(form_->ComboBox2->currentText().isEmpty());
    EXPECT_FALSE(form_->btnStartTest->isEnabled());
    EXPECT_EQ(form_->ListBox1->count(), 0);
    EXPECT_FALSE(form_->edSpellingword->isEnabled());
    EXPECT_EQ(ReadFile("Children/Sam.xml"), kSamRecord) << "players keep their results of the lesson";
    EXPECT_FALSE(EnabledInMenu(form_->cbLessions, form_->LessonMenu, form_->DeleteLesson1));
}

TEST_F(TidyTest, DeleteLessonWithoutATrashSaysSoAndKeepsTheLesson)
{
    Show();
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    ChooseLesson("Week_3");
    WriteFile("nowhere", "a file where the trash's folder would be");
    UseTrashIn("nowhere");
    form_->DeleteLesson1->trigger();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors()[0].rfind("The lesson Week_3 could not be moved to the trash", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3/CAT.wav")));
    EXPECT_EQ(form_->cbLessions->currentText(), "Week_3");
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"CAT"});
}

} // namespace
