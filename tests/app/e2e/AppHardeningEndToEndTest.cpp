// The real `tavlin` where the desktop around it does something unusual: another keyboard layout,
// a file action without the helper, an alert in the middle of a session, keys typed into
// another program, a description naming a FIFO as its image, a reader of its output that goes
// away, and a session bus that restarts.

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/XDriver.h"
#include "model/Action.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/LeaderKey.h"
#include "model/Settings.h"
#include "platform/keys/VirtualKeyCodes.h"
#include "support/RequiredEnvironment.h"

namespace tavlin::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int keyA = 0, keyQ = 12, keyJ = 38, keyT = 17;
constexpr auto focusHandOver = std::chrono::milliseconds(300);

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// What a program prints, run without a shell; nothing when it cannot run or fails.
std::optional<std::string> output(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string text;
    std::array<char, 4096> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) text.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text;
}

// Sets the server's keyboard layout for a while and puts the one before back.
class LayoutChange {
public:
    explicit LayoutChange(const std::string& layout) {
        const auto query = output("setxkbmap -query 2>/dev/null");
        if (!query) return;
        std::istringstream lines(*query);
        for (std::string line; std::getline(lines, line);) {
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            const std::string name = line.substr(0, colon);
            if (name == "rules" || name == "model" || name == "layout" || name == "variant" || name == "options")
                previous_ += " -" + (name == "options" ? std::string("option") : name) + " '" + value + "'";
        }
        changed_ = output("setxkbmap -layout '" + layout + "' 2>&1").has_value();
    }
    ~LayoutChange() {
        if (changed_) std::system(("setxkbmap -option ''" + previous_).c_str());
    }
    bool changed() const { return changed_; }

private:
    std::string previous_;
    bool changed_ = false;
};

// Every "allowedKeyCodes" list of a configuration, in the order of the file.
void collectKeyLists(const nlohmann::ordered_json& value, std::vector<std::vector<int>>& lists) {
    if (value.is_object()) {
        for (const auto& [key, member] : value.items()) {
            if (key == "allowedKeyCodes" && member.is_array()) lists.push_back(member.get<std::vector<int>>());
            else collectKeyLists(member, lists);
        }
    } else if (value.is_array()) {
        for (const auto& member : value) collectKeyLists(member, lists);
    }
}

// Super alone leads in; A opens a level whose hint lists the chances below it.
std::string treeWithHint(const std::string& description) {
    nlohmann::ordered_json leaf = {{"openURL", {{"url", "https://example.org/b"}}}, {"description", description}};
    nlohmann::ordered_json configuration = {
        {"hotKeys", {{{"singleModifier", {{"info", {{"singleTapModifier", "⌘"}}}}}}}},
        {"decision",
         {{"actions", nlohmann::ordered_json::array()},
          {"chances",
           {{{"pattern", {{"key", {{"allowedKeyCodes", {keyA}}}}}},
             {"decision",
              {{"actions", nlohmann::ordered_json::array()},
               {"chances",
                {{{"pattern", {{"key", {{"allowedKeyCodes", {11}}}}}},
                  {"decision", {{"actions", {leaf}}, {"chances", nlohmann::ordered_json::array()}}}}}}}}}}}}}};
    return configuration.dump(2);
}

const std::string plainTree = treeWithHint("Open it");

