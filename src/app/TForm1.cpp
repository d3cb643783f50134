#include "app/TForm1.h"

#include "app/ErrorBox.h"
#include "platform/Trace.h"
#include "widgets/Fonts.h"
#include "widgets/Pictures.h"
#include "widgets/SharedAccelerators.h"
#include "widgets/TControlEvents.h"
#include "widgets/TDropDownComboBox.h"
#include "widgets/TPageControl.h"
#include "widgets/TPictureControl.h"
#include "widgets/TSpeedButton.h"
#include "widgets/TToolButton.h"
#include "widgets/TXPButton.h"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStringList>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kClientWidth = 590;
constexpr int kClientHeight = 425;
constexpr int kFontPx = 11; // Tahoma 8 pt at 96 dpi

// Size the layout gives a control when it leaves the framework's default.
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kToolButtonSize = 20;

const QColor kHotLight(0x00, 0x66, 0xCC);
const QColor kDarkShadow(0x40, 0x40, 0x40);

const char* const kStartText[] = {
    "Quorbel Lexorin",
    "",
    "Lexorin was developed to help teachers and parents to train there children to spell. It was designed to",
    "take the least amount of effort from the teachers and parents and provides a very independent "
    "environment for",
    "the children to learn in.",
    "",
    "Instructions:",
    "",
    "To create new lessons click on the Lesson Editor Button and follow instructions.",
    "",
    "To start a lesson, select the lesson name from the Lesson drop down box. Create a new Player if "
    "necessary.",
    "Select the Player from the Player drop down box. Press Start Test.",
};

const char* const kEditorInstructions[] = {
    "Instructions",
    "",
    "Select a lesson from the drop down list or click",
    "new lesson to create a new one.",
    "",
    "To add a word to the spelling lesson just type it",
    "into the spelling word box. Click on record and",
    "say the word along with a sentence using the",
    "word. Follow by repeating the word again. Click",
    "stop and the word will be added to the list. The",
    "program is now ready for the next word to be",
    "entered.",
    "",
    "To listen to a word, select the word from the list",
    "and click the speaker button to listen. If you want",
    "to rerecord the word, select the word and press",
    "record, record the word and then press stop.",
    "",
    "To remove a word from the  list, select the word",
    "then right click in the list box and select delete",
    "word.",
};

template <size_t N> QString Lines(const char* const (&lines)[N])
{
    QStringList list;
    for (const char* line : lines)
        list << QString::fromLatin1(line);
    return list.join(QLatin1Char('\n'));
}

template <class W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top)
{
    auto* label = Named(new QLabel(QString::fromLatin1(caption), parent), name);
    label->adjustSize();
    label->move(left, top);
    return label;
}

// A label at its design size in its own font, as the tallies and headings are.
template <class Label = QLabel>
Label* MakeFixedLabel(QWidget* parent, const char* name, const char* caption, QRect geometry,
                      const QFont& font, const QColor& colour)
{
    auto* label = Named(new Label(QString::fromLatin1(caption), parent), name);
    label->setFont(font);
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry)
{
    auto* button = Named(new QPushButton(QString::fromLatin1(caption), parent), name);
    button->setAutoDefault(false);
    button->setGeometry(geometry);
    return button;
}

widgets::TXPButton* MakeXPButton(QWidget* parent, const char* name, const char* caption, QRect geometry)
{
    auto* button = Named(new widgets::TXPButton(QString::fromLatin1(caption), parent), name);
    button->setGeometry(geometry);
    return button;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect geometry)
{
    auto* edit = Named(new QLineEdit(parent), name);
    edit->setGeometry(geometry);
    return edit;
}

widgets::TDropDownComboBox* MakeDropDownList(QWidget* parent, const char* name, QRect geometry)
{
    auto* combo = Named(new widgets::TDropDownComboBox(parent), name);
    combo->setGeometry(geometry);
    return combo;
}

