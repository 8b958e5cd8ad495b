#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "LinuxTestSupport.h"
#include "platform/base/Diagnostics.h"
#include "platform/files/FileUrl.h"
#include "platform/files/Files.h"
#include "platform/linux/XdgWorkspace.h"

namespace tavlin::xdg {
namespace {

using namespace test;
using Runs = std::vector<std::vector<std::string>>;

// What a completion received, and how often it was called.
struct Completions {
    int calls = 0;
    std::optional<std::string> error;

    Workspace::Completion handler() {
        return [this](std::optional<std::string> received) {
            ++calls;
            error = std::move(received);
        };
    }
};

Runs sorted(Runs runs) {
    std::sort(runs.begin(), runs.end());
    return runs;
}

class XdgWorkspaceTest : public LinuxWorkspaceTest {
protected:
    void SetUp() override {
        LinuxWorkspaceTest::SetUp();
        workspace_.emplace(queue_);
    }

    fs::path writeEntry(const std::string& fileName, const std::string& body) {
        const fs::path path = userApplications() / fileName;
        writeFile(path, "[Desktop Entry]\nType=Application\n" + body);
        return path;
    }

    // Runs the queue until the completion came, then a little more to show it comes once.
    void awaitCompletion(const Completions& completions) {
        ASSERT_TRUE(pumpUntil(queue_, [&] { return completions.calls > 0; }));
        queue_.advance(1);
        EXPECT_EQ(completions.calls, 1);
    }

    // The runs the recorder made, once `count` of them are there.
    Runs awaitRuns(std::size_t count) {
        EXPECT_TRUE(eventually([&] { return recordedRuns(records_).size() >= count; }));
        return sorted(recordedRuns(records_));
    }

    VirtualMainQueue queue_;
    std::optional<XdgWorkspace> workspace_;
};

// ---------------------------------------------------------------------------------------------
// openURL

using XdgWorkspaceOpenURL = XdgWorkspaceTest;

TEST_F(XdgWorkspaceOpenURL, AnswersByTheExitStatusOfXdgOpen) {
    writeExecutable(bin_ / "xdg-open", recorderScript(records_, 0));
    Completions first;
    workspace_->openURL("https://example.org/a?b=c", first.handler());
    awaitCompletion(first);
    EXPECT_EQ(first.error, std::nullopt);
    EXPECT_EQ(recordedRuns(records_), (Runs{{"https://example.org/a?b=c"}}));

    writeExecutable(bin_ / "xdg-open", recorderScript(records_, 4));
    Completions second;
    workspace_->openURL("https://example.org/other", second.handler());
    awaitCompletion(second);
    EXPECT_EQ(second.error, "xdg-open exited with status 4 for https://example.org/other");
    EXPECT_EQ(recordedRuns(records_).size(), 2u);
    EXPECT_TRUE(zombieChildren().empty());
}

TEST_F(XdgWorkspaceOpenURL, RevealingAFileAsksTheFileManagerElseOpensItsFolderNeverTheFile) {
    writeExecutable(bin_ / "xdg-open", recorderScript(records_, 0));
    std::vector<std::string> asked;
    workspace_->setShowItems([&](const std::string& uri) {
        asked.push_back(uri);
        return true;
    });
    workspace_->activateFileViewerSelecting("/tmp/a b/configuration.json");
    EXPECT_EQ(asked, (std::vector<std::string>{"file:///tmp/a%20b/configuration.json"}));
    EXPECT_TRUE(recordedRuns(records_).empty());

    // No file manager on the bus: the folder that holds the file.
    workspace_->setShowItems([](const std::string&) { return false; });
    workspace_->activateFileViewerSelecting("/tmp/a b/configuration.json");
    // xdg-open runs on its own; nothing waits for it.
    EXPECT_EQ(awaitRuns(1), (Runs{{"file:///tmp/a%20b/"}}));
    EXPECT_TRUE(pumpUntil(queue_, [] { return zombieChildren().empty(); }));
}

TEST_F(XdgWorkspaceOpenURL, HandsTheUrlOverLiterallyWithNoShell) {
    writeExecutable(bin_ / "xdg-open", recorderScript(records_, 0));
    const fs::path marker = root_ / "marker";
    const std::string url = "https://example.org/a b'c\"d$(touch " + marker.string() + ");e`touch " + marker.string() +
                            "`|f&g>h\nnext line \\ %20";
    Completions completions;
    workspace_->openURL(url, completions.handler());
    awaitCompletion(completions);
    EXPECT_EQ(completions.error, std::nullopt);
    EXPECT_EQ(recordedRuns(records_), (Runs{{url}}));
    EXPECT_FALSE(fs::exists(marker));
    // Its standard input is not ours.
    const auto names = tavlin::test::folderEntries(records_);
    const auto stdinRecord = std::find_if(names.begin(), names.end(), [](auto& n) { return n.ends_with(".stdin"); });
    ASSERT_NE(stdinRecord, names.end());
    EXPECT_EQ(fileContents(records_ / *stdinRecord), "/dev/null\n");
}

TEST_F(XdgWorkspaceOpenURL, FailsWhenXdgOpenCannotRunOrWouldTakeTheUrlForAnOption) {
    writeExecutable(bin_ / "xdg-open", recorderScript(records_, 0));
    for (const std::string url : {"--manual", ""}) {
        Completions completions;
        workspace_->openURL(url, completions.handler());
        awaitCompletion(completions);
        EXPECT_TRUE(completions.error.has_value()) << url;
    }
    EXPECT_TRUE(recordedRuns(records_).empty());

    const fs::path emptyFolder = root_ / "empty";
    fs::create_directories(emptyFolder);
    ::setenv("PATH", emptyFolder.c_str(), 1);
    diag::Capture capture;
    Completions completions;
    workspace_->openURL("https://example.org", completions.handler());
    awaitCompletion(completions);
    EXPECT_EQ(completions.error, "xdg-open could not be started: No such file or directory");
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"xdg-open could not be started: No such file or directory"}));
}

