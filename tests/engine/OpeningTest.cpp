#include "engine/Opening.h"
#include "engine/ActionRunner.h"
#include "engine/EngineHarness.h"
#include "platform/compat/SecurityScope.h"
#include "sandbox/SandboxTestSupport.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;

const RunningApplication editor{1, "/usr/share/applications/editor.desktop", "editor", "Editor", "/usr/bin/editor"};
const RunningApplication terminal{2, "/usr/share/applications/term.desktop", "term", "Terminal", "/usr/bin/term"};

class OpeningTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        previousPanels_ = setOpenPanelProvider(panels);
        workspace.executables[*editor.bundlePath] = *editor.executablePath;
        workspace.executables[*terminal.bundlePath] = *terminal.executablePath;
    }
    void TearDown() override {
        setOpenPanelProvider(std::move(previousPanels_));
        EngineTest::TearDown();
    }

    void perform(const Action& action) {
        tavlin::perform(action, Decision::make({action}), {});
        queue.runUntilIdle();
    }

    void bringToFront(const RunningApplication& application) {
        FrontmostApplications::shared().applicationDidActivate(application, false);
    }

    // A file or folder under the temporary HOME, made on disk.
    std::string makeFile(const std::string& relative) {
        const auto path = home.home() / relative;
        writeFile(path, "x");
        return path.string();
    }
    std::string makeFolder(const std::string& relative) {
        const auto path = home.home() / relative;
        std::filesystem::create_directories(path);
        return path.string();
    }

    std::shared_ptr<FakePanelProvider> panels = std::make_shared<FakePanelProvider>();

private:
    std::shared_ptr<OpenPanelProvider> previousPanels_;
};

TEST_F(OpeningTest, UrlIsOpenedWithTheDefaultApplication) {
    perform(act(K::openURL{"https://example.com/a?b=c", std::nullopt}));
    perform(act(K::openURL{"mailto:someone@example.com", ""}));
    EXPECT_EQ(workspace.openedURLs, (std::vector<std::string>{"https://example.com/a?b=c", "mailto:someone@example.com"}));
    EXPECT_TRUE(workspace.openedWithApplication.empty());
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(panels->shown.empty()) << "URLs need no file access";
}

TEST_F(OpeningTest, TextThatIsNoUrlIsRefused) {
    for (const std::string text : {"", "no scheme", "://x", "1http://x", "https://exa mple.com", "ht tp://x"}) {
        alerts.clear();
        perform(act(K::openURL{text, std::nullopt}));
        ASSERT_EQ(alerts.size(), 1u) << text;
        EXPECT_EQ(alerts[0].messageText, "Invalid URL");
        EXPECT_EQ(alerts[0].informativeText, text);
    }
    EXPECT_TRUE(workspace.openedURLs.empty());
}