QPlainTextEdit* MakeMemo(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* memo = Named(new QPlainTextEdit(parent), name);
    memo->setReadOnly(true);
    memo->setPlainText(text);
    memo->setGeometry(geometry);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return memo;
}

// A hint is kept with every control that has one; the editor page shows its hints.
void SetHint(QWidget* control, const char* hint, bool shown)
{
    const QString text = QString::fromLatin1(hint);
    control->setProperty("hint", text);
    control->setAccessibleDescription(text);
    if (shown)
        control->setToolTip(text);
}

QWidget* MakePage(widgets::TPageControl* pages, const char* name, const char* caption)
{
    auto* page = Named(new QWidget, name);
    pages->addTab(page, QString::fromLatin1(caption)); // the page control owns it
    return page;
}

// The bound form of a handler: an error escaping it goes to the standard error box.
template <class... A> auto Bound(TForm1* form, void (TForm1::*handler)(A...))
{
    return
        [form, handler](A... args) { form->RunHandler([&] { (form->*handler)(std::forward<A>(args)...); }); };
}

void OnClick(TForm1* form, QAbstractButton* button, void (TForm1::*handler)(QObject*))
{
    QObject::connect(button, &QAbstractButton::clicked, form,
                     [form, button, handler] { form->RunHandler([&] { (form->*handler)(button); }); });
}

void OnChoose(TForm1* form, QComboBox* combo, void (TForm1::*handler)(QObject*))
{
    // Chosen by the user only: filling and clearing the list raise nothing.
    QObject::connect(combo, &QComboBox::activated, form,
                     [form, combo, handler] { form->RunHandler([&] { (form->*handler)(combo); }); });
}

// A right click on `control` opens `menu`, whose items `popup` enables first.
void OnMenu(TForm1* form, QWidget* control, QMenu* menu, void (TForm1::*popup)(QObject*))
{
    QObject::connect(control, &QWidget::customContextMenuRequested, form,
                     [control, menu](const QPoint& at) { menu->popup(control->mapToGlobal(at)); });
    QObject::connect(menu, &QMenu::aboutToShow, form,
                     [form, menu, popup] { form->RunHandler([&] { (form->*popup)(menu); }); });
}

void OnTrigger(TForm1* form, QAction* item, void (TForm1::*handler)(QObject*))
{
    QObject::connect(item, &QAction::triggered, form,
                     [form, item, handler] { form->RunHandler([&] { (form->*handler)(item); }); });
}

} // namespace

TForm1::TForm1(std::filesystem::path contentDir, QWidget* parent)
    : QWidget(parent), contentDir_(std::move(contentDir))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorbel's Lexorin"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(widgets::Tahoma(kFontPx));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    ExeDir = ExeDirOf(contentDir_);

    PageControl1 = Named(new widgets::TPageControl(this), "PageControl1");
    PageControl1->setDocumentMode(true);
    PageControl1->setGeometry(0, 0, kClientWidth, kClientHeight);
    TabSheet1 = MakePage(PageControl1, "TabSheet1", "Spelling Lessons");
    TabSheet2 = MakePage(PageControl1, "TabSheet2", "Lesson Editor");
    TabSheet3 = MakePage(PageControl1, "TabSheet3", "The Lesson");
    T4abSheet = MakePage(PageControl1, "T4abSheet", "Practice");

    BuildStartPage();
    BuildEditorPage();
    BuildLessonPage();
    BuildPracticePage();
    BindEvents();
}

TForm1::~TForm1()
{
    // A recording still running is completed, so its clip is a whole WAVE file.
    Closing = true;
    RunHandler([this] { StopAnyClip(); });
}

