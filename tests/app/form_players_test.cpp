// Players: adding, listing and choosing them; their record files read at the start
// of a run and written after each judged answer.

#include "AppTestFixture.h"

#include "app/WordToNodeName.h"

namespace {

const char* const kExampleRecord =
    R"(<CHILD name="Player_One"><Week_3><CAT word="CAT" trys="2" correct="1"/>)"
    R"(<DONXXUUXXT word="DONXXUUXXT" trys="1" correct="0"/></Week_3></CHILD>)";

} // namespace

class PlayersTest : public FormTest {
protected:
    // The start page with `lesson` chosen, as a user chooses it.
    void ChooseLesson(const std::string& lesson)
    {
        DropDown(form_->ComboBox2);
        const int index = form_->ComboBox2->findText(QString::fromStdString(lesson));
        ASSERT_GE(index, 0) << lesson;
        Choose(form_->ComboBox2, index);
        ASSERT_EQ(form_->ComboBox2->currentText().toStdString(), lesson);
    }

    void AddPlayer(const std::string& typed)
    {
        AnswerInput(typed);
        QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    }

    void ChoosePlayer(const std::string& player)
    {
        DropDown(form_->ComboBox3);
        const int index = form_->ComboBox3->findText(QString::fromStdString(player));
        ASSERT_GE(index, 0) << player;
        Choose(form_->ComboBox3, index);
    }

    TWordHandler* Word(const std::string& word)
    {
        for (auto& record : form_->Words)
            if (record->Word == word)
                return record.get();
        ADD_FAILURE() << "no record of " << word;
        static TWordHandler none;
        return &none;
    }

    std::vector<std::string> WordsInOrder() const
    {
        std::vector<std::string> words;
        for (const auto& record : form_->Words)
            words.push_back(record->Word);
        return words;
    }

    std::vector<std::string> ChildrenFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Path("Children")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Start page ready for a run: lesson and player chosen.
    void ReadyForRun(const std::string& lesson, const std::string& player)
    {
        Show();
        ChooseLesson(lesson);
        ChoosePlayer(player);
    }
};

TEST_F(PlayersTest, AddingAPlayerWritesTheRecordAndChoosesThePlayer)
{
    MakeFolder("Week_3");
    Show();
    ChooseLesson("Week_3");
    AddPlayer("Mrs. Smith");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].kind, platform::DialogKind::Input);
    EXPECT_EQ(Boxes()[0].caption, "Add New Child");
    EXPECT_EQ(Boxes()[0].text, "Childs Full Name");
    EXPECT_EQ(Boxes()[0].defaultText, "");
    EXPECT_EQ(ReadFile("Children/Mrs__Smith.xml"), R"(<CHILD name="Mrs__Smith"/>)");
    EXPECT_EQ(form_->ComboBox3->currentText().toStdString(), "Mrs__Smith");
    EXPECT_TRUE(form_->btnStartTest->isEnabled());
    EXPECT_TRUE(form_->btnStartPractice->isEnabled());

    // Alt+P is both "New &Player" and "Start &Practice", enabled alike now: the first of
    // them in tab order, New Player, is pressed.
    AnswerInput("Bob");
    QApplication::setActiveWindow(form_.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    QTest::keyClick(form_.get(), Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Boxes().size() == 2; }, 2000)); // the press shows first
    EXPECT_EQ(ReadFile("Children/Bob.xml"), R"(<CHILD name="Bob"/>)");
    EXPECT_EQ(form_->ComboBox3->currentText().toStdString(), "Bob");
    EXPECT_EQ(form_->RunMode, 0);
}

TEST_F(PlayersTest, AnExistingPlayerIsRefusedWithAnInformationBox)
{
    MakeFolder("Week_3");
    WriteFile("Children/Tom.xml", R"(<CHILD name="Tom"><Week_3/></CHILD>)");
    Show();
    ChooseLesson("Week_3");
    AddPlayer("Tom");
    EXPECT_EQ(BoxTexts(platform::DialogKind::Information),
              std::vector<std::string>{"That child already exists."});
    EXPECT_EQ(ReadFile("Children/Tom.xml"), R"(<CHILD name="Tom"><Week_3/></CHILD>)");
    EXPECT_EQ(form_->ComboBox3->count(), 0); // nothing else happened
}

