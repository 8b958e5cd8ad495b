// The real `tavlin` against files that are not what they should be: a FIFO or a device where a
// file is read, a file it wrote long ago that no longer loads, a value the settings store
// cannot read, temporary files left by writes that were cut short. It must neither hang nor
// lose what the user wrote.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "e2e/AppDriver.h"
#include "e2e/DesktopTest.h"
#include "e2e/XDriver.h"
#include "model/Settings.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int keyT = 17;

// Control+option+T leads in; the tree has one leaf.
const std::string comboConfiguration = R"({
  "hotKeys": [{"combo": {"info": {"keyCode": 17, "modifiersCode": 6144}}}],
  "decision": {"actions": [], "chances": [
    {"pattern": {"key": {"allowedKeyCodes": [0]}},
     "decision": {"actions": [{"openURL": {"url": "https://example.org/a"}}], "chances": []}}
  ]}
})";

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class FileSafetyEndToEndTest : public DesktopTest {
protected:
    ::testing::AssertionResult startedAndReady() {
        app_.emplace(TAVLIN_EXECUTABLE, std::vector<std::string>{}, *home_, bus_->address());
        // Generous: a hang is what these tests look for, not speed.
        if (app_->waitUntilReady(30s)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "not ready\n" << app_->outputTail();
    }

    fs::path settingsFile() const { return home_->root() / "config" / "local.tavlin" / "local.tavlin.app.json"; }
};

TEST_F(FileSafetyEndToEndTest, AFifoOrADeviceAsTheConfigurationNeitherHangsStartUpNorIsReplaced) {
    fs::create_directories(home_->configurationFile().parent_path());
    ASSERT_EQ(::mkfifo(home_->configurationFile().c_str(), 0600), 0);
    ASSERT_TRUE(startedAndReady());
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
    EXPECT_TRUE(fs::is_fifo(home_->configurationFile()));

    fs::remove(home_->configurationFile());
    fs::create_symlink("/dev/zero", home_->configurationFile());
    ASSERT_TRUE(startedAndReady());
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
    EXPECT_EQ(fs::read_symlink(home_->configurationFile()), "/dev/zero");
}

// The session reads the file after its window has taken the keyboard: a read that blocks there
// would leave the desktop without a keyboard and the program deaf to SIGTERM.
TEST_F(FileSafetyEndToEndTest, AFifoInPlaceOfTheConfigurationDuringARunKeepsTheProgramAnswering) {
    home_->writeConfiguration(comboConfiguration);
    ASSERT_TRUE(startedAndReady());
    ASSERT_TRUE(seat_->takeFocusFrom(app_->pid()));
    std::this_thread::sleep_for(300ms); // Qt keeps the focus it lost for a moment

    const fs::path fifo = home_->configurationFile().parent_path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::rename(fifo, home_->configurationFile());

    const auto mark = seat_->counts();
    seat_->press(xControlKey());
    seat_->press(xAltKey());
    seat_->press(xKey(keyT));
    std::this_thread::sleep_for(100ms);
    seat_->release(xKey(keyT));
    seat_->release(xAltKey());
    seat_->release(xControlKey());
    // The hot key's own grab, then the session's: the session has started and read the file.
    EXPECT_TRUE(seat_->waitForGrabs(mark, 2, 5s)) << app_->outputTail();

    EXPECT_TRUE(app_->stop(10s)) << "SIGTERM should end the application with status 0\n" << app_->outputTail();
    EXPECT_TRUE(fs::is_fifo(home_->configurationFile()));
}

TEST_F(FileSafetyEndToEndTest, ASettingsFileThatIsADeviceIsNeitherReadNorReplaced) {
    home_->writeConfiguration(comboConfiguration);
    fs::create_directories(settingsFile().parent_path());
    fs::create_symlink("/dev/zero", settingsFile());
    ASSERT_TRUE(startedAndReady());
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
    EXPECT_EQ(fs::read_symlink(settingsFile()), "/dev/zero");
}

// A file written by an older version with a tree too deep to load, or cut short: it carries the
// generated mark, so it is made again from the rows instead of failing every session.
TEST_F(FileSafetyEndToEndTest, AGeneratedFileThatNoLongerLoadsIsGeneratedAgain) {
    const std::string tooDeep = std::string(600, '[') + std::string(600, ']');
    home_->writeConfiguration("{\n  \"authorInfo\" : \"flat_rows\",\n  \"hotKeys\" : [],\n  \"decision\" : " + tooDeep + "\n}");
    ASSERT_TRUE(startedAndReady());
    const auto configuration = nlohmann::json::parse(contents(home_->configurationFile()), nullptr, false);
    ASSERT_TRUE(configuration.is_object()) << contents(home_->configurationFile()).substr(0, 200);
    EXPECT_EQ(configuration.value("authorInfo", ""), "flat_rows");
    EXPECT_FALSE(configuration["hotKeys"].empty());
    EXPECT_TRUE(configuration["decision"].is_object());
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

// The rows as a hand edit leaves them: the text without its kind. The program cannot read it,
// but must neither store its default rows over it nor drop it from the file.
TEST_F(FileSafetyEndToEndTest, ARowsValueTheStoreCannotReadIsKeptInTheFile) {
    const std::string rows = R"([{"enabled":true,"applicationScope":{"allBut":{"paths":[]}},"keys":[1],)"
                             R"("action":{"openFinder":{}},"leaderKey":{"press":{"hotKey":{"singleModifier":)"
                             R"({"info":{"singleTapModifier":"⌘"}}}}}}])";
    nlohmann::ordered_json edited;
    edited[settings::keys::flatKeysAndActionRows] = rows;
    write(settingsFile(), edited.dump());
    ASSERT_TRUE(startedAndReady());
    EXPECT_TRUE(app_->stop()) << app_->outputTail();

    const auto stored = nlohmann::json::parse(contents(settingsFile()), nullptr, false);
    ASSERT_TRUE(stored.is_object()) << contents(settingsFile());
    EXPECT_EQ(stored[settings::keys::flatKeysAndActionRows], rows) << contents(settingsFile());
}

// Another program edits the settings while the program runs; the session's window saves its
// place there when it closes, and that write must keep both edits.
TEST_F(FileSafetyEndToEndTest, HandEditsToTheSettingsDuringARunSurviveTheProgramsNextWrite) {
    home_->writeConfiguration(comboConfiguration);
    ASSERT_TRUE(startedAndReady());
    ASSERT_TRUE(seat_->takeFocusFrom(app_->pid()));
    auto edited = nlohmann::json::parse(contents(settingsFile()));
    edited[settings::keys::showDecisionBorder] = {{"bool", true}};
    edited["handEdited"] = 5; // without its kind: unreadable, still the user's
    write(settingsFile(), edited.dump());

    const auto mark = seat_->counts();
    seat_->chord({xControlKey(), xAltKey(), xKey(keyT)});
    ASSERT_TRUE(seat_->waitUntil([&] { return seat_->shownInputWindow(app_->pid()).has_value(); })) << app_->outputTail();
    seat_->tap(xKey(keycodes::escape));
    const auto stored = [&] { return nlohmann::json::parse(contents(settingsFile()), nullptr, false); };
    ASSERT_TRUE(pollUntil([&] { return stored().contains(settings::keys::inputWindowTopLeftPositionString); }))
        << contents(settingsFile()) << app_->outputTail();
    EXPECT_EQ(stored()[settings::keys::showDecisionBorder], nlohmann::json({{"bool", true}}));
    EXPECT_EQ(stored()["handEdited"], 5);
    EXPECT_TRUE(seat_->waitForReleases(mark, 1) && app_->stop()) << app_->outputTail();
}

// Writes replace files through ".<name>.XXXXXX" beside them; a kill in between leaves one.
TEST_F(FileSafetyEndToEndTest, StaleTemporaryFilesOfOurOwnAreRemovedAtStartUp) {
    home_->writeConfiguration(comboConfiguration);
    const fs::path data = home_->configurationFile().parent_path();
    const fs::path config = settingsFile().parent_path();
    const std::vector<fs::path> stale{data / ".configuration.json.Ab3xYz",
                                      data / "backup" / ".configuration_2024-03-05_14-03-07.250+0100.json.Qw3rty",
                                      config / ".local.tavlin.app.json.Zx9y8w"};
    const std::vector<fs::path> kept{data / ".configuration.json.Fresh1", data / ".notes.txt.Ab3xYz",
                                     config / "local.tavlin.app.json.Zx9y8w"};
    for (const auto& path : stale) write(path, "cut short");
    for (const auto& path : kept) write(path, "not ours to remove, or still in use");
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& path : stale) fs::last_write_time(path, longAgo);
    for (const auto& path : {kept[1], kept[2]}) fs::last_write_time(path, longAgo);

    ASSERT_TRUE(startedAndReady());
    for (const auto& path : stale) EXPECT_FALSE(fs::exists(path)) << path;
    for (const auto& path : kept) EXPECT_TRUE(fs::exists(path)) << path;
    EXPECT_TRUE(app_->stop()) << app_->outputTail();
}

} // namespace
} // namespace tavlin::e2e