void TForm1::BuildStartPage()
{
    Panel1 = Named(new QFrame(TabSheet1), "Panel1");
    Panel1->setFrameShape(QFrame::NoFrame);
    auto* fill = new QVBoxLayout(TabSheet1); // owned by the page
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel1);

    MemoStart = MakeMemo(Panel1, "MemoStart", Lines(kStartText), QRect(11, 16, 558, 205));
    MemoStart->setFrameShape(QFrame::NoFrame);
    MemoStart->setBackgroundRole(QPalette::Window);
    {
        QPalette palette = MemoStart->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        MemoStart->setPalette(palette);
    }
    Label3 = MakeLabel(Panel1, "Label3", "Lesson", 11, 227);
    ComboBox2 = MakeDropDownList(Panel1, "ComboBox2", QRect(11, 244, 254, 21));
    ComboBox2->setContextMenuPolicy(Qt::CustomContextMenu);
    LessonListMenu = Named(new QMenu(this), "LessonListMenu");
    TestDate1 = Named(LessonListMenu->addAction(QStringLiteral("Test Date...")), "TestDate1");
    Label4 = MakeLabel(Panel1, "Label4", "Player", 11, 271);
    ComboBox3 = MakeDropDownList(Panel1, "ComboBox3", QRect(11, 290, 254, 21));
    btnNewChild = MakeButton(Panel1, "btnNewChild", "New &Player", QRect(271, 286, 90, 25));
    btnStartPractice = MakeButton(Panel1, "btnStartPractice", "Start &Practice", QRect(113, 344, 121, 25));
    btnStartTest = MakeButton(Panel1, "btnStartTest", "Start &Test", QRect(240, 344, 121, 25));
    btnMoreHelp = MakeXPButton(Panel1, "btnMoreHelp", "More Help", QRect(456, 344, 113, 33));
    // Created last, so it is last in the page's tab order.
    btnProgress = MakeButton(Panel1, "btnProgress", "Pro&gress", QRect(456, 286, 113, 25));

    ComboBox3->setContextMenuPolicy(Qt::CustomContextMenu);
    PlayerMenu = Named(new QMenu(this), "PlayerMenu");
    RenamePlayer1 = Named(PlayerMenu->addAction(QStringLiteral("Rename Player...")), "RenamePlayer1");
    DeletePlayer1 = Named(PlayerMenu->addAction(QStringLiteral("Delete Player...")), "DeletePlayer1");
    PlayerMenu->addSeparator();
    PracticeFromMemory1 =
        Named(PlayerMenu->addAction(QStringLiteral("Practice From Memory")), "PracticeFromMemory1");
    PracticeFromMemory1->setCheckable(true);

    for (QWidget* control :
         {static_cast<QWidget*>(Label4), static_cast<QWidget*>(ComboBox3), static_cast<QWidget*>(btnNewChild),
          static_cast<QWidget*>(btnStartPractice), static_cast<QWidget*>(btnStartTest),
          static_cast<QWidget*>(btnProgress)})
        control->setEnabled(false);
}