// An opener that stays in the foreground (on a bare desktop it may be the handler itself) must
// never hold up the main thread: the call returns at once and the end is reported when it comes.
TEST_F(XdgWorkspaceOpenURL, ReturnsAtOnceAndReportsTheEndOfASlowXdgOpenWhenItComes) {
    const fs::path pidFile = records_ / "pid";
    writeExecutable(bin_ / "xdg-open", "#!/bin/sh\necho $$ > " + shellQuoted(pidFile.string()) + "\nexec sleep 30\n");
    Completions completions;
    const auto start = std::chrono::steady_clock::now();
    workspace_->openURL("https://example.org/slow", completions.handler());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_TRUE(eventually([&] { return fileContents(pidFile).ends_with("\n"); }));
    queue_.advance(1);
    EXPECT_EQ(completions.calls, 0) << "reported before xdg-open ended";

    const pid_t opener = std::stoi(fileContents(pidFile));
    ASSERT_EQ(::kill(opener, SIGKILL), 0);
    awaitCompletion(completions);
    EXPECT_EQ(completions.error, "xdg-open was ended by the signal “Killed” for https://example.org/slow");
    EXPECT_TRUE(zombieChildren().empty());
}

// ---------------------------------------------------------------------------------------------
// openURLs and openApplication

using XdgWorkspaceLaunch = XdgWorkspaceTest;

TEST_F(XdgWorkspaceLaunch, StartsTheEntryWithItsItemsDetachedFromUs) {
    const fs::path work = root_ / "work folder";
    fs::create_directories(work);
    writeExecutable(bin_ / "fake-app", recorderScript(records_, 0, "pwd > " + shellQuoted(records_.string()) + "/$$.cwd\n"));
    const fs::path entry = writeEntry("org.example.Fake.desktop",
                                      "Name=Fake App\nExec=fake-app --open \"two words\" %F\n"
                                      "Path=" +
                                          work.string() + "\n");
    const fs::path marker = root_ / "marker";
    const std::string first = (root_ / "docs" / "a b.txt").string();
    const std::string second = (root_ / "docs" / ("$(touch " + marker.string() + ");'x'.txt")).string();

    Completions completions;
    workspace_->openURLs({FileUrl(first, false).absoluteString(), FileUrl(second, false).absoluteString()}, entry.string(),
                         completions.handler());
    EXPECT_EQ(completions.calls, 0) << "completions come on a later turn of the main queue";
    awaitCompletion(completions);
    EXPECT_EQ(completions.error, std::nullopt);

    EXPECT_EQ(awaitRuns(1), (Runs{{"--open", "two words", first, second}}));
    EXPECT_FALSE(fs::exists(marker));
    const std::string pid = recordedRunNames(records_).front();
    EXPECT_EQ(fileContents(records_ / (pid + ".cwd")), work.string() + "\n");
    EXPECT_EQ(fileContents(records_ / (pid + ".stdin")), "/dev/null\n");
    // Not our child, and in a session of its own: it outlives us and is never our zombie.
    const ProcessPlace place = placeFromStat(fileContents(records_ / (pid + ".stat")));
    EXPECT_NE(place.parent, ::getpid());
    EXPECT_NE(place.session, ::getsid(0));
    EXPECT_TRUE(zombieChildren().empty());
}

