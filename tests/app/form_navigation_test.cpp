// Start-up, the enabled state of the audio and answer controls, the user's page
// changes, help and leaving a lesson.

#include "AppTestFixture.h"

#include "platform/ui/Shell.h"

#include <QAccessible>
#include <QTabBar>
#include <QTextBrowser>
#include <QWheelEvent>

namespace {

std::vector<QWidget*> AnswerControls(TForm1& form)
{
    return {form.btnSay,         form.SayItAgain, form.btnCheckIt, form.btnPractice, form.Edit2,
            form.JvXPToolButton, form.edWord1,    form.edWord2,    form.edWord3};
}

std::vector<QWidget*> UntouchedControls(TForm1& form)
{
    return {form.ExitPractice, form.btnNext,         form.btnNext2,
            form.btnNext3,     form.btnReturnToTest, form.btnForward};
}

void ClickTab(TForm1& form, int index)
{
    QTabBar* tabs = form.PageControl1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// Presses a tab as a screen reader does, through the accessibility interface.
void PressTabAccessibly(TForm1& form, int index)
{
    QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(form.PageControl1->tabBar());
    ASSERT_TRUE(tabs);
    QAccessibleInterface* tab = tabs->child(index);
    ASSERT_TRUE(tab && tab->actionInterface());
    tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

void TurnWheel(QWidget* widget, int steps)
{
    const QPoint at = widget->rect().center();
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, -120 * steps), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

} // namespace

class NavigationTest : public FormTest {
protected:
    // The editor's lesson and word, as the user would have chosen and typed them.
    void ChooseEditorLessonAndWord(const std::string& lesson, const QString& word)
    {
        MakeFolder(lesson);
        form_->cbLessionsDropDown(form_->cbLessions);
        const int index = form_->cbLessions->findText(QString::fromStdString(lesson));
        ASSERT_GE(index, 0);
        form_->cbLessions->setCurrentIndex(index);
        form_->edSpellingword->setText(word);
    }

    QWidget* Current() const { return form_->PageControl1->currentWidget(); }
};

TEST_F(NavigationTest, StartUpWithoutWelcomeClipShowsStartPageAtOnceWithRecordAndStopDisabled)
{
    form_->PageControl1->setCurrentWidget(form_->TabSheet3);
    form_->AudioMode = 2;
    Show();
    EXPECT_TRUE(form_->isVisible());
    EXPECT_EQ(Current(), form_->TabSheet1);
    EXPECT_EQ(form_->AudioMode, 0);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_FALSE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnStop->isEnabled());
    EXPECT_FALSE(form_->btnPlay->isEnabled());
    for (QWidget* control : AnswerControls(*form_))
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_TRUE(Boxes().empty());
    // No list is filled at start-up.
    EXPECT_EQ(form_->ComboBox2->count(), 0);
    EXPECT_EQ(form_->cbLessions->count(), 0);
}

TEST_F(NavigationTest, StartUpRunsOnceAndFixesExeDirWithATrailingDelimiter)
{
    Show();
    ASSERT_FALSE(form_->ExeDir.empty());
    EXPECT_EQ(form_->ExeDir.back(), TForm1::PathDelim);
    EXPECT_EQ(std::filesystem::path(form_->ExeDir), std::filesystem::path(dir_.string() + TForm1::PathDelim));
    // Hiding and showing again is not another start-up.
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    form_->hide();
    form_->show();
    EXPECT_EQ(Current(), form_->TabSheet2);
}

TEST_F(NavigationTest, BusyModesGiveTheSameStatesAndLockTheAnswerControls)
{
    ChooseEditorLessonAndWord("Week_3", "CAT");
    WriteFile("Week_3/CAT.wav");
    for (QWidget* control : UntouchedControls(*form_))
        control->setEnabled(false);
    for (std::uint8_t mode : {1, 2}) {
        SCOPED_TRACE(mode);
        form_->SetUiState(0);
        form_->SetUiState(mode);
        EXPECT_FALSE(form_->btnRecord->isEnabled());
        EXPECT_TRUE(form_->btnStop->isEnabled());
        EXPECT_FALSE(form_->btnPlay->isEnabled());
        for (QWidget* control : AnswerControls(*form_))
            EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
        for (QWidget* control : UntouchedControls(*form_))
            EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    for (QWidget* control : UntouchedControls(*form_))
        control->setEnabled(true);
    form_->SetUiState(2);
    for (QWidget* control : UntouchedControls(*form_))
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
}

TEST_F(NavigationTest, IdleWithAWordWhoseClipExistsEnablesRecordAndSpeaker)
{
    ChooseEditorLessonAndWord("Week_3", "CAT");
    WriteFile("Week_3/CAT.wav");
    form_->SetUiState(2);
    form_->SetUiState(0);
    EXPECT_TRUE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnStop->isEnabled());
    EXPECT_TRUE(form_->btnPlay->isEnabled());
}

TEST_F(NavigationTest, IdleFindsTheClipWithoutRegardToLetterCase)
{
    ChooseEditorLessonAndWord("Week_3", "cat");
    WriteFile("Week_3/CAT.WAV");
    form_->SetUiState(0);
    EXPECT_TRUE(form_->btnPlay->isEnabled());
}

TEST_F(NavigationTest, IdleWithoutTheClipDisablesOnlyTheSpeaker)
{
    ChooseEditorLessonAndWord("Week_3", "DOG");
    WriteFile("Week_3/CAT.wav");
    form_->SetUiState(0);
    EXPECT_TRUE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnPlay->isEnabled());
    for (QWidget* control : AnswerControls(*form_))
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
}

