// SPDX-License-Identifier: GPL-3.0-or-later
// The main window after start-up: every control where it belongs, in the state it starts
// in; the window's fixed size; the list's pop-up menu; the handlers each control reaches.
#include <cstring>
#include <iterator>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "app/picture_box.h"
#include "support/app_fixture.h"

namespace dm::test {
namespace {

class LayoutTest : public AppFixture {};

struct ControlRow {
    const char* name;
    const char* kind;  // Qt class the control is or derives from
    QRect geometry;    // in its parent
    bool enabled;
    bool visible;
};

// In tab order, then the controls that take no focus.
const ControlRow kControls[] = {
    {"ListView1", "QTreeWidget", {10, 96, 167, 305}, true, true},
    {"ProgressBar1", "QProgressBar", {8, 72, 169, 16}, true, true},
    {"ConnectBtn", "QToolButton", {96, 8, 57, 57}, true, true},
    {"DownloadBtn", "QToolButton", {160, 8, 57, 57}, false, true},
    {"UploadBtn", "QToolButton", {224, 8, 57, 57}, false, true},
    {"SaveBtn", "QToolButton", {288, 8, 57, 57}, false, true},
    {"SaveAllBtn", "QToolButton", {352, 8, 57, 57}, false, true},
    {"CameraBtn", "QToolButton", {544, 8, 57, 57}, false, true},
    {"DelBtn", "QToolButton", {416, 8, 57, 57}, false, true},
    {"DelAllBtn", "QToolButton", {480, 8, 57, 57}, false, true},
    {"SnapShotBtn", "QToolButton", {608, 8, 57, 57}, false, true},
    {"ExitBtn", "QToolButton", {592, 352, 57, 57}, true, true},
    {"CheckBox1", "QCheckBox", {208, 384, 305, 25}, true, true},
    {"CheckBox2", "QCheckBox", {208, 360, 305, 17}, true, true},
    {"ZoomOutBtn", "QToolButton", {552, 144, 57, 41}, false, true},
    {"LockBtn", "QToolButton", {592, 96, 57, 41}, false, true},
    {"ZoomInBtn", "QToolButton", {632, 144, 57, 41}, false, true},
    {"UpBtn", "QToolButton", {584, 192, 73, 33}, false, true},
    {"LeftBtn", "QToolButton", {544, 216, 33, 73}, false, true},
    {"CentralBtn", "QToolButton", {600, 232, 41, 41}, false, true},
    {"DownBtn", "QToolButton", {584, 280, 73, 33}, false, true},
    {"RightBtn", "QToolButton", {664, 216, 33, 73}, false, true},
    {"Panel1", "QWidget", {208, 112, 320, 240}, true, true},
    {"Image1", "dm::PictureBox", {8, 16, 75, 50}, true, true},
    {"Image3", "dm::PictureBox", {0, 0, 320, 240}, true, true},
    {"Image4", "dm::PictureBox", {0, 0, 320, 240}, true, true},
    {"Label1", "QLabel", {288, 80, 42, 14}, true, false},
    {"Label2", "QLabel", {352, 80, 42, 14}, true, false},
    {"Label3", "QLabel", {432, 80, 42, 14}, true, false},
};

TEST_F(LayoutTest, EveryControlStartsWithItsNameKindPlaceAndState) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    window.show();
    QStringList tabOrder;
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.name);
        auto* control = Find<QWidget>(window, row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->inherits(row.kind));
        EXPECT_EQ(control->geometry(), row.geometry);
        EXPECT_EQ(control->isEnabled(), row.enabled);
        EXPECT_EQ(control->isVisible(), row.visible);
        if (control->focusPolicy() & Qt::TabFocus) {
            tabOrder.append(control->objectName());
        }
    }
    // Focus moves through the controls that take it in table order.
    QStringList chain;
    QWidget* at = Find<QWidget>(window, "ListView1");
    do {
        if (tabOrder.contains(at->objectName()) && !chain.contains(at->objectName())) {
            chain.append(at->objectName());
        }
        at = at->nextInFocusChain();
    } while (at != Find<QWidget>(window, "ListView1"));
    EXPECT_EQ(chain, tabOrder);
    EXPECT_EQ(window.Image3()->parent(), window.Panel1());
    EXPECT_EQ(window.Image4()->parent(), window.Panel1());
    // Image4 lies above Image3 and shows nothing yet, so Image3 shows through.
    const QObjectList& stack = window.Panel1()->children();
    EXPECT_GT(stack.indexOf(window.Image4()), stack.indexOf(window.Image3()));
    EXPECT_FALSE(window.Image4()->HasPicture());
}

