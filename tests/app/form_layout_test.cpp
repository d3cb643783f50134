// The window as the layout defines it: caption, size, pages, and every control with
// its kind, caption, place, size, start state and hint.

#include "AppTestFixture.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetrics>
#include <QAbstractTextDocumentLayout>
#include <QTabBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <optional>

namespace {

struct ControlRow {
    const char* name;
    const char* kind;   // Qt class the control is (or derives from)
    const char* parent; // object name of the parent widget
    std::optional<const char*> caption;
    int left, top;
    int width = -1, height = -1; // -1: the widget's default
    bool enabled = true;
    const char* hint = nullptr;
};

// clang-format off
const ControlRow kControls[] = {
    // Spelling Lessons
    {"Panel1", "QFrame", "TabSheet1", std::nullopt, 0, 0},
    {"MemoStart", "QPlainTextEdit", "Panel1", std::nullopt, 11, 16, 558, 205},
    {"Label3", "QLabel", "Panel1", "Lesson", 11, 227},
    {"ComboBox2", "widgets::TDropDownComboBox", "Panel1", "", 11, 244, 254, 21},
    {"Label4", "QLabel", "Panel1", "Player", 11, 271, -1, -1, false},
    {"ComboBox3", "widgets::TDropDownComboBox", "Panel1", "", 11, 290, 254, 21, false},
    {"btnNewChild", "QPushButton", "Panel1", "New &Player", 271, 286, 90, 25, false},
    {"btnStartPractice", "QPushButton", "Panel1", "Start &Practice", 113, 344, 121, 25, false},
    {"btnStartTest", "QPushButton", "Panel1", "Start &Test", 240, 344, 121, 25, false},
    {"btnMoreHelp", "widgets::TXPButton", "Panel1", "More Help", 456, 344, 113, 33},
    {"btnProgress", "QPushButton", "Panel1", "Pro&gress", 456, 286, 113, 25, false},
    // Lesson Editor
    {"Label2", "QLabel", "TabSheet2", "Lession", 3, 3},
    {"cbLessions", "widgets::TDropDownComboBox", "TabSheet2", "", 3, 22, 190, 21},
    {"btnAddLesson", "QPushButton", "TabSheet2", "&New Lesson", 209, 18, 98, 25},
    {"kaOscilloscope", "QWidget", "TabSheet2", std::nullopt, 88, 49, 219, 54, true, "Visual Audio View"},
    {"Label1", "QLabel", "TabSheet2", "Spelling Word", 3, 92, -1, -1, false},
    {"edSpellingword", "QLineEdit", "TabSheet2", "", -1, 109, 117, 21, false},
    {"btnPlay", "widgets::TSpeedButton", "TabSheet2", "", 122, 109, 23, 22},
    {"btnRecord", "QPushButton", "TabSheet2", "&Record", 151, 109, 75, 25},
    {"btnStop", "QPushButton", "TabSheet2", "&Stop", 232, 109, 75, 25},
    {"lblTakeHint", "QLabel", "TabSheet2", "", 3, 135, 304, 13},
    {"Label5", "QLabel", "TabSheet2", "Current Words in Lesson", 3, 149},
    {"ListBox1", "QListWidget", "TabSheet2", std::nullopt, 3, 168, 304, 221, true, "Right-click to add or delete words"},
    {"PanelLessons", "QFrame", "TabSheet2", std::nullopt, 313, 2, 266, 389},
    {"MemoLessons", "QPlainTextEdit", "PanelLessons", std::nullopt, 8, 14, 249, 331},
    {"JvXPButtonHelp", "widgets::TXPButton", "PanelLessons", "More Help", 8, 351, 113, 33},
    // The Lesson
    {"JvSpecialImage", "widgets::TPictureControl", "TabSheet3", std::nullopt, 3, 0, 312, 60},
    {"JvSpecialImage3", "widgets::TPictureControl", "TabSheet3", std::nullopt, 75, 90, 400, 150},
    {"lblNumberTied", "QLabel", "TabSheet3", "Number Tied:", 371, 3, 130, 23},
    {"lblcorrect", "QLabel", "TabSheet3", "Number correct:", 371, 32, 130, 23},
    {"lblwrong", "QLabel", "TabSheet3", "Number wrong:", 371, 61, 130, 23},
    {"btnSay", "QPushButton", "TabSheet3", "Say It &Again", 168, 246, 107, 25},
    {"btnPractice", "QPushButton", "TabSheet3", "&Practice Word", 281, 246, 107, 25},
    {"Edit2", "QLineEdit", "TabSheet3", "", 91, 277, 372, 31},
    {"btnCheckIt", "QPushButton", "TabSheet3", "&Check It", 240, 314, 75, 25},
    {"JvXPToolButton", "widgets::TToolButton", "TabSheet3", "", 562, 348, -1, -1, true, "Exit current lesson."},
    // Practice
    {"lblPractices", "QLabel", "T4abSheet", "Practice Spelling Words...", 3, 0, 576, 49},
    {"lblPracticeWord", "QLabel", "T4abSheet", "The Word", 3, 35, 576, 49},
    {"SayItAgain", "QPushButton", "T4abSheet", "&Say It Again", 240, 90, 97, -1},
    {"edWord1", "QLineEdit", "T4abSheet", "", 100, 133, 289, 27},
    {"edWord2", "QLineEdit", "T4abSheet", "", 100, 166, 289, 27},
    {"edWord3", "QLineEdit", "T4abSheet", "", 100, 201, 289, 27},
    {"btnNext", "QPushButton", "T4abSheet", "Next", 395, 133},
    {"btnNext2", "QPushButton", "T4abSheet", "Next", 395, 166},
    {"btnNext3", "QPushButton", "T4abSheet", "Next", 395, 199},
    {"btnReturnToTest", "QPushButton", "T4abSheet", "&Return To Test", 208, 252, 165, 25},
    {"btnForward", "QPushButton", "T4abSheet", "", 379, 252, 41, 25},
    {"ExitPractice", "widgets::TToolButton", "T4abSheet", "", 562, 348, -1, -1, true, "Exit current lesson."},
};
// clang-format on

QString CaptionOf(const QWidget* control)
{
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    return {};
}

} // namespace