class AppHardeningTest : public DesktopTest {
protected:
    ::testing::AssertionResult start(std::optional<int> standardOutput = std::nullopt) {
        app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address(), standardOutput);
        if (!standardOutput && !app_->waitUntilReady())
            return ::testing::AssertionFailure() << "not ready\n" << app_->outputTail();
        return handOverFocus();
    }
    ::testing::AssertionResult handOverFocus() {
        if (!seat_->takeFocusFrom(app_->pid())) return ::testing::AssertionFailure() << "our window got no focus";
        // Qt keeps a window that lost the focus active for a moment (see AppEndToEndTest).
        std::this_thread::sleep_for(focusHandOver);
        return ::testing::AssertionSuccess();
    }

    int client(std::vector<std::string> arguments) { return runClient(TAVLIN_EXECUTABLE, arguments, *home_, bus_->address()); }

    void tapSuper() {
        seat_->press(xSuperKey());
        seat_->release(xSuperKey());
    }
    ::testing::AssertionResult sessionOpened(UserSeat::Counts since) {
        if (seat_->waitForGrabs(since, 1) && seat_->keyboardHeld()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the input window did not take the keyboard\n" << app_->outputTail();
    }
    ::testing::AssertionResult endedByEscape() {
        seat_->tap(xKey(keycodes::escape));
        // Asked of the server: the release shows only on the window with the focus then, and after
        // an alert Qt hands its window's focus back at a moment of its own.
        if (seat_->waitUntil([&] { return seat_->keyboardFree(); })) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "escape did not end the session\n" << app_->outputTail();
    }
    // A session opened by Super and ended by Escape: the application still answers.
    ::testing::AssertionResult aSessionOpensAndEnds() {
        const auto mark = seat_->counts();
        tapSuper();
        if (auto opened = sessionOpened(mark); !opened) return opened;
        return endedByEscape();
    }
    // The dialog the application shows, once it is up.
    std::optional<UserSeat::Dialog> dialogShown(std::chrono::milliseconds limit = 10s) {
        std::optional<UserSeat::Dialog> dialog;
        seat_->waitUntil([&] { return (dialog = seat_->shownDialog(app_->pid())).has_value(); }, limit);
        return dialog;
    }
    // Asked with the bus's own tool, a few times a second.
    bool eventuallyOwned(const std::string& name) {
        return pollUntil(
            [&] {
                if (nameOwned(name)) return true;
                std::this_thread::sleep_for(100ms);
                return false;
            },
            30s);
    }
    bool nameOwned(const std::string& name) {
        const auto reply = output("dbus-send --bus='" + bus_->address() +
                                  "' --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                                  "org.freedesktop.DBus.NameHasOwner string:" +
                                  name + " 2>/dev/null");
        return reply && reply->find("boolean true") != std::string::npos;
    }
};

// Key names and the order of keys come from the server's layout, though the configuration is
// compiled from the rows before anything else looks at the keyboard.
TEST_F(AppHardeningTest, GeneratedKeyOrderFollowsTheServersLayout) {
    LayoutChange french("fr");
    ASSERT_TRUE(french.changed()) << "setxkbmap cannot set the French layout (xkb-data is needed)";
    const auto leader = LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command));
    const auto row = [&](int key, const std::string& url) {
        return FlatKeysAndActionRow(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut({}), {key},
                                    Action(Action::Kind::openURL{url, std::nullopt}), false, leader);
    };
    std::optional<std::string> failure;
    home_->withStores([&] {
        failure = settings::setFlatKeysAndActionRows({row(keyA, "https://example.org/q"), row(keyQ, "https://example.org/a")});
    });
    ASSERT_FALSE(failure) << *failure;
    ASSERT_TRUE(start());

    const auto configuration = nlohmann::ordered_json::parse(readFile(home_->configurationFile()), nullptr, false);
    ASSERT_FALSE(configuration.is_discarded()) << readFile(home_->configurationFile());
    std::vector<std::vector<int>> lists;
    collectKeyLists(configuration, lists);
    std::erase_if(lists, [](const auto& keys) { return keys != std::vector<int>{keyA} && keys != std::vector<int>{keyQ}; });
    // On this layout key 12 types A and key 0 types Q: A sorts first.
    EXPECT_EQ(lists, (std::vector<std::vector<int>>{{keyQ}, {keyA}}));
}

