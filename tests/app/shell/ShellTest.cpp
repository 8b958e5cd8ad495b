#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include <QtWidgets/QApplication>

#include "app/AppDelegate.h"
#include "app/ConfigurationWindow.h"
#include "app/HelperApp.h"
#include "app/WindowOperations.h"
#include "engine/EngineHarness.h"
#include "model/FlatKeysAndActionRow.h"
#include "platform/HelperApplication.h"
#include "support/QtTestApplication.h"

namespace tavlin::test {
namespace {

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ShellTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ShellServices::shared().reloadLeaderKeys = [this](bool skipHotKeys) {
            EXPECT_FALSE(skipHotKeys);
            ++leaderKeyRegistrations;
        };
        HelperApp::setDefaultApplicationLookup([](const std::string&) { return std::nullopt; });
    }
    void TearDown() override {
        HelperApp::setDefaultApplicationLookup(nullptr);
        app::setShowConfigurationWindowURLHandler(nullptr);
        EngineTest::TearDown();
    }

    std::filesystem::path configurationFile() const { return *Configuration::fileURL(); }

    void storeRows(const std::vector<FlatKeysAndActionRow>& rows) {
        settingsStore()->set(settings::keys::flatKeysAndActionRows, flatRowsRawValue(rows));
    }

    QApplication& application = offscreenApplication();
    int leaderKeyRegistrations = 0;
};

TEST_F(ShellTest, FirstLaunchStoresTheDefaultRowsGeneratesTheFileAndRegistersTwice) {
    ASSERT_FALSE(std::filesystem::exists(configurationFile()));
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(settings::flatKeysAndActionRows().has_value());
    const auto configuration = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_TRUE(configuration->isGenerated());
    EXPECT_EQ(leaderKeyRegistrations, 2);
}

TEST_F(ShellTest, ATreeConfigurationIsNeverRegenerated) {
    writeConfiguration(Decision::make({}, {keyChance(0, {})}));
    const std::string before = fileText(configurationFile());
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    settingsStore()->set("anything", true);
    queue.runUntilIdle();
    EXPECT_EQ(fileText(configurationFile()), before);
    EXPECT_EQ(leaderKeyRegistrations, 1); // only the launch's own registration
}

TEST_F(ShellTest, AGeneratedConfigurationFollowsEveryChangeOfTheRowsOnce) {
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    queue.runUntilIdle();
    const int afterLaunch = leaderKeyRegistrations;
    const std::string before = fileText(configurationFile());

    auto rows = FlatKeysAndActionRow::defaultRows();
    rows.push_back(rows.front());
    storeRows(rows);
    settingsStore()->set("another", 1.0);
    EXPECT_EQ(leaderKeyRegistrations, afterLaunch); // handled on a later turn
    queue.runUntilIdle();
    EXPECT_EQ(leaderKeyRegistrations, afterLaunch + 1);
    EXPECT_NE(fileText(configurationFile()), before);
}

TEST_F(ShellTest, AnInvalidConfigurationIsLeftAloneAfterAChange) {
    std::filesystem::create_directories(configurationFile().parent_path());
    std::ofstream(configurationFile()) << "{ not json";
    AppDelegate::reloadConfigurationIfGeneratedFromRows();
    EXPECT_EQ(fileText(configurationFile()), "{ not json");
    EXPECT_EQ(leaderKeyRegistrations, 0);
}

TEST_F(ShellTest, FrontmostTrackingSkipsThisProgram) {
    AppDelegate delegate;
    RunningApplication a{10, "/a.desktop", "a", "A", "/bin/a"};
    RunningApplication b{11, "/b.desktop", "b", "B", "/bin/b"};
    RunningApplication self{12, std::nullopt, std::nullopt, "tavlin", "/bin/tavlin"};
    delegate.appActivated(a, false);
    delegate.appActivated(b, false);
    diag::Capture capture;
    delegate.appActivated(self, true);
    EXPECT_EQ(FrontmostApplications::shared().current, b);
    EXPECT_EQ(FrontmostApplications::shared().previous, a);
    ASSERT_EQ(capture.lines().size(), 1u);
    EXPECT_EQ(capture.lines()[0].rfind("unexpectedly found nil while accessing bundleURL of NSRunningApp(", 0), 0u);
}

TEST_F(ShellTest, ClosingTheConfigurationWindowHidesInsteadOfClosing) {
    AppDelegate delegate;
    app::ConfigurationWindow configuration;
    QWidget settingsWindow;
    settingsWindow.setWindowTitle("Settings");
    configuration.setShouldClose([&](QWidget* window) { return delegate.windowShouldClose(window); });
    configuration.show();
    settingsWindow.show();
    EXPECT_FALSE(configuration.close()); // refused: only ordered out
    EXPECT_FALSE(configuration.isVisible());
    EXPECT_TRUE(settingsWindow.isVisible());

    configuration.show();
    settingsWindow.hide();
    EXPECT_FALSE(configuration.close()); // the only window: the application hides
    EXPECT_FALSE(app::hasVisibleWindow());
    EXPECT_EQ(app::configurationWindow(), &configuration); // same window, same state, next time

    diag::Capture capture;
    EXPECT_TRUE(delegate.windowShouldClose(&settingsWindow));
}

TEST_F(ShellTest, TheFirstWindowTitledConfigurationIsTheOne) {
    EXPECT_EQ(app::configurationWindow(), nullptr);
    app::ConfigurationWindow first;
    app::ConfigurationWindow second;
    QWidget other;
    other.setWindowTitle("Configuration editor");
    QWidget* found = app::configurationWindow();
    EXPECT_TRUE(found == &first || found == &second);
    EXPECT_NE(found, &other);
}