TEST_F(FormTest, EveryControlOfTheLayoutHasItsKindCaptionPlaceSizeStateAndHint)
{
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        auto* control = form_->findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->inherits(row.kind)) << control->metaObject()->className();
        ASSERT_NE(control->parentWidget(), nullptr);
        EXPECT_EQ(control->parentWidget()->objectName().toStdString(), row.parent);
        if (row.caption) {
            EXPECT_EQ(CaptionOf(control).toStdString(), *row.caption);
        }
        EXPECT_EQ(control->pos(), QPoint(row.left, row.top));
        if (row.width >= 0) {
            EXPECT_EQ(control->width(), row.width);
        }
        if (row.height >= 0) {
            EXPECT_EQ(control->height(), row.height);
        }
        EXPECT_EQ(control->isEnabled(), row.enabled);
        EXPECT_EQ(control->property("hint").toString().toStdString(), row.hint ? row.hint : "");
    }
}

TEST_F(FormTest, ControlsAreTheWindowsPublicMembersUnderTheirLayoutNames)
{
    const std::pair<QWidget*, const char*> members[] = {
        {form_->btnCheckIt, "btnCheckIt"},
        {form_->cbLessions, "cbLessions"},
        {form_->edWord1, "edWord1"},
        {form_->T4abSheet, "T4abSheet"},
        {form_->Panel1, "Panel1"},
        {form_->lblwrong, "lblwrong"},
        {form_->ExitPractice, "ExitPractice"},
        {form_->MemoLessons, "MemoLessons"},
    };
    for (const auto& [widget, name] : members) {
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->objectName().toStdString(), name);
    }
    ASSERT_NE(form_->AddWords1, nullptr);
    ASSERT_NE(form_->DeleteWord1, nullptr);
    EXPECT_EQ(form_->AddWords1->text().toStdString(), "Add Words...");
    EXPECT_EQ(form_->DeleteWord1->text().toStdString(), "Delete Word");
    EXPECT_EQ(form_->PopupMenu->actions().size(), 2);
}