TEST_F(LayoutTest, ControlsStartWithTheirTextsHintsAndValues) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    EXPECT_EQ(Find<QToolButton>(window, "ExitBtn")->toolTip(), QStringLiteral("Exit"));
    EXPECT_EQ(Find<QToolButton>(window, "ConnectBtn")->toolTip(),
              QStringLiteral("Connect to the microscope"));
    EXPECT_EQ(Find<QToolButton>(window, "UploadBtn")->toolTip(),
              QStringLiteral("Upload a picture to the microscope"));
    EXPECT_EQ(Find<QCheckBox>(window, "CheckBox1")->text(), QStringLiteral("Show Ruler"));
    EXPECT_EQ(Find<QCheckBox>(window, "CheckBox2")->text(), QStringLiteral("Show Magnification"));
    for (const char* box : {"CheckBox1", "CheckBox2"}) {
        EXPECT_FALSE(Find<QCheckBox>(window, box)->isChecked());
        EXPECT_TRUE(Find<QCheckBox>(window, box)->font().bold());
        EXPECT_EQ(Find<QCheckBox>(window, box)->font().pointSize(), 10);
    }
    auto* bar = Find<QProgressBar>(window, "ProgressBar1");
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(window.font().pointSize(), 8);
    for (const ControlRow& row : kControls) {
        if (QString::fromLatin1(row.kind) == QLatin1String("QToolButton")) {
            EXPECT_FALSE(Find<QToolButton>(window, row.name)->icon().isNull()) << row.name;
        }
    }

    auto* list = Find<QTreeWidget>(window, "ListView1");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    const char* titles[] = {"Name", "Size", "Zoom"};
    const int widths[] = {90, 75, 45};
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(list->headerItem()->text(column), QString::fromLatin1(titles[column]));
        EXPECT_EQ(list->columnWidth(column), widths[column]);
    }
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(LayoutTest, MenusAndTimersAreInPlace) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    const struct {
        const char* menu;
        const char* title;
        bool visible;
        std::vector<const char*> items;
    } menus[] = {
        {"F1", "&File", true, {"SnapshotsUnasked", "Measure1", "", "Exit1"}},
        {"Image2", "&Image", false, {"N320X2401", "N640X4801"}},
        {"Language1",
         "&Language",
         true,
         {"EnglishMenu", "ChineseMenu", "JapanMenu", "SimpleChineseMenu", "Turkish1", "Russian1"}},
        {"Help1", "&Help", true, {"About1"}},
    };
    for (const auto& expected : menus) {
        SCOPED_TRACE(expected.menu);
        auto* menu = Find<QMenu>(window, expected.menu);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), QString::fromLatin1(expected.title));
        EXPECT_EQ(menu->menuAction()->isVisible(), expected.visible);
        ASSERT_EQ(menu->actions().size(), static_cast<qsizetype>(expected.items.size()));
        for (std::size_t i = 0; i < expected.items.size(); ++i) {
            EXPECT_EQ(menu->actions()[static_cast<qsizetype>(i)]->objectName(),
                      QString::fromLatin1(expected.items[i]));
        }
    }
    EXPECT_EQ(Find<QAction>(window, "N320X2401")->text(), QStringLiteral("320 X 240"));
    EXPECT_EQ(Find<QAction>(window, "Exit1")->text(), QStringLiteral("E&xit"));
    // Every language in its own name.
    EXPECT_EQ(Find<QAction>(window, "Turkish1")->text(), QStringLiteral("Türkçe"));
    EXPECT_EQ(Find<QAction>(window, "Russian1")->text(), QStringLiteral("Русский"));

    const struct {
        const char* name;
        int interval;
    } timers[] = {{"Timer1", 20}, {"Timer2", 1000}, {"Timer3", 500}};
    for (const auto& expected : timers) {
        auto* timer = Find<QTimer>(window, expected.name);
        ASSERT_NE(timer, nullptr) << expected.name;
        EXPECT_EQ(timer->interval(), expected.interval);
        EXPECT_TRUE(timer->isActive());
    }
}