TEST_F(OpeningTest, RefusedUrlIsReported) {
    workspace.openURLSucceeds = false;
    perform(act(K::openURL{"unknown-scheme:thing", std::nullopt}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Failed to open the URL");
    EXPECT_EQ(alerts[0].informativeText, "unknown-scheme:thing");
}

TEST_F(OpeningTest, UrlWithAnApplication) {
    perform(act(K::openURL{"https://example.com", "/usr/share/applications/browser.desktop"}));
    ASSERT_EQ(workspace.openedWithApplication.size(), 1u);
    EXPECT_EQ(workspace.openedWithApplication[0].first, std::vector<std::string>{"https://example.com"});
    EXPECT_EQ(workspace.openedWithApplication[0].second, "/usr/share/applications/browser.desktop");
    EXPECT_TRUE(workspace.openedURLs.empty());
    EXPECT_TRUE(alerts.empty());

    workspace.openWithApplicationError = "The application cannot be found.";
    perform(act(K::openURL{"https://example.com", "/nowhere.desktop"}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Failed to open url with application");
    EXPECT_EQ(alerts[0].informativeText, "The application cannot be found.");
}

TEST_F(OpeningTest, AppIsLaunchedWhenNothingElseApplies) {
    perform(act(K::openApp{*editor.bundlePath, false, std::nullopt, std::nullopt}));
    EXPECT_EQ(workspace.launchedApplications, std::vector<std::string>{*editor.bundlePath});
    workspace.launchError = "No such application.";
    perform(act(K::openApp{"/missing.desktop", false, std::nullopt, std::nullopt}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Failed to open app");
    EXPECT_EQ(alerts[0].informativeText, "No such application.");
}

// The first-run row where no browser was found says so, and names no program of another desktop.
TEST_F(OpeningTest, TheBrowserStandInSaysNoBrowserWasFound) {
    perform(act(K::openApp{std::string(placeholderBrowserPath), true, std::nullopt, std::nullopt}));
    EXPECT_TRUE(workspace.launchedApplications.empty());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Failed to open app");
    EXPECT_EQ(alerts[0].informativeText, "No web browser was found on this system.");
}

TEST_F(OpeningTest, SwitchToPreviousTogglesBetweenTargetAndTheAppBefore) {
    const Action toggle = act(K::openApp{*editor.bundlePath, false, std::nullopt, true});
    bringToFront(terminal);
    bringToFront(editor);
    perform(toggle);
    EXPECT_EQ(workspace.activated, std::vector<RunningApplication>{terminal});
    EXPECT_TRUE(workspace.launchedApplications.empty());

    bringToFront(terminal); // what the activation leads to
    perform(toggle);
    EXPECT_EQ(workspace.launchedApplications, std::vector<std::string>{*editor.bundlePath});
    EXPECT_EQ(workspace.activated.size(), 1u);
}

TEST_F(OpeningTest, SwitchToPreviousWithoutAnAppBeforeFallsThrough) {
    bringToFront(editor);
    perform(act(K::openApp{*editor.bundlePath, true, std::nullopt, true}));
    EXPECT_TRUE(workspace.activated.empty());
    EXPECT_EQ(workspace.hidden, std::vector<RunningApplication>{editor}) << "the hide check comes next";
}

TEST_F(OpeningTest, HideIfRunningHidesOnlyTheTargetInFront) {
    const Action openOrHide = act(K::openApp{*editor.bundlePath, true, std::nullopt, std::nullopt});
    bringToFront(editor);
    perform(openOrHide);
    EXPECT_EQ(workspace.hidden, std::vector<RunningApplication>{editor});
    EXPECT_TRUE(workspace.launchedApplications.empty());

    workspace.thisApplicationActive = true; // e.g. the configuration window has the focus
    perform(openOrHide);
    EXPECT_EQ(workspace.hidden.size(), 1u);
    EXPECT_EQ(workspace.launchedApplications.size(), 1u);

    workspace.thisApplicationActive = false;
    bringToFront(terminal);
    perform(openOrHide);
    EXPECT_EQ(workspace.hidden.size(), 1u);
    EXPECT_EQ(workspace.launchedApplications.size(), 2u);
}

TEST_F(OpeningTest, LaunchArgumentsGoThroughTheRunningHelper) {
    helperRunning = true;
    perform(act(K::openApp{*editor.bundlePath, false, "--new-window ~/notes", std::nullopt}));
    perform(act(K::openApp{*editor.bundlePath, false, "", std::nullopt}));
    perform(act(K::openApp{*editor.bundlePath, false, std::nullopt, std::nullopt}));
    const auto requests = helperRequestsUnordered();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], unorderedJson(R"({"launchApp": {"path": "/usr/share/applications/editor.desktop",
                                                            "launchArgumentsText": "--new-window ~/notes"}})"));
    EXPECT_EQ(requests[1], unorderedJson(R"({"launchApp": {"path": "/usr/share/applications/editor.desktop",
                                                            "launchArgumentsText": ""}})"));
    EXPECT_EQ(workspace.launchedApplications, std::vector<std::string>{*editor.bundlePath}) << "no arguments: launched here";
}

TEST_F(OpeningTest, LaunchArgumentsWithoutTheHelperLaunchHere) {
    perform(act(K::openApp{*editor.bundlePath, false, "--new-window", std::nullopt}));
    EXPECT_TRUE(helperRequests().empty());
    EXPECT_EQ(workspace.launchedApplications, std::vector<std::string>{*editor.bundlePath});
}

TEST_F(OpeningTest, FileAndFolderGoThroughTheRunningHelper) {
    helperRunning = true;
    const std::string homePath = home.home().string();
    perform(act(K::openFolder{"~/Projects", std::nullopt}));
    perform(act(K::openFile{"~/notes/today.txt", "~/apps/editor.desktop"}));
    perform(act(K::openFile{"/etc/hosts", std::nullopt}));
    const auto requests = helperRequestsUnordered();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], (nlohmann::json{{"openURL", {{"url", "file://" + homePath + "/Projects/"}}}}));
    EXPECT_EQ(
        requests[1],
        (nlohmann::json{
            {"openURL", {{"url", "file://" + homePath + "/notes/today.txt"}, {"applicationPath", "~/apps/editor.desktop"}}}}))
        << "the application path goes as written";
    EXPECT_EQ(requests[2], unorderedJson(R"({"openURL": {"url": "file:///etc/hosts"}})"));
    EXPECT_TRUE(panels->shown.empty());
    EXPECT_TRUE(workspace.openedURLs.empty());
}

TEST_F(OpeningTest, PathsAreWrittenAsUrls) {
    helperRunning = true;
    perform(act(K::openFolder{"/Users", std::nullopt}));
    perform(act(K::openFile{"/tmp/a b#c%.txt", std::nullopt}));
    const auto requests = helperRequestsUnordered();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]["openURL"]["url"], "file:///Users/");
    EXPECT_EQ(requests[1]["openURL"]["url"], "file:///tmp/a%20b%23c%25.txt");
}

