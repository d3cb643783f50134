// The lesson lists, the editor's word list, and typed names made safe as file names.

#include "AppTestFixture.h"

#include "app/ContentFolder.h"
#include "platform/fs/Files.h"

#include <tuple>

#include <sys/stat.h>

class LessonsTest : public FormTest {};

TEST_F(LessonsTest, LessonListShowsFoldersAndExtensionlessFilesButNotThePromptAndPlayerFolders)
{
    MakeFolder("alpha");
    MakeFolder("Alpha");
    MakeFolder("Children");
    MakeFolder("Week_3");
    MakeFolder("Week.4");  // a dot: not a lesson
    MakeFolder(".hidden"); // hidden
    MakeFolder(".config.d");
    WriteFile("README", "text"); // a plain file without an extension is listed
    WriteFile("notes.txt", "text");
    WriteFile("lexorin", "ELF");                        // the program beside its lessons...
    ASSERT_EQ(chmod(Path("lexorin").c_str(), 0755), 0); // ...is executable: never a lesson
    WriteFile("NOTES", "ELF");
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0); // neither file nor folder: a system entry
    Show();

    DropDown(form_->ComboBox2);
    EXPECT_EQ(Items(form_->ComboBox2), (QStringList{"alpha", "NOTES", "README", "Week_3"}));
    DropDown(form_->cbLessions);
    EXPECT_EQ(Items(form_->cbLessions), Items(form_->ComboBox2));
}

TEST_F(LessonsTest, OpeningALessonListEmptiesItsChoiceAndRaisesNoChange)
{
    MakeFolder("Week_3");
    MakeFolder("Week_4");
    Show();
    Choose(form_->ComboBox2, 1);
    EXPECT_EQ(form_->ComboBox2->currentText().toStdString(), "Week_4");
    EXPECT_TRUE(form_->ComboBox3->isEnabled());

    // Whatever depended on the choice stays as it was.
    form_->Label4->setEnabled(false);
    DropDown(form_->ComboBox2);
    EXPECT_EQ(form_->ComboBox2->currentIndex(), -1);
    EXPECT_TRUE(form_->ComboBox2->currentText().isEmpty());
    EXPECT_FALSE(form_->Label4->isEnabled());
}

TEST_F(LessonsTest, ListsAreReadAfreshAtEveryOpening)
{
    MakeFolder("Week_3");
    Show();
    DropDown(form_->ComboBox2);
    EXPECT_EQ(Items(form_->ComboBox2), QStringList{"Week_3"});
    MakeFolder("Animals");
    std::filesystem::remove(Path("Week_3"));
    DropDown(form_->ComboBox2);
    EXPECT_EQ(Items(form_->ComboBox2), QStringList{"Animals"});
}

TEST_F(LessonsTest, AMissingContentFolderGivesAnEmptyListAndNoMessage)
{
    form_ = std::make_unique<TForm1>(dir_ / "gone");
    Show();
    DropDown(form_->ComboBox2);
    EXPECT_EQ(form_->ComboBox2->count(), 0);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(LessonsTest, ChoosingAStartPageLessonOpensThePlayerControls)
{
    MakeFolder("Week_3");
    Show();
    ASSERT_FALSE(form_->Label4->isEnabled());
    Choose(form_->ComboBox2, 0);
    EXPECT_TRUE(form_->Label4->isEnabled());
    EXPECT_TRUE(form_->ComboBox3->isEnabled());
    EXPECT_TRUE(form_->btnNewChild->isEnabled());
    EXPECT_FALSE(form_->btnStartTest->isEnabled()); // a player is needed too
    EXPECT_FALSE(form_->btnStartPractice->isEnabled());

    // Nothing is disabled again when the list later comes up empty.
    std::filesystem::remove(Path("Week_3"));
    DropDown(form_->ComboBox2);
    EXPECT_TRUE(form_->ComboBox3->isEnabled());
}

TEST_F(LessonsTest, WordListTakesEachClipsNameUpToItsFirstDot)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Week_3/MR.SMITH.wav");
    WriteFile("Week_3/.wav");
    WriteFile("Week_3/dog.WAV");
    WriteFile("Week_3/notes.txt");
    WriteFile("Week_3/CAT.wav.bak");
    MakeFolder("Week_3/X.wav"); // any kind of entry
    Show();
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    DropDown(form_->cbLessions);
    form_->cbLessions->setCurrentIndex(0);
    form_->FillWordList();
    EXPECT_EQ(Items(form_->ListBox1), (QStringList{"", "CAT", "dog", "MR", "X"}));
}