TEST_F(FormTest, ControlsFitInsideTheirPages)
{
    Show();
    for (const ControlRow& row : kControls) {
        auto* control = form_->findChild<QWidget*>(QString::fromLatin1(row.name));
        QWidget* parent = control->parentWidget();
        // edSpellingword starts one pixel left of its page, as laid out.
        const QRect inside = parent->rect().adjusted(-1, 0, 0, 0);
        EXPECT_TRUE(inside.contains(control->geometry())) << row.name << " does not fit in " << row.parent;
    }
}

TEST_F(FormTest, WindowIsFixedSizeWithItsCaptionAndFourPagesInOrder)
{
    EXPECT_EQ(form_->windowTitle().toStdString(), "Quorbel's Lexorin");
    EXPECT_EQ(form_->size(), QSize(590, 425));
    EXPECT_EQ(form_->minimumSize(), QSize(590, 425));
    EXPECT_EQ(form_->maximumSize(), QSize(590, 425));
    EXPECT_EQ(form_->PageControl1->geometry(), QRect(0, 0, 590, 425));
    const char* const captions[] = {"Spelling Lessons", "Lesson Editor", "The Lesson", "Practice"};
    const QWidget* pages[] = {form_->TabSheet1, form_->TabSheet2, form_->TabSheet3, form_->T4abSheet};
    ASSERT_EQ(form_->PageControl1->count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form_->PageControl1->tabText(i).toStdString(), captions[i]);
        EXPECT_EQ(form_->PageControl1->widget(i), pages[i]);
    }
}

TEST_F(FormTest, StartMemoAndEditorInstructionsReadWordForWord)
{
    const std::string start =
        "Quorbel Lexorin\n"
        "\n"
        "Lexorin was developed to help teachers and parents to train there children to "
        "spell. It was designed to\n"
        "take the least amount of effort from the teachers and parents and provides a very "
        "independent environment for\n"
        "the children to learn in.\n"
        "\n"
        "Instructions:\n"
        "\n"
        "To create new lessons click on the Lesson Editor Button and follow instructions.\n"
        "\n"
        "To start a lesson, select the lesson name from the Lesson drop down box. Create a "
        "new Player if necessary.\n"
        "Select the Player from the Player drop down box. Press Start Test.";
    EXPECT_EQ(form_->MemoStart->toPlainText().toStdString(), start);
    EXPECT_TRUE(form_->MemoStart->isReadOnly());

    const std::string instructions = "Instructions\n"
                                     "\n"
                                     "Select a lesson from the drop down list or click\n"
                                     "new lesson to create a new one.\n"
                                     "\n"
                                     "To add a word to the spelling lesson just type it\n"
                                     "into the spelling word box. Click on record and\n"
                                     "say the word along with a sentence using the\n"
                                     "word. Follow by repeating the word again. Click\n"
                                     "stop and the word will be added to the list. The\n"
                                     "program is now ready for the next word to be\n"
                                     "entered.\n"
                                     "\n"
                                     "To listen to a word, select the word from the list\n"
                                     "and click the speaker button to listen. If you want\n"
                                     "to rerecord the word, select the word and press\n"
                                     "record, record the word and then press stop.\n"
                                     "\n"
                                     "To remove a word from the  list, select the word\n"
                                     "then right click in the list box and select delete\n"
                                     "word.";
    EXPECT_EQ(form_->MemoLessons->toPlainText().toStdString(), instructions);
    EXPECT_TRUE(form_->MemoLessons->isReadOnly());

    // The instructions are broken by hand for the memo's width, in Arial or its
    // metric twin Liberation Sans: no line may wrap again.
    Show();
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    const QString family = QFontInfo(form_->MemoLessons->font()).family();
    EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family.toStdString();
    QTextDocument* text = form_->MemoLessons->document();
    for (QTextBlock line = text->begin(); line.isValid(); line = line.next()) {
        text->documentLayout()->blockBoundingRect(line); // lays the line out
        ASSERT_TRUE(line.layout());
        EXPECT_EQ(line.layout()->lineCount(), 1) << line.text().toStdString();
    }
}