TEST_F(OpeningTest, FileWithoutTheHelperAsksOnceThenOpensDirectly) {
    const auto file = makeFile("notes/today.txt");
    panels->chooseNext(FileUrl(file, false));
    perform(act(K::openFile{"~/notes/today.txt", std::nullopt}));
    ASSERT_EQ(panels->shown.size(), 1u);
    EXPECT_EQ(panels->shown[0].title, "Allow Access");
    EXPECT_EQ(panels->shown[0].prompt, "Allow");
    EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{FileUrl(file, false).absoluteString()});

    perform(act(K::openFile{file, std::nullopt}));
    EXPECT_EQ(panels->shown.size(), 1u) << "the stored grant is used";
    EXPECT_EQ(workspace.openedURLs.size(), 2u);
    EXPECT_TRUE(helperRequests().empty());
    EXPECT_TRUE(securityScope::openAccesses().empty());
}

TEST_F(OpeningTest, FolderGrantCoversWhatLiesInside) {
    const auto folder = makeFolder("Projects");
    const auto inside = makeFile("Projects/plan.txt");
    panels->chooseNext(FileUrl(folder, true));
    perform(act(K::openFolder{folder, std::nullopt}));
    EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{FileUrl(folder, true).absoluteString()});
    perform(act(K::openFile{inside, std::nullopt}));
    EXPECT_EQ(panels->shown.size(), 1u);
    ASSERT_EQ(workspace.openedURLs.size(), 2u);
    EXPECT_EQ(workspace.openedURLs[1], FileUrl(inside, false).absoluteString()) << "the item itself, not its folder";
}

TEST_F(OpeningTest, RefusedAccessOnlyLogs) {
    const auto file = makeFile("secret.txt");
    panels->answerNext(modalResponse::cancel);
    diag::Capture capture;
    perform(act(K::openFile{file, std::nullopt}));
    EXPECT_EQ(panels->shown.size(), 1u);
    EXPECT_TRUE(workspace.openedURLs.empty());
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(notifications.delivered.empty());
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"The file could not be accessed (ScopedFileAccess.Fail error 2)."});
    EXPECT_EQ(panels->panelsAlive, 0);

    // Nothing was stored, so the next attempt asks again.
    panels->chooseNext(FileUrl(file, false));
    perform(act(K::openFile{file, std::nullopt}));
    EXPECT_EQ(panels->shown.size(), 2u);
    EXPECT_EQ(workspace.openedURLs.size(), 1u);
}

