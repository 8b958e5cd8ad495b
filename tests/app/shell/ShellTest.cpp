#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include <QtWidgets/QApplication>

#include "app/AppDelegate.h"
#include "app/ConfigurationWindow.h"
#include "app/HelperApp.h"
#include "app/TavlinApp.h"
#include "app/WindowOperations.h"
#include "engine/EngineHarness.h"
#include "engine/LeaderKeys.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/files/Files.h"
#include "platform/json/Json.h"
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
        resetLeaderKeyState();
        ShellServices::shared().reloadLeaderKeys = [this](bool skipHotKeys) {
            EXPECT_FALSE(skipHotKeys);
            ++leaderKeyRegistrations;
        };
        HelperApp::setDefaultApplicationLookup([](const std::string&) { return std::nullopt; });
    }
    void TearDown() override {
        HelperApp::setDefaultApplicationLookup(nullptr);
        app::setShowConfigurationWindowURLHandler(nullptr);
        resetLeaderKeyState();
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

// Every session stores the input window's place and width and a suggested application beside
// the rows: none of that may rewrite a generated configuration or register the leader keys.
TEST_F(ShellTest, OnlyAChangeOfWhatTheRowsMakeRewritesAGeneratedConfiguration) {
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    queue.runUntilIdle();
    const int afterLaunch = leaderKeyRegistrations;
    const auto identity = files::identity(configurationFile());
    const std::string before = fileText(configurationFile());

    settingsStore()->set(settings::keys::inputWindowTopLeftPositionString, "{120, 400}");
    settingsStore()->set(settings::keys::inputWindowWidthDouble, 480.0);
    settings::addSuggestedDisabledApplicationPath("/usr/share/applications/a.desktop");
    queue.runUntilIdle();
    // A disabled row changes the rows' text but not what they make.
    auto rows = *settings::flatKeysAndActionRows();
    rows.push_back(rows.front());
    rows.back().id = Uuid::random();
    rows.back().enabled = false;
    storeRows(rows);
    queue.runUntilIdle();
    EXPECT_EQ(files::identity(configurationFile()), identity);
    EXPECT_EQ(fileText(configurationFile()), before);
    EXPECT_EQ(leaderKeyRegistrations, afterLaunch);

    rows.back().enabled = true;
    storeRows(rows);
    queue.runUntilIdle();
    EXPECT_NE(fileText(configurationFile()), before);
    EXPECT_EQ(leaderKeyRegistrations, afterLaunch + 1);
}

// A start that finds the file its rows make (as an earlier build wrote it) neither upgrades nor
// rewrites it, and sessions use what the file says; a file that differs is made again.
TEST_F(ShellTest, AStartOnTheFileItsRowsMakeWritesNothing) {
    storeRows(FlatKeysAndActionRow::defaultRows("/usr/share/applications/browser.desktop"));
    const auto made = Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(*settings::flatKeysAndActionRows());
    files::writeFileAtomically(configurationFile(), made->encodedText());
    const auto identity = files::identity(configurationFile());

    Configuration::upgradeFileIfNeeded();
    const auto loaded = TavlinApp::loadConfigurationForWindow();
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    queue.runUntilIdle();
    EXPECT_EQ(files::identity(configurationFile()), identity);
    const auto used = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    ASSERT_TRUE(used->isGenerated());
    EXPECT_EQ(used->encodedText(), fileText(configurationFile()));
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<Configuration>>(loaded));
    EXPECT_EQ(std::get<std::shared_ptr<Configuration>>(loaded), used); // decoded once, shared

    // Another program's edit of a generated file is generated over at the next change.
    writeFile(configurationFile(), made->encodedText() + "\n");
    settingsStore()->set(settings::keys::inputWindowWidthDouble, 500.0);
    queue.runUntilIdle();
    EXPECT_EQ(fileText(configurationFile()), made->encodedText());
}

// The list and the generation share one reading of the rows, for the text it was made from:
// rows another program stores after it are read again before the file is made from them.
TEST_F(ShellTest, RowsAnotherProgramStoresAreReadAgainBeforeTheFileIsMadeFromThem) {
    storeRows(FlatKeysAndActionRow::defaultRows("/usr/share/applications/a.desktop"));
    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    queue.runUntilIdle();
    const auto before = settings::storedFlatKeysAndActionRows();
    EXPECT_EQ(settings::storedFlatKeysAndActionRows(), before); // one reading while the text stays

    const auto theirs = FlatKeysAndActionRow::defaultRows("/usr/share/applications/b.desktop");
    const std::string theirText = flatRowsRawValue(theirs);
    writeFile(settingsStore()->filePath(),
              json::encode(json::Value{{settings::keys::flatKeysAndActionRows, {{"string", theirText}}}}));
    UserDefaults::refreshSharedSuites();
    queue.runUntilIdle();
    const auto after = settings::storedFlatKeysAndActionRows();
    EXPECT_EQ(after->text, theirText);
    ASSERT_TRUE(after->rows.has_value());
    EXPECT_EQ(flatRowsRawValue(*after->rows), theirText);
    EXPECT_EQ(fileText(configurationFile()),
              Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(theirs)->encodedText());
}

// A start finds a generated file as this build last made it, from rows as they were then, and
// trusts it without comparing it with the tree it encodes; a file replaced by another (same
// size, a new file) or rows changed while the program did not run are found out all the same.
TEST_F(ShellTest, AStartRegeneratesAFileOrRowsChangedSinceItWasMade) {
    const auto rows = FlatKeysAndActionRow::defaultRows("/usr/share/applications/browser.desktop");
    const auto otherRows = FlatKeysAndActionRow::defaultRows("/usr/share/applications/brewser.desktop");
    const struct {
        const char* change;
        std::function<void()> make;
        const std::vector<FlatKeysAndActionRow>& expected;
    } cases[] = {
        {"file replaced by one of the same size",
         [&] {
             std::string text = fileText(configurationFile());
             const auto at = text.find("browser");
             ASSERT_NE(at, std::string::npos);
             text.replace(at, 7, "brewser");
             files::writeFileAtomically(configurationFile(), text);
         },
         rows},
        {"rows changed", [&] { storeRows(otherRows); }, otherRows},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.change);
        storeRows(rows);
        Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate();
        c.make();
        Configuration::upgradeFileIfNeeded();
        TavlinApp::loadConfigurationForWindow();
        EXPECT_EQ(fileText(configurationFile()),
                  Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(c.expected)->encodedText());
    }
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
    // Back in front after no application was: still the one before it is the previous one.
    delegate.appActivated(b, false);
    EXPECT_EQ(FrontmostApplications::shared().previous, a);
}

// Handed to no application, or to one of our own windows, the front is no listed application's.
TEST_F(ShellTest, ALeaderKeyReleaseEndsWhenTheListedApplicationLeavesTheFrontEmptyOrToUs) {
    settings::setStringList(settings::keys::disabledApplications, {"/a.desktop"});
    AppDelegate delegate;
    const RunningApplication listed{10, "/a.desktop", "a", "A", "/bin/a"};
    delegate.appActivated(listed, false);
    EXPECT_TRUE(leaderKeysReleasedForActiveApplication());
    delegate.frontLeft();
    EXPECT_FALSE(leaderKeysReleasedForActiveApplication());
    delegate.appActivated(listed, false);
    delegate.appActivated(RunningApplication{12, "/usr/share/applications/tavlin.desktop", "tavlin", "tavlin", "/bin/tavlin"},
                          true);
    EXPECT_FALSE(leaderKeysReleasedForActiveApplication());
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