TEST_F(LayoutTest, WindowCannotBeResizedOrMaximised) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.centralWidget()->size(), QSize(kClientWidth, kClientHeight));
    EXPECT_EQ(window.centralWidget()->y(), window.menuBar()->height());
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    const QSize before = window.size();
    window.resize(before + QSize(200, 100));
    EXPECT_EQ(window.size(), before);
    window.showMaximized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isMaximized());
    EXPECT_EQ(window.centralWidget()->size(), QSize(kClientWidth, kClientHeight));
}

TEST_F(LayoutTest, ClientAreaKeepsItsSizeBelowATallerMenuBarInJapanese) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const int before = window.menuBar()->height();
    QFont taller = window.menuBar()->font();
    taller.setPointSize(taller.pointSize() * 3);
    window.menuBar()->setFont(taller);
    Find<QAction>(window, "JapanMenu")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.menuBar()->height() > before; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.centralWidget()->size(), QSize(kClientWidth, kClientHeight));
    EXPECT_EQ(window.centralWidget()->y(), window.menuBar()->height());
    EXPECT_EQ(window.height(),
              window.menuBar()->height() + kClientHeight + window.statusBar()->height());
}

TEST_F(LayoutTest, ListPopupMenuOpensOnlyInTheReadySet) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    window.show();
    auto* list = Find<QTreeWidget>(window, "ListView1");
    auto* popup = Find<QMenu>(window, "PopupMenu1");
    auto rightClick = [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                list->viewport()->mapToGlobal(QPoint(20, 20)));
        QApplication::sendEvent(list->viewport(), &event);
        QCoreApplication::processEvents();
    };
    rightClick();
    EXPECT_FALSE(popup->isVisible()) << "no pop-up before connecting";
    window.ApplyButtonSet(ButtonSet::Ready);
    rightClick();
    EXPECT_TRUE(popup->isVisible());
    popup->hide();
    window.ApplyButtonSet(ButtonSet::Busy);
    rightClick();
    EXPECT_FALSE(popup->isVisible());
}

TEST_F(LayoutTest, PopupSaveDoesNothingAndDeleteReachesItsHandler) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    RecordingHandlers handlers;
    window.SetHandlers(&handlers);
    ASSERT_EQ(Find<QAction>(window, "Save1")->text(), QStringLiteral("Save"));
    Find<QAction>(window, "Save1")->trigger();
    EXPECT_TRUE(handlers.calls.empty());
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(dialogs.files.empty());
    Find<QAction>(window, "Delete1")->trigger();
    EXPECT_EQ(handlers.calls, std::vector<std::string>{"Delete1Click"});
}

