// The spoken correction after a wrong answer, taken from what the virtual device played:
// the word clip, "IsSpelled" and the letters, once, twice or three times by the counts.

#include "test_child_fixture.h"

#include <QTimer>

namespace {

using Clips = std::vector<std::string>;

class SpellingSequence : public ChildTest {
protected:
    // A one-word lesson whose word has the stored counts; the wrong answer's clips.
    Clips WrongAnswerTo(const std::string& word, int trys, int correct)
    {
        MakeLesson("Week", {word});
        WriteFile("Children/Ann.xml", "<CHILD name=\"Ann\"><Week><" + Element(word) + " word=\"x\" trys=\"" +
                                          std::to_string(trys) + "\" correct=\"" + std::to_string(correct) +
                                          "\"/></Week></CHILD>");
        StartTest();
        EXPECT_EQ(Heard(), Clips{"word:" + word});
        Answer("WRONG");
        EXPECT_EQ(form_->RunMode, 3);
        return Heard();
    }

    static std::string Element(std::string word)
    {
        for (std::size_t at; (at = word.find('\'')) != std::string::npos;)
            word.replace(at, 1, "XXUUXX");
        return word;
    }

    static Clips Pass(const std::string& word, const Clips& letters)
    {
        Clips pass{"word:" + word, "IsSpelled"};
        pass.insert(pass.end(), letters.begin(), letters.end());
        return pass;
    }

