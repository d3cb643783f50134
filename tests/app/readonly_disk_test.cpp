// The content folder on a disk mounted read-only: adding a lesson or a player fails, and the
// error box says why. Run by readonly_disk.sh, which mounts such a disk in a private mount
// namespace and names it in LEXORIN_READONLY_CONTENT; skipped in the ordinary run.

#include "AppTestFixture.h"

#include <cstdlib>

namespace {

class ReadOnlyDiskTest : public FormTest {
protected:
    void SetUp() override
    {
        const char* content = std::getenv("LEXORIN_READONLY_CONTENT");
        if (!content || !*content)
            GTEST_SKIP() << "needs a read-only content folder (tests/app/readonly_disk.sh)";
        dir_ = content;
        platform::Dialogs::clearShown();
        form_ = std::make_unique<TForm1>(dir_);
        Show();
    }

    void ExpectOneErrorSayingWhy()
    {
        const auto errors = BoxTexts(platform::DialogKind::Error);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find("Read-only file system"), std::string::npos) << errors[0];
    }
};

} // namespace

TEST_F(ReadOnlyDiskTest, ANewLessonCannotBeAddedAndTheErrorSaysWhy)
{
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    AnswerInput("Week 4");
    QTest::mouseClick(form_->btnAddLesson, Qt::LeftButton);
    ExpectOneErrorSayingWhy();
    EXPECT_FALSE(std::filesystem::exists(Path("Week_4")));
    EXPECT_TRUE(form_->btnAddLesson->isEnabled());
    EXPECT_TRUE(form_->cbLessions->currentText().isEmpty());
}

TEST_F(ReadOnlyDiskTest, ANewPlayerCannotBeAddedAndTheErrorSaysWhy)
{
    DropDown(form_->ComboBox2);
    const int week = form_->ComboBox2->findText("Week_3");
    ASSERT_GE(week, 0);
    Choose(form_->ComboBox2, week);
    AnswerInput("Ann");
    QTest::mouseClick(form_->btnNewChild, Qt::LeftButton);
    ExpectOneErrorSayingWhy();
    EXPECT_FALSE(std::filesystem::exists(Path("Children/Ann.xml")));
    // The players already there can still be chosen.
    DropDown(form_->ComboBox3);
    EXPECT_EQ(Items(form_->ComboBox3), QStringList{"Sam"});
}
