// The main menu, the node-edit menu host and the windows the menu opens, through the real
// widgets on the offscreen platform.

#include <gtest/gtest.h>

#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>

#include "app/ApplicationScenes.h"
#include "app/DeviceInfo.h"
#include "app/WindowOperations.h"
#include "engine/EngineHarness.h"
#include "engine/KeyEventHandler.h"
#include "engine/LeaderKeys.h"
#include "platform/desktop/BundleInfo.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/qt/MainMenu.h"
#include "shortcutkit/qt/QtMenuModel.h"
#include "support/QtTestApplication.h"

namespace tavlin::test {
namespace {

using app::ApplicationScenes;
using app::NodeEditMenuItem;
using app::NodeEditMenuSeparator;

std::shared_ptr<Configuration> configurationWithAuthor(std::optional<std::string> author) {
    return std::make_shared<Configuration>(std::move(author), std::vector<HotKey>{}, Decision::make());
}

// As shown: without the mark of a mnemonic.
QString shown(const QAction* action) { return QString(action->text()).remove('&'); }

QStringList titles(const QList<QAction*>& actions) {
    QStringList result;
    for (const QAction* action : actions) result << (action->isSeparator() ? QStringLiteral("—") : shown(action));
    return result;
}

QAction* item(QMenuBar* bar, const QString& menu, const QString& title) {
    for (QAction* top : bar->actions())
        if (shown(top) == menu && top->menu())
            for (QAction* action : top->menu()->actions())
                if (action->text() == title) return action;
    return nullptr;
}

int windowsTitled(const QString& title) {
    int count = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && widget->windowTitle() == title) ++count;
    return count;
}

class MainMenuTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        scenes.emplace([this] { ++quits; });
        window().setConfiguration(configurationWithAuthor(std::nullopt));
    }
    void TearDown() override {
        resetLeaderKeyState();
        KeyEventHandlerManager::shared().reset();
        scenes.reset();
        setMainBundleInfo(std::nullopt);
        DeviceInfo::setSources(std::nullopt);
        EngineTest::TearDown();
    }

    app::ConfigurationWindow& window() { return scenes->configurationWindow(); }
    QMenuBar* bar() { return window().menuBar(); }
    bool nodeEditMenuInBar() { return titles(bar()->actions()).contains(QStringLiteral("Tree")); }

    // Shows the node-edit menu as a click on its title would, which builds its entries.
    QStringList shownNodeEditEntries() {
        QMenu& menu = window().nodeEditMenu().menu();
        menu.popup(QPoint(0, 0));
        const QStringList shown = titles(menu.actions());
        menu.hide();
        return shown;
    }

    QApplication& application = offscreenApplication();
    std::optional<ApplicationScenes> scenes;
    int quits = 0;
};