TEST_F(LessonsTest, WordListIsKeptWhenNoLessonIsChosen)
{
    WriteFile("Week_3/CAT.wav");
    Show();
    DropDown(form_->cbLessions);
    form_->cbLessions->setCurrentIndex(0);
    form_->FillWordList();
    ASSERT_EQ(form_->ListBox1->count(), 1);
    DropDown(form_->cbLessions);
    form_->FillWordList();
    EXPECT_EQ(Items(form_->ListBox1), QStringList{"CAT"});
}

TEST_F(LessonsTest, ALessonWithoutClipsOrFolderGivesAnEmptyWordList)
{
    MakeFolder("Empty");
    WriteFile("README", "text");
    Show();
    DropDown(form_->cbLessions);
    for (const QString& lesson : {QStringLiteral("Empty"), QStringLiteral("README")}) {
        form_->ListBox1->addItem(QStringLiteral("stale"));
        form_->cbLessions->setCurrentIndex(form_->cbLessions->findText(lesson));
        form_->FillWordList();
        EXPECT_EQ(form_->ListBox1->count(), 0) << lesson.toStdString();
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST(CleanName, ReplacesTheEightUnsafeCharactersOneByOne)
{
    EXPECT_EQ(TForm1::CleanName("don't stop.now"), "don_t_stop_now");
    EXPECT_EQ(TForm1::CleanName("a<b"), "a<b");
    EXPECT_EQ(TForm1::CleanName(R"(\/*?:.' )"), "________");
    EXPECT_EQ(TForm1::CleanName(R"(a|b"c>d)"), R"(a|b"c>d)");
    EXPECT_EQ(TForm1::CleanName("Mrs. Smith"), "Mrs__Smith");
    EXPECT_EQ(TForm1::CleanName("  Leading"), "__Leading"); // nothing is trimmed
    EXPECT_EQ(TForm1::CleanName("MiXeD"), "MiXeD");
    EXPECT_EQ(TForm1::CleanName(""), "");
    EXPECT_EQ(TForm1::CleanName("../../etc"), "______etc");
    EXPECT_EQ(TForm1::CleanName("caf\xC3\xA9"), "caf\xC3\xA9");
}

TEST_F(LessonsTest, ContentPathsStayBelowTheContentFolder)
{
    EXPECT_EQ(form_->ContentFile(form_->ExeDir + "Week_3/CAT.wav"), dir_ / "Week_3" / "CAT.wav");
    EXPECT_THROW(form_->ContentFile(form_->ExeDir + "../x.xml"), platform::EPathError);
    EXPECT_THROW(form_->ContentFile("/etc/passwd"), platform::EPathError);
    EXPECT_FALSE(form_->ContentFileExists(form_->ExeDir + "../" + dir_.filename().string() + "/x"));
    WriteFile("Alpha/PRACTICECOMPLETE.wav");
    EXPECT_EQ(form_->ContentFile(form_->ExeDir + "alpha/PRACTICECOMPLETE.wav"),
              dir_ / "Alpha" / "PRACTICECOMPLETE.wav");
    EXPECT_TRUE(form_->ContentFileExists(form_->ExeDir + "ALPHA/practicecomplete.WAV"));
}

// The program's clips and help come from the content folder when it has them (a parent's
// own voice), else from the installed data; lessons and players never do.
TEST_F(LessonsTest, ProgramDataComesFromTheContentFolderFirstThenFromTheInstalledData)
{
    const std::filesystem::path installed = dir_ / "installed";
    form_->InstalledDataDir = installed;
    for (const char* file : {"Alpha/welcome.wav", "Alpha/A.wav", "LexorinHelp.mht", "First Words/CAT.wav"})
        WriteFile(std::string("installed/") + file);
    WriteFile("Alpha/A.wav"); // the parent's own letter A
    const struct {
        const char* asked;
        std::filesystem::path expected;
    } cases[] = {
        {"Alpha/A.wav", dir_ / "Alpha/A.wav"},
        {"alpha/a.wav", dir_ / "Alpha/A.wav"},
        {"Alpha/welcome.wav", installed / "Alpha/welcome.wav"},
        {"ALPHA/Welcome.WAV", installed / "Alpha/welcome.wav"},
        {"LexorinHelp.mht", installed / "LexorinHelp.mht"},
        {"Alpha/Z.wav", dir_ / "Alpha/Z.wav"},                 // in neither: a missing clip
        {"First Words/CAT.wav", dir_ / "First Words/CAT.wav"}, // lessons are the user's only
        {"Children/Ann.xml", dir_ / "Children/Ann.xml"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(form_->ContentFile(form_->ExeDir + c.asked), c.expected) << c.asked;
    EXPECT_TRUE(form_->ContentFileExists(form_->ExeDir + "Alpha/welcome.wav"));
    EXPECT_FALSE(form_->ContentFileExists(form_->ExeDir + "Alpha/Z.wav"));
}

// "Lessons Folder..." on the editor's lesson-list menu, on the real window.
class LessonsFolderTest : public LessonsTest {
protected:
    void SetUp() override
    {
        LessonsTest::SetUp();
        form_->ContentOrigin = app::ContentSource::UserData;
        form_->SettingsFile = dir_ / "config/lexorin.conf";
    }

    bool Offered()
    {
        emit form_->cbLessions->customContextMenuRequested(QPoint(5, 5));
        const bool enabled = form_->LessonsFolder1->isEnabled();
        form_->LessonMenu->hide();
        return enabled;
    }

    // Folder dialogs are answered with `folder`; every box is kept in folderBoxes_.
    void AnswerFolderDialogs(std::string folder)
    {
        folderResponder_.emplace([this, folder](const platform::DialogRequest& request) {
            folderBoxes_.push_back(request);
            return platform::DialogAnswer{true, request.kind == platform::DialogKind::Folder ? folder : ""};
        });
    }

    std::optional<platform::ScopedDialogResponder> folderResponder_;
    std::vector<platform::DialogRequest> folderBoxes_;
};

TEST_F(LessonsFolderTest, ChoosingAnotherFolderSavesItReloadsTheListsAndLeavesTheOldOne)
{
    for (const char* folder : {"Week_3", "class/Birds", "class/Trees"})
        MakeFolder(folder);
    WriteFile("Children/Sam.xml", "<CHILD/>");
    WriteFile("class/Children/Ann.xml", "<CHILD/>");
    Show();
    EXPECT_EQ(form_->ComboBox2->toolTip().toStdString(), dir_.string());
    Choose(form_->ComboBox2, 1); // "class", "Week_3"
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    Choose(form_->cbLessions, 1);
    ASSERT_EQ(form_->cbLessions->currentText().toStdString(), "Week_3");

    ASSERT_TRUE(Offered());
    AnswerFolderDialogs((dir_ / "class").string());
    form_->LessonsFolder1->trigger();

    ASSERT_EQ(folderBoxes_.size(), 1u);
    EXPECT_EQ(folderBoxes_[0].defaultText, dir_.string()) << "the dialog starts at the folder in use";
    EXPECT_EQ(form_->ExeDir, (dir_ / "class").string() + TForm1::PathDelim);
    EXPECT_EQ(Items(form_->ComboBox2), (QStringList{"Birds", "Trees"}));
    EXPECT_EQ(Items(form_->cbLessions), (QStringList{"Birds", "Trees"}));
    EXPECT_TRUE(form_->cbLessions->currentText().isEmpty());
    EXPECT_FALSE(form_->edSpellingword->isEnabled());
    EXPECT_EQ(Items(form_->ComboBox3), QStringList{"Ann"});
    EXPECT_EQ(form_->ComboBox2->toolTip().toStdString(), (dir_ / "class").string());
    EXPECT_EQ(app::SavedContentFolder(form_->SettingsFile), dir_ / "class");
    EXPECT_TRUE(std::filesystem::exists(Path("Week_3")));
    EXPECT_EQ(ReadFile("Children/Sam.xml"), "<CHILD/>");

    // Cancelling the dialog changes nothing.
    AnswerFolderDialogs("");
    form_->LessonsFolder1->trigger();
    EXPECT_EQ(form_->ExeDir, (dir_ / "class").string() + TForm1::PathDelim);
}

TEST_F(LessonsFolderTest, OfferedOnlyForAChoosableFolderAndWhileNothingSounds)
{
    Show();
    // (origin, audio mode, offered, the tooltip names --content)
    const std::tuple<app::ContentSource, std::uint8_t, bool, bool> cases[] = {
        {app::ContentSource::UserData, 0, true, false},
        {app::ContentSource::Saved, 0, true, false},
        {app::ContentSource::Saved, 2, false, false},
        {app::ContentSource::UserData, 1, false, false},
        {app::ContentSource::ProgramFolder, 0, false, true},
        {app::ContentSource::CommandLine, 0, false, true},
    };
    for (const auto& [origin, audio, offered, namesTheOption] : cases) {
        form_->ContentOrigin = origin;
        form_->AudioMode = audio;
        EXPECT_EQ(Offered(), offered) << static_cast<int>(origin) << " " << int(audio);
        // An action without a tooltip of its own shows its caption.
        const std::string tooltip = form_->LessonsFolder1->toolTip().toStdString();
        EXPECT_EQ(tooltip.find("--content") != std::string::npos, namesTheOption) << tooltip;
    }
    form_->AudioMode = 0;
}

TEST_F(LessonsFolderTest, ASavedFolderThatIsGoneIsSaidAtStartAndAnotherOffered)
{
    MakeFolder("class/Birds");
    Show();
    app::ContentChoice gone{dir_ / "usb", app::ContentSource::Saved};
    gone.folderGone = true;
    gone.problem = "The lessons folder cannot be found.";
    AnswerFolderDialogs((dir_ / "class").string());
    form_->ReportContentProblem(gone);
    ASSERT_EQ(folderBoxes_.size(), 2u);
    EXPECT_EQ(folderBoxes_[0].kind, platform::DialogKind::Confirmation);
    DropDown(form_->ComboBox2);
    EXPECT_EQ(Items(form_->ComboBox2), QStringList{"Birds"});
    EXPECT_FALSE(std::filesystem::exists(dir_ / "usb"));

    // An unreadable folder or a damaged settings file: one plain message, nothing asked.
    folderBoxes_.clear();
    gone.folderGone = false;
    form_->ReportContentProblem(gone);
    ASSERT_EQ(folderBoxes_.size(), 1u);
    EXPECT_EQ(folderBoxes_[0].kind, platform::DialogKind::Information);
}

TEST_F(LessonsFolderTest, NothingIsWrittenWhereAFolderThatIsGoneWas)
{
    form_ = std::make_unique<TForm1>(dir_ / "usb");
    Show();
    form_->ComboBox3DropDown(form_->ComboBox3);
    form_->btnNewChild->setEnabled(true);
    QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);

    const std::vector<std::string> errors = BoxTexts(platform::DialogKind::Error);
    ASSERT_EQ(errors.size(), 2u);
    for (const std::string& error : errors)
        EXPECT_NE(error.find("\"" + (dir_ / "usb").string() + "\" is not there"), std::string::npos) << error;
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Input).empty());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "usb"));
}
