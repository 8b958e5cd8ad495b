#include <gtest/gtest.h>

#include <QGroupBox>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTextDocument>
#include <QToolButton>

#include "FlatEditorHarness.h"
#include "app/ConfigurationWindow.h"
#include "app/SettingsWindow.h"
#include "configwindow/ActionComposeSheet.h"
#include "configwindow/ConfigurationAddHotKeySheet.h"
#include "configwindow/PatternComposeSheet.h"
#include "engine/LeaderKeyHarness.h"
#include "flateditor/ApplicationScopeEditorView.h"
#include "flateditor/DisabledApplicationsView.h"
#include "flateditor/InputMonitoringGrantView.h"
#include "flateditor/SettingsContentView.h"
#include "sandbox/SandboxTestSupport.h"
#include "support/TextFit.h"

namespace tavlin::flateditor {
namespace {

class InputMonitoringGrantViewTest : public test::FlatEditorTest {
protected:
    void SetUp() override {
        FlatEditorTest::SetUp();
        ListenEventAccess::shared().preflight = [this] { return granted_; };
        ListenEventAccess::shared().request = [this] {
            requestsWhileShown_ += sheet_ && sheet_->isVisible();
            ++requests_;
            return granted_;
        };
    }

    void open() {
        sheet_ = new InputMonitoringGrantView();
        sheet_->setAttribute(Qt::WA_DeleteOnClose);
        sheet_->open();
        QTRY_VERIFY_WITH_TIMEOUT(sheet_->isVisible(), 20000);
    }
    void settle() {
        QTest::qWait(0);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    bool granted_ = false;
    int requests_ = 0;
    int requestsWhileShown_ = 0;
    QPointer<InputMonitoringGrantView> sheet_;
};

TEST_F(InputMonitoringGrantViewTest, grantedShowsADisabledButton) {
    granted_ = true;
    open();
    EXPECT_EQ(sheet_->grantButton()->text(), "Input Monitoring On");
    EXPECT_FALSE(sheet_->grantButton()->isEnabled());
    QTest::mouseClick(sheet_->doneButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(sheet_);
    EXPECT_EQ(requests_, 0);
}

TEST_F(InputMonitoringGrantViewTest, grantingAsksOnceAfterTheSheetIsGone) {
    open();
    EXPECT_EQ(sheet_->grantButton()->text(), "Turn On Input Monitoring");
    ASSERT_TRUE(sheet_->grantButton()->isEnabled());
    // Granted elsewhere meanwhile: the sheet does not look again.
    granted_ = true;
    QTest::qWait(0);
    EXPECT_EQ(sheet_->grantButton()->text(), "Turn On Input Monitoring");
    QTest::mouseClick(sheet_->grantButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(requests_, 1, 20000);
    settle();
    EXPECT_EQ(requests_, 1);
    EXPECT_EQ(requestsWhileShown_, 0);
}

TEST_F(InputMonitoringGrantViewTest, doneAndEscapeAskNothing) {
    open();
    QTest::mouseClick(sheet_->doneButton(), Qt::LeftButton);
    settle();
    open();
    QTest::keyClick(sheet_, Qt::Key_Escape);
    settle();
    EXPECT_EQ(requests_, 0);
}

// Without a fake, the sheet's answer is whether the observer of all input really runs: a monitor
// that may listen is not enough while the observer is off or cannot start.
TEST(ListenEventAccessTest, isOnOnlyWhileTheObserverRuns) {
    test::FakeKeyboardEventMonitor monitor;
    monitor.observerCanStart = false;
    auto& manager = KeyEventHandlerManager::shared();
    manager.reset();
    manager.setMonitor(&monitor);
    const auto listening = [] { return ListenEventAccess::shared().preflight(); };
    manager.addKeyEventHandler(true, [](std::uint32_t, std::uint32_t, bool) {});
    EXPECT_FALSE(listening());
    monitor.observerCanStart = true;
    manager.addKeyEventHandler(true, [](std::uint32_t, std::uint32_t, bool) {});
    EXPECT_TRUE(listening());
    manager.removeKeyEventHanlder();
    EXPECT_FALSE(listening());
    manager.reset();
    manager.setMonitor(nullptr);
}

// A listed application in front releases the leader keys, the observer with them; that changes
// nothing the user granted, so the answer stays (the list's button must not flip).
class ListenEventAccessLeaderKeysTest : public test::LeaderKeyTest {};

TEST_F(ListenEventAccessLeaderKeysTest, staysOnWhileTheLeaderKeysAreReleasedForAListedApplication) {
    writeConfiguration(Decision::make({}, {test::keyChance(11, {})}),
                       {HotKey::singleModifier(HotKey::SingleTapModifier::option)});
    settings::setStringList(settings::keys::disabledApplications, {"/apps/listed.desktop"});
    reloadLeaderKeys(false);
    const auto listening = [] { return ListenEventAccess::shared().preflight(); };
    ASSERT_TRUE(listening());
    RunningApplication listed;
    listed.bundlePath = "/apps/listed.desktop";
    leaderKeysFollowActiveApplication(listed);
    ASSERT_FALSE(monitor.observer);
    EXPECT_TRUE(listening());
}

TEST_F(InputMonitoringGrantViewTest, theListOpensItAndReadsTheStateAgainWhenItsWindowIsActive) {
    SettingsContentView view;
    view.show();
    QPushButton* opener = nullptr;
    for (auto* button : view.findChildren<QPushButton*>())
        if (button->text() == "Turn On Input Monitoring") opener = button;
    ASSERT_TRUE(opener);
    QTest::mouseClick(opener, Qt::LeftButton);
    InputMonitoringGrantView* sheet = view.findChild<InputMonitoringGrantView*>();
    ASSERT_TRUE(sheet);
    QTRY_VERIFY_WITH_TIMEOUT(sheet->isVisible(), 20000);
    granted_ = true;
    QTest::mouseClick(sheet->grantButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(requests_, 1, 20000);
    settle();
    // The list's window, active again, reads the state again.
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view, 20000));
    EXPECT_EQ(opener->text(), "Input Monitoring On");
}

class DisabledApplicationsViewTest : public test::SandboxTest {
protected:
    static void SetUpTestSuite() { test::offscreenApplication(); }
    static std::string stored() {
        return settings::appGroupStore()->string(settings::keys::disabledApplications).value_or("<none>");
    }
};

TEST_F(DisabledApplicationsViewTest, emptyListHasNothingSelectedAndNoSuggestions) {
    DisabledApplicationsView sheet({}, {});
    EXPECT_EQ(sheet.applicationList()->count(), 0);
    EXPECT_FALSE(sheet.removeButton()->isEnabled());
    EXPECT_FALSE(sheet.suggestionList());
    QTest::mouseClick(sheet.doneButton(), Qt::LeftButton);
    EXPECT_EQ(stored(), "[]");
}

TEST_F(DisabledApplicationsViewTest, suggestionsAddRowsAndDoneStoresEachOnce) {
    DisabledApplicationsView sheet({"/apps/b.desktop"}, {"/apps/a.desktop", "/apps/c.desktop"});
    sheet.show();
    ASSERT_TRUE(sheet.suggestionList());
    ASSERT_EQ(sheet.suggestionList()->count(), 2);
    EXPECT_EQ(sheet.suggestionList()->item(0)->data(Qt::AccessibleTextRole).toString(), "a.desktop\n/apps/a.desktop");
    for (int i = 0; i < 2; ++i)
        QTest::mouseClick(sheet.suggestionList()->viewport(), Qt::LeftButton, {},
                          sheet.suggestionList()->visualItemRect(sheet.suggestionList()->item(0)).center());
    EXPECT_EQ(sheet.applicationList()->count(), 3);
    EXPECT_EQ(sheet.applicationList()->item(0)->toolTip(), "/apps/b.desktop");
    EXPECT_EQ(sheet.applicationList()->currentRow(), 0);
    QTest::mouseClick(sheet.doneButton(), Qt::LeftButton);
    EXPECT_EQ(stored(), R"(["\/apps\/b.desktop","\/apps\/a.desktop"])");
    EXPECT_FALSE(sheet.isVisible());
}

TEST_F(DisabledApplicationsViewTest, returnOrSpaceAddsTheCurrentSuggestion) {
    DisabledApplicationsView sheet({"/apps/b.desktop"}, {"/apps/a.desktop", "/apps/c.desktop"});
    sheet.show();
    QListWidget* suggestions = sheet.suggestionList();
    suggestions->setFocus();
    suggestions->setCurrentRow(0);
    QTest::keyClick(suggestions, Qt::Key_Return);
    suggestions->setCurrentRow(1);
    QTest::keyClick(suggestions, Qt::Key_Space);
    EXPECT_EQ(sheet.state().applicationPaths,
              (std::vector<std::string>{"/apps/b.desktop", "/apps/a.desktop", "/apps/c.desktop"}));
    EXPECT_TRUE(sheet.isVisible());
}

// Opened from the keyboard, the sheet shows where the focus is from the start, on either list.
TEST_F(DisabledApplicationsViewTest, bothListsShowTheFocus) {
    DisabledApplicationsView sheet({"/apps/b.desktop"}, {"/apps/a.desktop"});
    sheet.show();
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    // Pixels in the highlight colour at the left edge of the list, half-way down.
    const auto ring = [](QListWidget* list) {
        const QImage image = list->grab().toImage();
        int count = 0;
        for (int x = 0; x < 6; ++x)
            count += image.pixelColor(x, image.height() / 2) == list->palette().color(QPalette::Highlight);
        return count;
    };
    for (QListWidget* list : {sheet.applicationList(), sheet.suggestionList()}) {
        list->setFocus();
        ASSERT_TRUE(list->hasFocus());
        EXPECT_GE(ring(list), 2) << list->accessibleName().toStdString();
        list->clearFocus();
        EXPECT_EQ(ring(list), 0) << list->accessibleName().toStdString();
    }
}

TEST_F(DisabledApplicationsViewTest, escapeAndTheCloseBoxStoreNothing) {
    DisabledApplicationsView sheet({"/apps/b.desktop"}, {});
    sheet.show();
    QTest::mouseClick(sheet.removeButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.applicationList()->count(), 0);
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_EQ(stored(), "<none>");
    DisabledApplicationsView again({"/apps/b.desktop"}, {});
    again.show();
    again.close();
    EXPECT_EQ(stored(), "<none>");
}

TEST_F(DisabledApplicationsViewTest, bothGroupTitlesShowEveryLine) {
    DisabledApplicationsView sheet({"/a"}, {"/b"});
    sheet.show();
    test::expectGroupTitlesWhole(sheet);
}

TEST_F(DisabledApplicationsViewTest, removingSelectsTheFollowingRow) {
    DisabledApplicationsView sheet({"/a", "/b", "/c"}, {});
    sheet.show();
    sheet.applicationList()->setCurrentRow(1);
    QTest::mouseClick(sheet.removeButton(), Qt::LeftButton);
    EXPECT_EQ(sheet.state().selectedPath, "/c");
    EXPECT_EQ(sheet.applicationList()->currentRow(), 1);
}

TEST_F(DisabledApplicationsViewTest, storedPathsHoldingMarkupAreToolTipsAsWrittenThatLoadNothing) {
    // What a tool tip shows: it guesses the format; here rich text may ask for no resource.
    struct NoResources : QTextDocument {
        QVariant loadResource(int, const QUrl& url) override {
            ADD_FAILURE() << url.toString().toStdString();
            return {};
        }
    };
    const auto shown = [](const QString& tip) {
        if (!Qt::mightBeRichText(tip)) return tip;
        NoResources document;
        document.setHtml(tip);
        document.size(); // lays it out, as showing it would
        return document.toPlainText();
    };
    const std::string path = R"(<img src="/dev/zero">)";
    DisabledApplicationsView sheet({path}, {});
    ApplicationScopeEditorView scope({"All", "Only"}, {});
    scope.setScope(1, {path}, std::nullopt);
    EXPECT_EQ(shown(sheet.applicationList()->item(0)->toolTip()).toStdString(), path);
    EXPECT_EQ(shown(scope.applicationList()->item(0)->toolTip()).toStdString(), path);
}

// Every sheet and window but the row sheet (tested on its own), as full as it gets, lies on the
// smallest screen we support with every button outside its scrolled content.
class WindowFitTest : public test::FlatEditorTest {};

TEST_F(WindowFitTest, everySheetAndWindowFitsTheSmallScreen) {
    const std::string description(400, 'w');
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) paths.push_back("/usr/share/applications/app" + std::to_string(i) + ".desktop");
    std::vector<std::pair<std::string, std::function<QWidget*()>>> factories;
    for (const auto kind : allActionConfigurationKinds())
        factories.emplace_back(std::string(title(kind)), [kind, &description] {
            ActionSheetItem item{.changeKind = ActionSheetItem::New{0},
                                 .initialConfigurationKind = kind,
                                 .allKinds = allActionConfigurationKinds(),
                                 .paramsByKind = defaultActionParamsByKind(),
                                 .actionDescription = description,
                                 .newActionHandler = nullptr};
            return new ActionComposeSheet(std::move(item), nullptr);
        });
    for (const auto kind : {Pattern::ConfigurationKind::key, Pattern::ConfigurationKind::message})
        factories.emplace_back("pattern", [kind] {
            auto params = defaultPatternParams();
            params[Pattern::ConfigurationKind::key] = {PatternParams::key{std::vector<std::int64_t>(40, 0)}};
            return new PatternComposeSheet({.changeKind = PatternSheetItem::NewChance{0},
                                            .initialConfigurationKind = kind,
                                            .allPatternKinds = {kind},
                                            .paramsByKind = params,
                                            .newPatternHandler = nullptr},
                                           nullptr);
        });
    factories.emplace_back("add hot key", [] {
        return new ConfigurationAddHotKeySheet([](const HotKey&) {}, std::nullopt, shortcutkit::Name("fit-test"));
    });
    factories.emplace_back("disabled applications", [&paths] { return new DisabledApplicationsView(paths, paths); });
    factories.emplace_back("input monitoring", [] { return new InputMonitoringGrantView(); });
    factories.emplace_back("settings", [] { return new app::SettingsWindow(); });
    factories.emplace_back("configuration", [] {
        auto* window = new app::ConfigurationWindow();
        window->setContent(new SettingsContentView());
        return window;
    });
    for (const auto& [name, make] : factories) {
        const std::unique_ptr<QWidget> window(make());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 20000)) << name;
        const QRect screen = window->screen()->availableGeometry();
        ASSERT_LE(screen.height(), 720);
        EXPECT_TRUE(screen.contains(window->frameGeometry())) << name << " " << window->frameGeometry().height();
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            bool scrolled = false;
            for (QWidget* up = button->parentWidget(); up && !scrolled; up = up->parentWidget())
                scrolled = qobject_cast<QAbstractScrollArea*>(up);
            if (button->isVisibleTo(window.get()) && !scrolled) {
                EXPECT_TRUE(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
                    << name << " " << button->text().toStdString();
            }
        }
    }
}

} // namespace
} // namespace tavlin::flateditor