TEST_F(XdgWorkspaceLaunch, StartsOnceForEachItemWhenTheEntryTakesOne) {
    writeExecutable(bin_ / "fake-app", recorderScript(records_, 0));
    const fs::path entry = writeEntry("single.desktop", "Exec=fake-app --url %u\n");
    Completions completions;
    workspace_->openURLs({"https://a.example/", "https://b.example/"}, entry.string(), completions.handler());
    awaitCompletion(completions);
    EXPECT_EQ(completions.error, std::nullopt);
    EXPECT_EQ(awaitRuns(2), (Runs{{"--url", "https://a.example/"}, {"--url", "https://b.example/"}}));
}

TEST_F(XdgWorkspaceLaunch, ReportsWhatKeepsTheApplicationFromStarting) {
    writeExecutable(bin_ / "fake-app", recorderScript(records_, 0));
    const auto errorFor = [&](const fs::path& application, std::vector<std::string> items = {}) {
        Completions completions;
        workspace_->openURLs(items, application.string(), completions.handler());
        awaitCompletion(completions);
        return completions.error.value_or("(no error)");
    };

    EXPECT_EQ(errorFor(userApplications() / "org.example.Missing.desktop"),
              "The application “org.example.Missing” could not be launched because it was not found.");
    EXPECT_EQ(errorFor(writeEntry("broken.desktop", "Name=Broken\nExec=no-such-program %U\n")),
              "The application “Broken” could not be launched because its program “no-such-program” was not found.");
    EXPECT_EQ(errorFor(writeEntry("nowhere.desktop", "Name=Nowhere\nExec=fake-app\nPath=/no/such/folder\n")),
              "The application “Nowhere” could not be launched because its working folder “/no/such/folder” does "
              "not exist.");
    EXPECT_EQ(errorFor(writeEntry("uninstalled.desktop", "Name=Gone\nTryExec=gone-program\nExec=fake-app\n")),
              "The application “Gone” could not be launched because its program “gone-program” was not found.");
    EXPECT_EQ(errorFor(writeEntry("fake.desktop", "Name=Fake\nExec=fake-app %U\n"), {"-rf"}),
              "The application “Fake” cannot open “-rf” because it is not a URL.");
    writeFile(userApplications() / "damaged.desktop", "no group here\n");
    EXPECT_EQ(errorFor(userApplications() / "damaged.desktop"),
              "The application “damaged” could not be launched because it is not a valid desktop entry.");
    EXPECT_TRUE(recordedRuns(records_).empty());
}

// GIO reads the mimeapps lists with a blocking open() when it is handed an entry: a FIFO there
// is told, and neither the queue nor a thread waits for it.
TEST_F(XdgWorkspaceLaunch, AListGioWouldWaitForIsToldInsteadOfStarting) {
    writeExecutable(bin_ / "fake-app", recorderScript(records_, 0));
    const auto list = tempHome().configHome() / "mimeapps.list";
    fs::create_directories(list.parent_path());
    ASSERT_EQ(::mkfifo(list.c_str(), 0600), 0);
    Completions completions;
    workspace_->openApplication(writeEntry("fake.desktop", "Name=Fake\nExec=fake-app\n").string(), completions.handler());
    awaitCompletion(completions);
    EXPECT_EQ(completions.error,
              "The application “Fake” could not be launched because “" + list.string() + "” is not a regular file.");
    EXPECT_TRUE(recordedRuns(records_).empty());
}

TEST_F(XdgWorkspaceLaunch, OpensApplicationsWithoutItems) {
    writeExecutable(bin_ / "fake-app", recorderScript(records_, 0));
    Completions fromEntry;
    workspace_->openApplication(writeEntry("fake.desktop", "Exec=fake-app %U --window\n").string(), fromEntry.handler());
    awaitCompletion(fromEntry);
    EXPECT_EQ(fromEntry.error, std::nullopt);
    EXPECT_EQ(awaitRuns(1), (Runs{{"--window"}}));

    Completions fromExecutable;
    workspace_->openApplication((bin_ / "fake-app").string(), fromExecutable.handler());
    awaitCompletion(fromExecutable);
    EXPECT_EQ(fromExecutable.error, std::nullopt);
    EXPECT_EQ(awaitRuns(2), (Runs{{}, {"--window"}}));
}