TEST_F(MainMenuTest, TheMenusTheirItemsShortcutsAndOrder) {
    EXPECT_EQ(qt::mainMenu(), bar());
    EXPECT_EQ(titles(bar()->actions()), (QStringList{"tavlin", "Tree", "Help"}));
    const QMenu* application = bar()->actions()[0]->menu();
    ASSERT_TRUE(application);
    EXPECT_EQ(titles(application->actions()), (QStringList{"About tavlin", "—", "Configuration", "Settings…", "—", "Quit"}));
    EXPECT_EQ(titles(bar()->actions()[2]->menu()->actions()), QStringList{"Support"});
    // No new-item command anywhere; each menu's mnemonic is a letter of its own.
    EXPECT_EQ(bar()->actions()[0]->text(), "t&avlin");
    for (QAction* top : bar()->actions()) {
        if (top != bar()->actions()[0]) {
            EXPECT_EQ(top->text(), '&' + shown(top));
        }
        for (const QAction* action : top->menu()->actions()) EXPECT_FALSE(action->text().startsWith("New"));
    }

    const QAction* settings = item(bar(), "tavlin", "Settings…");
    const QAction* quit = item(bar(), "tavlin", "Quit");
    EXPECT_EQ(settings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
    EXPECT_EQ(quit->shortcut().toString(QKeySequence::PortableText), "Ctrl+Shift+Q");
    EXPECT_EQ(settings->shortcutContext(), Qt::ApplicationShortcut);
    EXPECT_EQ(quit->shortcutContext(), Qt::ApplicationShortcut);
    for (const QAction* other :
         {item(bar(), "tavlin", "About tavlin"), item(bar(), "tavlin", "Configuration"), item(bar(), "Help", "Support")})
        EXPECT_TRUE(other->shortcut().isEmpty()) << other->text().toStdString();
}

// Recording a shortcut warns about the menu's own bindings.
TEST_F(MainMenuTest, TheShortcutRecordersMenuCheckSeesTheBindings) {
    using shortcutkit::Shortcut;
    setCurrentKeyboardLayout(KeyboardLayout::fromNames({.layout = "us"}));
    EXPECT_EQ(shortcutkit::mainMenuItemUsing(Shortcut(shortcutkit::keys::q.rawValue, carbon::control | carbon::shift)), "Quit");
    constexpr int comma = 43;
    EXPECT_EQ(shortcutkit::mainMenuItemUsing(Shortcut(comma, carbon::control)), "Settings…");
    EXPECT_FALSE(shortcutkit::mainMenuItemUsing(Shortcut(shortcutkit::keys::q.rawValue, carbon::command | carbon::shift)));
}

TEST_F(MainMenuTest, QuitRunsTheTerminationOnceWithoutAsking) {
    window().show();
    item(bar(), "tavlin", "Quit")->trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// While a window grabs the keyboard (a session), the shortcuts give way to it.
TEST_F(MainMenuTest, ShortcutsGiveWayWhileAWindowHoldsTheKeyboard) {
    window().show();
    const auto overridden = [&] {
        QKeyEvent event(QEvent::ShortcutOverride, Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
        event.ignore();
        QCoreApplication::sendEvent(&window(), &event);
        return event.isAccepted();
    };
    EXPECT_FALSE(overridden());
    QWidget session;
    session.show();
    session.grabKeyboard();
    EXPECT_TRUE(overridden());
    session.releaseKeyboard();
    EXPECT_FALSE(overridden());
}

TEST_F(MainMenuTest, F10AndAltWithTheirLettersOpenTheMenus) {
    window().show();
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    const auto opened = [&](QKeyCombination keys) {
        QTest::keyClick(&window(), keys.key(), keys.keyboardModifiers());
        QWidget* popup = QApplication::activePopupWidget();
        const QString title = popup ? popup->accessibleName() : QString();
        if (popup) popup->close();
        return title;
    };
    EXPECT_EQ(opened(Qt::Key_F10), "tavlin");
    EXPECT_EQ(opened(Qt::ALT | Qt::Key_H), "Help");
    EXPECT_EQ(opened(Qt::ALT | Qt::Key_A), "tavlin");
    EXPECT_EQ(opened(Qt::ALT | Qt::Key_T), "Tree");
    EXPECT_EQ(opened(Qt::ALT | Qt::Key_T), "Tree");
}

// A lone Alt that is a leader key opens a session; the menu bar must not take the focus too.
TEST_F(MainMenuTest, ALoneAltLeaderKeyLeavesTheFocusWhereItWasAndAltWithALetterStillOpensAMenu) {
    writeConfiguration(Decision::make({}, {keyChance(0, {})}), {HotKey::singleModifier(HotKey::SingleTapModifier::option)});
    reloadLeaderKeys(false);
    auto* focused = new QListWidget;
    window().setContent(focused);
    window().show();
    window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    focused->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), focused);
    QTest::keyClick(focused, Qt::Key_Alt);
    EXPECT_EQ(QApplication::focusWidget(), focused);
    QTest::keyClick(focused, Qt::Key_H, Qt::AltModifier);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->accessibleName(), "Help");
    popup->close();
}

// Escape and Ctrl+W close the Settings window; Ctrl+W the configuration window.
TEST_F(MainMenuTest, EscapeAndControlWCloseTheWindows) {
    item(bar(), "tavlin", "Settings…")->trigger();
    const auto closes = [](QWidget* shownWindow, QKeyCombination keys) {
        shownWindow->show();
        shownWindow->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(shownWindow));
        QTest::keyClick(shownWindow, keys.key(), keys.keyboardModifiers());
        return !shownWindow->isVisible();
    };
    EXPECT_TRUE(closes(scenes->settingsWindow(), Qt::Key_Escape));
    EXPECT_TRUE(closes(scenes->settingsWindow(), Qt::CTRL | Qt::Key_W));
    EXPECT_TRUE(closes(&window(), Qt::CTRL | Qt::Key_W));
    EXPECT_FALSE(closes(&window(), Qt::Key_Escape));
}