// Without the helper the launcher asks for access itself, once: the grant is kept.
TEST_F(AppHardeningTest, AFileActionAsksForAccessOnceThenOpensTheFile) {
    const auto document = std::filesystem::canonical(home_->root()) / "home" / "notes.txt";
    std::ofstream(document) << "notes\n";
    nlohmann::ordered_json configuration = nlohmann::ordered_json::parse(plainTree);
    configuration["decision"]["chances"][0]["decision"]["chances"][0]["decision"]["actions"] = nlohmann::ordered_json::array(
        {{{"openFile", {{"filePath", document.string()}}}}});
    home_->writeConfiguration(configuration.dump(2));
    ASSERT_TRUE(start());

    ASSERT_EQ(client({"ke", "start"}), 0);
    ASSERT_EQ(client({"ke", "key", std::to_string(keyA)}), 0);
    ASSERT_EQ(client({"ke", "key", "11"}), 0);
    const auto panel = dialogShown();
    ASSERT_TRUE(panel) << "no access panel\n" << app_->outputTail();
    EXPECT_EQ(panel->title, "Allow Access");
    // The panel opens at the file, chosen; Return allows it.
    ASSERT_TRUE(seat_->focusOn(panel->window));
    seat_->tap(xKey(keycodes::returnKey));
    ASSERT_TRUE(pollUntil([&] { return !home_->openedURLs().empty(); }, 10s)) << app_->outputTail();
    ASSERT_EQ(home_->openedURLs().size(), 1u);
    EXPECT_NE(home_->openedURLs()[0].find(document.string()), std::string::npos) << home_->openedURLs()[0];
    ASSERT_TRUE(seat_->takeFocusBack());

    // The next run opens it at once.
    ASSERT_TRUE(app_->stop()) << app_->outputTail();
    ASSERT_TRUE(start());
    ASSERT_EQ(client({"ke", "start"}), 0);
    ASSERT_EQ(client({"ke", "key", std::to_string(keyA)}), 0);
    ASSERT_EQ(client({"ke", "key", "11"}), 0);
    ASSERT_TRUE(pollUntil([&] { return home_->openedURLs().size() >= 2; }, 10s)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs()[1], home_->openedURLs()[0]);
    EXPECT_FALSE(seat_->shownDialog(app_->pid()));
}

// An alert raised in a session takes over from it, as a window that comes to the front does:
// the session ends and the alert is answered by keyboard at once.
TEST_F(AppHardeningTest, AnAlertInASessionEndsItAndIsAnsweredByKeyboard) {
    home_->writeConfiguration(plainTree);
    ASSERT_TRUE(start());
    // Read afresh at each session: now it is cut short.
    home_->writeConfiguration(plainTree.substr(0, plainTree.size() / 2));

    const auto mark = seat_->counts();
    ASSERT_EQ(client({"ke", "start"}), 0);
    // The session takes the keyboard; the alert comes a moment later.
    ASSERT_TRUE(seat_->waitForGrabs(mark, 1)) << app_->outputTail();
    const auto alert = dialogShown();
    ASSERT_TRUE(alert) << "no alert\n" << app_->outputTail();
    EXPECT_TRUE(seat_->waitUntil([&] { return seat_->keyboardFree(); })) << "the session kept the keyboard";
    EXPECT_TRUE(seat_->waitUntil([&] { return !seat_->shownInputWindow(app_->pid()); }));

    ASSERT_TRUE(seat_->focusOn(alert->window));
    seat_->tap(xKey(keycodes::escape));
    EXPECT_TRUE(seat_->waitUntil([&] { return !seat_->shownDialog(app_->pid()); })) << "the alert stayed";
    ASSERT_TRUE(seat_->takeFocusBack());
    EXPECT_TRUE(seat_->keyboardFree());

    // With the configuration mended the next session is an ordinary one.
    home_->writeConfiguration(plainTree);
    EXPECT_TRUE(aSessionOpensAndEnds());
}

// A leader key while an alert is up opens no session behind it: the alert keeps the keyboard
// and Escape answers it.
TEST_F(AppHardeningTest, ALeaderKeyWhileAnAlertIsUpLeavesTheKeyboardToTheAlert) {
    std::string tree = plainTree;
    const std::string url = "https://example.org/b";
    tree.replace(tree.find(url), url.size(), "https://example.org/a b");
    home_->writeConfiguration(tree);
    ASSERT_TRUE(start());
    const auto mark = seat_->counts();
    tapSuper();
    ASSERT_TRUE(sessionOpened(mark));
    seat_->tap(xKey(keyA));
    seat_->tap(xKey(11));
    const auto alert = dialogShown();
    ASSERT_TRUE(alert) << "no alert\n" << app_->outputTail();
    ASSERT_TRUE(seat_->waitUntil([&] { return seat_->keyboardFree(); }));

    // A session behind the alert would take the keyboard a moment after the tap: give it that
    // moment, then answer the alert.
    const auto beforeTap = seat_->counts();
    tapSuper();
    seat_->waitForGrabs(beforeTap, 1, 3s);
    ASSERT_TRUE(seat_->focusOn(alert->window));
    seat_->tap(xKey(keycodes::escape));
    EXPECT_TRUE(seat_->waitUntil([&] { return !seat_->shownDialog(app_->pid()); })) << "the alert stayed";
    ASSERT_TRUE(seat_->takeFocusBack());
    EXPECT_TRUE(seat_->keyboardFree());
    EXPECT_TRUE(aSessionOpensAndEnds());
}