TEST_F(FormTest, FontsAreSetInPixels)
{
    EXPECT_EQ(form_->font().pixelSize(), 11);
    EXPECT_EQ(form_->btnStartTest->font().pixelSize(), 11);
    for (const QLabel* tally : std::initializer_list<const QLabel*>{form_->lblNumberTied, form_->lblcorrect,
                                                                    form_->lblwrong, form_->lblPractices}) {
        EXPECT_EQ(tally->font().pixelSize(), 19);
        EXPECT_TRUE(tally->font().bold());
    }
    EXPECT_EQ(form_->Edit2->font().pixelSize(), 19);
    EXPECT_FALSE(form_->Edit2->font().bold());
    EXPECT_EQ(form_->lblPracticeWord->font().pixelSize(), 32);
    EXPECT_TRUE(form_->lblPracticeWord->alignment() & Qt::AlignHCenter);
    for (const QLineEdit* box : {form_->edWord1, form_->edWord2, form_->edWord3}) {
        EXPECT_EQ(box->font().pixelSize(), 16);
        EXPECT_TRUE(box->font().bold());
    }
    if (std::filesystem::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        EXPECT_EQ(QFontInfo(form_->font()).family().toStdString(), "Tahoma");
    }
}

TEST_F(FormTest, AcceleratorsFollowTheAmpersandMarks)
{
    const std::pair<QAbstractButton*, int> marked[] = {
        {form_->btnNewChild, Qt::Key_P},     {form_->btnStartPractice, Qt::Key_P},
        {form_->btnStartTest, Qt::Key_T},    {form_->btnAddLesson, Qt::Key_N},
        {form_->btnRecord, Qt::Key_R},       {form_->btnStop, Qt::Key_S},
        {form_->btnSay, Qt::Key_A},          {form_->btnPractice, Qt::Key_P},
        {form_->btnCheckIt, Qt::Key_C},      {form_->SayItAgain, Qt::Key_S},
        {form_->btnReturnToTest, Qt::Key_R},
    };
    for (const auto& [button, key] : marked)
        EXPECT_EQ(button->shortcut(), QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key(key))))
            << button->objectName().toStdString();
    EXPECT_TRUE(form_->btnNext->shortcut().isEmpty());

    // A real Alt+N on the editor page presses "&New Lesson"; whatever box it opens is cancelled.
    platform::ScopedDialogResponder cancel(
        [](const platform::DialogRequest&) { return platform::DialogAnswer{}; });
    Show();
    form_->PageControl1->setCurrentWidget(form_->TabSheet2);
    int clicks = 0;
    QObject::connect(form_->btnAddLesson, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::keyClick(form_.get(), Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks == 1; }, 2000)); // the button shows its press first
    // Not while its page is not showing.
    form_->PageControl1->setCurrentWidget(form_->TabSheet1);
    QTest::keyClick(form_.get(), Qt::Key_N, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormTest, CaptionlessButtonsHaveAccessibleNames)
{
    for (const QWidget* button :
         {static_cast<QWidget*>(form_->btnPlay), static_cast<QWidget*>(form_->btnForward),
          static_cast<QWidget*>(form_->JvXPToolButton), static_cast<QWidget*>(form_->ExitPractice)})
        EXPECT_FALSE(button->accessibleName().isEmpty()) << button->objectName().toStdString();
}

TEST_F(FormTest, EditorPageShowsItsHintsOtherPagesKeepThemUnshown)
{
    EXPECT_EQ(form_->kaOscilloscope->toolTip().toStdString(), "Visual Audio View");
    EXPECT_TRUE(form_->JvXPToolButton->toolTip().isEmpty());
    EXPECT_TRUE(form_->ExitPractice->toolTip().isEmpty());
}

TEST_F(FormTest, TalliesGrowWithTheirCaptionsFromWhereTheyStand)
{
    form_->lblcorrect->setText(QStringLiteral("Number correct:123456"));
    EXPECT_EQ(form_->lblcorrect->pos(), QPoint(371, 32));
    EXPECT_GE(
        form_->lblcorrect->width(),
        QFontMetrics(form_->lblcorrect->font()).horizontalAdvance(QStringLiteral("Number correct:123456")));
    EXPECT_GE(form_->lblcorrect->height(), QFontMetrics(form_->lblcorrect->font()).height());
    if (std::filesystem::exists("/usr/share/wine/fonts/tahomabd.ttf")) {
        const QFontInfo shown(form_->lblcorrect->font());
        EXPECT_EQ(shown.family().toStdString(), "Tahoma");
        EXPECT_TRUE(shown.bold());
    }
}
