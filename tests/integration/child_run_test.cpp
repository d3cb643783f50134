// A whole test of a three-word lesson on the desktop's real sound server, with the
// clips of the bundled content: the child chooses the lesson and a new player, starts
// the test, and answers by typing and pressing Enter; one answer is wrong, so the
// correction is spoken and the word drilled on the practice page before the test goes on.

#include "app/TForm1.h"
#include "platform/ui/Dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The bundled content beside the built tutor (LEXORIN_TUTOR_DIR names it elsewhere).
std::optional<fs::path> BundledContent()
{
    if (const char* dir = std::getenv("LEXORIN_TUTOR_DIR"))
        return fs::path(dir);
    fs::path at = QCoreApplication::applicationDirPath().toStdString();
    for (int up = 0; up < 4 && !at.empty(); ++up, at = at.parent_path())
        if (fs::exists(at / "tutor" / "Alpha" / "Correct.wav"))
            return at / "tutor";
    return std::nullopt;
}

bool ServerReachable()
{
    const char* server = std::getenv("PULSE_SERVER");
    if (!server)
        return false;
    std::string socket = server;
    if (socket.rfind("unix:", 0) == 0)
        socket = socket.substr(5);
    return fs::exists(socket);
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ChildRun, AThreeWordTestFinishesOnTheRealSoundServer)
{
    const auto bundled = BundledContent();
    if (!bundled || !fs::exists(*bundled / "First Words" / "CAT.wav"))
        GTEST_SKIP() << "the bundled clips are not built";
    if (!ServerReachable())
        GTEST_SKIP() << "no sound server";

    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const fs::path dir = temp.path().toStdString();
    fs::copy(*bundled / "Alpha", dir / "Alpha", fs::copy_options::recursive);
    fs::create_directories(dir / "First Words");
    for (const char* word : {"CAT", "DOG", "SUN"})
        fs::copy_file(*bundled / "First Words" / (std::string(word) + ".wav"),
                      dir / "First Words" / (std::string(word) + ".wav"));

    std::vector<platform::DialogRequest> boxes;
    platform::ScopedDialogResponder responder([&](const platform::DialogRequest& request) {
        boxes.push_back(request);
        return platform::DialogAnswer{true, request.kind == platform::DialogKind::Input ? "Sam" : ""};
    });

    TForm1 form(dir);
    form.show(); // the welcome clip plays once the window is painted; choosing goes on meanwhile
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    // The lesson, then a new player.
    QTest::mouseClick(form.ComboBox2, Qt::LeftButton);
    form.ComboBox2->hidePopup();
    form.ComboBox2->setFocus();
    QTest::keyClick(form.ComboBox2, Qt::Key_Down);
    ASSERT_EQ(form.ComboBox2->currentText().toStdString(), "First Words");
    QTest::mouseClick(form.btnNewChild, Qt::LeftButton);
    ASSERT_EQ(form.ComboBox3->currentText().toStdString(), "Sam");
    ASSERT_TRUE(form.btnStartTest->isEnabled());
    QApplication::setActiveWindow(&form);

    QTest::mouseClick(form.btnStartTest, Qt::LeftButton);
    ASSERT_EQ(form.RunMode, 2);
    int answers = 0;
    bool missedOne = false;
    while (form.RunMode != 0 && answers < 20) {
        ASSERT_NE(form.CurrentWord, nullptr);
        const QString word = QString::fromStdString(form.CurrentWord->Word);
        ++answers;
        if (!missedOne) {
            // The first answer is misspelled: correction, then the drill, then back.
            missedOne = true;
            QTest::keyClicks(form.Edit2, word.left(2).toLower());
            QTest::keyClick(form.Edit2, Qt::Key_Return);
            ASSERT_EQ(form.RunMode, 3);
            for (QLineEdit* box : {form.edWord1, form.edWord2, form.edWord3}) {
                QTest::keyClicks(box, word);
                QTest::keyClick(box, Qt::Key_Return);
            }
            ASSERT_TRUE(form.btnReturnToTest->isEnabled());
            QTest::keyClick(form.btnReturnToTest, Qt::Key_Return);
            ASSERT_EQ(form.RunMode, 2);
            continue;
        }
        QTest::keyClicks(form.Edit2, word.toLower());
        QTest::keyClick(form.Edit2, Qt::Key_Enter);
        EXPECT_LT(form.ClipWaitPasses, TForm1::kClipWaitPassLimit) << "a clip did not end by itself";
    }
    EXPECT_EQ(answers, 7); // one wrong, then six right
    EXPECT_EQ(form.RunMode, 0);
    EXPECT_EQ(form.PageControl1->currentWidget(), form.TabSheet1);
    EXPECT_EQ(form.AudioMode, 0);
    for (const auto& box : boxes)
        EXPECT_NE(box.kind, platform::DialogKind::Error) << box.text;

    const std::string record = ReadAll(dir / "Children" / "Sam.xml");
    int trys = 0;
    for (const char* word : {"CAT", "DOG", "SUN"}) {
        const auto at = record.find(std::string("<") + word + " word=\"" + word + "\" trys=\"");
        ASSERT_NE(at, std::string::npos) << record;
        trys += std::stoi(record.substr(record.find("trys=\"", at) + 6));
        EXPECT_NE(record.find("correct=\"2\"", at), std::string::npos) << record;
    }
    EXPECT_EQ(trys, 7);
}

} // namespace