// GIO reads desktop entries and mimeapps lists with a blocking open(): a FIFO there before the
// start or made during a run holds neither the start nor a session.
TEST_F(AppHardeningTest, AFifoAmongTheDesktopEntriesHoldsNeitherTheStartNorASession) {
    const auto lists = home_->root() / "config";
    std::filesystem::create_directories(lists);
    std::filesystem::create_directories(home_->applicationsFolder());
    ASSERT_EQ(::mkfifo((lists / "mimeapps.list").c_str(), 0600), 0);
    home_->writeConfiguration(plainTree);
    ASSERT_TRUE(start());
    ASSERT_TRUE(aSessionOpensAndEnds());

    std::filesystem::remove(lists / "mimeapps.list");
    ASSERT_TRUE(aSessionOpensAndEnds());
    ASSERT_EQ(::mkfifo((home_->applicationsFolder() / "new.desktop").c_str(), 0600), 0);
    EXPECT_TRUE(aSessionOpensAndEnds());
    const auto mark = seat_->counts();
    ASSERT_EQ(client({"ke", "start"}), 0);
    ASSERT_TRUE(sessionOpened(mark));
    EXPECT_TRUE(endedByEscape());
    EXPECT_TRUE(seat_->keyboardFree());
}

// A FIFO in a linked subfolder of the applications, or swapped in for an entry while it is
// read, holds neither the keyboard nor the start of other applications.
TEST_F(AppHardeningTest, AFifoInALinkedSubfolderOrSwappedInForAnEntryHoldsNoApplicationOpening) {
    const auto elsewhere = home_->root() / "home" / "x";
    std::filesystem::create_directories(elsewhere);
    std::filesystem::create_directories(home_->applicationsFolder());
    ASSERT_EQ(::mkfifo((elsewhere / "e.desktop").c_str(), 0600), 0);
    std::filesystem::create_directory_symlink(elsewhere, home_->applicationsFolder() / "sub");
    const auto runs = home_->root() / "other.runs";
    home_->writeProgram("tavlin-e2e-other", "#!/bin/sh\necho run >> '" + runs.string() + "'\n");
    const auto entry = home_->writeDesktopEntry("org.example.Other",
                                                "[Desktop Entry]\nType=Application\nName=Other\nExec=tavlin-e2e-other\n");
    nlohmann::ordered_json configuration = nlohmann::ordered_json::parse(plainTree);
    configuration["decision"]["chances"][0]["decision"] = {
        {"actions", {{{"openApp", {{"path", entry.string()}, {"hideAppIfRunning", false}}}}}},
        {"chances", nlohmann::ordered_json::array()}};
    home_->writeConfiguration(configuration.dump(2));
    ASSERT_TRUE(start());

    const auto launched = [&](std::size_t count) {
        const bool posted = postSignals(
            bus_->address(), "local.tavlin.notification_names.external_event",
            {R"({"start_key_sequence": {"info": {"hotKeyCode": 49, "hotKeyModifiers": 0, "endAutomatically": true}}})",
             R"({"type_key": {"info": {"keyCode": 0}}})"});
        return posted && pollUntil([&] { return readFile(runs).size() >= count * 4; }, 10s);
    };
    ASSERT_TRUE(launched(1)) << app_->outputTail();
    // Each swap is seen by a reading of its own, while the application is opened.
    const auto swapped = home_->applicationsFolder() / "swapped.desktop";
    const auto next = home_->applicationsFolder() / "next";
    for (std::size_t i = 0; i < 100; ++i) {
        std::ofstream(next) << "[Desktop Entry]\nType=Application\nName=Swapped\nExec=tavlin-e2e-other\n";
        std::filesystem::rename(next, swapped);
        ASSERT_EQ(::mkfifo(next.c_str(), 0600), 0);
        std::filesystem::rename(next, swapped);
        ASSERT_TRUE(launched(i + 2)) << "swap " << i << "\n" << app_->outputTail();
    }
    // Once the last of those sessions has let go of the keyboard, one that waits for keys opens
    // and Escape ends it.
    ASSERT_TRUE(seat_->waitUntil([&] { return seat_->keyboardFree(); }));
    ASSERT_TRUE(handOverFocus());
    EXPECT_TRUE(aSessionOpensAndEnds());
}