TEST_F(MainMenuTest, ConfigurationBringsBackAHiddenWindow) {
    window().show();
    window().hide();
    item(bar(), "tavlin", "Configuration")->trigger();
    EXPECT_TRUE(window().isVisible());
    EXPECT_EQ(windowsTitled("Configuration"), 1);
}

TEST_F(MainMenuTest, SettingsTwiceGivesOneWindowThatHidesOnClose) {
    EXPECT_EQ(scenes->settingsWindow(), nullptr);
    QAction* settings = item(bar(), "tavlin", "Settings…");
    settings->trigger();
    app::SettingsWindow* first = scenes->settingsWindow();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    settings->trigger();
    EXPECT_EQ(scenes->settingsWindow(), first);
    EXPECT_EQ(windowsTitled("tavlin Settings"), 1);

    EXPECT_TRUE(first->close());
    EXPECT_FALSE(first->isVisible());
    settings->trigger();
    EXPECT_EQ(scenes->settingsWindow(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->content());
    EXPECT_FALSE(first->content()->accessibleName().isEmpty());
    // The shortcuts still work while only this window is on screen.
    EXPECT_TRUE(first->actions().contains(item(bar(), "tavlin", "Quit")));
    EXPECT_TRUE(first->actions().contains(item(bar(), "tavlin", "Settings…")));
}

TEST_F(MainMenuTest, AboutShowsTheNameAndVersionInOneBox) {
    setMainBundleInfo(BundleInfo{"tavlin", "1.2", "34"});
    item(bar(), "tavlin", "About tavlin")->trigger();
    QMessageBox* box = scenes->aboutBox();
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->windowTitle(), "About tavlin");
    EXPECT_EQ(box->text(), "tavlin");
    EXPECT_EQ(box->informativeText(), "Version 1.2 (34)");
    item(bar(), "tavlin", "About tavlin")->trigger();
    EXPECT_EQ(scenes->aboutBox(), box);
}

TEST_F(MainMenuTest, SupportOpensTheMailLink) {
    setMainBundleInfo(BundleInfo{"tavlin", "1.2", "34"});
    item(bar(), "Help", "Support")->trigger();
    ASSERT_EQ(workspace.openedURLs.size(), 1u);
    EXPECT_EQ(workspace.openedURLs[0].rfind(
                  "mailto:support@tavlin.example?subject=tavlin%20Support&body=%0A%0A%0A%0Atavlin%201.2%20%2834%29", 0),
              0u)
        << workspace.openedURLs[0];
}

TEST_F(MainMenuTest, TheNodeEditMenuLeavesTheBarOnlyForAFlatConfiguration) {
    window().show();
    EXPECT_TRUE(nodeEditMenuInBar()) << "tree mode";
    window().setConfiguration(std::string("The data couldn't be read because it isn't in the correct format."));
    EXPECT_TRUE(nodeEditMenuInBar()) << "an unreadable file";

    window().setConfiguration(configurationWithAuthor("flat_rows by me"));
    EXPECT_FALSE(nodeEditMenuInBar());
    window().hide();
    window().show();
    EXPECT_FALSE(nodeEditMenuInBar()) << "shown again";
    settingsStore()->set(settings::keys::hideDockIcon, true);
    settingsStore()->set(settings::keys::hideDockIcon, false);
    EXPECT_FALSE(nodeEditMenuInBar()) << "after toggling hideDockIcon";

    // A reload into tree mode brings it back, in its place.
    scenes->setConfiguration(configurationWithAuthor("someone"));
    EXPECT_EQ(titles(bar()->actions()), (QStringList{"tavlin", "Tree", "Help"}));
}

TEST_F(MainMenuTest, AWindowMadeLaterHoldsTheSameConfigurationAndBecomesTheMainMenu) {
    scenes->setConfiguration(configurationWithAuthor("flat_rows"));
    app::ConfigurationWindow* later = scenes->makeConfigurationWindow();
    EXPECT_EQ(qt::mainMenu(), later->menuBar());
    EXPECT_FALSE(titles(later->menuBar()->actions()).contains("Tree"));
    EXPECT_TRUE(later->testAttribute(Qt::WA_DeleteOnClose));
}