TEST_F(LayoutTest, EachControlReachesItsHandler) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    window.ApplyButtonSet(ButtonSet::Ready);
    Find<QToolButton>(window, "SnapShotBtn")->setEnabled(true);
    RecordingHandlers handlers;
    window.SetHandlers(&handlers);
    const char* buttons[] = {"ConnectBtn", "DownloadBtn", "UploadBtn", "SaveBtn",     "SaveAllBtn",
                             "CameraBtn",  "DelBtn",      "DelAllBtn", "SnapShotBtn", "ZoomOutBtn",
                             "LockBtn",    "ZoomInBtn",   "UpBtn",     "LeftBtn",     "CentralBtn",
                             "DownBtn",    "RightBtn"};
    for (const char* name : buttons) {
        handlers.calls.clear();
        QTest::mouseClick(Find<QToolButton>(window, name), Qt::LeftButton);
        EXPECT_EQ(handlers.calls, std::vector<std::string>{std::string(name) + "Click"});
    }
    handlers.calls.clear();
    for (const char* box : {"CheckBox1", "CheckBox2"}) {
        auto* checkBox = Find<QCheckBox>(window, box);
        QTest::mouseClick(checkBox, Qt::LeftButton, {}, QPoint(8, checkBox->height() / 2));
    }
    EXPECT_EQ(handlers.calls, (std::vector<std::string>{"CheckBox1Click", "CheckBox2Click"}));
}

TEST_F(LayoutTest, ShortcutsPressTheirButtonsAndTheFocusedListKeepsTheArrows) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    window.ApplyButtonSet(ButtonSet::Ready);
    RecordingHandlers handlers;
    window.SetHandlers(&handlers);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(Find<QAction>(window, "Exit1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&window, Qt::Key_Delete);
    QTest::keyClick(&window, Qt::Key_Down);
    EXPECT_EQ(handlers.calls,
              (std::vector<std::string>{"SaveBtnClick", "DelBtnClick", "DownBtnClick"}));

    handlers.calls.clear();
    auto* list = Find<QTreeWidget>(window, "ListView1");
    for (const char* name : {"00000001.jpg", "00000002.jpg"}) {
        window.AddRow({QString::fromLatin1(name), QStringLiteral("1"), QStringLiteral("7X")});
    }
    list->setCurrentItem(list->topLevelItem(0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
    EXPECT_TRUE(handlers.calls.empty());
}

struct SetCase {
    ButtonSet set;
    // Expected enabled state after applying the set to all-enabled and all-disabled
    // buttons: the same value both times means the set decides; differing means unchanged.
    const char* decided;  // per button: '1' enabled, '0' disabled, '-' unchanged
};

TEST_F(LayoutTest, ButtonSetsSwitchTheirControlsAndLeaveTheRest) {
    TForm1& window = Start();
    ASSERT_TRUE(started);
    const char* order[] = {"DownloadBtn", "UploadBtn",  "SaveBtn",    "SaveAllBtn", "DelBtn",
                           "DelAllBtn",   "CameraBtn",  "ConnectBtn", "UpBtn",      "LeftBtn",
                           "CentralBtn",  "RightBtn",   "LockBtn",    "DownBtn",    "ZoomOutBtn",
                           "ZoomInBtn",   "SnapShotBtn"};
    const SetCase cases[] = {
        {ButtonSet::Busy, "000000-000000----"},
        {ButtonSet::Disconnected, "0000000-00000000-"},
        {ButtonSet::Ready, "1111111111111111-"},
    };
    for (const SetCase& c : cases) {
        for (bool from : {true, false}) {
            for (const char* name : order) {
                Find<QToolButton>(window, name)->setEnabled(from);
            }
            window.ApplyButtonSet(c.set);
            for (std::size_t i = 0; i < std::size(order); ++i) {
                const char want = i < std::strlen(c.decided) ? c.decided[i] : '-';
                const bool expected = want == '-' ? from : want == '1';
                EXPECT_EQ(Find<QToolButton>(window, order[i])->isEnabled(), expected)
                    << order[i] << " set " << static_cast<int>(c.set) << " from " << from;
            }
        }
        EXPECT_EQ(window.PopupMenuEnabled(), c.set == ButtonSet::Ready);
    }
}

}  // namespace
}  // namespace dm::test