TEST_F(XdgWorkspaceLaunch, RefusesWhatIsNotAnApplication) {
    writeFile(root_ / "notes.txt", "#!/bin/sh\n");
    fs::create_directories(root_ / "Some.app");
    const auto errorFor = [&](const fs::path& path) {
        Completions completions;
        workspace_->openApplication(path.string(), completions.handler());
        awaitCompletion(completions);
        return completions.error.value_or("(no error)");
    };
    EXPECT_EQ(errorFor(root_ / "Missing.app"), "The application “Missing.app” could not be launched because it was not found.");
    EXPECT_EQ(errorFor(root_ / "Some.app"), "The application “Some.app” could not be launched because it is not an application.");
    EXPECT_EQ(errorFor(root_ / "notes.txt"),
              "The application “notes.txt” could not be launched because it is not an application.");
}

TEST_F(XdgWorkspaceLaunch, KnowsTheExecutableOfAnApplication) {
    writeExecutable(root_ / "opt" / "real-tool", "#!/bin/sh\n");
    fs::create_symlink(root_ / "opt" / "real-tool", bin_ / "tool");
    writeFile(bin_ / "plain-file", "data\n");
    const std::string realTool = fs::canonical(root_ / "opt" / "real-tool").string();

    EXPECT_EQ(workspace_->executablePathOfApplication(writeEntry("tool.desktop", "Exec=tool --x %F\n").string()), realTool);
    EXPECT_EQ(workspace_->executablePathOfApplication((bin_ / "tool").string()), realTool);
    EXPECT_EQ(workspace_->executablePathOfApplication(writeEntry("gone.desktop", "Exec=gone\n").string()), std::nullopt);
    EXPECT_EQ(workspace_->executablePathOfApplication((userApplications() / "missing.desktop").string()), std::nullopt);
    EXPECT_EQ(workspace_->executablePathOfApplication((bin_ / "plain-file").string()), std::nullopt);
    // A bare name is a path, not a PATH search.
    EXPECT_EQ(workspace_->executablePathOfApplication("tool"), std::nullopt);
}

// ---------------------------------------------------------------------------------------------
// The window system's part

class RecordingWindowSystem : public WindowSystemApplications {
public:
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    std::vector<RunningApplication> runningApplications(const std::string& bundleIdentifier) override {
        std::vector<RunningApplication> found;
        for (const auto& application : running) {
            if (application.bundleIdentifier == bundleIdentifier) found.push_back(application);
        }
        return found;
    }
    void activate(const RunningApplication& application) override { activated.push_back(application); }
    void hide(const RunningApplication& application) override { hidden.push_back(application); }
    bool isThisApplicationActive() override { return active; }

    std::optional<RunningApplication> frontmost;
    std::vector<RunningApplication> running;
    std::vector<RunningApplication> activated;
    std::vector<RunningApplication> hidden;
    bool active = false;
};

using XdgWorkspaceWindowSystem = XdgWorkspaceTest;

TEST_F(XdgWorkspaceWindowSystem, KnowsNothingWithoutOne) {
    RunningApplication someone;
    someone.processIdentifier = 42;
    EXPECT_EQ(workspace_->frontmostApplication(), std::nullopt);
    EXPECT_TRUE(workspace_->runningApplications("org.example.Fake").empty());
    EXPECT_FALSE(workspace_->isThisApplicationActive());
    workspace_->activate(someone);
    workspace_->hide(someone);
}

TEST_F(XdgWorkspaceWindowSystem, BringsARunningEntryForwardInsteadOfStartingItAgain) {
    writeExecutable(bin_ / "fake-app", recorderScript(records_, 0));
    const fs::path entry = writeEntry("org.example.Fake.desktop", "Exec=fake-app\n");
    RecordingWindowSystem windowSystem;
    RunningApplication fake;
    fake.processIdentifier = 7;
    fake.bundlePath = entry.string();
    fake.bundleIdentifier = "org.example.Fake";
    windowSystem.running = {fake};
    windowSystem.frontmost = fake;
    windowSystem.active = true;
    workspace_->setWindowSystem(&windowSystem);

    EXPECT_EQ(workspace_->frontmostApplication(), fake);
    EXPECT_TRUE(workspace_->isThisApplicationActive());
    workspace_->hide(fake);
    EXPECT_EQ(windowSystem.hidden, (std::vector<RunningApplication>{fake}));

    Completions completions;
    workspace_->openApplication(entry.string(), completions.handler());
    awaitCompletion(completions);
    EXPECT_EQ(completions.error, std::nullopt);
    EXPECT_EQ(windowSystem.activated, (std::vector<RunningApplication>{fake}));
    EXPECT_TRUE(recordedRuns(records_).empty());

    windowSystem.running.clear();
    Completions again;
    workspace_->openApplication(entry.string(), again.handler());
    awaitCompletion(again);
    EXPECT_EQ(awaitRuns(1), (Runs{{}}));
}