TEST_F(OpeningTest, FileWithAnApplicationAsksForBothThenOpensWithIt) {
    const auto file = makeFile("notes/today.txt");
    const auto application = makeFile("apps/editor.desktop");
    panels->chooseNext(FileUrl(file, false));
    panels->chooseNext(FileUrl(application, false));
    perform(act(K::openFile{file, application}));
    EXPECT_EQ(panels->shown.size(), 2u);
    ASSERT_EQ(workspace.openedWithApplication.size(), 1u);
    EXPECT_EQ(workspace.openedWithApplication[0].first, std::vector<std::string>{FileUrl(file, false).absoluteString()});
    EXPECT_EQ(workspace.openedWithApplication[0].second, application);
    EXPECT_TRUE(securityScope::openAccesses().empty()) << "every access started is stopped";

    perform(act(K::openFile{file, application}));
    EXPECT_EQ(panels->shown.size(), 2u);
    EXPECT_EQ(workspace.openedWithApplication.size(), 2u);
    EXPECT_TRUE(notifications.delivered.empty());
}

TEST_F(OpeningTest, FailedOpeningWithAnApplicationIsABanner) {
    const auto folder = makeFolder("Projects");
    const auto application = makeFile("apps/editor.desktop");
    panels->chooseNext(FileUrl(folder, true));
    panels->chooseNext(FileUrl(application, false));
    workspace.openWithApplicationError = "The application does not open folders.";
    perform(act(K::openFolder{folder, application}));
    ASSERT_EQ(notifications.delivered.size(), 1u);
    EXPECT_EQ(notifications.delivered[0].title, "Failed to open url with application");
    EXPECT_EQ(notifications.delivered[0].subtitle, "The application does not open folders.");
    EXPECT_TRUE(alerts.empty());
    EXPECT_TRUE(securityScope::openAccesses().empty());
}

TEST_F(OpeningTest, RefusedApplicationAccessOpensNothing) {
    const auto file = makeFile("notes/today.txt");
    panels->chooseNext(FileUrl(file, false));
    panels->answerNext(modalResponse::cancel);
    perform(act(K::openFile{file, makeFile("apps/editor.desktop")}));
    EXPECT_EQ(panels->shown.size(), 2u);
    EXPECT_TRUE(workspace.openedWithApplication.empty());
    EXPECT_TRUE(workspace.openedURLs.empty());
}

TEST_F(OpeningTest, ScriptThatCannotStartIsReported) {
    workspace.scriptCreationError = "The script is not executable.";
    perform(act(K::runAppleScript{"/scripts/a.sh"}));
    EXPECT_TRUE(workspace.ranScripts.empty());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Failed to create script task");
    EXPECT_EQ(alerts[0].informativeText, "The script is not executable.");
}

TEST_F(OpeningTest, ScriptRunErrorIsReportedFromTheMainQueue) {
    workspace.scriptRunError = "exit status 3";
    tavlin::perform(act(K::runAppleScript{"/scripts/a.sh"}), Decision::make(), {});
    EXPECT_TRUE(alerts.empty());
    queue.runUntilIdle();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText, "Running error of the script at /scripts/a.sh");
    EXPECT_EQ(alerts[0].informativeText, "exit status 3");
}

TEST_F(OpeningTest, ScriptThatRunsIsLogged) {
    diag::Capture capture;
    perform(act(K::runAppleScript{"/scripts/a.sh"}));
    EXPECT_EQ(workspace.ranScripts, std::vector<std::string>{"/scripts/a.sh"});
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"executed"});
    EXPECT_TRUE(alerts.empty());
}

TEST_F(OpeningTest, FileManagerOpensAtHome) {
    perform(act(K::openFinder{}));
    EXPECT_EQ(workspace.openedURLs, std::vector<std::string>{FileUrl(home.home().string(), true).absoluteString()});
}

TEST(PathExpansion, OnlyALeadingTildeOfTheUser) {
    TempHome home;
    const std::string h = home.home().string();
    EXPECT_EQ(expandingTildeInPath("~"), h);
    EXPECT_EQ(expandingTildeInPath("~/a/b"), h + "/a/b");
    EXPECT_EQ(expandingTildeInPath("~other/a"), "~other/a");
    EXPECT_EQ(expandingTildeInPath("/a/~/b"), "/a/~/b");
    EXPECT_EQ(expandingTildeInPath(""), "");
}

} // namespace
} // namespace tavlin::test
