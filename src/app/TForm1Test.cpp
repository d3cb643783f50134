// The spelling test: a run of weighted draws; each word is spoken, the child's answer
// judged, praised or corrected, counted, and the record saved after every judgement.

#include "app/TForm1.h"

#include "app/RunThenAlways.h"
#include "app/learning/WordDraw.h"
#include "app/progress/AttemptHistory.h"
#include "platform/Trace.h"
#include "platform/ui/Dialogs.h"

#include <QCoreApplication>

#include <exception>
#include <thread>
#include <vector>

namespace {

std::int32_t WrappingIncrement(std::int32_t value)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + 1u);
}

std::vector<std::int32_t> CorrectCounts(const std::vector<std::unique_ptr<TWordHandler>>& words)
{
    std::vector<std::int32_t> counts;
    counts.reserve(words.size());
    for (const auto& word : words)
        counts.push_back(word->Correct);
    return counts;
}

// Runs one spoken part of a judgement. A clip that fails ends that part only; the
// judgement goes on (its counts are saved) and the first such error is raised at its end.
template <class F> void Speak(std::exception_ptr& firstError, F&& speak)
{
    try {
        speak();
    } catch (...) {
        if (!firstError)
            firstError = std::current_exception();
    }
}

} // namespace

void TForm1::Randomize()
{
    if (FixedRandomSeed) {
        RandSeed = *FixedRandomSeed;
        return;
    }
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    RandSeed = static_cast<std::uint32_t>(ticks.count());
}

std::uint32_t TForm1::RandomPosition(std::uint32_t n)
{
    app::learning::DrawRandom random(RandSeed);
    const std::uint32_t position = random.Position(n);
    RandSeed = random.Seed();
    return position;
}

void TForm1::btnStartTestClick(QObject* /*Sender*/)
{
    // A run cannot replace the words a sequence or judgement is still speaking.
    if (SequenceDepth > 0)
        return;
    PageControl1->setCurrentWidget(TabSheet3);
    RunStarted = app::progress::LocalTimestampNow();
    TotalTried = 0;
    TotalCorrect = 0;
    Randomize();
    RunMode = 2;
    CurrentWord = nullptr; // a record that fails to load leaves no word to answer
    RunSession.reset();
    RunRetests.reset();
    SessionWordsRight.clear();
    AskingRetest = false;
    DrawsDone = false;
    OpenPlayerRecord();
    if (StartPlannedRun())
        return;
    if (app::learning::PickListEntries(CorrectCounts(Words), DrawCeiling) == 0) {
        platform::ShowInformation("This lesson has no words to ask yet.");
        JvXPToolButtonClick(JvXPToolButton);
        return;
    }
    if (RunRecalls)
        RunRetests.emplace(Words.size());
    DrawNextWord();
}

std::int32_t TForm1::ComputeDrawCeiling()
{
    return app::learning::ComputeDrawCeiling(CorrectCounts(Words));
}

void TForm1::DrawNextWord()
{
    if (RunSession) {
        AskPlannedWord();
        return;
    }
    // Back from Practice Word: a retest still waits for its answer.
    if (CurrentWord && AskingRetest && !AskedWordJudged) {
        AskWord(*CurrentWord, true);
        return;
    }
    if (RunRetests) {
        const auto retest = DrawsDone ? RunRetests->TakeAny() : RunRetests->TakeDue();
        if (TWordHandler* word = retest ? FindWord(*retest) : nullptr) {
            AskWord(*word, true);
            return;
        }
    }
    if (DrawsDone) {
        EndPlainRun();
        return;
    }
    app::learning::DrawRandom random(RandSeed);
    const auto drawn = app::learning::DrawWord(CorrectCounts(Words), DrawCeiling, random);
    RandSeed = random.Seed();
    if (!drawn) {
        CurrentWord = nullptr;
        platform::ShowInformation("This lesson has no words to ask yet.");
        JvXPToolButtonClick(JvXPToolButton);
        return;
    }
    LastDraw = drawn->last;
    AskWord(*Words[drawn->index], false);
}

void TForm1::EndPlainRun()
{
    RunThenAlways([&] { PlayClipAndWait(AlphaClipPath("LESSON.wav")); },
                  [&] { JvXPToolButtonClick(JvXPToolButton); });
}

void TForm1::AskWord(TWordHandler& word, bool retest)
{
    CurrentWord = &word;
    AskingRetest = retest;
    AskedWordJudged = false;
    try {
        btnSayClick(btnSay);
    } catch (...) {
        ShowTallies(); // the word is asked: the child can answer it all the same
        throw;
    }
    ShowTallies();
}

TWordHandler* TForm1::FindWord(const std::string& word) const
{
    for (const auto& record : Words)
        if (record->Word == word)
            return record.get();
    return nullptr;
}