void TForm1::BuildEditorPage()
{
    QWidget* page = TabSheet2;
    Label2 = MakeLabel(page, "Label2", "Lession", 3, 3);
    cbLessions = MakeDropDownList(page, "cbLessions", QRect(3, 22, 190, 21));
    btnAddLesson = MakeButton(page, "btnAddLesson", "&New Lesson", QRect(209, 18, 98, 25));
    cbLessions->setContextMenuPolicy(Qt::CustomContextMenu);
    LessonMenu = Named(new QMenu(this), "LessonMenu");
    DeleteLesson1 = Named(LessonMenu->addAction(QStringLiteral("Delete Lesson...")), "DeleteLesson1");
    LessonsFolder1 = Named(LessonMenu->addAction(QStringLiteral("Lessons Folder...")), "LessonsFolder1");
    LessonMenu->setToolTipsVisible(true); // says why "Lessons Folder..." is not offered

    CreateAudioComponents();
    SetHint(kaOscilloscope, "Visual Audio View", true);

    Label1 = MakeLabel(page, "Label1", "Spelling Word", 3, 92);
    Label1->setEnabled(false);
    edSpellingword = MakeEdit(page, "edSpellingword", QRect(-1, 109, 117, 21));
    edSpellingword->setEnabled(false);
    btnPlay = Named(new widgets::TSpeedButton(
                        widgets::LoadPicture(QStringLiteral(":/pictures/speaker.png"), QSize(16, 16)),
                        widgets::LoadPicture(QStringLiteral(":/pictures/speaker_down.png"), QSize(16, 16)),
                        QStringLiteral("Play word"), page),
                    "btnPlay");
    btnPlay->setGeometry(122, 109, 23, 22);
    btnRecord = MakeButton(page, "btnRecord", "&Record", QRect(151, 109, kButtonWidth, kButtonHeight));
    btnStop = MakeButton(page, "btnStop", "&Stop", QRect(232, 109, kButtonWidth, kButtonHeight));
    lblTakeHint = MakeFixedLabel(page, "lblTakeHint", "", QRect(3, 135, 304, 13), widgets::Tahoma(kFontPx),
                                 QColor(128, 0, 0));
    Label5 = MakeLabel(page, "Label5", "Current Words in Lesson", 3, 149);
    ListBox1 = Named(new widgets::TListBox(page), "ListBox1");
    ListBox1->setGeometry(3, 168, 304, 221);
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListBox1->setSortingEnabled(false);
    SetHint(ListBox1, "Right-click to add or delete words", true);

    PopupMenu = Named(new QMenu(this), "PopupMenu");
    AddWords1 = Named(PopupMenu->addAction(QStringLiteral("Add Words...")), "AddWords1");
    DeleteWord1 = Named(PopupMenu->addAction(QStringLiteral("Delete Word")), "DeleteWord1");

    PanelLessons = Named(new QFrame(page), "PanelLessons");
    PanelLessons->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelLessons->setGeometry(313, 2, 266, 389);
    MemoLessons = MakeMemo(PanelLessons, "MemoLessons", Lines(kEditorInstructions), QRect(8, 14, 249, 331));
    MemoLessons->setFont(widgets::Arial(kFontPx));
    // The instructions fit the memo, line for line. A scroll bar would only take width:
    // laid out before the memo has its size, the lines wrap, call for the scroll bar, and
    // its width then keeps them wrapped.
    MemoLessons->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    JvXPButtonHelp = MakeXPButton(PanelLessons, "JvXPButtonHelp", "More Help", QRect(8, 351, 113, 33));
}

void TForm1::BuildLessonPage()
{
    QWidget* page = TabSheet3;
    JvSpecialImage = Named(new widgets::TPictureControl(page), "JvSpecialImage");
    JvSpecialImage->move(3, 0);
    JvSpecialImage->SetTransparent(true);
    JvSpecialImage->SetAutoSize(true);
    JvSpecialImage->SetPictureResource(QStringLiteral(":/pictures/banner.png"), QSize(312, 60));
    JvSpecialImage3 = Named(new widgets::TPictureControl(page), "JvSpecialImage3");
    JvSpecialImage3->move(75, 90);
    JvSpecialImage3->SetAutoSize(true);
    JvSpecialImage3->SetPictureResource(QStringLiteral(":/pictures/lesson.png"), QSize(400, 150));

    const QFont tally = widgets::Tahoma(19, true);
    using widgets::TAutoSizeLabel;
    lblNumberTied = MakeFixedLabel<TAutoSizeLabel>(page, "lblNumberTied",
                                                   "Number Tied:", QRect(371, 3, 130, 23), tally, kHotLight);
    lblcorrect = MakeFixedLabel<TAutoSizeLabel>(page, "lblcorrect",
                                                "Number correct:", QRect(371, 32, 130, 23), tally, kHotLight);
    lblwrong = MakeFixedLabel<TAutoSizeLabel>(page, "lblwrong", "Number wrong:", QRect(371, 61, 130, 23),
                                              tally, kDarkShadow);

    btnSay = MakeButton(page, "btnSay", "Say It &Again", QRect(168, 246, 107, 25));
    btnPractice = MakeButton(page, "btnPractice", "&Practice Word", QRect(281, 246, 107, 25));
    Edit2 = MakeEdit(page, "Edit2", QRect(91, 277, 372, 31));
    Edit2->setFont(widgets::Tahoma(19));
    btnCheckIt = MakeButton(page, "btnCheckIt", "&Check It", QRect(240, 314, kButtonWidth, kButtonHeight));
    JvXPToolButton =
        Named(new widgets::TToolButton(
                  widgets::LoadPicture(QStringLiteral(":/pictures/exit.png"), QSize(16, 16)),
                  QStringLiteral("Exit current lesson."), QStringLiteral("Exit current lesson"), page),
              "JvXPToolButton");
    JvXPToolButton->setGeometry(562, 348, kToolButtonSize, kToolButtonSize);
    SetHint(JvXPToolButton, "Exit current lesson.", false);
    JvXPToolButton->setToolTip(QString()); // the page does not show hints
}

