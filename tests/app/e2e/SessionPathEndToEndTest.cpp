// The real `tavlin` on the way from a key or a message to a command, as other programs and the
// desktop's applications meet it: bursts and floods of messages on the bus, an opener that takes
// its time, the helper and the applications of the desktop (desktop entries).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/XDriver.h"
#include "model/FlatKeysAndActionRow.h"
#include "model/Settings.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int keyA = 0, keyO = 31, keyS = 1;
constexpr const char* outcomeName = "local.tavlin.notification_names.action_outcome_event";
constexpr const char* externalEventName = "local.tavlin.notification_names.external_event";
constexpr const char* leafLine = "chances empty, success end";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Control+option+T leads in; O reaches a leaf with the given actions.
std::string leafConfiguration(const std::string& leafActions) {
    return R"({
  "hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],
  "decision": {"actions": [], "chances": [
    {"pattern": {"key": {"allowedKeyCodes": [31]}}, "decision": {"actions": [)" +
           leafActions + R"(], "chances": []}}
  ]}
})";
}

class SessionPathEndToEndTest : public DesktopTest {
protected:
    ::testing::AssertionResult start() {
        app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
        if (!app_->waitUntilReady()) return ::testing::AssertionFailure() << "not ready\n" << app_->outputTail();
        if (!seat_->takeFocusFrom(app_->pid())) return ::testing::AssertionFailure() << "our window got no focus";
        // Qt keeps a window that lost the focus active for a moment in case it comes back.
        std::this_thread::sleep_for(300ms);
        return ::testing::AssertionSuccess();
    }

    int client(std::vector<std::string> arguments) { return runClient(TAVLIN_EXECUTABLE, arguments, *home_, bus_->address()); }

