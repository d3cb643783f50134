// Practice from memory: the player's choice on the player list's pop-up menu, and the drill
// that the practice page runs instead of three copies while the run's player has it on:
// look at the word, cover it, write it, check it (app::learning::RecallDrill). Covered answers
// go to the history with the phase "drill"; the record is never written for them.

#include "app/TForm1.h"

#include "app/PlayerSettings.h"
#include "app/progress/AttemptHistory.h"
#include "app/progress/MarkedLetters.h"

#include <QCoreApplication>

using Step = app::learning::RecallDrill::Step;

void TForm1::PracticeFromMemory1Click(QObject* /*Sender*/)
{
    // Qt has flipped the check mark already; it shows the file, also when the write fails.
    PracticeFromMemory1->setChecked(false);
    const std::string player = ComboBox3->currentText().toStdString();
    if (player.empty())
        return;
    const std::filesystem::path file = PlayerFile(player, app::kPlayerSettingsExtension);
    app::PlayerSettings settings = app::ReadPlayerSettings(file);
    PracticeFromMemory1->setChecked(settings.practiceFromMemory);
    settings.practiceFromMemory = !settings.practiceFromMemory;
    app::WritePlayerSettings(file, settings);
    PracticeFromMemory1->setChecked(settings.practiceFromMemory);
}

void TForm1::StartRecallDrill()
{
    Recall.emplace();
    lblRecallDiff->clear();
    ShowRecallStep();
}

void TForm1::ShowRecallStep()
{
    const bool recall = Recall.has_value();
    for (QWidget* control :
         {static_cast<QWidget*>(lblPracticeWord), static_cast<QWidget*>(edWord1),
          static_cast<QWidget*>(edWord2), static_cast<QWidget*>(edWord3), static_cast<QWidget*>(btnNext),
          static_cast<QWidget*>(btnNext2), static_cast<QWidget*>(btnNext3)})
        control->setVisible(!recall);
    RecallReadyTimer->stop();
    const Step step = recall ? Recall->CurrentStep() : Step::Done;
    const bool look = recall && step == Step::Look;
    const bool cover = recall && step == Step::Cover;
    const bool writing = cover || (recall && step == Step::Copy);
    lblRecallWord->setVisible(recall);
    btnReady->setVisible(look);
    btnShowMeAgain->setVisible(cover);
    edRecall->setVisible(writing);
    btnRecallCheck->setVisible(writing);
    // The difference would give the word away while it is covered; once it is done it is past.
    lblRecallDiff->setVisible(look || (recall && step == Step::Copy));
    if (!recall)
        return;
    const QString word = QString::fromStdString(CurrentWord->Word);
    if (cover)
        lblRecallWord->clear();
    else if (step == Step::Done || !RecallMissedAnswer)
        lblRecallWord->setText(word.toHtmlEscaped());
    else
        lblRecallWord->setText(app::progress::MarkedWord(*RecallMissedAnswer, CurrentWord->Word));
    if (writing) {
        edRecall->clear();
        edRecall->setEnabled(true);
        btnRecallCheck->setEnabled(true);
        btnShowMeAgain->setEnabled(true);
    }
    if (look) {
        btnReady->setEnabled(false);
        RecallReadyTimer->start(RecallLookTime);
    }
    if (step == Step::Done) {
        QPushButton* next = PracticeFromTest ? btnReturnToTest : btnForward;
        next->setEnabled(true);
    }
    FocusRecallStep();
}

void TForm1::FocusRecallStep()
{
    switch (Recall->CurrentStep()) {
    case Step::Look:
        if (btnReady->isEnabled())
            btnReady->setFocus(Qt::OtherFocusReason);
        break;
    case Step::Cover:
    case Step::Copy:
        edRecall->setFocus(Qt::OtherFocusReason);
        break;
    case Step::Done:
        (PracticeFromTest ? btnReturnToTest : btnForward)->setFocus(Qt::OtherFocusReason);
        break;
    }
}

void TForm1::RecallLookDone()
{
    if (!Recall || Recall->CurrentStep() != Step::Look)
        return;
    btnReady->setEnabled(true);
    if (AudioMode != 2)
        btnReady->setFocus(Qt::OtherFocusReason);
}

void TForm1::NoteRecallMiss(const std::string& typed)
{
    if (!Recall || RunMode != 3 || Recall->CurrentStep() != Step::Look)
        return;
    RecallMissedAnswer = typed;
    lblRecallWord->setText(app::progress::MarkedWord(typed, CurrentWord->Word));
}

void TForm1::btnReadyClick(QObject* /*Sender*/)
{
    if (!WaitForPlayingClip() || !Recall || RunMode != 3 || !btnReady->isEnabled())
        return;
    Recall->Ready();
    ShowRecallStep();
}

void TForm1::btnShowMeAgainClick(QObject* /*Sender*/)
{
    if (!WaitForPlayingClip() || !Recall || RunMode != 3 || Recall->CurrentStep() != Step::Cover)
        return;
    Recall->ShowMeAgain();
    ShowRecallStep();
    SayItAgainClick(SayItAgain);
}

void TForm1::NoteDrillAnswer(const std::string& typed, bool right)
{
    for (std::size_t i = 0; i < Words.size(); ++i)
        if (Words[i].get() == CurrentWord)
            RecordSave.Answered(i, typed, right, app::progress::LocalTimestampNow(), "drill");
    try {
        // Behind a test answer not yet saved the lines wait for the test's next save.
        RecordSave.SaveAnswers(Words, RecordLockTimeout);
    } catch (...) {
        // The drill goes on; the lines wait for the next save.
    }
}

void TForm1::btnRecallCheckClick(QObject* /*Sender*/)
{
    if (!WaitForPlayingClip() || !Recall || !CurrentWord || RunMode != 3)
        return;
    const std::string typed = edRecall->text().toStdString();
    const Step step = Recall->CurrentStep();
    bool right = false;
    if (step == Step::Cover) {
        right = Recall->Check(typed, CurrentWord->Word);
        NoteDrillAnswer(typed, right);
    } else if (step == Step::Copy) {
        right = Recall->CheckCopy(typed, CurrentWord->Word);
    } else {
        return;
    }
    edRecall->setEnabled(false);
    btnRecallCheck->setEnabled(false);
    if (!right && step == Step::Cover) {
        RecallMissedAnswer = typed;
        lblRecallDiff->setText(app::progress::MarkedTyped(typed, CurrentWord->Word));
        lblRecallDiff->show();
    }
    {
        BusyScope busy(*this);
        auto show = [&] {
            busy.release();
            if (RunMode == 3 && Recall)
                ShowRecallStep();
        };
        try {
            if (SequenceGoesOn())
                PlayClipAndWait(AlphaClipPath(right ? "Correct.wav" : "tryagain.wav"));
        } catch (...) {
            show();
            throw;
        }
        show();
    }
    // Back to the look: the word is heard again.
    if (RunMode == 3 && Recall && Recall->CurrentStep() == Step::Look)
        SayItAgainClick(SayItAgain);
}

void TForm1::edRecallKeyPress(QObject* /*Sender*/, QChar& Key)
{
    if (Key != QChar(13))
        return;
    Key = QChar(0);
    btnRecallCheckClick(btnRecallCheck);
}