void TForm1::BuildPracticePage()
{
    QWidget* page = T4abSheet;
    lblPractices = MakeFixedLabel(page, "lblPractices", "Practice Spelling Words...", QRect(3, 0, 576, 49),
                                  widgets::Tahoma(19, true), kHotLight);
    lblPracticeWord = MakeFixedLabel(page, "lblPracticeWord", "The Word", QRect(3, 35, 576, 49),
                                     widgets::Tahoma(32, true), QColor());
    lblPracticeWord->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SayItAgain = MakeButton(page, "SayItAgain", "&Say It Again", QRect(240, 90, 97, kButtonHeight));

    const QFont entry = widgets::Tahoma(16, true);
    edWord1 = MakeEdit(page, "edWord1", QRect(100, 133, 289, 27));
    edWord2 = MakeEdit(page, "edWord2", QRect(100, 166, 289, 27));
    edWord3 = MakeEdit(page, "edWord3", QRect(100, 201, 289, 27));
    for (QLineEdit* box : {edWord1, edWord2, edWord3})
        box->setFont(entry);
    btnNext = MakeButton(page, "btnNext", "Next", QRect(395, 133, kButtonWidth, kButtonHeight));
    btnNext2 = MakeButton(page, "btnNext2", "Next", QRect(395, 166, kButtonWidth, kButtonHeight));
    btnNext3 = MakeButton(page, "btnNext3", "Next", QRect(395, 199, kButtonWidth, kButtonHeight));
    btnReturnToTest = MakeButton(page, "btnReturnToTest", "&Return To Test", QRect(208, 252, 165, 25));

    btnForward = MakeButton(page, "btnForward", "", QRect(379, 252, 41, 25));
    btnForward->setIcon(QIcon(widgets::LoadPicture(QStringLiteral(":/pictures/forward.png"), QSize(16, 16))));
    btnForward->setAccessibleName(QStringLiteral("Next word"));

    ExitPractice =
        Named(new widgets::TToolButton(
                  widgets::LoadPicture(QStringLiteral(":/pictures/exit.png"), QSize(16, 16)),
                  QStringLiteral("Exit current lesson."), QStringLiteral("Exit current lesson"), page),
              "ExitPractice");
    ExitPractice->setGeometry(562, 348, kToolButtonSize, kToolButtonSize);
    SetHint(ExitPractice, "Exit current lesson.", false);
    ExitPractice->setToolTip(QString());
    BuildRecallPage();
}

