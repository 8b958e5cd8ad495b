#include <gtest/gtest.h>

#include <thread>

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "QtShortcutKitTest.h"
#include "platform/qt/MainMenu.h"
#include "shortcutkit/qt/ActionShortcut.h"
#include "shortcutkit/qt/KeyEventShortcut.h"
#include "shortcutkit/qt/QtMenuModel.h"
#include "shortcutkit/qt/WidgetShortcut.h"

namespace tavlin::shortcutkit {
namespace {

const Shortcut controlOptionJ(keys::j.rawValue, carbon::control | carbon::option);
constexpr std::uint32_t j = 38, controlOption = 0x1800;

using QtAdaptersTest = test::QtShortcutKitTest;

QString text(const QKeySequence& sequence) { return sequence.toString(QKeySequence::PortableText); }

TEST_F(QtAdaptersTest, keyEventsGiveShortcutsByTheirXKeyCode) {
    const auto xJ = *keycodes::xKeycode(keys::j.rawValue);
    // The Qt key does not matter: the key is where it is on the keyboard.
    const QKeyEvent press(QEvent::KeyPress, Qt::Key_Z, Qt::MetaModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier, xJ, 0, 0);
    EXPECT_EQ(shortcutFromKeyEvent(press), Shortcut(keys::j.rawValue, carbon::command));
    const QKeyEvent release(QEvent::KeyRelease, Qt::Key_J, Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier, xJ, 0, 0);
    EXPECT_EQ(shortcutFromKeyEvent(release), Shortcut(keys::j.rawValue, carbon::option | carbon::control | carbon::shift));
    const QKeyEvent unmapped(QEvent::KeyPress, Qt::Key_J, Qt::NoModifier, 0, 0, 0);
    EXPECT_FALSE(shortcutFromKeyEvent(unmapped));
    const QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_J, Qt::NoModifier, xJ, 0, 0);
    EXPECT_FALSE(shortcutFromKeyEvent(override));
}

TEST_F(QtAdaptersTest, keySequencesComeFromTheKeyCodeNotFromGlyphs) {
    EXPECT_EQ(text(keySequence(controlOptionJ)), "Ctrl+Alt+J");
    EXPECT_EQ(text(keySequence(Shortcut(keys::space.rawValue, carbon::command))), "Meta+Space");
    EXPECT_EQ(text(keySequence(Shortcut(keys::f12.rawValue, 0))), "F12");
    EXPECT_EQ(text(keySequence(Shortcut(keys::returnKey.rawValue, carbon::shift))), "Shift+Return");
    EXPECT_EQ(text(keySequence(Shortcut(keys::tab.rawValue, carbon::control))), "Ctrl+Tab");
    EXPECT_EQ(text(keySequence(Shortcut(keys::leftArrow.rawValue, carbon::control))), "Ctrl+Left");
    EXPECT_EQ(text(keySequence(Shortcut(keys::slash.rawValue, carbon::control))), "Ctrl+/");
    EXPECT_TRUE(keySequence(Shortcut(52, carbon::control)).isEmpty());
    EXPECT_TRUE(keySequence(Shortcut(std::int64_t{1} << 40, carbon::control)).isEmpty());
}

TEST_F(QtAdaptersTest, aBoundActionFollowsItsNameUntilUnboundOrGone) {
    const Name name("bound"), other("other");
    auto action = std::make_unique<QAction>(QStringLiteral("Bound"));
    setShortcut(action.get(), name);
    EXPECT_TRUE(action->shortcut().isEmpty());
    setShortcut(controlOptionJ, name);
    EXPECT_EQ(text(action->shortcut()), "Ctrl+Alt+J");
    setShortcut(Shortcut(keys::k.rawValue, carbon::command), other);
    EXPECT_EQ(text(action->shortcut()), "Ctrl+Alt+J");

    // Bound again: one observer, the new name's.
    setShortcut(action.get(), other);
    EXPECT_EQ(text(action->shortcut()), "Meta+K");
    EXPECT_EQ(action->children().size(), 1u);
    setShortcut(std::nullopt, name);
    EXPECT_EQ(text(action->shortcut()), "Meta+K");

    setShortcut(action.get(), std::nullopt);
    EXPECT_TRUE(action->shortcut().isEmpty());
    EXPECT_TRUE(action->children().empty());
    setShortcut(controlOptionJ, other);
    EXPECT_TRUE(action->shortcut().isEmpty());

    setShortcut(action.get(), other);
    action.reset();
    setShortcut(std::nullopt, other); // the observer went with the action
}

TEST_F(QtAdaptersTest, applyingFromAnotherThreadHappensOnTheMainThread) {
    QAction action;
    std::thread([&] { applyShortcut(&action, controlOptionJ); }).join();
    EXPECT_TRUE(action.shortcut().isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(text(action.shortcut()), "Ctrl+Alt+J");

    auto* gone = new QAction;
    std::thread([&] { applyShortcut(gone, controlOptionJ); }).join();
    delete gone;
    QCoreApplication::processEvents();
}

TEST_F(QtAdaptersTest, theMainMenuModelTakesEachActionsFirstCombination) {
    EXPECT_EQ(keyEquivalentText(QKeyCombination(Qt::Key_F5)), "\uF708");
    EXPECT_EQ(keyEquivalentText(QKeyCombination(Qt::CTRL | Qt::Key_Q)), "q");
    EXPECT_EQ(keyEquivalentText(QKeyCombination(Qt::Key_Return)), "");

    QMenuBar bar;
    QMenu* file = bar.addMenu(QStringLiteral("&File"));
    file->addSeparator();
    QAction* save = file->addAction(QStringLiteral("Save && &Close"));
    save->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), QKeySequence(Qt::CTRL | Qt::Key_W)});
    const Menu menu = menuModel(bar);
    ASSERT_EQ(menu.items.size(), 1u);
    ASSERT_TRUE(menu.items[0].submenu);
    ASSERT_EQ(menu.items[0].submenu->items.size(), 1u);
    const MenuItem& item = menu.items[0].submenu->items[0];
    EXPECT_EQ(item.title, "Save & Close");
    EXPECT_EQ(item.keyEquivalent, "s");
    EXPECT_EQ(item.keyEquivalentModifierMask, eventFlags::control | eventFlags::shift);

    qt::setMainMenu(nullptr);
    EXPECT_FALSE(mainMenuItemUsing(Shortcut(keys::s.rawValue, carbon::control | carbon::shift)));
    qt::setMainMenu(&bar);
    EXPECT_EQ(mainMenuItemUsing(Shortcut(keys::s.rawValue, carbon::control | carbon::shift)), "Save & Close");
    EXPECT_FALSE(mainMenuItemUsing(Shortcut(keys::w.rawValue, carbon::control)));
    qt::setMainMenu(nullptr);
}

TEST_F(QtAdaptersTest, aWidgetsShortcutSubscriptionEndsWithTheWidget) {
    const Name name("widget");
    setShortcut(controlOptionJ, name);
    auto widget = std::make_unique<QWidget>();
    std::vector<EventType> seen;
    int ups = 0;
    onKeyboardShortcut(widget.get(), name, [&](EventType type) { seen.push_back(type); });
    onKeyboardShortcut(widget.get(), name, EventType::keyUp, [&] { ++ups; });
    queue.runUntilIdle();
    registrar.press(j, controlOption);
    registrar.release(j, controlOption);
    EXPECT_EQ(seen, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
    EXPECT_EQ(ups, 1);

    widget.reset();
    queue.runUntilIdle();
    EXPECT_TRUE(registrar.grabs.empty());
    registrar.press(j, controlOption);
    EXPECT_EQ(seen.size(), 2u);
}

} // namespace
} // namespace tavlin::shortcutkit
