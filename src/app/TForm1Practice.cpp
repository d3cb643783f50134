// The practice drill: a word shown and spoken, copied three times into the three
// boxes; a run over every word of a lesson, or one missed word of the test. The drill
// never changes a count and never writes the record file.

#include "app/TForm1.h"

#include "app/learning/PracticeDrill.h"
#include "app/progress/AttemptHistory.h"

#include <QCoreApplication>

#include <thread>

void TForm1::btnStartPracticeClick(QObject* /*Sender*/)
{
    // A run cannot replace the words a sequence or judgement is still speaking.
    if (SequenceDepth > 0)
        return;
    PracticeFromTest = false;
    PageControl1->setCurrentWidget(T4abSheet);
    RunStarted = app::progress::LocalTimestampNow(); // the run of its drill answers
    TotalTried = 0;
    TotalCorrect = 0;
    Randomize();
    RunMode = 3;
    CurrentWord = nullptr; // a record that fails to load leaves no word to drill
    OpenPlayerRecord();
    PracticeIndex = -1;
    NextPracticeWord(false);
}

void TForm1::NextPracticeWord(bool silent)
{
    if (PracticeIndex < static_cast<std::int32_t>(Words.size()))
        ++PracticeIndex;
    if (PracticeIndex >= 0 && PracticeIndex < static_cast<std::int32_t>(Words.size())) {
        CurrentWord = Words[static_cast<std::size_t>(PracticeIndex)].get();
        ShowPracticeWord();
        if (!silent) {
            // The word and its letters are one action.
            BusyScope busy(*this);
            SayItAgainClick(SayItAgain);
            if (!Recall) // a drill from memory starts by looking at the word
                SpellLetters();
        }
        FocusPracticeBox();
        return;
    }
    {
        BusyScope busy(*this);
        if (!Closing)
            PlayClipAndWait(AlphaClipPath("PRACTICECOMPLETE.wav"));
    }
    RunMode = 0;
    PageControl1->setCurrentWidget(TabSheet1);
}

void TForm1::ShowPracticeWord()
{
    lblPracticeWord->setText(CurrentWord ? QString::fromStdString(CurrentWord->Word) : QString());
    for (QLineEdit* box : {edWord1, edWord2, edWord3})
        box->clear();
    for (QWidget* control : {static_cast<QWidget*>(edWord2), static_cast<QWidget*>(edWord3),
                             static_cast<QWidget*>(btnNext2), static_cast<QWidget*>(btnNext3)})
        control->setEnabled(false);
    btnReturnToTest->setVisible(PracticeFromTest);
    btnForward->setVisible(!PracticeFromTest);
    btnReturnToTest->setEnabled(false);
    btnForward->setEnabled(false);
    edWord1->setFocus(Qt::OtherFocusReason);
    Recall.reset();
    RecallMissedAnswer.reset();
    if (RunRecalls && CurrentWord)
        StartRecallDrill();
    else
        ShowRecallStep();
}

void TForm1::SayItAgainClick(QObject* /*Sender*/)
{
    if (!CurrentWord)
        return;
    SayItAgain->setEnabled(false);
    BusyScope busy(*this);
    auto finish = [&] {
        busy.release();
        FocusPracticeBox();
        SayItAgain->setEnabled(SequenceDepth == 0); // an outer sequence keeps it locked
    };
    try {
        if (SequenceGoesOn())
            PlayClipAndWait(WordClipPath(CurrentWord->Word));
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TForm1::FocusPracticeBox()
{
    if (Recall) {
        FocusRecallStep();
        return;
    }
    QLineEdit* const boxes[] = {edWord1, edWord2, edWord3};
    boxes[app::learning::BoxToFocus(!edWord1->text().isEmpty(), !edWord2->text().isEmpty(),
                                    !edWord3->text().isEmpty())]
        ->setFocus(Qt::OtherFocusReason);
}

bool TForm1::WaitForPlayingClip()
{
    for (int sleeps = 0; AudioMode == 2;) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(ClipWaitPassSleep);
        if (++sleeps > 100)
            return false;
    }
    return true;
}

void TForm1::btnNextClick(QObject* Sender)
{
    // A press made during a longer clip is dropped.
    if (!WaitForPlayingClip() || !CurrentWord || RunMode != 3)
        return;

    QLineEdit* box = nullptr;
    if (Sender == btnNext)
        box = edWord1;
    else if (Sender == btnNext2)
        box = edWord2;
    else if (Sender == btnNext3)
        box = edWord3;
    else
        return;

    if (SameSpelling(box->text().toStdString(), CurrentWord->Word)) {
        SpellLetters();
        if (Sender == btnNext) {
            edWord2->setEnabled(true);
            btnNext2->setEnabled(true);
            edWord2->setFocus(Qt::OtherFocusReason);
        } else if (Sender == btnNext2) {
            edWord3->setEnabled(true);
            btnNext3->setEnabled(true);
            edWord3->setFocus(Qt::OtherFocusReason);
        } else {
            QPushButton* next = PracticeFromTest ? btnReturnToTest : btnForward;
            next->setEnabled(true);
            next->setFocus(Qt::OtherFocusReason);
        }
        return;
    }
    {
        BusyScope busy(*this);
        auto finish = [&] {
            busy.release();
            box->clear();
            box->setFocus(Qt::OtherFocusReason);
        };
        try {
            PlayClipAndWait(AlphaClipPath("tryagain.wav"));
        } catch (...) {
            finish();
            throw;
        }
        finish();
    }
}

void TForm1::edWord1KeyPress(QObject* Sender, QChar& Key)
{
    if (Key != QChar(13))
        return;
    Key = QChar(0);
    if (Sender == edWord1)
        btnNextClick(btnNext);
    else if (Sender == edWord2)
        btnNextClick(btnNext2);
    else if (Sender == edWord3)
        btnNextClick(btnNext3);
}

void TForm1::edWord1KeyDown(QObject* /*Sender*/, int& Key, Qt::KeyboardModifiers Shift)
{
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier;
    if (Key != Qt::Key_F12 || (Shift & all) != all || RunMode != 3 || SequenceDepth > 0)
        return;
    Key = 0;
    NextPracticeWord(true);
}

void TForm1::btnForwardClick(QObject* /*Sender*/)
{
    // Like Next, the continue buttons wait for the clip that plays.
    if (!WaitForPlayingClip() || RunMode != 3)
        return;
    NextPracticeWord(false);
}

void TForm1::btnForwardKeyPress(QObject* /*Sender*/, QChar& Key)
{
    if (Key != QChar(13))
        return;
    Key = QChar(0);
    btnForwardClick(btnForward);
}

void TForm1::btnReturnToTestClick(QObject* /*Sender*/)
{
    if (!WaitForPlayingClip() || RunMode != 3)
        return;
    RunMode = 2;
    PageControl1->setCurrentWidget(TabSheet3);
    DrawNextWord();
}

void TForm1::btnReturnToTestKeyPress(QObject* /*Sender*/, QChar& Key)
{
    if (Key != QChar(13))
        return;
    Key = QChar(0);
    btnReturnToTestClick(btnReturnToTest);
}