TEST_F(PlayersTest, AnExistingPlayerInAnotherLetterCaseIsTheSamePlayer)
{
    MakeFolder("Week_3");
    WriteFile("Children/TOM.xml", R"(<CHILD name="TOM"/>)");
    Show();
    ChooseLesson("Week_3");
    AddPlayer("tom");
    EXPECT_EQ(BoxTexts(platform::DialogKind::Information),
              std::vector<std::string>{"That child already exists."});
    EXPECT_EQ(ChildrenFiles(), std::vector<std::string>{"TOM.xml"});
}

TEST_F(PlayersTest, TheEmptyNameMakesAnEmptyPlayerOnceThatCannotStartARun)
{
    MakeFolder("Week_3");
    Show();
    ChooseLesson("Week_3");
    CancelInput();
    QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    EXPECT_EQ(ReadFile("Children/.xml"), R"(<CHILD name=""/>)");
    EXPECT_EQ(Items(form_->ComboBox3), QStringList{""});
    EXPECT_EQ(form_->ComboBox3->currentIndex(), 0);
    EXPECT_FALSE(form_->btnStartTest->isEnabled());
    EXPECT_FALSE(form_->btnStartPractice->isEnabled());

    AddPlayer("");
    EXPECT_EQ(BoxTexts(platform::DialogKind::Information),
              std::vector<std::string>{"That child already exists."});
}

TEST_F(PlayersTest, NamesWithQuotesAndMarkupMakeWellFormedRecords)
{
    MakeFolder("Week_3");
    Show();
    ChooseLesson("Week_3");
    AddPlayer(R"(Tom "T" <&>)");
    const std::string name = R"(Tom_"T"_<&>)";
    platform::XmlDocument record;
    ASSERT_NO_THROW(record.LoadFromFile(Path("Children/" + name + ".xml")));
    EXPECT_EQ(record.DocumentElement().NodeName(), "CHILD");
    EXPECT_EQ(record.DocumentElement().Attribute("name"), name);
    EXPECT_EQ(form_->ComboBox3->currentText().toStdString(), name);
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Error).empty());
}

TEST_F(PlayersTest, TypedNamesNeverWriteOutsideThePlayersFolder)
{
    MakeFolder("Week_3");
    Show();
    ChooseLesson("Week_3");
    AddPlayer("../../escaped");
    AddPlayer("..");
    AddPlayer("/tmp/abs");
    EXPECT_EQ(ChildrenFiles(), (std::vector<std::string>{"__.xml", "______escaped.xml", "_tmp_abs.xml"}));
    EXPECT_FALSE(std::filesystem::exists(dir_.parent_path() / "escaped.xml"));
}