    // `passes` spelling passes, then the word once more on the practice page.
    static Clips Expected(const std::string& word, const Clips& letters, int passes)
    {
        Clips all;
        for (int i = 0; i < passes; ++i) {
            const Clips pass = Pass(word, letters);
            all.insert(all.end(), pass.begin(), pass.end());
        }
        all.push_back("word:" + word);
        return all;
    }
};

TEST_F(SpellingSequence, FirstAndSecondWrongAnswerGetOnePass)
{
    EXPECT_EQ(WrongAnswerTo("CAT", 0, 0), Expected("CAT", {"C", "A", "T"}, 1));
}

TEST_F(SpellingSequence, SecondTryStillOnePass)
{
    EXPECT_EQ(WrongAnswerTo("CAT", 1, 0), Expected("CAT", {"C", "A", "T"}, 1));
}

TEST_F(SpellingSequence, ThirdToFifthTryWithoutARightAnswerGetTwoPasses)
{
    EXPECT_EQ(WrongAnswerTo("CAT", 2, 0), Expected("CAT", {"C", "A", "T"}, 2));
}

TEST_F(SpellingSequence, FifthTryWithoutARightAnswerTwoPasses)
{
    EXPECT_EQ(WrongAnswerTo("CAT", 4, 0), Expected("CAT", {"C", "A", "T"}, 2));
}

TEST_F(SpellingSequence, MoreThanFiveTriesWithoutARightAnswerGetThreePasses)
{
    EXPECT_EQ(WrongAnswerTo("CAT", 5, 0), Expected("CAT", {"C", "A", "T"}, 3));
}

TEST_F(SpellingSequence, AWordAnsweredRightOnceGetsOnePass)
{
    EXPECT_EQ(WrongAnswerTo("CAT", 3, 1), Expected("CAT", {"C", "A", "T"}, 1));
}

TEST_F(SpellingSequence, ThirdPassWhenFewerThanHalfTheTriesWereRight)
{
    // 7 tries with this one, 3 right: 6 < 7.
    EXPECT_EQ(WrongAnswerTo("CAT", 6, 3), Expected("CAT", {"C", "A", "T"}, 2));
}

TEST_F(SpellingSequence, NoThirdPassAtExactlyHalfRight)
{
    // 8 tries with this one, 4 right.
    EXPECT_EQ(WrongAnswerTo("CAT", 7, 4), Expected("CAT", {"C", "A", "T"}, 1));
}

TEST_F(SpellingSequence, CharactersWithoutAClipAreSkippedSilently)
{
    EXPECT_EQ(WrongAnswerTo("DON'T", 0, 0), Expected("DON'T", {"D", "O", "N", "T"}, 1));
}

TEST_F(SpellingSequence, AnApostropheClipPlaysWhereItStands)
{
    AddClip("Alpha/'.wav", "apostrophe");
    EXPECT_EQ(WrongAnswerTo("DON'T", 0, 0), Expected("DON'T", {"D", "O", "N", "apostrophe", "T"}, 1));
}

TEST_F(SpellingSequence, WithoutIsSpelledThePassIsTheWordThenItsLetters)
{
    std::filesystem::remove(Path("Alpha/IsSpelled.wav"));
    EXPECT_EQ(WrongAnswerTo("CAT", 0, 0), (Clips{"word:CAT", "C", "A", "T", "word:CAT"}));
}

TEST_F(SpellingSequence, LowerCaseWordsFindTheLetterClips)
{
    EXPECT_EQ(WrongAnswerTo("dog", 0, 0), Expected("dog", {"D", "O", "G"}, 1));
}

TEST_F(SpellingSequence, TheControlsStayBusyFromTheFirstClipToTheLast)
{
    MakeLesson("Week", {"CAT"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartTest();
    int clipsSeen = 0;
    int enabledDuringSequence = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (form_->SequenceDepth > 0) {
            ++clipsSeen;
            if (form_->btnSay->isEnabled() || form_->btnCheckIt->isEnabled() || form_->Edit2->isEnabled() ||
                form_->btnPractice->isEnabled() || form_->SayItAgain->isEnabled() ||
                form_->edWord1->isEnabled())
                ++enabledDuringSequence;
        }
    });
    watch.start(0);
    Answer("CAR");
    watch.stop();
    EXPECT_GT(clipsSeen, 0);
    EXPECT_EQ(enabledDuringSequence, 0);
    EXPECT_EQ(form_->SequenceDepth, 0);
    EXPECT_TRUE(form_->edWord1->isEnabled());
    EXPECT_TRUE(form_->SayItAgain->isEnabled());
}

TEST_F(SpellingSequence, LeavingTheRunEndsTheSequenceAtItsNextClipAndNoRunStartsOverIt)
{
    MakeLesson("Week", {"CAT", "DOG"});
    WritePlayer("Ann", "<CHILD name=\"Ann\"/>");
    StartPractice(); // the practice page's exit button stays usable while it speaks
    ASSERT_EQ(form_->RunMode, 3);
    ASSERT_EQ(form_->PracticeIndex, 0);
    QTimer leaver;
    bool left = false;
    bool startRefused = false;
    TWordHandler* wordBefore = nullptr;
    std::size_t playedWhenLeft = 0;
    QObject::connect(&leaver, &QTimer::timeout, [&] {
        if (!left && form_->AudioMode == 2 && form_->SequenceDepth > 0) {
            left = true;
            wordBefore = form_->CurrentWord;
            playedWhenLeft = platform::wave::VirtualAudio::instance().played().size();
            QTest::mouseClick(form_->ExitPractice, Qt::LeftButton);
            QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
            startRefused = form_->RunMode == 0 && form_->CurrentWord == wordBefore;
        }
    });
    const QString word = form_->lblPracticeWord->text();
    for (QLineEdit* box : {form_->edWord1, form_->edWord2, form_->edWord3}) {
        QTest::keyClicks(box, word);
        QTest::keyClick(box, Qt::Key_Return);
    }
    ASSERT_TRUE(form_->btnForward->isEnabled());
    Heard();
    // At real-time pace each clip lasts long enough for the leaver to find one playing; as
    // fast as possible, a loaded machine may finish every clip before the leaver looks.
    platform::wave::VirtualAudio::instance().setSpeed(1);
    leaver.start(0);
    QTest::mouseClick(form_->btnForward, Qt::LeftButton); // the next word: word clip + letters
    leaver.stop();
    EXPECT_TRUE(left);
    EXPECT_TRUE(startRefused);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Page(), form_->TabSheet1);
    EXPECT_EQ(form_->SequenceDepth, 0);
    // The clip that was playing finished; no clip of the sequence came after it.
    const std::size_t before = seen_;
    const auto heard = Heard();
    EXPECT_EQ(before + heard.size(), playedWhenLeft);
    EXPECT_LT(heard.size(), 4u); // the word and its three letters never all came
    // Now a run starts.
    QTest::mouseClick(form_->btnStartTest, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 2);
}

} // namespace