// Practice from memory: the word, then one answer box with its check; hidden until a drill
// from memory shows them in place of the copy drill's boxes.
void TForm1::BuildRecallPage()
{
    QWidget* page = T4abSheet;
    lblRecallWord =
        MakeFixedLabel(page, "lblRecallWord", "", QRect(3, 35, 576, 49), widgets::Tahoma(32, true), QColor());
    lblRecallWord->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblRecallWord->setTextFormat(Qt::RichText);
    btnReady = MakeButton(page, "btnReady", "&Ready", QRect(251, 133, kButtonWidth, kButtonHeight));
    edRecall = MakeEdit(page, "edRecall", QRect(100, 133, 289, 27));
    edRecall->setFont(widgets::Tahoma(16, true));
    btnRecallCheck =
        MakeButton(page, "btnRecallCheck", "Chec&k It", QRect(395, 133, kButtonWidth, kButtonHeight));
    btnShowMeAgain =
        MakeButton(page, "btnShowMeAgain", "Show &Me Again", QRect(208, 166, 165, kButtonHeight));
    lblRecallDiff = MakeFixedLabel(page, "lblRecallDiff", "", QRect(3, 199, 576, 49),
                                   widgets::Tahoma(19, true), QColor());
    lblRecallDiff->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblRecallDiff->setTextFormat(Qt::RichText);
    for (QWidget* control : {static_cast<QWidget*>(lblRecallWord), static_cast<QWidget*>(btnReady),
                             static_cast<QWidget*>(edRecall), static_cast<QWidget*>(btnRecallCheck),
                             static_cast<QWidget*>(btnShowMeAgain), static_cast<QWidget*>(lblRecallDiff)})
        control->hide();
    RecallReadyTimer = new QTimer(this);
    RecallReadyTimer->setSingleShot(true);
}

void TForm1::BindRecallPage()
{
    OnClick(this, btnReady, &TForm1::btnReadyClick);
    OnClick(this, btnShowMeAgain, &TForm1::btnShowMeAgainClick);
    OnClick(this, btnRecallCheck, &TForm1::btnRecallCheckClick);
    AttachKeyPress(edRecall, &TForm1::edRecallKeyPress);
    connect(RecallReadyTimer, &QTimer::timeout, this, [this] { RunHandler([&] { RecallLookDone(); }); });
}

