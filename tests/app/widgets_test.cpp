// The small widgets the window is built from.

#include "widgets/Fonts.h"
#include "widgets/Pictures.h"
#include "widgets/TControlEvents.h"
#include "widgets/TDropDownComboBox.h"
#include "widgets/TPageControl.h"
#include "widgets/TPictureControl.h"
#include "widgets/TSpeedButton.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>

#include <filesystem>

TEST(TControlEvents, KeyPressSeesTheTypedCharacterAndCanSwallowIt)
{
    QLineEdit edit;
    std::vector<int> seen;
    widgets::TControlEvents::Of(&edit)->OnKeyPress = [&](QObject* sender, QChar& key) {
        EXPECT_EQ(sender, &edit);
        seen.push_back(key.unicode());
        if (key == QChar(13) || key == QChar('x'))
            key = QChar(0);
    };
    QTest::keyClicks(&edit, "axb");
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Enter);
    EXPECT_EQ(edit.text().toStdString(), "ab");
    EXPECT_EQ(seen, (std::vector<int>{'a', 'x', 'b', 13, 13}));

    // Detached: the keys go to the box unseen.
    widgets::TControlEvents::Of(&edit)->OnKeyPress = nullptr;
    QTest::keyClicks(&edit, "x");
    EXPECT_EQ(edit.text().toStdString(), "abx");
    EXPECT_EQ(seen.size(), 5u);
}

TEST(TControlEvents, KeyDownGetsKeyAndModifiersFirstAndCanSwallowTheKey)
{
    QLineEdit edit;
    std::vector<std::string> order;
    Qt::KeyboardModifiers shiftAtF12;
    auto* events = widgets::TControlEvents::Of(&edit);
    EXPECT_EQ(widgets::TControlEvents::Of(&edit), events); // one per control
    events->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers modifiers) {
        order.push_back("down");
        if (key == Qt::Key_F12) {
            shiftAtF12 = modifiers;
            key = 0;
        }
        if (key == Qt::Key_B)
            key = 0;
    };
    events->OnKeyPress = [&](QObject*, QChar&) { order.push_back("press"); };
    QTest::keyClick(&edit, Qt::Key_A);
    QTest::keyClick(&edit, Qt::Key_B);
    EXPECT_EQ(order, (std::vector<std::string>{"down", "press", "down"}));
    EXPECT_EQ(edit.text().toStdString(), "a");
    QTest::keyClick(&edit, Qt::Key_F12, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(shiftAtF12, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(std::count(order.begin(), order.end(), "press"), 1); // modifier keys type nothing
}

TEST(TControlEvents, ExitRunsWhenTheFocusMovesToAnotherControl)
{
    QWidget window;
    auto* first = new QLineEdit(&window);
    auto* second = new QLineEdit(&window);
    int exits = 0;
    widgets::TControlEvents::Of(first)->OnExit = [&](QObject*) { ++exits; };
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    second->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(exits, 1);
}

TEST(TDropDownComboBox, DropDownRunsBeforeTheListOpens)
{
    widgets::TDropDownComboBox combo;
    int before = -1;
    combo.OnDropDown = [&](QObject* sender) {
        EXPECT_EQ(sender, &combo);
        auto* list = static_cast<QComboBox*>(sender);
        list->clear();
        list->addItems({"one", "two"});
        list->setCurrentIndex(-1);
        before = combo.view()->isVisible() ? 1 : 0;
    };
    combo.show();
    QTest::mouseClick(&combo, Qt::LeftButton);
    EXPECT_EQ(before, 0);
    EXPECT_EQ(combo.count(), 2);
    combo.hidePopup();
}

TEST(TPageControl, RefusedChangesDoNotHappenAndProgramChangesAskNobody)
{
    widgets::TPageControl pages;
    pages.addTab(new QWidget, "a");
    pages.addTab(new QWidget, "b");
    pages.resize(300, 200);
    bool allow = false;
    int asked = 0, told = 0;
    pages.OnChanging = [&](QObject*, bool& allowChange) {
        ++asked;
        allowChange = allow;
    };
    pages.OnChange = [&](QObject*) { ++told; };
    pages.show();
    QTabBar* tabs = pages.tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(pages.currentIndex(), 0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(told, 0);
    allow = true;
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    EXPECT_EQ(pages.currentIndex(), 1);
    EXPECT_EQ(told, 1);
    // A click on the page that shows asks nothing; a program change asks nothing.
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    pages.setCurrentIndex(0);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(told, 1);
}

TEST(TSpeedButton, ShowsItsSecondGlyphWhileHeldDownAndNeverTakesTheFocus)
{
    QPixmap up(16, 16), down(16, 16);
    up.fill(Qt::white);
    down.fill(Qt::black);
    widgets::TSpeedButton button(up, down, "Play word");
    button.show();
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
    EXPECT_FALSE(button.ShowsDownGlyph());
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_TRUE(button.ShowsDownGlyph());
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_FALSE(button.ShowsDownGlyph());
}

TEST(Pictures, AMissingPictureGivesAPlaceholderOfItsSize)
{
    EXPECT_TRUE(widgets::ReadPicture(":/pictures/no-such-picture.png").isNull());
    const QPixmap placeholder = widgets::LoadPicture(":/pictures/no-such-picture.png", QSize(312, 60));
    EXPECT_EQ(placeholder.size(), QSize(312, 60));
    widgets::TPictureControl picture;
    picture.SetAutoSize(true);
    picture.SetPicture(placeholder);
    EXPECT_EQ(picture.size(), QSize(312, 60));
    picture.SetTransparent(true);
    EXPECT_TRUE(picture.Transparent());
}

// The lesson page's pictures are decoded when the page is first shown, not at start-up.
TEST(Pictures, APictureGivenByNameIsDecodedWhenFirstShownAndHasItsSizeBefore)
{
    widgets::TPictureControl picture;
    picture.SetAutoSize(true);
    picture.SetPictureResource(":/pictures/lesson.png", QSize(400, 150));
    EXPECT_EQ(picture.size(), QSize(400, 150));
    EXPECT_TRUE(picture.pixmap().isNull());
    picture.show();
    EXPECT_EQ(picture.pixmap().size(), QSize(400, 150));
    EXPECT_EQ(picture.pixmap().toImage(), widgets::ReadPicture(":/pictures/lesson.png").toImage());
}

TEST(Fonts, TahomaIsUsedWhereTheMachineHasItAndSizesAreInPixels)
{
    const QFont font = widgets::Tahoma(11, true);
    EXPECT_EQ(font.pixelSize(), 11);
    EXPECT_TRUE(font.bold());
    if (std::filesystem::exists("/usr/share/wine/fonts/tahoma.ttf")) {
        EXPECT_EQ(widgets::TahomaFamily().toStdString(), "Tahoma");
    }
    EXPECT_EQ(widgets::Arial(11).pixelSize(), 11);
}