TEST_F(PlayersTest, APlayersFolderThatCannotBeMadeShowsTheErrorAndTheWindowStaysUsable)
{
    MakeFolder("Week_3");
    WriteFile("Children", "not a folder");
    Show();
    ChooseLesson("Week_3");
    AddPlayer("Ann");
    const auto errors = BoxTexts(platform::DialogKind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_FALSE(errors[0].empty());
    // Still usable: the tabs and lists work.
    QTest::mouseClick(form_->PageControl1->tabBar(), Qt::LeftButton, {},
                      form_->PageControl1->tabBar()->tabRect(1).center());
    EXPECT_EQ(form_->PageControl1->currentWidget(), form_->TabSheet2);
}

TEST_F(PlayersTest, PlayerListShowsTheRecordsAndMakesThePlayersFolder)
{
    MakeFolder("Week_3");
    Show();
    ChooseLesson("Week_3");
    DropDown(form_->ComboBox3);
    EXPECT_TRUE(std::filesystem::is_directory(Path("Children")));
    EXPECT_EQ(form_->ComboBox3->count(), 0);

    WriteFile("Children/b.xml", "<CHILD/>");
    WriteFile("Children/Ann.XML", "<CHILD/>");
    WriteFile("Children/Mr.Smith.xml", "<CHILD/>");
    WriteFile("Children/notes.txt", "x");
    WriteFile("Children/.b.xml.tmp-123456", "<CHILD");
    DropDown(form_->ComboBox3);
    EXPECT_EQ(Items(form_->ComboBox3), (QStringList{"Ann", "b", "Mr"}));
    EXPECT_EQ(form_->ComboBox3->currentIndex(), -1);
}

TEST_F(PlayersTest, OpeningThePlayerListDisablesTheStartButtonsUntilAPlayerIsChosen)
{
    MakeFolder("Week_3");
    WriteFile("Children/Ann.xml", R"(<CHILD name="Ann"/>)");
    Show();
    ChooseLesson("Week_3");
    ChoosePlayer("Ann");
    EXPECT_TRUE(form_->btnStartTest->isEnabled());
    EXPECT_TRUE(form_->btnStartPractice->isEnabled());
    DropDown(form_->ComboBox3); // closed without a choice
    EXPECT_FALSE(form_->btnStartTest->isEnabled());
    EXPECT_FALSE(form_->btnStartPractice->isEnabled());
}

TEST_F(PlayersTest, TheExampleRecordComesOutByteForByte)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Week_3/DON'T.wav");
    Show();
    ChooseLesson("Week_3");
    AddPlayer("Player One");
    ASSERT_EQ(ReadFile("Children/Player_One.xml"), R"(<CHILD name="Player_One"/>)");

    form_->OpenPlayerRecord();
    EXPECT_EQ(WordsInOrder(), (std::vector<std::string>{"CAT", "DON'T"}));
    Word("CAT")->SetTrys(2);
    Word("CAT")->SetCorrect(1);
    Word("DON'T")->SetTrys(1);
    form_->SavePlayerRecord();
    EXPECT_EQ(ReadFile("Children/Player_One.xml"), kExampleRecord);
    // No temporary file left; the player's lock file stays for the next save.
    EXPECT_EQ(ChildrenFiles(), (std::vector<std::string>{".Player_One.lock", "Player_One.xml"}));
}

TEST_F(PlayersTest, OpeningARecordReadsTheCountsRaisesTheTalliesAndSetsTheCeiling)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Week_3/DON'T.wav");
    WriteFile("Week_3/EMU.wav"); // no element yet
    WriteFile("Children/Player_One.xml", kExampleRecord);
    ReadyForRun("Week_3", "Player_One");
    form_->TotalTried = 0;
    form_->TotalCorrect = 0;
    form_->OpenPlayerRecord();
    ASSERT_EQ(WordsInOrder(), (std::vector<std::string>{"CAT", "DON'T", "EMU"}));
    EXPECT_EQ(Word("CAT")->Trys, 2);
    EXPECT_EQ(Word("CAT")->Correct, 1);
    EXPECT_EQ(Word("DON'T")->Trys, 1);
    EXPECT_EQ(Word("DON'T")->Correct, 0);
    EXPECT_EQ(Word("EMU")->Trys, 0);
    EXPECT_EQ(Word("EMU")->Correct, 0);
    EXPECT_EQ(form_->TotalTried, 3);
    EXPECT_EQ(form_->TotalCorrect, 1);
    EXPECT_EQ(form_->DrawCeiling, 2);
    EXPECT_EQ(form_->LessonNode.NodeName(), "Week_3");
    EXPECT_EQ(form_->CurrentWord, nullptr);
}

TEST_F(PlayersTest, SavingAddsMissingWordsAtTheEndAndKeepsEverythingElse)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Week_3/EMU.wav");
    WriteFile("Children/Ann.xml",
              R"(<CHILD name="Ann"><Animals><DOG word="DOG" trys="5" correct="5"/></Animals>)"
              R"(<Week_3><GONE word="GONE" trys="3" correct="1"/>)"
              R"(<CAT correct="1" trys="2" word="CAT"/></Week_3></CHILD>)");
    ReadyForRun("Week_3", "Ann");
    form_->OpenPlayerRecord();
    Word("CAT")->SetTrys(3);
    form_->SavePlayerRecord();
    EXPECT_EQ(
        ReadFile("Children/Ann.xml"),
        R"(<CHILD name="Ann"><Animals><DOG word="DOG" trys="5" correct="5"/></Animals>)"
        R"(<Week_3><GONE word="GONE" trys="3" correct="1"/>)"
        R"(<CAT correct="1" trys="3" word="CAT"/><EMU word="EMU" trys="0" correct="0"/></Week_3></CHILD>)");
}