TEST_F(NavigationTest, IdleWithAnEmptyWordBoxDisablesRecord)
{
    ChooseEditorLessonAndWord("Week_3", "");
    WriteFile("Week_3/.wav"); // the clip an empty word would name
    form_->SetUiState(0);
    EXPECT_FALSE(form_->btnRecord->isEnabled());
    EXPECT_FALSE(form_->btnStop->isEnabled());
}

TEST_F(NavigationTest, AWordThatWouldLeadOutsideTheContentFolderFindsNoClip)
{
    WriteFile("outside.wav");
    ChooseEditorLessonAndWord("Week_3", "../outside");
    form_->SetUiState(0);
    EXPECT_FALSE(form_->btnPlay->isEnabled());
    EXPECT_TRUE(form_->btnRecord->isEnabled());
}

TEST_F(NavigationTest, AnUnknownModeChangesNothing)
{
    form_->SetUiState(2);
    form_->SetUiState(7);
    EXPECT_TRUE(form_->btnStop->isEnabled());
    EXPECT_FALSE(form_->Edit2->isEnabled());
}

TEST_F(NavigationTest, DuringATestIdleGivesTheAnswerBoxTheFocusWithTheCaretAtTheEnd)
{
    Show();
    form_->RunMode = 2;
    form_->PageControl1->setCurrentWidget(form_->TabSheet3);
    form_->Edit2->setText("CA");
    form_->Edit2->setCursorPosition(0);
    form_->btnSay->setFocus();
    form_->SetUiState(2);
    form_->SetUiState(0);
    EXPECT_EQ(QApplication::focusWidget(), form_->Edit2);
    EXPECT_EQ(form_->Edit2->cursorPosition(), 2);
}

TEST_F(NavigationTest, FocusStepFailingWhenTheTestPageIsNotShowingStillRunsTheLastSteps)
{
    Show();
    ChooseEditorLessonAndWord("Week_3", "DOG");
    form_->RunMode = 2;
    form_->PageControl1->setCurrentWidget(form_->TabSheet1);
    ASSERT_FALSE(form_->Edit2->isVisible());
    form_->SetUiState(2);
    form_->edSpellingword->clear();
    form_->SetUiState(0); // never raises
    EXPECT_NE(QApplication::focusWidget(), form_->Edit2);
    EXPECT_FALSE(form_->btnPlay->isEnabled());   // step 4
    EXPECT_FALSE(form_->btnRecord->isEnabled()); // step 5
    EXPECT_TRUE(form_->Edit2->isEnabled());
}

TEST_F(NavigationTest, TabsMoveOnlyBetweenTheStartPageAndTheEditor)
{
    Show();
    ClickTab(*form_, 1);
    EXPECT_EQ(Current(), form_->TabSheet2);
    ClickTab(*form_, 0);
    EXPECT_EQ(Current(), form_->TabSheet1);
    ClickTab(*form_, 2); // "The Lesson": back to the start page
    EXPECT_EQ(Current(), form_->TabSheet1);
    ClickTab(*form_, 1);
    ClickTab(*form_, 3); // "Practice": back to the start page
    EXPECT_EQ(Current(), form_->TabSheet1);
    // A screen reader's press of a tab follows the same rules.
    PressTabAccessibly(*form_, 1);
    EXPECT_EQ(Current(), form_->TabSheet2);
    PressTabAccessibly(*form_, 2);
    EXPECT_EQ(Current(), form_->TabSheet1);
    EXPECT_EQ(form_->RunMode, 0);
}

