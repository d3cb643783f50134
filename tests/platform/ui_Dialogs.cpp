#include "platform/ui/Dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

using platform::DialogAnswer;
using platform::DialogKind;
using platform::DialogRequest;
using platform::Dialogs;
using platform::ScopedDialogResponder;

namespace {

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dialogs::setResponder({});
        Dialogs::clearShown();
    }
    void TearDown() override
    {
        Dialogs::setResponder({});
        Dialogs::clearShown();
    }
};

// Answers the next real modal box once it is up, the way a person would.
template <typename Box> void WhenShown(std::function<void(Box&)> act)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* box = qobject_cast<Box*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*box);
        }
    });
    timer->start(5);
}

} // namespace

TEST_F(DialogsTest, ResponderAnswersInputBoxesAndSeesTheRequest)
{
    ScopedDialogResponder scoped([](const DialogRequest& r) {
        EXPECT_EQ(r.kind, DialogKind::Input);
        return DialogAnswer{true, r.defaultText + "Mrs. Smith"};
    });
    EXPECT_EQ(platform::InputBox("Add New Child", "Childs Full Name", ""), "Mrs. Smith");
    EXPECT_EQ(platform::InputQuery("Name of New Lesson", "Lesson Name", "W").value(), "WMrs. Smith");
    ASSERT_EQ(Dialogs::shown().size(), 2u);
    EXPECT_EQ(Dialogs::shown()[0].caption, "Add New Child");
    EXPECT_EQ(Dialogs::shown()[0].text, "Childs Full Name");
    EXPECT_EQ(Dialogs::shown()[1].defaultText, "W");
}

TEST_F(DialogsTest, CancelGivesNothingOrTheDefault)
{
    ScopedDialogResponder scoped([](const DialogRequest&) { return DialogAnswer{false, "ignored"}; });
    EXPECT_FALSE(platform::InputQuery("c", "p", "x").has_value());
    EXPECT_EQ(platform::InputBox("Add New Child", "Childs Full Name", ""), "");
    EXPECT_EQ(platform::InputBox("c", "p", "keep"), "keep");
    EXPECT_FALSE(platform::ConfirmYesNo("Sure?"));
    EXPECT_FALSE(platform::ChooseFolder("Lessons Folder", "/home").has_value());
}

TEST_F(DialogsTest, AFolderDialogStartsAtItsFolderAndGivesTheChoice)
{
    std::string answer = "/srv/class";
    ScopedDialogResponder scoped([&answer](const DialogRequest& r) {
        EXPECT_EQ(r.kind, DialogKind::Folder);
        return DialogAnswer{true, answer};
    });
    EXPECT_EQ(platform::ChooseFolder("Lessons Folder", "/home/ann").value(), "/srv/class");
    EXPECT_EQ(Dialogs::shown()[0].defaultText, "/home/ann");
    EXPECT_EQ(Dialogs::shown()[0].caption, "Lessons Folder");
    answer.clear(); // a dialog closed without a folder
    EXPECT_FALSE(platform::ChooseFolder("Lessons Folder", "/home/ann").has_value());
}

TEST_F(DialogsTest, MessageBoxesRecordKindTextAndDefaultCaption)
{
    ScopedDialogResponder scoped([](const DialogRequest& r) {
        return DialogAnswer{r.kind == DialogKind::Confirmation, {}};
    });
    platform::ShowInformation("That child already exists.");
    platform::ShowErrorBox("Cannot open file \"x\". No such file or directory");
    EXPECT_TRUE(platform::ConfirmYesNo("Overwrite?", "Lexorin"));
    ASSERT_EQ(Dialogs::shown().size(), 3u);
    EXPECT_EQ(Dialogs::shown()[0].kind, DialogKind::Information);
    EXPECT_EQ(Dialogs::shown()[0].text, "That child already exists.");
    EXPECT_EQ(Dialogs::shown()[0].caption, QApplication::applicationDisplayName().toStdString());
    EXPECT_EQ(Dialogs::shown()[1].kind, DialogKind::Error);
    EXPECT_EQ(Dialogs::shown()[1].text, "Cannot open file \"x\". No such file or directory");
    EXPECT_EQ(Dialogs::shown()[2].caption, "Lexorin");
}

TEST_F(DialogsTest, ScopedResponderRestoresThePreviousOne)
{
    Dialogs::setResponder([](const DialogRequest&) { return DialogAnswer{true, "outer"}; });
    {
        ScopedDialogResponder inner([](const DialogRequest&) { return DialogAnswer{true, "inner"}; });
        EXPECT_EQ(platform::InputBox("c", "p", ""), "inner");
    }
    EXPECT_EQ(platform::InputBox("c", "p", ""), "outer");
    // A responder may clear itself while answering.
    Dialogs::setResponder([](const DialogRequest&) {
        Dialogs::setResponder({});
        return DialogAnswer{true, "once"};
    });
    EXPECT_EQ(platform::InputBox("c", "p", ""), "once");
    EXPECT_FALSE(Dialogs::hasResponder());
}

TEST_F(DialogsTest, RealErrorBoxShowsExactlyTheMessageAsPlainText)
{
    const std::string message = "<b>Week(3)</b> & \"more\"";
    bool checked = false;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        EXPECT_EQ(box.text().toStdString(), message);
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.icon(), QMessageBox::Critical);
        EXPECT_EQ(box.windowTitle().toStdString(), "Oops");
        EXPECT_EQ(box.buttons().size(), 1);
        checked = true;
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(Dialogs::isShowing());
    bool showingInside = false;
    QTimer::singleShot(1, [&] { showingInside = Dialogs::isShowing(); });
    platform::ShowErrorBox(message, "Oops");
    EXPECT_TRUE(checked);
    EXPECT_TRUE(showingInside);
    EXPECT_FALSE(Dialogs::isShowing());
    ASSERT_EQ(Dialogs::shown().size(), 1u);
}

TEST_F(DialogsTest, RealInformationAndQuestionBoxes)
{
    WhenShown<QMessageBox>([](QMessageBox& box) {
        EXPECT_EQ(box.icon(), QMessageBox::Information);
        EXPECT_EQ(box.text().toStdString(), "That child already exists.");
        box.button(QMessageBox::Ok)->click();
    });
    platform::ShowInformation("That child already exists.");

    WhenShown<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(platform::ConfirmYesNo("Again?"));
    WhenShown<QMessageBox>([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
    EXPECT_FALSE(platform::ConfirmYesNo("Again?"));
}

TEST_F(DialogsTest, RealInputBoxTakesTypedTextAndCancels)
{
    WhenShown<QInputDialog>([](QInputDialog& box) {
        EXPECT_EQ(box.windowTitle().toStdString(), "Add New Child");
        EXPECT_EQ(box.labelText().toStdString(), "Childs Full Name");
        EXPECT_EQ(box.textValue().toStdString(), "");
        box.setTextValue(QString::fromUtf8("\xC3\x89mile O'Neil"));
        box.accept();
    });
    EXPECT_EQ(platform::InputBox("Add New Child", "Childs Full Name", ""), "\xC3\x89mile O'Neil");

    WhenShown<QInputDialog>([](QInputDialog& box) {
        box.setTextValue("typed then cancelled");
        box.reject();
    });
    EXPECT_FALSE(platform::InputQuery("Name of New Lesson", "Lesson Name", "dflt").has_value());
}