// ---------------------------------------------------------------------------------------------
// runScript

class XdgWorkspaceScripts : public XdgWorkspaceTest {
protected:
    void SetUp() override {
        XdgWorkspaceTest::SetUp();
        scripts_ = files::applicationScriptsDirectory().value();
    }

    fs::path scripts_;
};

TEST_F(XdgWorkspaceScripts, RunsAScriptOfTheScriptsFolder) {
    writeExecutable(scripts_ / "hello.sh", recorderScript(records_, 0));
    Completions completions;
    EXPECT_EQ(workspace_->runScript((scripts_ / "hello.sh").string(), completions.handler()), std::nullopt);
    awaitCompletion(completions);
    EXPECT_EQ(completions.error, std::nullopt);
    EXPECT_EQ(awaitRuns(1), (Runs{{}}));
    EXPECT_EQ(fileContents(records_ / (recordedRunNames(records_).front() + ".stdin")), "/dev/null\n");
    EXPECT_TRUE(zombieChildren().empty());
}

TEST_F(XdgWorkspaceScripts, ReportsAFailedRun) {
    writeExecutable(scripts_ / "fails.sh", "#!/bin/sh\nexit 3\n");
    writeExecutable(scripts_ / "killed.sh", "#!/bin/sh\nkill -TERM $$\n");
    writeExecutable(scripts_ / "bad-interpreter.sh", "#!/no/such/interpreter\n");
    const auto errorOfRun = [&](const std::string& name) {
        Completions completions;
        const auto creationError = workspace_->runScript((scripts_ / name).string(), completions.handler());
        EXPECT_EQ(creationError, std::nullopt);
        awaitCompletion(completions);
        return completions.error.value_or("(no error)");
    };
    EXPECT_EQ(errorOfRun("fails.sh"), "The script “fails.sh” exited with status 3.");
    EXPECT_EQ(errorOfRun("killed.sh"), "The script “killed.sh” was ended by the signal “Terminated”.");
    const auto creationError = workspace_->runScript((scripts_ / "bad-interpreter.sh").string(), nullptr);
    EXPECT_EQ(creationError, "The script “bad-interpreter.sh” could not be run: No such file or directory.");
    EXPECT_TRUE(pumpUntil(queue_, [] { return zombieChildren().empty(); }));
}

TEST_F(XdgWorkspaceScripts, RunsNothingFromOutsideTheFolder) {
    const std::string folder = fs::canonical(scripts_).string();
    const std::string outsideSentence = "” could not be run because it is not in the scripts folder “" + folder + "”.";
    writeExecutable(root_ / "outside.sh", recorderScript(records_, 0));
    writeExecutable(scripts_.parent_path() / "beside.sh", recorderScript(records_, 0));
    fs::create_symlink(root_ / "outside.sh", scripts_ / "link-out.sh");
    writeExecutable(scripts_ / "inside.sh", recorderScript(records_, 0));
    fs::create_symlink(scripts_ / "inside.sh", scripts_ / "link-in.sh");
    writeFile(scripts_ / "plain.sh", "#!/bin/sh\n");
    fs::create_directories(scripts_ / "folder");

    Completions completions;
    const auto refusal = [&](const fs::path& path) {
        return workspace_->runScript(path.string(), completions.handler()).value_or("(ran)");
    };
    EXPECT_EQ(refusal(root_ / "outside.sh"), "The script “outside.sh" + outsideSentence);
    EXPECT_EQ(refusal(scripts_ / ".." / "beside.sh"), "The script “beside.sh" + outsideSentence);
    EXPECT_EQ(refusal(scripts_ / "link-out.sh"), "The script “link-out.sh" + outsideSentence);
    EXPECT_EQ(refusal(scripts_ / "plain.sh"), "The script “plain.sh” could not be run because it is not executable.");
    EXPECT_EQ(refusal(scripts_ / "folder"), "The script “folder” could not be run because it is not a file.");
    EXPECT_EQ(refusal(scripts_ / "missing.sh"), "The script “missing.sh” could not be run because it does not exist.");
    queue_.advance(1);
    EXPECT_EQ(completions.calls, 0);
    EXPECT_TRUE(recordedRuns(records_).empty());

    // A link that stays inside is followed.
    EXPECT_EQ(workspace_->runScript((scripts_ / "link-in.sh").string(), completions.handler()), std::nullopt);
    awaitCompletion(completions);
    EXPECT_EQ(awaitRuns(1), (Runs{{}}));
}

} // namespace
} // namespace tavlin::xdg