// Whether a key is ours follows the focus events that come in order with the keys, not the
// toolkit's idea of the focus, which lags behind: keys typed into another program while ours
// had not yet heard that the focus left (here: stopped meanwhile) are never written out.
TEST_F(AppHardeningTest, KeysTypedRightAfterTheFocusLeftOurWindowAreNotWrittenOut) {
    home_->writeConfiguration(plainTree);
    ASSERT_TRUE(start());
    const std::vector<int> keys{keyQ, 13, 14, 15, 16, 17, 32, keyJ};
    for (int round = 0; round < 2; ++round) {
        const auto window = seat_->giveFocusTo(app_->pid(), "Configuration");
        ASSERT_TRUE(window);
        seat_->movePointer(window->x + 4, window->y + 4);
        seat_->click();
        std::this_thread::sleep_for(focusHandOver);
        ASSERT_EQ(::kill(app_->pid(), SIGSTOP), 0);
        const bool away = seat_->takeFocusFrom(app_->pid());
        const int received = seat_->keysReceived();
        for (const int key : keys) seat_->tap(xKey(key));
        const bool typed = seat_->waitUntil([&] { return seat_->keysReceived() == received + int(keys.size()); });
        ASSERT_EQ(::kill(app_->pid(), SIGCONT), 0);
        ASSERT_TRUE(away && typed);
    }
    ASSERT_TRUE(aSessionOpensAndEnds());
    ASSERT_TRUE(app_->stop());
    const std::string printed = app_->standardOutput();
    for (const int key : keys) {
        for (const char* end : {"\n", ";"})
            EXPECT_EQ(printed.find("keyCode: " + std::to_string(key) + end), std::string::npos) << key;
    }
}

// Keys typed into another program may be a password; standard output ends up in the journal.
TEST_F(AppHardeningTest, KeysTypedIntoAnotherWindowAreNotWrittenOut) {
    home_->writeConfiguration(plainTree);
    ASSERT_TRUE(start());
    seat_->tap(xKey(keyQ));
    seat_->tap(xKey(keyJ));
    // The session opens from the same stream of observed input: the keys before it were seen.
    ASSERT_TRUE(aSessionOpensAndEnds());
    ASSERT_TRUE(app_->stop());
    const std::string printed = app_->standardOutput();
    EXPECT_NE(printed.find("handleModifierFlagsChangedEvent"), std::string::npos) << "the traces are gone altogether";
    for (const int key : {keyQ, keyJ}) {
        for (const char* end : {"\n", ";"})
            EXPECT_EQ(printed.find("keyCode: " + std::to_string(key) + end), std::string::npos) << printed;
    }
}

// A description may name anything as its image; the hint shows its text and never reads it.
TEST_F(AppHardeningTest, ADescriptionNamingAFifoAsItsImageShowsItsHint) {
    const auto fifo = home_->root() / "picture.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    home_->writeConfiguration(treeWithHint("![a picture](" + fifo.string() + ") <img src=\"" + fifo.string() + "\">"));
    ASSERT_TRUE(start());

    const auto mark = seat_->counts();
    tapSuper();
    ASSERT_TRUE(sessionOpened(mark));
    seat_->tap(xKey(keyA));
    EXPECT_TRUE(seat_->waitUntil([&] { return seat_->shownInputWindow(app_->pid()).has_value(); }, 10s)) << "no hint\n"
                                                                                                         << app_->outputTail();
    EXPECT_TRUE(endedByEscape());
    EXPECT_TRUE(aSessionOpensAndEnds());
}

// A log collector that goes away must not take the launcher with it.
TEST_F(AppHardeningTest, AClosedStandardOutputDoesNotEndTheLauncher) {
    home_->writeConfiguration(plainTree);
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address(), ends[1]);
    ::close(ends[1]);
    std::string printed;
    const bool ready = pollUntil(
        [&] {
            pollfd readable{ends[0], POLLIN, 0};
            if (::poll(&readable, 1, 50) <= 0) return false;
            char buffer[4096];
            const auto n = ::read(ends[0], buffer, sizeof buffer);
            if (n > 0) printed.append(buffer, static_cast<std::size_t>(n));
            return n <= 0 || printed.find("tavlin: ready\n") != std::string::npos;
        },
        10s);
    ::close(ends[0]);
    ASSERT_TRUE(ready && printed.find("tavlin: ready\n") != std::string::npos) << printed;
    ASSERT_TRUE(handOverFocus());

    // Every session prints its traces into the closed pipe.
    EXPECT_TRUE(aSessionOpensAndEnds());
    EXPECT_TRUE(aSessionOpensAndEnds());
    EXPECT_TRUE(app_->running());
    EXPECT_TRUE(app_->stop()) << "SIGTERM should still end it with status 0";
}