    // Control+option+T as a person types it; the key's own grab comes before the window's.
    ::testing::AssertionResult openSessionWithCombo() {
        const auto mark = seat_->counts();
        seat_->press(xControlKey());
        seat_->press(xAltKey());
        seat_->press(xKey(17));
        std::this_thread::sleep_for(100ms);
        seat_->release(xKey(17));
        std::this_thread::sleep_for(40ms);
        seat_->release(xAltKey());
        seat_->release(xControlKey());
        return sessionOpened(mark, 1);
    }
    ::testing::AssertionResult openSessionWithSuper() {
        const auto mark = seat_->counts();
        seat_->tap(xSuperKey());
        return sessionOpened(mark, 0);
    }
    ::testing::AssertionResult sessionOpened(UserSeat::Counts since, int before) {
        if (seat_->waitForGrabs(since, before + 1) && seat_->keyboardHeld()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the input window did not take the keyboard\n" << app_->outputTail();
    }
    ::testing::AssertionResult typeInSession(int keyCode) {
        const auto mark = seat_->counts();
        seat_->tap(xKey(keyCode));
        if (seat_->waitForReleases(mark, 1) && !seat_->keyboardHeld()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the session did not end\n" << app_->outputTail();
    }

    // A program first on the application's PATH that appends its arguments to a file.
    std::filesystem::path recordingProgram(const std::string& name) {
        const auto record = home_->root() / (name + ".runs");
        home_->writeProgram(name, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + record.string() + "'\n");
        return record;
    }
};

// Each message reaches a leaf that waits again, so the session waits anew for every one of
// them; 300 sent back to back on one connection must all be handled.
TEST_F(SessionPathEndToEndTest, EveryMessageOfABurstOnOneConnectionIsHandled) {
    home_->writeConfiguration(R"({
  "hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],
  "decision": {"actions": [], "chances": [
    {"pattern": {"message": {"regex": ".*"}}, "decision": {"actions": [{"reWaitTriggerKeys": {}}], "chances": []}}
  ]}
})");
    ASSERT_TRUE(start());
    const auto mark = seat_->counts();
    ASSERT_EQ(client({"ke", "start"}), 0);
    ASSERT_TRUE(sessionOpened(mark, 0));

    std::vector<std::string> burst;
    for (int i = 0; i < 300; ++i) burst.push_back(R"({"message": {"text": "m)" + std::to_string(i) + R"("}})");
    ASSERT_TRUE(postSignals(bus_->address(), outcomeName, burst));
    EXPECT_TRUE(pollUntil([&] { return app_->outputCount(leafLine) >= burst.size(); }, 30s))
        << app_->outputCount(leafLine) << " of 300 handled\n"
        << app_->outputTail();
    ASSERT_EQ(client({"ke", "end"}), 0);
}

// An opener that stays in the foreground must not hold up the launcher: the next leader key
// opens a session while it still runs.
TEST_F(SessionPathEndToEndTest, ASlowOpenerDoesNotHoldUpTheNextLeaderKey) {
    home_->writeConfiguration(leafConfiguration(R"({"openURL": {"url": "https://example.org/slow"}})"));
    home_->holdOpener();
    ASSERT_TRUE(start());
    ASSERT_TRUE(openSessionWithCombo());
    ASSERT_TRUE(typeInSession(keyO));

    ASSERT_TRUE(openSessionWithCombo()) << "the leader key waited for xdg-open";
    EXPECT_TRUE(home_->openedURLs().empty()) << "the opener was let go too early for this test to mean anything";
    ASSERT_TRUE(typeInSession(keyA)); // no chance takes it: the session ends
    home_->releaseOpener();
    EXPECT_TRUE(pollUntil([&] { return home_->openedURLs().size() == 1; }, 10s));
}

// Start, key and end events far faster than sessions can follow: the launcher keeps only a
// bounded backlog, starts no session from an old one, and soon leaves the keyboard to the user.
TEST_F(SessionPathEndToEndTest, AFloodOfExternalEventsStaysBoundedAndLeavesTheKeyboardToTheUser) {
    home_->writeConfiguration(leafConfiguration(R"({"openURL": {"url": "https://example.org/flood"}})"));
    ASSERT_TRUE(start());
    const auto before = residentKiB(app_->pid());
    ASSERT_TRUE(before);

    std::vector<std::string> flood;
    flood.reserve(150'000);
    for (int i = 0; i < 50'000; ++i) {
        flood.push_back(
            R"({"start_key_sequence": {"info": {"hotKeyCode": 17, "hotKeyModifiers": 6144, "endAutomatically": true}}})");
        flood.push_back(R"({"type_key": {"info": {"keyCode": 11}}})");
        flood.push_back(R"({"end_key_sequence": {}})");
    }
    ASSERT_TRUE(postSignals(bus_->address(), externalEventName, flood));

    // Handled once its output stands still for a second.
    std::size_t size = 0;
    auto still = Clock::now();
    const bool settled = pollUntil(
        [&] {
            const auto now = std::filesystem::file_size(app_->standardOutputPath());
            if (now != size) {
                size = now;
                still = Clock::now();
            }
            return Clock::now() - still > 1s && !seat_->keyboardHeld();
        },
        40s);
    ASSERT_TRUE(settled) << "still busy with the flood\n" << app_->outputTail();
    const auto after = residentKiB(app_->pid());
    ASSERT_TRUE(after);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed memory in quarantine on purpose: the bound holds only without it.
    EXPECT_LT(*after, *before + 100 * 1024) << "grew from " << *before << " KiB to " << *after << " KiB";
#endif
    EXPECT_LT(size, 200'000u) << "a line for every event";

    const int typed = seat_->keysReceived();
    seat_->tap(xKey(keyA));
    EXPECT_TRUE(seat_->waitUntil([&] { return seat_->keysReceived() > typed; })) << "the key did not reach our window";
    EXPECT_FALSE(seat_->keyboardHeld());
}

// The helper runs when it owns its bus name, with or without windows: it is not started again.
TEST_F(SessionPathEndToEndTest, AHelperThatOwnsItsBusNameIsNotStartedAgain) {
    const auto started = recordingProgram("tavlin-e2e-helper");
    home_->writeDesktopEntry("tavlin-e2e-helper",
                             "[Desktop Entry]\nType=Application\nName=Helper\n"
                             "Exec=tavlin-e2e-helper %u\nMimeType=x-scheme-handler/tavlinhelper;\n");
    std::filesystem::create_directories(home_->root() / "config");
    std::ofstream(home_->root() / "config" / "mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/tavlinhelper=tavlin-e2e-helper.desktop\n";
    home_->writeConfiguration(leafConfiguration(R"({"openURL": {"url": "https://example.org/h"}})"));
    const BusNameOwner helper(bus_->address(), "local.tavlin-helper");
    ASSERT_TRUE(helper.owns());

    ASSERT_TRUE(start());
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(openSessionWithCombo());
        ASSERT_TRUE(typeInSession(keyO));
    }
    ASSERT_TRUE(pollUntil([&] { return home_->openedURLs().size() == 2; }));
    EXPECT_FALSE(std::filesystem::exists(started)) << "started: " << readFile(started);
}

// A helper that declares its scheme only in its entry (found through the desktop's
// mimeinfo.cache, as update-desktop-database writes it) is found and started.
TEST_F(SessionPathEndToEndTest, AHelperDeclaredOnlyByItsMimeTypeIsStarted) {
    const auto started = recordingProgram("tavlin-e2e-helper");
    home_->writeDesktopEntry("tavlin-e2e-helper",
                             "[Desktop Entry]\nType=Application\nName=Helper\n"
                             "Exec=tavlin-e2e-helper %u\nMimeType=x-scheme-handler/tavlinhelper;\n");
    std::ofstream(home_->applicationsFolder() / "mimeinfo.cache")
        << "[MIME Cache]\nx-scheme-handler/tavlinhelper=tavlin-e2e-helper.desktop;\n";
    home_->writeConfiguration(leafConfiguration(R"({"openURL": {"url": "https://example.org/h"}})"));
    ASSERT_TRUE(start());
    EXPECT_TRUE(pollUntil([&] { return std::filesystem::exists(started); }, 10s)) << app_->outputTail();
}

// Terminal=true: the program starts in a terminal emulator, not without one.
TEST_F(SessionPathEndToEndTest, ATerminalProgramsEntryStartsItInATerminal) {
    const auto program = recordingProgram("tavlin-e2e-tui");
    // Whichever terminal the desktop would pick, it is ours.
    const auto terminal = home_->root() / "terminal.runs";
    for (const char* name : {"xdg-terminal-exec", "kgx", "gnome-terminal", "mate-terminal", "xfce4-terminal", "tilix", "konsole",
                             "nxterm", "color-xterm", "rxvt", "dtterm", "xterm", "x-terminal-emulator"}) {
        home_->writeProgram(name, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + terminal.string() + "'\n");
    }
    const auto entry = home_->writeDesktopEntry("tavlin-e2e-tui",
                                                "[Desktop Entry]\nType=Application\nName=TUI\n"
                                                "Exec=tavlin-e2e-tui --flag\nTerminal=true\n");
    home_->writeConfiguration(
        leafConfiguration(R"({"openApp": {"path": ")" + entry.string() + R"(", "hideAppIfRunning": false}})"));
    ASSERT_TRUE(start());
    ASSERT_TRUE(openSessionWithCombo());
    ASSERT_TRUE(typeInSession(keyO));
    // The file exists before the fake terminal has written its line: wait for the line itself.
    EXPECT_TRUE(pollUntil(
        [&] {
            return std::filesystem::exists(terminal) && readFile(terminal).find("tavlin-e2e-tui --flag") != std::string::npos;
        },
        10s))
        << (std::filesystem::exists(terminal) ? readFile(terminal) : app_->outputTail());
    EXPECT_FALSE(std::filesystem::exists(program)) << "started without a terminal";
}

// The first run's one binding (a lone Super, then S) opens the desktop's default web browser.
TEST_F(SessionPathEndToEndTest, TheFirstDefaultBindingOpensTheDefaultWebBrowser) {
    const auto browser = recordingProgram("tavlin-e2e-browser");
    home_->writeDesktopEntry("org.example.Browser",
                             "[Desktop Entry]\nType=Application\nName=Browser\n"
                             "Exec=tavlin-e2e-browser %u\n"
                             "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
    std::filesystem::create_directories(home_->root() / "config");
    std::ofstream(home_->root() / "config" / "mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/https=org.example.Browser.desktop\n";
    // The generated tree first asks which application is in front (ours) and which leader key
    // opened the session; the trigger key is typed once it has.
    seat_->announceAsActiveWindow();
    ASSERT_TRUE(start());
    const auto asked = app_->outputCount("Post action outcome: ");
    ASSERT_TRUE(openSessionWithSuper());
    ASSERT_TRUE(pollUntil([&] { return app_->outputCount("Post action outcome: ") >= asked + 2; })) << app_->outputTail();
    ASSERT_TRUE(typeInSession(keyS));
    EXPECT_TRUE(pollUntil([&] { return std::filesystem::exists(browser); }, 10s)) << app_->outputTail();
    EXPECT_EQ(app_->outputCount("Failed to open app"), 0u);
}

// Before any trigger key a generated tree asks which application is in front and which leader
// key opened the session. A key typed the moment the keyboard is held waits for both answers,
// however many rows there are, and runs its binding.
TEST_F(SessionPathEndToEndTest, AKeyTypedAtTheGrabRunsItsBindingAmongAThousandFlatRows) {
    const auto leader = LeaderKey::press(HotKey::combo(17, 0x1800)); // control+option+T
    const auto row = [&](std::vector<std::int64_t> keys, const std::string& url) {
        return FlatKeysAndActionRow(Uuid::random(), true, FlatKeysAndActionRow::ApplicationScope::allBut(), std::move(keys),
                                    Action(Action::Kind::openURL{url, std::nullopt}), false, leader);
    };
    std::vector<FlatKeysAndActionRow> rows{row({keyO}, "https://example.org/flat")};
    for (int i = 1; i < 1000; ++i) rows.push_back(row({keyA, i % 50, i / 50}, "https://example.org/" + std::to_string(i)));
    std::optional<std::string> failure;
    home_->withStores([&] { failure = settings::setFlatKeysAndActionRows(rows); });
    ASSERT_FALSE(failure) << *failure;
    // An application in front, as on a desktop in use: the session reports it, and stores it
    // as a suggestion in the settings that also hold the rows.
    seat_->announceAsActiveWindow();
    ASSERT_TRUE(start());

    ASSERT_TRUE(openSessionWithCombo());
    ASSERT_TRUE(typeInSession(keyO));
    EXPECT_TRUE(pollUntil([&] { return !home_->openedURLs().empty(); }, 10s)) << app_->outputTail();
    EXPECT_EQ(home_->openedURLs(), std::vector<std::string>{"https://example.org/flat"});
}

} // namespace
} // namespace tavlin::e2e
