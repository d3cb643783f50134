// The lesson lists, the editor's word list, and typed names made safe as file names.

#include "AppTestFixture.h"

#include "platform/fs/Files.h"

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
    WriteFile("lexorin", "ELF");                      // the program beside its lessons...
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