TEST_F(MainMenuTest, TheProvidersEntriesAppearWithTheirStateAndRunTheirCommands) {
    EXPECT_TRUE(shownNodeEditEntries().isEmpty()) << "no provider";

    std::vector<std::string> ran;
    std::string second = "Delete";
    window().nodeEditMenu().setProvider([&] {
        return std::vector<app::NodeEditMenuEntry>{
            NodeEditMenuItem{"Add Action", true, [&] { ran.push_back("add"); }},
            NodeEditMenuSeparator{},
            NodeEditMenuItem{second, false, [&] { ran.push_back("delete"); }},
        };
    });
    EXPECT_EQ(shownNodeEditEntries(), (QStringList{"Add Action", "—", "Delete"}));
    const auto actions = window().nodeEditMenu().menu().actions();
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_FALSE(actions[2]->isEnabled());
    actions[0]->trigger();
    actions[2]->trigger();
    EXPECT_EQ(ran, std::vector<std::string>{"add"});

    // Worked out again on every show and on every selection change.
    second = "Delete Chance";
    EXPECT_EQ(shownNodeEditEntries().back(), "Delete Chance");
    second = "Delete Action";
    window().nodeEditMenu().selectionChanged();
    EXPECT_EQ(titles(window().nodeEditMenu().menu().actions()).back(), "Delete Action");
}

TEST_F(MainMenuTest, ACommandThatChangesTheSelectionRebuildsTheMenuSafely) {
    int runs = 0;
    std::size_t count = 3;
    window().nodeEditMenu().setProvider([&] {
        std::vector<app::NodeEditMenuEntry> entries;
        for (std::size_t i = 0; i < count; ++i)
            entries.emplace_back(NodeEditMenuItem{"Select Parent", true, [&] {
                                                      ++runs;
                                                      count = 1;
                                                      window().nodeEditMenu().selectionChanged();
                                                  }});
        return entries;
    });
    const auto before = window().nodeEditMenu().menu().actions();
    ASSERT_EQ(before.size(), 3);
    QPointer<QAction> last = before[2];
    last->trigger(); // drops its own entry while it runs
    EXPECT_EQ(runs, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(last.isNull()) << "the entry left over is gone";
    ASSERT_EQ(window().nodeEditMenu().menu().actions().size(), 1);
    // A kept entry runs only its latest command, once.
    window().nodeEditMenu().menu().actions()[0]->trigger();
    EXPECT_EQ(runs, 2);
}

TEST_F(MainMenuTest, ContentIsReplacedInOneCallAndKeepsTheContentSize) {
    QPointer<QWidget> location = window().content();
    ASSERT_TRUE(qobject_cast<QLabel*>(location.data()));
    EXPECT_EQ(qobject_cast<QLabel*>(location.data())->text().toStdString(), Configuration::fileURL()->string());
    EXPECT_FALSE(location->accessibleName().isEmpty());

    auto* replacement = new QWidget();
    window().setContent(replacement);
    EXPECT_TRUE(location.isNull()) << "the old content is deleted";
    EXPECT_EQ(window().content(), replacement);
    EXPECT_EQ(window().centralWidget()->minimumSize(), QSize(639, 497));
    EXPECT_EQ(window().centralWidget()->sizeHint(), QSize(720, 500));
    window().show();
    EXPECT_GE(window().centralWidget()->width(), 639);
    EXPECT_GE(window().centralWidget()->height(), 497);
}

TEST_F(MainMenuTest, TheWindowIsCentredOnItsScreenTheFirstTime) {
    window().show();
    const QRect screen = window().screen()->availableGeometry();
    // Within a window frame's width: the platform may add one once the window is up.
    EXPECT_LE(std::abs(window().geometry().center().x() - screen.center().x()), 10);
    EXPECT_LE(std::abs(window().geometry().center().y() - screen.center().y()), 10);
    // Where the user puts it afterwards is where it comes back.
    window().move(window().pos() + QPoint(-10, -10));
    const QPoint moved = window().pos();
    window().hide();
    window().show();
    EXPECT_EQ(window().pos(), moved);
}

} // namespace
} // namespace tavlin::test