TEST_F(ShellTest, ShowingOrTogglingWithoutAWindowOpensTheURL) {
    int opened = 0;
    app::setShowConfigurationWindowURLHandler([&] { ++opened; });
    app::showConfigurationWindow();
    app::toggleConfigurationWindow();
    EXPECT_EQ(opened, 2);
}

TEST_F(ShellTest, ReactivationBringsTheConfigurationWindowBackOnlyWhenNothingIsShown) {
    AppDelegate delegate;
    app::ConfigurationWindow configuration;
    delegate.applicationDidBecomeActive();
    EXPECT_TRUE(configuration.isVisible());
    QWidget other;
    other.show();
    configuration.hide();
    delegate.applicationDidBecomeActive();
    EXPECT_FALSE(configuration.isVisible());
}

TEST_F(ShellTest, TogglingAVisibleWindowOfTheActiveApplicationHidesIt) {
    app::ConfigurationWindow configuration;
    app::toggleConfigurationWindow();
    EXPECT_TRUE(configuration.isVisible());
    QCoreApplication::processEvents();
    if (!app::isApplicationActive()) GTEST_SKIP() << "this platform plugin does not activate windows";
    app::toggleConfigurationWindow();
    EXPECT_FALSE(configuration.isVisible());
}

class RunningHelperWorkspace : public FakeWorkspace {
public:
    std::vector<RunningApplication> runningApplications(const std::string& identifier) override {
        if (!running || identifier != helperBundleIdentifier) return {};
        RunningApplication helper;
        helper.processIdentifier = 99;
        return {helper};
    }
    bool running = false;
};

TEST_F(ShellTest, HelperIsStartedFromItsRegisteredApplicationUnlessRunning) {
    RunningHelperWorkspace helperWorkspace;
    Workspace::setShared(&helperWorkspace);
    HelperApp::open(); // nothing registered: silent
    EXPECT_TRUE(helperWorkspace.launchedApplications.empty());

    HelperApp::setDefaultApplicationLookup([](const std::string& scheme) -> std::optional<std::string> {
        if (scheme == "tavlinhelper") return "/apps/tavlin-helper.desktop";
        return std::nullopt;
    });
    HelperApp::open();
    EXPECT_EQ(helperWorkspace.launchedApplications, std::vector<std::string>{"/apps/tavlin-helper.desktop"});
    EXPECT_TRUE(notifications.delivered.empty());

    helperWorkspace.launchError = "No such file";
    HelperApp::open();
    queue.runUntilIdle();
    ASSERT_EQ(notifications.delivered.size(), 1u);
    EXPECT_EQ(notifications.delivered[0].title, "Failed to open tavlin helper");

    helperWorkspace.running = true;
    HelperApp::open();
    EXPECT_EQ(helperWorkspace.launchedApplications.size(), 2u);
    Workspace::setShared(&workspace);
}

// The helper runs when it owns its bus name, windows or not: it is not started again then.
TEST_F(ShellTest, AHelperOnTheBusCountsAsRunningWithoutAnyWindow) {
    HelperApp::setDefaultApplicationLookup([](const std::string& scheme) -> std::optional<std::string> {
        if (scheme == "tavlinhelper") return "/opt/helper/tavlin-helper.desktop";
        return std::nullopt;
    });
    bool ownsBusName = true;
    setHelperRunningProbe([&] { return ownsBusName; });
    HelperApp::open();
    EXPECT_TRUE(workspace.launchedApplications.empty());
    EXPECT_TRUE(HelperApp::isRunning());

    ownsBusName = false;
    HelperApp::open();
    EXPECT_EQ(workspace.launchedApplications, std::vector<std::string>{"/opt/helper/tavlin-helper.desktop"});
    setHelperRunningProbe(nullptr);
}

// On this desktop an application is a desktop entry: the first binding opens the entry of the
// default web browser; rows already stored are left as they are.
TEST_F(ShellTest, TheFirstBindingOpensTheDefaultWebBrowsersEntry) {
    HelperApp::setDefaultApplicationLookup([](const std::string& scheme) -> std::optional<std::string> {
        if (scheme == "https") return "/usr/share/applications/org.example.Browser.desktop";
        return std::nullopt;
    });
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    const auto rows = settings::flatKeysAndActionRows();
    ASSERT_TRUE(rows && rows->size() == 1);
    const auto* openApp = rows->front().action.kind.get<Action::Kind::openApp>();
    ASSERT_TRUE(openApp);
    EXPECT_EQ(openApp->path, "/usr/share/applications/org.example.Browser.desktop");
    const auto expected = FlatKeysAndActionRow::defaultRows().front();
    EXPECT_EQ(rows->front().keys, expected.keys);
    EXPECT_EQ(rows->front().leaderKey, expected.leaderKey);
    EXPECT_EQ(openApp->hideAppIfRunning, expected.action.kind.get<Action::Kind::openApp>()->hideAppIfRunning);

    HelperApp::setDefaultApplicationLookup([](const std::string&) { return "/elsewhere/other.desktop"; });
    AppDelegate again;
    again.applicationDidFinishLaunching();
    EXPECT_EQ(settings::flatKeysAndActionRows()->front().action.kind.get<Action::Kind::openApp>()->path,
              "/usr/share/applications/org.example.Browser.desktop");
}

} // namespace
} // namespace tavlin::test