// After the session bus restarts, the running instance is the one on the new bus too.
TEST_F(AppHardeningTest, ARestartedSessionBusIsJoinedAgain) {
    home_->writeConfiguration(plainTree);
    ASSERT_TRUE(start());
    ASSERT_TRUE(nameOwned("local.tavlin"));

    bus_->restart();
    ASSERT_TRUE(eventuallyOwned("local.tavlin")) << "the name was not claimed again\n" << app_->outputTail();
    ASSERT_TRUE(app_->running());
    // Its notifications come over the new bus, and a new start hands over to it.
    auto mark = seat_->counts();
    ASSERT_EQ(client({"ke", "start"}), 0);
    ASSERT_TRUE(sessionOpened(mark));
    ASSERT_TRUE(endedByEscape());
    AppProcess second(TAVLIN_EXECUTABLE, {}, *home_, bus_->address());
    EXPECT_EQ(second.waitForExit(10s), std::optional<int>(0)) << second.outputTail();
    EXPECT_FALSE(second.printedReady());

    // Restarted again, with another instance quicker to claim the name: one of the two ends,
    // cleanly, and one runs on.
    bus_->restart();
    AppProcess third(TAVLIN_EXECUTABLE, {}, *home_, bus_->address());
    ASSERT_TRUE(pollUntil([&] { return !app_->running() || !third.running(); }, 20s)) << app_->outputTail() << third.outputTail();
    if (!app_->running()) {
        EXPECT_TRUE(app_->stop()) << "the first did not end cleanly\n" << app_->outputTail();
        EXPECT_TRUE(third.running());
    } else {
        EXPECT_EQ(third.waitForExit(1s), std::optional<int>(0)) << third.outputTail();
    }
    EXPECT_TRUE(nameOwned("local.tavlin"));
}

// A row too long to become a tree: the first start reports it once and keeps the file one
// generated from the rows, so that they are used again once the row is short enough.
TEST_F(AppHardeningTest, AFirstStartThatCannotGenerateTheTreeKeepsTheRowsInCharge) {
    const auto storeRowOf = [&](std::size_t keys) {
        const auto leader = LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command));
        const FlatKeysAndActionRow row(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut({}),
                                       std::vector<std::int64_t>(keys, keyA),
                                       Action(Action::Kind::openURL{"https://example.org/short", std::nullopt}), false, leader);
        home_->withStores([&] { ASSERT_FALSE(settings::setFlatKeysAndActionRows({row})); });
    };
    storeRowOf(200);
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    EXPECT_EQ(app_->outputCount("nested deeper than"), 1u) << app_->outputTail();
    ASSERT_TRUE(app_->stop());

    storeRowOf(1);
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    EXPECT_NE(readFile(home_->configurationFile()).find("example.org\\/short"), std::string::npos)
        << readFile(home_->configurationFile());
}

// Without a session bus, the lock in the runtime folder keeps a second start from running
// beside the first (both would write the same files); so it does when only the second has a bus.
TEST_F(AppHardeningTest, ASecondStartEndsWhileAnInstanceRunsWithoutTheSessionBus) {
    home_->writeConfiguration(plainTree);
    const std::string noBus = "unix:path=" + (home_->root() / "no-bus").string();
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, noBus);
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();

    for (const std::string& address : {noBus, bus_->address()}) {
        AppProcess second(TAVLIN_EXECUTABLE, {}, *home_, address);
        EXPECT_TRUE(second.waitForExit(10s).has_value()) << "the second start kept running\n" << second.outputTail();
        EXPECT_FALSE(second.printedReady());
        EXPECT_EQ(second.outputCount("another instance runs"), 1u) << second.outputTail();
    }
    EXPECT_TRUE(app_->running());
    EXPECT_FALSE(nameOwned("local.tavlin")) << "the second start kept the name";
}