TEST_F(NavigationTest, NoTabWorksWhileATestOrPracticeRuns)
{
    Show();
    const std::pair<std::uint8_t, QWidget*> runs[] = {{2, form_->TabSheet3}, {3, form_->T4abSheet}};
    for (const auto& [mode, page] : runs) {
        SCOPED_TRACE(mode);
        form_->RunMode = mode;
        form_->PageControl1->setCurrentWidget(page); // made by the program: allowed, not bounced
        ASSERT_EQ(Current(), page);
        for (int tab = 0; tab < 4; ++tab) {
            ClickTab(*form_, tab);
            EXPECT_EQ(Current(), page) << "tab " << tab;
            PressTabAccessibly(*form_, tab);
            EXPECT_EQ(Current(), page) << "tab " << tab << " through accessibility";
            EXPECT_EQ(form_->PageControl1->tabBar()->currentIndex(), form_->PageControl1->indexOf(page));
        }
        QTest::keyClick(form_->Edit2, Qt::Key_Tab, Qt::ControlModifier);
        QTest::keyClick(form_->PageControl1, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(form_->PageControl1, Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ(Current(), page);
        TurnWheel(form_->PageControl1->tabBar(), 1);
        TurnWheel(form_->PageControl1->tabBar(), -1);
        EXPECT_EQ(Current(), page);
        form_->PageControl1->tabBar()->setFocus();
        QTest::keyClick(form_->PageControl1->tabBar(), Qt::Key_Left);
        QTest::keyClick(form_->PageControl1->tabBar(), Qt::Key_Right);
        QTest::keyClick(form_->PageControl1->tabBar(), Qt::Key_Home);
        EXPECT_EQ(Current(), page);
        EXPECT_EQ(form_->RunMode, mode);
    }
}

TEST_F(NavigationTest, KeyboardPageSwitchingFollowsTheSameRules)
{
    Show();
    form_->ComboBox2->setFocus(); // a focused list does not keep Ctrl+Tab for itself
    QTest::keyClick(form_->ComboBox2, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Current(), form_->TabSheet2);
    form_->ListBox1->setFocus();
    QTest::keyClick(form_->ListBox1, Qt::Key_Tab, Qt::ControlModifier); // to "The Lesson": bounced
    EXPECT_EQ(Current(), form_->TabSheet1);
    form_->MemoStart->setFocus();
    QTest::keyClick(form_->MemoStart, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier); // to "Practice"
    EXPECT_EQ(Current(), form_->TabSheet1);
    QTest::keyClick(form_->MemoStart, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Current(), form_->TabSheet2);
    form_->cbLessions->setFocus();
    QTest::keyClick(form_->cbLessions, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Current(), form_->TabSheet1);

    form_->PageControl1->tabBar()->setFocus();
    QTest::keyClick(form_->PageControl1->tabBar(), Qt::Key_Right);
    EXPECT_EQ(Current(), form_->TabSheet2);
    QTest::keyClick(form_->PageControl1->tabBar(), Qt::Key_Right); // "The Lesson": bounced
    EXPECT_EQ(Current(), form_->TabSheet1);
    QTest::keyClick(form_->PageControl1->tabBar(), Qt::Key_End); // "Practice": bounced
    EXPECT_EQ(Current(), form_->TabSheet1);
}

TEST_F(NavigationTest, TheWheelOverTheTabsNeverReachesTheLessonPages)
{
    Show();
    for (int turn = 0; turn < 4; ++turn) {
        TurnWheel(form_->PageControl1->tabBar(), 1);
        EXPECT_TRUE(Current() == form_->TabSheet1 || Current() == form_->TabSheet2);
    }
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    TurnWheel(form_->PageControl1->tabBar(), -1);
    EXPECT_TRUE(Current() == form_->TabSheet1 || Current() == form_->TabSheet2);
}

TEST_F(NavigationTest, ExitButtonsLeaveTheRunForTheStartPage)
{
    Show();
    form_->RunMode = 2;
    form_->PageControl1->setCurrentWidget(form_->TabSheet3);
    form_->TotalTried = 4;
    QTest::mouseClick(form_->JvXPToolButton, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Current(), form_->TabSheet1);
    EXPECT_EQ(form_->TotalTried, 4); // nothing else is reset

    form_->RunMode = 3;
    form_->PageControl1->setCurrentWidget(form_->T4abSheet);
    form_->SetUiState(2); // ExitPractice stays usable while a clip plays
    ASSERT_TRUE(form_->ExitPractice->isEnabled());
    QTest::mouseClick(form_->ExitPractice, Qt::LeftButton);
    EXPECT_EQ(form_->RunMode, 0);
    EXPECT_EQ(Current(), form_->TabSheet1);
}

TEST_F(NavigationTest, MoreHelpWithoutAHelpDocumentAsksTheShellAndShowsNothing)
{
    std::vector<std::filesystem::path> opened;
    platform::ScopedShellOpenHandler shell([&](const std::filesystem::path& file) {
        opened.push_back(file);
        return false; // a shell that cannot open it
    });
    Show();
    QTest::mouseClick(form_->btnMoreHelp, Qt::LeftButton);
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    QTest::mouseClick(form_->JvXPButtonHelp, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2u);
    for (const auto& file : opened)
        EXPECT_EQ(file, dir_ / "LexorinHelp.mht");
    EXPECT_TRUE(Boxes().empty());
    EXPECT_FALSE(form_->HelpWindow);
}

TEST_F(NavigationTest, MoreHelpShowsThePageItselfWhenTheDesktopCannotOpenTheDocument)
{
    WriteFile("LexorinHelp.mht", "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b\"\r\n\r\n"
                                 "--b\r\nContent-Type: text/html; charset=utf-8\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                                 "<html><head><title>Lexorin Help</title></head>"
                                 "<body><h1>Making a lesson</h1><p>Press Rec=\r\nord.</p></body></html>\r\n--b--\r\n");
    platform::ScopedShellOpenHandler shell([](const std::filesystem::path&) { return false; });
    Show();
    QTest::mouseClick(form_->btnMoreHelp, Qt::LeftButton);
    ASSERT_TRUE(form_->HelpWindow);
    widgets::THelpWindow* window = form_->HelpWindow;
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isWindow());
    EXPECT_EQ(window->windowTitle(), "Lexorin Help");
    EXPECT_TRUE(window->Browser()->isReadOnly());
    EXPECT_EQ(window->Browser()->toPlainText(), "Making a lesson\nPress Record.");

    // Put away with Escape and asked for again from the editor: the same window comes back.
    QTest::keyClick(window->Browser(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    QTest::mouseClick(form_->JvXPButtonHelp, Qt::LeftButton);
    EXPECT_EQ(form_->HelpWindow, window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(NavigationTest, MoreHelpLeavesTheDocumentToTheDesktopWhenItCanOpenIt)
{
    WriteFile("LexorinHelp.mht", "Content-Type: text/html\r\n\r\n<p>help</p>");
    platform::ScopedShellOpenHandler shell([](const std::filesystem::path&) { return true; });
    Show();
    QTest::mouseClick(form_->btnMoreHelp, Qt::LeftButton);
    EXPECT_FALSE(form_->HelpWindow);
}

TEST_F(NavigationTest, MoreHelpWithADocumentThatHoldsNoPageShowsNothing)
{
    platform::ScopedShellOpenHandler shell([](const std::filesystem::path&) { return false; });
    Show();
    for (const std::string bytes : {"", "RIFF....WAVEfmt ", "Content-Type: multipart/related\r\n\r\n--\r\n"}) {
        WriteFile("LexorinHelp.mht", bytes);
        QTest::mouseClick(form_->btnMoreHelp, Qt::LeftButton);
    }
    std::filesystem::remove(dir_ / "LexorinHelp.mht");
    std::filesystem::create_directory(dir_ / "LexorinHelp.mht"); // a folder by that name
    QTest::mouseClick(form_->btnMoreHelp, Qt::LeftButton);
    EXPECT_FALSE(form_->HelpWindow);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(NavigationTest, MoreHelpFindsTheHelpDocumentWithoutRegardToLetterCase)
{
    WriteFile("lexorinhelp.MHT", "MIME");
    std::vector<std::filesystem::path> opened;
    platform::ScopedShellOpenHandler shell([&](const std::filesystem::path& file) {
        opened.push_back(file);
        return true;
    });
    Show();
    QTest::mouseClick(form_->btnMoreHelp, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], dir_ / "lexorinhelp.MHT");
}