TEST_F(PlayersTest, ANewLessonElementReachesTheFileOnlyWithTheFirstSave)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Children/Ann.xml", R"(<CHILD name="Ann"/>)");
    ReadyForRun("Week_3", "Ann");
    form_->OpenPlayerRecord();
    EXPECT_EQ(ReadFile("Children/Ann.xml"), R"(<CHILD name="Ann"/>)");
    form_->SavePlayerRecord();
    EXPECT_EQ(ReadFile("Children/Ann.xml"),
              R"(<CHILD name="Ann"><Week_3><CAT word="CAT" trys="0" correct="0"/></Week_3></CHILD>)");
}

TEST_F(PlayersTest, MissingOrNonIntegerCountsCountAsZero)
{
    WriteFile("Week_3/A.wav");
    WriteFile("Week_3/B.wav");
    WriteFile("Week_3/C.wav");
    WriteFile("Week_3/D.wav");
    WriteFile("Children/Ann.xml",
              R"(<CHILD name="Ann"><Week_3><A word="A"/><B trys="x" correct="2"/>)"
              R"(<C trys="99999999999" correct="1.5"/><D trys=" 4" correct="-3"/></Week_3></CHILD>)");
    ReadyForRun("Week_3", "Ann");
    form_->OpenPlayerRecord();
    EXPECT_EQ(Word("A")->Trys, 0);
    EXPECT_EQ(Word("A")->Correct, 0);
    EXPECT_EQ(Word("B")->Trys, 0);
    EXPECT_EQ(Word("B")->Correct, 2);
    EXPECT_EQ(Word("C")->Trys, 0);
    EXPECT_EQ(Word("C")->Correct, 0);
    EXPECT_EQ(Word("D")->Correct, -3);
    EXPECT_TRUE(BoxTexts(platform::DialogKind::Error).empty());
}

TEST_F(PlayersTest, TalliesWrapAsThirtyTwoBitCountsForHugeStoredCounts)
{
    WriteFile("Week_3/A.wav");
    WriteFile("Week_3/B.wav");
    WriteFile("Children/Ann.xml", R"(<CHILD name="Ann"><Week_3><A trys="2147483647" correct="2147483647"/>)"
                                  R"(<B trys="1" correct="1"/></Week_3></CHILD>)");
    ReadyForRun("Week_3", "Ann");
    form_->TotalTried = 0;
    form_->TotalCorrect = 0;
    form_->OpenPlayerRecord();
    EXPECT_EQ(form_->TotalTried, INT32_MIN);
    EXPECT_EQ(form_->TotalCorrect, INT32_MIN);
    EXPECT_EQ(form_->DrawCeiling, 2);
}

TEST_F(PlayersTest, LessonAndWordNamesThatAreNotXmlNamesAreEscapedAndKept)
{
    WriteFile("3rd (week)/1st.wav");
    WriteFile("3rd (week)/R&B.wav");
    WriteFile("3rd (week)/ICE-CREAM.wav");
    WriteFile("Children/Ann.xml", R"(<CHILD name="Ann"/>)");
    ReadyForRun("3rd (week)", "Ann");
    form_->OpenPlayerRecord();
    Word("1st")->SetTrys(4);
    Word("R&B")->SetCorrect(2);
    Word("ICE-CREAM")->SetTrys(1);
    form_->SavePlayerRecord();

    platform::XmlDocument saved;
    ASSERT_NO_THROW(saved.LoadFromFile(Path("Children/Ann.xml")));
    const platform::XmlNode lesson = saved.DocumentElement().FindChild(LessonToNodeName("3rd (week)"));
    ASSERT_TRUE(lesson);
    EXPECT_TRUE(lesson.FindChild("ICEXXUXCREAM")); // valid names keep the plain rule
    EXPECT_EQ(lesson.FindChild(WordToNodeName("1st")).Attribute("trys"), "4");

    // A second run reads back what the first one kept.
    form_->OpenPlayerRecord();
    EXPECT_EQ(Word("1st")->Trys, 4);
    EXPECT_EQ(Word("R&B")->Correct, 2);
    EXPECT_EQ(Word("ICE-CREAM")->Trys, 1);
}