void TForm1::BindEvents()
{
    PageControl1->OnChanging = Bound(this, &TForm1::PageControl1Changing);
    PageControl1->OnChange = Bound(this, &TForm1::PageControl1Change);

    // Spelling Lessons
    OnChoose(this, ComboBox2, &TForm1::ComboBox2Change);
    ComboBox2->OnDropDown = Bound(this, &TForm1::cbLessionsDropDown);
    OnMenu(this, ComboBox2, LessonListMenu, &TForm1::LessonListMenuPopup);
    OnTrigger(this, TestDate1, &TForm1::TestDate1Click);
    OnChoose(this, ComboBox3, &TForm1::ComboBox3Change);
    ComboBox3->OnDropDown = Bound(this, &TForm1::ComboBox3DropDown);
    OnClick(this, btnNewChild, &TForm1::btnNewChildClick);
    OnClick(this, btnStartPractice, &TForm1::btnStartPracticeClick);
    OnClick(this, btnStartTest, &TForm1::btnStartTestClick);
    OnClick(this, btnMoreHelp, &TForm1::JvXPButtonHelpClick);
    OnClick(this, btnProgress, &TForm1::btnProgressClick);
    BindProgressButton();
    OnMenu(this, ComboBox3, PlayerMenu, &TForm1::PlayerMenuPopup);
    OnTrigger(this, RenamePlayer1, &TForm1::RenamePlayer1Click);
    OnTrigger(this, DeletePlayer1, &TForm1::DeletePlayer1Click);
    OnTrigger(this, PracticeFromMemory1, &TForm1::PracticeFromMemory1Click);

    // Lesson Editor
    OnChoose(this, cbLessions, &TForm1::cbLessionsChange);
    cbLessions->OnDropDown = [this](QObject* sender) {
        RunHandler([&] {
            cbLessionsDropDown(sender);
            EditorLessonListRefilled();
        });
    };
    OnClick(this, btnAddLesson, &TForm1::btnAddLessonClick);
    OnMenu(this, cbLessions, LessonMenu, &TForm1::LessonMenuPopup);
    OnTrigger(this, DeleteLesson1, &TForm1::DeleteLesson1Click);
    connect(LessonMenu, &QMenu::aboutToShow, this,
            [this] { RunHandler([&] { LessonsFolderPopup(LessonMenu); }); });
    OnTrigger(this, LessonsFolder1, &TForm1::LessonsFolder1Click);
    connect(edSpellingword, &QLineEdit::textChanged, this,
            [this] { RunHandler([&] { edSpellingwordChange(edSpellingword); }); });
    widgets::TControlEvents::Of(edSpellingword)->OnExit = Bound(this, &TForm1::edSpellingwordExit);
    AttachKeyPress(edSpellingword, &TForm1::edSpellingwordKeyPress);
    OnClick(this, btnPlay, &TForm1::btnPlayClick);
    OnClick(this, btnRecord, &TForm1::btnRecordClick);
    OnClick(this, btnStop, &TForm1::btnStopClick);
    ListBox1->OnClick = Bound(this, &TForm1::ListBox1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this,
            [this] { RunHandler([&] { ListBox1DblClick(ListBox1); }); });
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu->popup(ListBox1->viewport()->mapToGlobal(at)); });
    connect(PopupMenu, &QMenu::aboutToShow, this, [this] { RunHandler([&] { PopupMenuPopup(PopupMenu); }); });
    OnTrigger(this, AddWords1, &TForm1::AddWords1Click);
    OnTrigger(this, DeleteWord1, &TForm1::DeleteWord1Click);
    OnClick(this, JvXPButtonHelp, &TForm1::JvXPButtonHelpClick);

    // The Lesson
    OnClick(this, btnSay, &TForm1::btnSayClick);
    OnClick(this, btnPractice, &TForm1::btnPracticeClick);
    AttachKeyPress(Edit2, &TForm1::Edit2KeyPress);
    OnClick(this, btnCheckIt, &TForm1::btnCheckItClick);
    OnClick(this, JvXPToolButton, &TForm1::JvXPToolButtonClick);

    // Practice
    OnClick(this, SayItAgain, &TForm1::SayItAgainClick);
    for (QLineEdit* box : {edWord1, edWord2, edWord3})
        AttachKeyPress(box, &TForm1::edWord1KeyPress);
    AttachKeyDown(edWord1, &TForm1::edWord1KeyDown);
    for (QPushButton* next : {btnNext, btnNext2, btnNext3})
        OnClick(this, next, &TForm1::btnNextClick);
    OnClick(this, btnReturnToTest, &TForm1::btnReturnToTestClick);
    AttachKeyPress(btnReturnToTest, &TForm1::btnReturnToTestKeyPress);
    OnClick(this, btnForward, &TForm1::btnForwardClick);
    AttachKeyPress(btnForward, &TForm1::btnForwardKeyPress);
    OnClick(this, ExitPractice, &TForm1::JvXPToolButtonClick);
    BindRecallPage();

    // "New &Player" and "Start &Practice" share Alt+P.
    widgets::ClickFirstOwnerOfSharedAccelerators(this);
}

void TForm1::AttachKeyPress(QWidget* control, KeyPressHandler handler)
{
    widgets::TControlEvents::Of(control)->OnKeyPress = Bound(this, handler);
}

void TForm1::DetachKeyPress(QWidget* control)
{
    widgets::TControlEvents::Of(control)->OnKeyPress = nullptr;
}

void TForm1::AttachKeyDown(QWidget* control, KeyDownHandler handler)
{
    widgets::TControlEvents::Of(control)->OnKeyDown = Bound(this, handler);
}

void TForm1::ReportHandlerError() noexcept
{
    app::ShowCurrentException();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    RunHandler([this] { FormShow(this); });
}

void TForm1::SetWindowIconOnce()
{
    const QPixmap picture = widgets::ReadPicture(QStringLiteral(":/pictures/lexorin.png"));
    if (!picture.isNull())
        setWindowIcon(QIcon(picture));
}

void TForm1::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (painted_)
        return;
    painted_ = true;
    platform::Trace("first paint"); // the start-up benchmark's finishing line
    // Once this paint has reached the screen: the greeting first, then the window's icon,
    // whose large picture would otherwise be decoded before the window can appear.
    QTimer::singleShot(0, this, [this] { RunHandler([this] { StartGreeting(); }); });
    QTimer::singleShot(0, this, [this] { SetWindowIconOnce(); });
}