void TForm1::NoteQuestionJudged(bool right)
{
    AskedWordJudged = true;
    if (RunSession) {
        RunSession->Judged(right);
        if (right)
            SessionWordsRight.insert(CurrentWord->Word);
        return;
    }
    if (RunRetests) {
        RunRetests->Answered();
        if (!right && !AskingRetest)
            RunRetests->Missed(CurrentWord->Word);
    }
    if (right && !AskingRetest && LastDraw)
        DrawsDone = true;
}

void TForm1::ShowTallies()
{
    const auto wrong = static_cast<std::int32_t>(static_cast<std::uint32_t>(TotalTried) -
                                                 static_cast<std::uint32_t>(TotalCorrect));
    lblNumberTied->setText(QStringLiteral("Number tried:") + QString::number(TotalTried));
    lblcorrect->setText(QStringLiteral("Number correct:") + QString::number(TotalCorrect));
    lblwrong->setText(QStringLiteral("Number wrong:") + QString::number(wrong));
}

void TForm1::btnSayClick(QObject* /*Sender*/)
{
    if (!CurrentWord)
        return;
    BusyScope busy(*this);
    PlayClipAndWait(WordClipPath(CurrentWord->Word));
}

void TForm1::btnCheckItClick(QObject* /*Sender*/)
{
    // One judgement at a time, and only of a word the run has drawn.
    if (!CurrentWord || SequenceDepth > 0)
        return;
    platform::Trace("check it");
    btnCheckIt->setEnabled(false);
    // A retest counts in the history only: neither the record nor the tallies change.
    const bool retest = AskingRetest;
    const std::string phase = retest ? "retest" : "";
    if (!retest)
        TotalTried = WrappingIncrement(TotalTried);
    DetachKeyPress(Edit2);
    BusyScope busy(*this);
    auto finish = [&] {
        busy.release();
        AttachKeyPress(Edit2, &TForm1::Edit2KeyPress);
        if (RunMode == 2 && !Edit2->hasFocus() && Edit2->isVisible())
            Edit2->setFocus(Qt::OtherFocusReason);
        else if (RunMode == 3 && PageControl1->currentWidget() == T4abSheet)
            FocusPracticeBox(); // the boxes were locked while the correction spoke
    };
    std::exception_ptr spokenError;
    try {
        TWordHandler* word = CurrentWord;
        if (!retest)
            word->Trys = WrappingIncrement(word->Trys);
        const std::string typed = Edit2->text().toStdString();
        const std::string judgedAt = app::progress::LocalTimestampNow();
        const bool right = SameSpelling(typed, word->Word);
        NoteQuestionJudged(right);
        if (right) {
            Speak(spokenError, [&] { PlayClipAndWait(AlphaClipPath("Correct.wav")); });
            if (!retest) {
                word->Correct = WrappingIncrement(word->Correct);
                TotalCorrect = WrappingIncrement(TotalCorrect);
            }
            std::this_thread::sleep_for(RightAnswerPause);
            NoteJudgedAnswer(*word, typed, true, judgedAt, phase);
            SavePlayerRecord();
            Edit2->clear();
            QCoreApplication::processEvents();
            // A run left during the praise goes no further; the next word or the run's end.
            if (SequenceGoesOn() && RunMode == 2)
                Speak(spokenError, [&] { DrawNextWord(); });
        } else {
            Edit2->setText(QString::fromStdString(word->Word));
            QCoreApplication::processEvents();
            Speak(spokenError, [&] { SpellOutWord(); });
            if (SequenceGoesOn() && RunMode == 2) {
                RunMode = 3;
                PageControl1->setCurrentWidget(T4abSheet);
                PracticeFromTest = true;
                ShowPracticeWord();
                NoteRecallMiss(typed); // a drill from memory marks the letters that went wrong
                Speak(spokenError, [&] { SayItAgainClick(SayItAgain); });
            }
            NoteJudgedAnswer(*word, typed, false, judgedAt, phase);
            SavePlayerRecord();
            Edit2->clear();
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
    if (spokenError)
        std::rethrow_exception(spokenError);
}

void TForm1::Edit2KeyPress(QObject* /*Sender*/, QChar& Key)
{
    if (Key != QChar(13))
        return;
    Key = QChar(0);
    btnCheckItClick(btnCheckIt);
}

void TForm1::btnPracticeClick(QObject* /*Sender*/)
{
    if (!CurrentWord || SequenceDepth > 0)
        return;
    RunMode = 3;
    PageControl1->setCurrentWidget(T4abSheet);
    PracticeFromTest = true;
    ShowPracticeWord();
    SayItAgainClick(SayItAgain);
}
