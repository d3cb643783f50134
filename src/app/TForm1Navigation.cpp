// Start-up, the enabled state of the audio and answer controls, page changes by the
// user, help, and leaving a lesson.

#include "app/TForm1.h"

#include "platform/fs/Files.h"
#include "platform/mime/MimeHtml.h"
#include "platform/ui/Shell.h"
#include "rtl/Exception.h"
#include "widgets/TPageControl.h"
#include "widgets/TSpeedButton.h"
#include "widgets/TToolButton.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <fstream>
#include <iterator>
#include <system_error>

// The window is painted first and greets afterwards: the greeting starts once the first
// paint has reached the screen, with the controls that would start audio locked until it
// ends. A clip the user starts meanwhile takes its place.
void TForm1::FormShow(QObject* /*Sender*/)
{
    AudioMode = 0;
    ExeDir = ExeDirOf(contentDir_);
    ShowContentFolder();
    PageControl1->setCurrentWidget(TabSheet1);
    SetUiState(ContentFileExists(WelcomeClipPath()) ? 2 : 0);
    greetingDue_ = true;
    QTimer::singleShot(GreetingLatest, this, [this] { RunHandler([this] { StartGreeting(); }); });
}

// Asks for a sound output first, even without a greeting: without one the parent is told
// once, in plain words, and the tutor goes on silently.
void TForm1::StartGreeting()
{
    if (!greetingDue_ || Closing)
        return;
    greetingDue_ = false;
    if (!SoundOutput.Probe()) {
        RefreshEditorButtons();
        throw rtl::Exception(app::kNoSoundOutput);
    }
    // Something the user started took the greeting's turn.
    if (AudioMode != 0 || SequenceDepth > 0 || !ContentFileExists(WelcomeClipPath())) {
        RefreshEditorButtons();
        return;
    }
    StartPlayback(WelcomeClipPath());
}

std::string TForm1::WelcomeClipPath() const
{
    return ExeDir + "Alpha" + PathDelim + "welcome.wav";
}

void TForm1::SetUiState(std::uint8_t mode) noexcept
{
    // A spoken sequence or a judgement stays busy from its first clip to its last.
    if (mode == 0 && SequenceDepth > 0)
        mode = 2;
    try {
        switch (mode) {
        case 0:
            ApplyUiState(true, false, true);
            break;
        case 1:
        case 2:
            ApplyUiState(false, true, false);
            break;
        default:
            break;
        }
    } catch (...) {
        // The state of the buttons is never worth an error.
    }
}

void TForm1::ApplyUiState(bool recordOn, bool stopOn, bool playOn)
{
    btnRecord->setEnabled(recordOn);
    btnStop->setEnabled(stopOn);
    btnPlay->setEnabled(playOn);

    for (QWidget* control :
         {static_cast<QWidget*>(btnSay), static_cast<QWidget*>(SayItAgain), static_cast<QWidget*>(btnCheckIt),
          static_cast<QWidget*>(btnPractice), static_cast<QWidget*>(Edit2),
          static_cast<QWidget*>(JvXPToolButton), static_cast<QWidget*>(edWord1),
          static_cast<QWidget*>(edWord2), static_cast<QWidget*>(edWord3)})
        control->setEnabled(playOn);

    // A control that is not showing cannot take the focus: the step then fails and is
    // skipped; the remaining steps still run.
    if (RunMode == 2 && Edit2->isEnabled() && Edit2->isVisible()) {
        Edit2->setFocus(Qt::OtherFocusReason);
        Edit2->setCursorPosition(static_cast<int>(Edit2->text().size()));
    }

    if (!(btnPlay->isEnabled() && ContentFileExists(EditorClipPath())))
        btnPlay->setEnabled(false);

    if (edSpellingword->text().isEmpty())
        btnRecord->setEnabled(false);

    // No lesson chosen: nothing to record or play (the path would name a file directly
    // in the tutor's folder).
    if (cbLessions->currentText().isEmpty()) {
        btnRecord->setEnabled(false);
        btnPlay->setEnabled(false);
    }
}

void TForm1::PageControl1Changing(QObject* /*Sender*/, bool& AllowChange)
{
    AllowChange = RunMode != 2 && RunMode != 3;
}

void TForm1::PageControl1Change(QObject* /*Sender*/)
{
    QWidget* page = PageControl1->currentWidget();
    if (page == TabSheet3 || page == T4abSheet)
        PageControl1->setCurrentWidget(TabSheet1);
}

void TForm1::JvXPButtonHelpClick(QObject* /*Sender*/)
{
    const std::filesystem::path help = ContentFile(ExeDir + "LexorinHelp.mht");
    // Most Linux desktops have no program for web archives; then the tutor shows the page itself.
    if (!platform::ShellOpen(help))
        ShowHelpInOwnWindow(help);
}

// Help is a convenience: a missing or unreadable document, or one without a page, shows nothing
// and says nothing.
void TForm1::ShowHelpInOwnWindow(const std::filesystem::path& document)
{
    constexpr std::uintmax_t kLargestHelp = 16u << 20;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(document, error);
    if (error || size > kLargestHelp)
        return;
    std::ifstream in(document, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof())
        return;
    const std::optional<QString> page = platform::HtmlOfMimeHtml(bytes);
    if (!page)
        return;
    if (!HelpWindow)
        HelpWindow = new widgets::THelpWindow(this);
    HelpWindow->ShowPage(*page);
}

void TForm1::JvXPToolButtonClick(QObject* /*Sender*/)
{
    RunMode = 0;
    PageControl1->setCurrentWidget(TabSheet1);
}