// The start grabs the leader keys before the application loads, but only once it holds the
// display's lock: a second start that cannot hand over grabs nothing, not even a key the running
// instance has not taken (the file changed since it started).
TEST_F(AppHardeningTest, ASecondStartGrabsNoLeaderKey) {
    home_->writeConfiguration(plainTree);
    const std::string noBus = "unix:path=" + (home_->root() / "no-bus").string();
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, noBus);
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    nlohmann::ordered_json configuration = nlohmann::ordered_json::parse(plainTree);
    configuration["hotKeys"] = {{{"combo", {{"info", {{"keyCode", keyT}, {"modifiersCode", 0x1800}}}}}}};
    home_->writeConfiguration(configuration.dump(2));

    AppProcess second(TAVLIN_EXECUTABLE, {}, *home_, noBus);
    const unsigned int combination = UserSeat::controlMask() | UserSeat::altMask();
    bool grabbed = false;
    const auto deadline = Clock::now() + 10s;
    while (second.running() && !grabbed && Clock::now() < deadline) grabbed = !seat_->canGrabKey(xKey(keyT), combination);
    EXPECT_FALSE(grabbed) << "the second start grabbed Control+Alt+T\n" << second.outputTail();
    EXPECT_TRUE(second.waitForExit(10s).has_value()) << second.outputTail();
    EXPECT_EQ(second.outputCount("another instance runs"), 1u) << second.outputTail();
    EXPECT_TRUE(app_->running());
}

// The display's own lock is kept whatever $DISPLAY's spelling, and a lock file in the runtime
// folder that cannot be used (a folder, a link or another user's file put in its place) leaves
// the one in the settings folder: a second start, without the bus that would hand it over, ends.
TEST_F(AppHardeningTest, ASecondStartEndsWhateverTheDisplaysSpellingOrTheRuntimeLock) {
    const std::string display = std::getenv("DISPLAY");
    if (display.empty() || display[0] != ':' || display.find('.') != std::string::npos)
        GTEST_SKIP() << "needs a local display without a screen number, not " << display;
    home_->writeConfiguration(plainTree);
    const std::string noBus = "unix:path=" + (home_->root() / "no-bus").string();
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, noBus);
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    std::vector<std::filesystem::path> locks;
    for (const auto& entry : std::filesystem::directory_iterator(home_->root() / "runtime"))
        if (entry.path().extension() == ".lock") locks.push_back(entry.path());
    ASSERT_EQ(locks.size(), 1u);
    const auto lock = locks.front();
    const auto elsewhere = home_->root() / "elsewhere.lock";
    std::ofstream(elsewhere).put('\n');

    const auto secondStartEnds = [&](const std::string& attack, const std::string& spelled) {
        ::setenv("DISPLAY", spelled.c_str(), 1);
        AppProcess second(TAVLIN_EXECUTABLE, {}, *home_, noBus);
        ::setenv("DISPLAY", display.c_str(), 1);
        EXPECT_TRUE(second.waitForExit(10s).has_value()) << attack << ": the second start kept running\n" << second.outputTail();
        EXPECT_FALSE(second.printedReady()) << attack;
        EXPECT_EQ(second.outputCount("another instance runs"), 1u) << attack << "\n" << second.outputTail();
    };
    secondStartEnds("spelled with a host", "unix" + display);
    secondStartEnds("spelled with a screen", display + ".0");
    std::filesystem::remove(lock);
    std::filesystem::create_directory(lock);
    secondStartEnds("a folder", display);
    std::filesystem::remove(lock);
    std::filesystem::create_symlink(elsewhere, lock);
    secondStartEnds("a link", display);
    std::filesystem::remove(lock);
    std::filesystem::copy_file(elsewhere, lock);
    if (::chown(lock.c_str(), 65534, 65534) == 0) secondStartEnds("another user's file", display);
    EXPECT_TRUE(app_->running());
}

// A session's address may name its bus's guid, which the restarted bus does not have.
TEST_F(AppHardeningTest, ARestartedSessionBusIsJoinedAgainThoughTheAddressNamedTheOldGuid) {
    home_->writeConfiguration(plainTree);
    app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->addressWithGuid());
    ASSERT_NE(bus_->addressWithGuid().find(",guid="), std::string::npos) << bus_->addressWithGuid();
    ASSERT_TRUE(app_->waitUntilReady()) << app_->outputTail();
    ASSERT_TRUE(nameOwned("local.tavlin"));

    bus_->restart();
    EXPECT_TRUE(eventuallyOwned("local.tavlin")) << "the name was not claimed again\n" << app_->outputTail();
    EXPECT_TRUE(app_->running());
}

} // namespace
} // namespace tavlin::e2e
