// A test run on a lesson whose test day is still to come: today's session of the child's
// plan, computed from the child's history, the lesson's words and the date, and asked
// with its retests. At its end the child is told how it went.

#include "app/TForm1.h"

#include "app/RunThenAlways.h"
#include "app/learning/TestPlan.h"
#include "app/progress/AttemptHistory.h"
#include "platform/ui/Dialogs.h"

namespace {

std::string SessionEndMessage(std::size_t wordsRight, bool testTomorrow)
{
    std::string text = wordsRight == 0   ? "You worked hard today!"
                       : wordsRight == 1 ? "You got 1 word right!"
                                         : "You got " + std::to_string(wordsRight) + " words right!";
    return text +
           (testTomorrow ? " Your test is tomorrow. Good luck!" : " Your next practice is ready tomorrow.");
}

} // namespace

bool TForm1::StartPlannedRun()
{
    const auto testDay = UpcomingTestDay(RunRecord.lesson);
    if (!testDay || Words.empty())
        return false;
    std::vector<std::string> lessonWords;
    lessonWords.reserve(Words.size());
    for (const auto& word : Words)
        lessonWords.push_back(word->Word);
    const app::progress::History history = app::progress::ReadHistory(RunRecord.history);
    const app::learning::TestPlan plan =
        app::learning::MakeTestPlan(history.attempts, RunRecord.lesson, lessonWords, testDay, Today());
    if (plan.kind != app::learning::TestPlan::Kind::Session) {
        platform::ShowInformation("Your words are all done for today! Let's play a spelling game.");
        return false;
    }
    RunSession.emplace(plan.session, Words.size(), plan.lastWordAsked);
    AskPlannedWord();
    return true;
}

void TForm1::AskPlannedWord()
{
    // Back from Practice Word: the question still waits for its answer.
    if (CurrentWord && !AskedWordJudged) {
        AskWord(*CurrentWord, AskingRetest);
        return;
    }
    while (const auto question = RunSession->Next()) {
        if (TWordHandler* word = FindWord(question->word)) {
            AskWord(*word, question->retest);
            return;
        }
        RunSession->Judged(false); // cannot happen: the plan asks only the lesson's words
    }
    EndPlannedRun();
}

void TForm1::EndPlannedRun()
{
    const bool testTomorrow = UpcomingTestDay(RunRecord.lesson) == Today() + 1;
    const std::string message = SessionEndMessage(SessionWordsRight.size(), testTomorrow);
    RunSession.reset();
    RunThenAlways([&] { platform::ShowInformation(message); }, [&] { JvXPToolButtonClick(JvXPToolButton); });
}
