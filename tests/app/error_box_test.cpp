// Errors that escape event handlers end up in the one standard error box.

#include "AppTestFixture.h"

#include "app/ErrorBox.h"
#include "rtl/Exception.h"

#include <QEvent>
#include <QTimer>

namespace {

// An object whose event handling fails, as a device's completion or a timer might.
class Failing : public QObject {
public:
    explicit Failing(std::string message) : message_(std::move(message)) {}

protected:
    void customEvent(QEvent*) override { throw rtl::Exception(message_); }
    void timerEvent(QTimerEvent* event) override
    {
        killTimer(event->timerId());
        throw rtl::Exception(message_ + " (timer)");
    }

private:
    std::string message_;
};

class Thrower : public std::exception {
public:
    const char* what() const noexcept override { return "plain std::exception"; }
};

} // namespace

class ErrorBoxTest : public FormTest {};

TEST_F(ErrorBoxTest, AnErrorEscapingAPostedEventShowsItsMessageExactlyOnce)
{
    Failing failing("Error opening audio device for output.");
    QCoreApplication::postEvent(&failing, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(BoxTexts(platform::DialogKind::Error),
              std::vector<std::string>{"Error opening audio device for output."});
}

TEST_F(ErrorBoxTest, AnErrorEscapingATimerIsShownAndTheLoopGoesOn)
{
    Failing failing("Invalid file format.");
    failing.startTimer(0);
    bool later = false;
    QTimer::singleShot(5, [&] { later = true; });
    QTRY_VERIFY(later);
    EXPECT_EQ(BoxTexts(platform::DialogKind::Error),
              std::vector<std::string>{"Invalid file format. (timer)"});
}

TEST_F(ErrorBoxTest, ErrorsWhileABoxIsOpenWaitAndShowOneBoxAtATime)
{
    Failing first("first"), second("second");
    int open = 0, most = 0;
    std::vector<std::string> texts;
    platform::ScopedDialogResponder box([&](const platform::DialogRequest& request) {
        ++open;
        most = std::max(most, open);
        texts.push_back(request.text);
        if (request.text == "first" && texts.size() == 1) {
            // The box's own event loop runs more failing handlers: twice the same, and its own.
            QEvent again(QEvent::User);
            QCoreApplication::sendEvent(&second, &again);
            QCoreApplication::postEvent(&second, new QEvent(QEvent::User));
            QCoreApplication::postEvent(&first, new QEvent(QEvent::User));
            QCoreApplication::processEvents();
        } else if (texts.size() < 4) { // the error on screen repeats while its box is open
            QCoreApplication::postEvent(&second, new QEvent(QEvent::User));
            QCoreApplication::processEvents();
        }
        --open;
        return platform::DialogAnswer{true, {}};
    });
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&first, &event);
    EXPECT_EQ(most, 1);
    EXPECT_EQ(texts, (std::vector<std::string>{"first", "second"}));
}

TEST_F(ErrorBoxTest, MessagesOfOtherErrorKindsAreShownAsTheyAre)
{
    EXPECT_EQ(app::ExceptionMessage(std::make_exception_ptr(Thrower())), "plain std::exception");
    EXPECT_EQ(app::ExceptionMessage(std::make_exception_ptr(42)), "Unknown exception.");
    app::ShowException(std::make_exception_ptr(rtl::EAssertionFailed("Assertion failure (x)")));
    app::ShowException(nullptr);
    EXPECT_EQ(BoxTexts(platform::DialogKind::Error), std::vector<std::string>{"Assertion failure (x)"});
}

TEST_F(ErrorBoxTest, AHandlerErrorFromARealClickGoesToTheBoxAndTheWindowStaysUsable)
{
    MakeFolder("Week_3");
    WriteFile("Children", "a file where the players' folder belongs");
    Show();
    DropDown(form_->ComboBox2);
    Choose(form_->ComboBox2, 0);
    AnswerInput("Ann");
    QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    ASSERT_EQ(BoxTexts(platform::DialogKind::Error).size(), 1u);
    // The next click works as usual.
    QTest::mouseClick(form_->PageControl1->tabBar(), Qt::LeftButton, {},
                      form_->PageControl1->tabBar()->tabRect(1).center());
    EXPECT_EQ(form_->PageControl1->currentWidget(), form_->TabSheet2);
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(ErrorBoxTest, RunHandlerReportsAndReturns)
{
    bool after = false;
    form_->RunHandler([] { throw rtl::Exception("Conversion not possible."); });
    after = true;
    EXPECT_TRUE(after);
    EXPECT_EQ(BoxTexts(platform::DialogKind::Error), std::vector<std::string>{"Conversion not possible."});
}