TEST_F(PlayersTest, AMalformedRecordAtRunStartShowsTheXmlErrorAndTheWindowStaysUsable)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Children/Ann.xml", R"(<CHILD name="Ann"><Week_3>)");
    ReadyForRun("Week_3", "Ann");
    std::string message;
    try {
        platform::XmlDocument probe;
        probe.LoadFromFile(Path("Children/Ann.xml"));
    } catch (const platform::EXmlError& e) {
        message = e.what();
    }
    ASSERT_FALSE(message.empty());

    form_->RunHandler([&] { form_->OpenPlayerRecord(); });
    EXPECT_EQ(BoxTexts(platform::DialogKind::Error), std::vector<std::string>{message});
    EXPECT_TRUE(form_->Words.empty());
    // Usable: choosing another player still works.
    WriteFile("Children/Bob.xml", R"(<CHILD name="Bob"/>)");
    ChoosePlayer("Bob");
    EXPECT_TRUE(form_->btnStartTest->isEnabled());
    form_->OpenPlayerRecord();
    EXPECT_EQ(form_->Words.size(), 1u);
}

TEST_F(PlayersTest, HostileRecordFilesRaiseTheXmlErrorAndNothingElse)
{
    WriteFile("Week_3/CAT.wav");
    const std::string hostile[] = {
        "",
        std::string("\x00\x01\x02garbage", 10),
        "<CHILD name=\"Ann\"",
        "<CHILD><Week_3><CAT trys=\"1\"></CHILD>",
        "<a/><b/>",
        std::string(100000, '<'),
    };
    Show();
    ChooseLesson("Week_3");
    for (const std::string& bytes : hostile) {
        WriteFile("Children/Ann.xml", bytes);
        ChoosePlayer("Ann");
        EXPECT_THROW(form_->OpenPlayerRecord(), platform::EXmlError);
    }
    std::filesystem::remove(Path("Children/Ann.xml"));
    EXPECT_THROW(form_->OpenPlayerRecord(), platform::EXmlError); // the file has gone
}

TEST_F(PlayersTest, TheEmptyLessonNameStartsNoRun)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Children/Ann.xml", R"(<CHILD name="Ann"/>)");
    ReadyForRun("Week_3", "Ann");
    DropDown(form_->ComboBox2); // the lesson list now shows no choice
    EXPECT_THROW(form_->OpenPlayerRecord(), platform::EXmlError);
}

TEST_F(PlayersTest, ASaveThatCannotBeWrittenLeavesTheOldRecordAndRaises)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Children/Ann.xml", R"(<CHILD name="Ann"/>)");
    ReadyForRun("Week_3", "Ann");
    form_->OpenPlayerRecord();
    Word("CAT")->SetTrys(1);
    // The players' folder is taken away and a file stands in its place.
    std::filesystem::remove_all(Path("Children"));
    WriteFile("Children", "in the way");
    EXPECT_THROW(form_->SavePlayerRecord(), rtl::Exception); // not even its lock can be made
    EXPECT_EQ(ReadFile("Children"), "in the way");
}

TEST_F(PlayersTest, ARenamedRecordFileRenamesThePlayer)
{
    WriteFile("Week_3/CAT.wav");
    WriteFile("Children/Ann.xml",
              R"(<CHILD name="Ann"><Week_3><CAT trys="7" correct="3"/></Week_3></CHILD>)");
    std::filesystem::rename(Path("Children/Ann.xml"), Path("Children/Annie.xml"));
    ReadyForRun("Week_3", "Annie");
    form_->OpenPlayerRecord();
    EXPECT_EQ(Word("CAT")->Trys, 7);
}
