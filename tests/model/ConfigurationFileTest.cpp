#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "model/Configuration.h"
#include "model/DecodedConfiguration.h"
#include "model/LeaderKeyCache.h"
#include "platform/base/Diagnostics.h"
#include "platform/files/Files.h"
#include "platform/text/Regex.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using test::fileContents;
using test::folderEntries;
using test::writeFile;
using K = Action::Kind;

// "configuration_2024-03-05_14-03-07.250+0100.json"
bool isBackupName(const std::string& name) {
    static const auto pattern = Regex::compile(R"(configuration_\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2}\.\d{3}[+-]\d{4}\.json)");
    return pattern->firstMatchSpansWholeText(name);
}

std::string backupNameAt(std::chrono::system_clock::time_point time) {
    return "configuration_" + files::backupTimestamp(time) + ".json";
}

// The sample tree: five key chances under an empty root, the last one leading on.
constexpr const char* sampleTreeJson = R"json({
  "actions": [],
  "chances": [
    {"pattern": {"key": {"allowedKeyCodes": [3]}},
     "decision": {"actions": [{"openFinder": {}}], "chances": []}},
    {"pattern": {"key": {"allowedKeyCodes": [1]}},
     "decision": {"actions": [{"openApp": {"path": "/Applications/Safari.app", "hideAppIfRunning": true}}], "chances": []}},
    {"pattern": {"key": {"allowedKeyCodes": [45]}},
     "decision": {"actions": [{"notification": {"title": "This is a notification"}}], "chances": []}},
    {"pattern": {"key": {"allowedKeyCodes": [37]}},
     "decision": {"actions": [{"toggleConfigurationWindow": {}}], "chances": []}},
    {"pattern": {"key": {"allowedKeyCodes": [13]}},
     "decision": {"actions": [{"notification": {"title": "Apple(A)/Google(G)"}}], "chances": [
       {"pattern": {"key": {"allowedKeyCodes": [0]}},
        "decision": {"actions": [{"openURL": {"url": "https://www.apple.com"}}], "chances": []}},
       {"pattern": {"key": {"allowedKeyCodes": [5]}},
        "decision": {"actions": [{"openURL": {"url": "https://www.google.com"}}], "chances": []}}
     ]}}
  ]
})json";

// A small tree in the current format, written compactly and with an unknown member, so that a
// rewrite by the program would show.
constexpr const char* currentFileText = R"({"hotKeys":[{"singleModifier":{"info":{"singleTapModifier":"⌘"}}}],"comment":"kept",)"
                                        R"("decision":{"actions":[],"chances":[{"pattern":{"key":{"allowedKeyCodes":[0]}},)"
                                        R"("decision":{"actions":[{"notification":{"title":"hi"}}],"chances":[]}}]}})";

class ConfigurationFileTest : public test::TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        cachedLeaderKeys().reset();
        decodedConfiguration::forget();
    }
    void TearDown() override {
        cachedLeaderKeys().reset();
        TempHomeTest::TearDown();
    }

    fs::path file() const { return root_ / "data" / "local.tavlin" / "configuration.json"; }
    fs::path backupFolder() const { return root_ / "data" / "local.tavlin" / "backup"; }
    std::vector<std::string> backups() const { return folderEntries(backupFolder()); }

    static void fillLeaderKeyCache() {
        cachedLeaderKeys() = std::vector<HotKey>{HotKey::singleModifier(HotKey::SingleTapModifier::option)};
    }

    static json::Value fileJson(const fs::path& path) { return json::parse(fileContents(path)); }
};

// What loadConfiguration throws, as an alert would show it.
std::string loadFailure() {
    try {
        loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    } catch (const std::exception& error) {
        return localizedDescription(error);
    }
    return "no failure";
}

TEST_F(ConfigurationFileTest, FileLivesInAFolderNamedAfterTheProgramInApplicationSupport) {
    EXPECT_EQ(Configuration::relativePath(), "local.tavlin/configuration.json");
    EXPECT_EQ(Configuration::fileURL(), file());
}

TEST_F(ConfigurationFileTest, SampleTreeHasTheFiveBindings) {
    EXPECT_EQ(Decision::example()->toJson(), json::parse(sampleTreeJson));
}

TEST_F(ConfigurationFileTest, EverySampleTreeIsBuiltAfreshWithItsOwnIdentifiers) {
    const auto first = Decision::example();
    const auto second = Decision::example();
    ASSERT_NE(first, second);

    std::set<Uuid> ids;
    std::size_t count = 0;
    for (const auto& tree : {first, second}) {
        std::vector<DecisionPtr> pending{tree};
        while (!pending.empty()) {
            const auto decision = pending.back();
            pending.pop_back();
            for (const auto& action : decision->actions) {
                ids.insert(action.id);
                ++count;
            }
            for (const auto& chance : decision->chances) {
                ids.insert(chance->id);
                ids.insert(chance->pattern.id);
                count += 2;
                pending.push_back(chance->decision);
            }
        }
    }
    EXPECT_EQ(ids.size(), count);

    // Editing one copy leaves the next one untouched.
    first->chances.clear();
    first->chances.push_back(Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), Decision::make()));
    EXPECT_EQ(Decision::example()->toJson(), json::parse(sampleTreeJson));
}

TEST_F(ConfigurationFileTest, FirstStartWritesTheSampleWithoutAuthorInfoAndMakesOneBackup) {
    fillLeaderKeyCache();
    const diag::Capture capture;
    Configuration::upgradeFileIfNeeded();
    EXPECT_FALSE(fs::exists(root_ / "data"));

    const auto before = std::chrono::system_clock::now();
    const auto result = Configuration::loadOrCreate(Configuration::ifMissing);
    const auto after = std::chrono::system_clock::now();
    ASSERT_TRUE(result.hasValue()) << result.errorDescription();
    EXPECT_FALSE(cachedLeaderKeys().has_value());
    EXPECT_TRUE(capture.lines().empty());

    EXPECT_EQ(fileJson(file()), json::parse(std::string(R"({"hotKeys": [], "decision": )") + sampleTreeJson + "}"));
    EXPECT_EQ(result.value()->authorInfo, std::nullopt);
    EXPECT_EQ(result.value()->encodedText(), fileContents(file()));

    const auto names = backups();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(isBackupName(names[0])) << names[0];
    // Names of one time zone sort as their instants do.
    EXPECT_GE(names[0], backupNameAt(before - std::chrono::milliseconds(1)));
    EXPECT_LE(names[0], backupNameAt(after + std::chrono::milliseconds(1)));
    EXPECT_EQ(fileContents(backupFolder() / names[0]), fileContents(file()));

    // The next start finds the file and leaves it alone.
    const std::string written = fileContents(file());
    const auto again = Configuration::loadOrCreate(Configuration::ifMissing);
    ASSERT_TRUE(again.hasValue());
    EXPECT_EQ(fileContents(file()), written);
    EXPECT_EQ(backups().size(), 1u);
}

// Each save leaves a copy: the folder keeps the newest twenty and the newest of each of the last
// seven days, and never touches a file that is no backup of ours.
TEST_F(ConfigurationFileTest, BackupsBeyondTheNewestTwentyAndEachDaysNewestGo) {
    writeFile(file(), currentFileText);
    const auto now = std::chrono::system_clock::now();
    const auto nameAt = [&](std::chrono::hours age) { return backupNameAt(now - age); };
    const std::set<std::string> strangers{"configuration_notes.json", "configuration_2020-01-01_00-00-00.000+0000.json.txt",
                                          "mine.json"};
    for (const auto& name : strangers) writeFile(backupFolder() / name, "{}");
    const auto kept = [&](std::chrono::hours age) { return fs::exists(backupFolder() / nameAt(age)); };

    // A month old: the new copy and the nineteen newest stay, the six oldest go.
    for (int day = 1; day <= 25; ++day) writeFile(backupFolder() / nameAt(std::chrono::hours(24 * (30 + day))), "{}");
    Configuration::backUpConfigurationFile();
    EXPECT_EQ(backups().size(), 20 + strangers.size());
    for (int day = 1; day <= 25; ++day) EXPECT_EQ(kept(std::chrono::hours(24 * (30 + day))), day <= 19) << day;

    // Three a day for the last week: beyond the newest twenty (the last six days) only the newest
    // of the seventh day stays, and none older.
    for (int day = 0; day < 7; ++day)
        for (int hour : {3, 9, 15}) writeFile(backupFolder() / nameAt(std::chrono::hours(24 * day + hour)), "{}");
    Configuration::backUpConfigurationFile();
    EXPECT_TRUE(kept(std::chrono::hours(24 * 5 + 15)));
    EXPECT_TRUE(kept(std::chrono::hours(24 * 6 + 3)));
    EXPECT_FALSE(kept(std::chrono::hours(24 * 6 + 9)));
    EXPECT_FALSE(kept(std::chrono::hours(24 * 6 + 15)));
    EXPECT_FALSE(kept(std::chrono::hours(24 * 31)));
    for (const auto& name : strangers) EXPECT_TRUE(fs::exists(backupFolder() / name)) << name;
}

TEST_F(ConfigurationFileTest, WithoutOptionsAMissingFileIsAnErrorAndNothingIsWritten) {
    const auto result = Configuration::loadOrCreate(0);
    ASSERT_FALSE(result.hasValue());
    EXPECT_EQ(result.errorDescription(), "The file “configuration.json” couldn’t be opened because there is no such file.");
    EXPECT_FALSE(fs::exists(root_ / "data"));
}

TEST_F(ConfigurationFileTest, AnInvalidFileIsReportedAndNeverOverwrittenUnlessAskedTo) {
    const std::string text = R"({"hotKeys": []})";
    writeFile(file(), text);
    fillLeaderKeyCache();

    const auto result = Configuration::loadOrCreate(Configuration::ifMissing);
    ASSERT_FALSE(result.hasValue());
    EXPECT_EQ(result.errorDescription(),
              "The data couldn’t be read because it is missing. No value associated with key \"decision\".");
    EXPECT_EQ(result.errorDescription(), loadFailure());
    EXPECT_FALSE(cachedLeaderKeys().has_value()); // cleared before the load, whatever its outcome
    EXPECT_EQ(fileContents(file()), text);
    EXPECT_FALSE(fs::exists(backupFolder()));

    const auto replaced = Configuration::loadOrCreate(Configuration::ifMissing | Configuration::ifInvalid);
    ASSERT_TRUE(replaced.hasValue()) << replaced.errorDescription();
    EXPECT_EQ(fileJson(file())["decision"], json::parse(sampleTreeJson));
    ASSERT_EQ(backups().size(), 1u);
    EXPECT_EQ(fileContents(backupFolder() / backups()[0]), fileContents(file()));
}

TEST_F(ConfigurationFileTest, BadFilesGiveDecodingErrorsAndAreNeverChanged) {
    const std::string valid = R"({"hotKeys": [], "decision": {"actions": [{"togglePreferencesWindow": {}}], "chances": []}})";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"empty", ""},
        {"truncated", valid.substr(0, valid.size() / 2)},
        {"not JSON", "hotKeys = []\n"},
        // Not UTF-8: the old action name is not replaced either.
        {"not UTF-8", R"({"hotKeys": [], "decision": {"actions": [{"notification": {"title": ")"
                      "\xff\xfe togglePreferencesWindow"
                      R"("}}], "chances": []}})"},
        {"array at the top", "[]"},
        {"hot keys not a list", R"({"hotKeys": {}, "decision": {"actions": [], "chances": []}})"},
        {"author not a text", R"({"authorInfo": 5, "hotKeys": [], "decision": {"actions": [], "chances": []}})"},
        {"chance without decision",
         R"({"hotKeys": [], "decision": {"actions": [], "chances": [{"pattern": {"alwaysMatch": {}}}]}})"},
        {"unknown action", R"({"hotKeys": [], "decision": {"actions": [{"fly": {}}], "chances": []}})"},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        fs::remove_all(root_ / "data");
        writeFile(file(), bytes);

        const diag::Capture capture;
        Configuration::upgradeFileIfNeeded();
        EXPECT_TRUE(capture.lines().empty());

        const auto result = Configuration::loadOrCreate(Configuration::ifMissing);
        ASSERT_FALSE(result.hasValue());
        EXPECT_EQ(result.errorDescription().rfind("The data couldn’t be read because", 0), 0u) << result.errorDescription();
        EXPECT_EQ(result.errorDescription(), loadFailure());
        EXPECT_THROW(loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath()), DecodingError);

        EXPECT_EQ(fileContents(file()), bytes);
        EXPECT_EQ(folderEntries(file().parent_path()), std::vector<std::string>{"configuration.json"});
    }
}

TEST_F(ConfigurationFileTest, AbsurdlyLargeFilesAreRefusedAndKept) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"50 MB of white space", std::string(50 * 1024 * 1024, ' ')},
        {"100000 levels deep", R"({"hotKeys": [], "decision": )" + std::string(100000, '[') + std::string(100000, ']') + "}"},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        writeFile(file(), bytes);

        const diag::Capture capture;
        Configuration::upgradeFileIfNeeded();
        EXPECT_TRUE(capture.lines().empty());
        const auto result = Configuration::loadOrCreate(Configuration::ifMissing);
        ASSERT_FALSE(result.hasValue());
        EXPECT_EQ(result.errorDescription().rfind("The data couldn’t be read because it isn’t in the correct format.", 0), 0u)
            << result.errorDescription();

        EXPECT_TRUE(fileContents(file()) == bytes); // not EXPECT_EQ: a failure would print megabytes
        EXPECT_EQ(folderEntries(file().parent_path()), std::vector<std::string>{"configuration.json"});
    }
}

TEST_F(ConfigurationFileTest, ShapeErrorsNameWhatIsWrongAndWhere) {
    writeFile(file(), R"({"authorInfo": 5, "hotKeys": [], "decision": {"actions": [], "chances": []}})");
    EXPECT_EQ(loadFailure(),
              "The data couldn’t be read because it isn’t in the correct format. "
              "Expected to decode String but found a number instead. (at authorInfo)");
}

TEST_F(ConfigurationFileTest, UpgradeRenamesTheOldActionEverywhereEvenInsideTexts) {
    const std::string text =
        R"({"authorInfo": "togglePreferencesWindow", "hotKeys": [], "decision": {"actions": [)"
        R"({"togglePreferencesWindow": {}, "description": "togglePreferencesWindowtogglePreferencesWindow"}], "chances": []}})";
    writeFile(file(), text);

    Configuration::upgradeFileIfNeeded();

    EXPECT_EQ(
        fileContents(file()),
        R"({"authorInfo": "toggleConfigurationWindow", "hotKeys": [], "decision": {"actions": [)"
        R"({"toggleConfigurationWindow": {}, "description": "toggleConfigurationWindowtoggleConfigurationWindow"}], "chances": []}})");
    EXPECT_FALSE(fs::exists(backupFolder()));

    const auto loaded = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    ASSERT_EQ(loaded->decision->actions.size(), 1u);
    EXPECT_TRUE(loaded->decision->actions[0].kind.is<K::toggleConfigurationWindow>());
}

TEST_F(ConfigurationFileTest, UpgradeOfACurrentFileLeavesItByteIdenticalAndMakesNoBackup) {
    writeFile(file(), currentFileText);
    struct stat before {};
    ASSERT_EQ(::stat(file().c_str(), &before), 0);
    fillLeaderKeyCache();

    const diag::Capture capture;
    Configuration::upgradeFileIfNeeded();

    struct stat after {};
    ASSERT_EQ(::stat(file().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(fileContents(file()), currentFileText);
    EXPECT_EQ(folderEntries(file().parent_path()), std::vector<std::string>{"configuration.json"});
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(cachedLeaderKeys().has_value()); // nothing was written
}

TEST_F(ConfigurationFileTest, OldFormatIsConvertedInPlaceWithOneBackupOfTheConvertedFile) {
    writeFile(file(), R"({
        "authorInfo": "dropped",
        "hotKeys": [{"keyCode": 49, "modifiersCode": 2048}, {"keyCode": 0, "modifiersCode": 4352}],
        "decision": {"actions": [{"notification": {"title": "old"}, "description": "kept"}],
                     "chances": [{"pattern": {"key": {"allowedKeyCodes": [0]}, "description": "p"},
                                  "decision": {"actions": [{"togglePreferencesWindow": {}}], "chances": []}}]}
    })");
    fillLeaderKeyCache();

    Configuration::upgradeFileIfNeeded();

    EXPECT_EQ(fileJson(file()), json::parse(R"({
        "hotKeys": [{"combo": {"info": {"keyCode": 49, "modifiersCode": 2048}}},
                    {"combo": {"info": {"keyCode": 0, "modifiersCode": 4352}}}],
        "decision": {"actions": [{"notification": {"title": "old"}, "description": "kept"}],
                     "chances": [{"pattern": {"key": {"allowedKeyCodes": [0]}, "description": "p"},
                                  "decision": {"actions": [{"toggleConfigurationWindow": {}}], "chances": []}}]}
    })"));
    EXPECT_FALSE(cachedLeaderKeys().has_value());

    const auto names = backups();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(isBackupName(names[0])) << names[0];
    EXPECT_EQ(fileContents(backupFolder() / names[0]), fileContents(file()));

    // Converted once: the next start changes nothing.
    const std::string converted = fileContents(file());
    Configuration::upgradeFileIfNeeded();
    EXPECT_EQ(fileContents(file()), converted);
    EXPECT_EQ(backups().size(), 1u);
}

TEST_F(ConfigurationFileTest, OldFormatWithoutHotKeysIsAlreadyCurrentAndNotConverted) {
    const std::string text = R"({"hotKeys": [], "decision": {"actions": [], "chances": []}})";
    writeFile(file(), text);
    Configuration::upgradeFileIfNeeded();
    EXPECT_EQ(fileContents(file()), text);
    EXPECT_FALSE(fs::exists(backupFolder()));
}

TEST_F(ConfigurationFileTest, AnOldFileThatDoesNotReadAsOldEitherIsLeftAlone) {
    const std::string text = R"({"hotKeys": [{"keyCode": 49}], "decision": {"actions": [], "chances": []}})";
    writeFile(file(), text);
    fillLeaderKeyCache();

    const diag::Capture capture;
    Configuration::upgradeFileIfNeeded();

    EXPECT_EQ(capture.lines(), std::vector<std::string>{"The data couldn’t be read because it is missing. No value "
                                                        "associated with key \"modifiersCode\". (at hotKeys[0])"});
    EXPECT_EQ(fileContents(file()), text);
    EXPECT_FALSE(fs::exists(backupFolder()));
    EXPECT_TRUE(cachedLeaderKeys().has_value());
}

TEST_F(ConfigurationFileTest, WrittenFileIsPrettyJsonAndOmitsAnAbsentAuthor) {
    const Configuration configuration("x", {HotKey::combo(0, 256)}, Decision::make());
    configuration.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_EQ(fileContents(file()),
              "{\n"
              "  \"authorInfo\" : \"x\",\n"
              "  \"hotKeys\" : [\n"
              "    {\n"
              "      \"combo\" : {\n"
              "        \"info\" : {\n"
              "          \"keyCode\" : 0,\n"
              "          \"modifiersCode\" : 256\n"
              "        }\n"
              "      }\n"
              "    }\n"
              "  ],\n"
              "  \"decision\" : {\n"
              "    \"actions\" : [],\n"
              "    \"chances\" : []\n"
              "  }\n"
              "}");

    const Configuration anonymous(std::nullopt, {}, Decision::make());
    anonymous.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_FALSE(fileJson(file()).contains("authorInfo"));
    EXPECT_EQ(loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->authorInfo,
              std::nullopt);
}

TEST_F(ConfigurationFileTest, EveryFieldSurvivesWriteAndLoad) {
    const auto tree = Decision::example();
    tree->chances.push_back(
        Chance::make(Pattern(Pattern::Kind::message{"\\(55\\)"}, "leader"), Decision::make({Action(K::sleep{}, "nap")})));
    const Configuration configuration(
        "flat_rows", {HotKey::combo(122, 4608), HotKey::singleModifier(HotKey::SingleTapModifier::control)}, tree);
    configuration.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());

    const auto loaded = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_EQ(loaded->authorInfo, "flat_rows");
    EXPECT_EQ(loaded->hotKeys, configuration.hotKeys);
    EXPECT_EQ(loaded->toJson(), configuration.toJson());
    EXPECT_EQ(loaded->encodedText(), fileContents(file()));
}

TEST_F(ConfigurationFileTest, WritesReplaceTheFileWholeAndLeaveNoTemporaryFile) {
    const Configuration first("first", {}, Decision::make());
    first.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    // A reader that still holds the old file keeps seeing all of it.
    fs::create_hard_link(file(), root_ / "reader.json");

    const Configuration second(std::nullopt, {}, Decision::example());
    second.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());

    EXPECT_EQ(fileContents(root_ / "reader.json"), first.encodedText());
    EXPECT_EQ(fileContents(file()), second.encodedText());
    EXPECT_EQ(folderEntries(file().parent_path()), std::vector<std::string>{"configuration.json"});
}

TEST_F(ConfigurationFileTest, FailedWritesThrowAndKeepTheFile) {
    const Configuration kept("kept", {}, Decision::make());
    kept.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());

    const Configuration unencodable(
        std::nullopt, {}, Decision::make({Action(K::continueFromInterruption{std::numeric_limits<double>::quiet_NaN()})}));
    EXPECT_THROW(unencodable.write(SearchPathDirectory::applicationSupport, Configuration::relativePath()), EncodingError);
    EXPECT_EQ(fileContents(file()), kept.encodedText());

    fs::remove(file());
    fs::create_directories(file());
    try {
        kept.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
        ADD_FAILURE() << "no error";
    } catch (const FileError& error) {
        EXPECT_EQ(error.localizedDescription(), "The file “configuration.json” couldn’t be saved because it is a folder.");
    }
    EXPECT_EQ(folderEntries(file().parent_path()), std::vector<std::string>{"configuration.json"});
}

std::shared_ptr<Configuration> load() {
    return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
}

TEST_F(ConfigurationFileTest, TheFileIsDecodedOncePerVersionOfTheFile) {
    writeFile(file(), currentFileText);
    const auto first = load();
    EXPECT_EQ(load(), first); // the same copy, not decoded again
    Configuration::upgradeFileIfNeeded();
    EXPECT_EQ(load(), first);

    // Replaced by another program with a text of the same size: another file.
    std::string edited = currentFileText;
    edited.replace(edited.find("\"hi\""), 4, "\"ho\"");
    files::writeFileAtomically(file(), edited);
    const auto second = load();
    ASSERT_NE(second, first);
    EXPECT_EQ(second->decision->chances[0]->decision->actions[0].kind.description(), "Notification (title: \"ho\")");

    // Changed in place: another size.
    {
        std::ofstream append(file(), std::ios::app);
        append << "\n";
    }
    const auto third = load();
    EXPECT_NE(third, second);
    EXPECT_EQ(load(), third);

    // A file that does not decode keeps failing, and one written by us is read afresh.
    writeFile(file(), "{");
    EXPECT_THROW(load(), DecodingError);
    EXPECT_THROW(load(), DecodingError);
    const Configuration written("mine", {}, Decision::make());
    written.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_EQ(load()->authorInfo, "mine");
    fs::remove(file());
    EXPECT_THROW(load(), FileError);
}

// A FIFO would block the reader (with the keyboard grabbed, at a session's start), a device
// never end; both fail at once and stay as they are.
TEST_F(ConfigurationFileTest, AFifoOrADeviceIsRefusedAtOnceAndLeftAlone) {
    fs::create_directories(file().parent_path());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    Configuration::upgradeFileIfNeeded();
    auto result = Configuration::loadOrCreate(Configuration::ifMissing);
    ASSERT_FALSE(result.hasValue());
    EXPECT_EQ(result.errorDescription(), "The file “configuration.json” couldn’t be opened because it is not a regular file.");
    EXPECT_FALSE(Configuration::fileIsGenerated());
    EXPECT_TRUE(fs::is_fifo(file()));

    fs::remove(file());
    fs::create_symlink("/dev/zero", file());
    result = Configuration::loadOrCreate(Configuration::ifMissing);
    ASSERT_FALSE(result.hasValue());
    EXPECT_EQ(result.errorDescription(), "The file “configuration.json” couldn’t be opened because it is not a regular file.");
    EXPECT_EQ(fs::read_symlink(file()), "/dev/zero");
}

// Decision trees nest three levels per key: a very long key sequence makes a tree the parser
// refuses, and a file it cannot read back must never be written.
TEST_F(ConfigurationFileTest, ATreeTooDeepToReadBackIsNeverWritten) {
    const Configuration kept("kept", {}, Decision::make());
    kept.write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    const auto nestedKeys = [](int keys) {
        DecisionPtr decision = Decision::make({Action(K::openFinder{})});
        for (int i = 0; i < keys; ++i) decision = Decision::make({}, {Chance::make(Pattern(Pattern::Kind::key{{0}}), decision)});
        return Configuration("flat_rows", {}, decision);
    };
    try {
        nestedKeys(200).write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
        ADD_FAILURE() << "no error";
    } catch (const EncodingError& error) {
        EXPECT_NE(error.localizedDescription().find("nested deeper than 512 levels"), std::string::npos)
            << error.localizedDescription();
    }
    EXPECT_EQ(fileContents(file()), kept.encodedText());

    nestedKeys(160).write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_NO_THROW(load());
}

TEST_F(ConfigurationFileTest, AGeneratedFileIsKnownByItsMarkEvenWhenItNoLongerLoads) {
    const std::string tooDeep = std::string(600, '[') + std::string(600, ']');
    EXPECT_TRUE(Configuration::textCarriesGeneratedMark("{\n  \"authorInfo\" : \"flat_rows\",\n  \"decision\" : " + tooDeep));
    EXPECT_TRUE(Configuration::textCarriesGeneratedMark(R"({"authorInfo":"by flat_rows \" quoted")"));
    EXPECT_FALSE(Configuration::textCarriesGeneratedMark(R"({"authorInfo" : "by hand"})"));
    EXPECT_FALSE(Configuration::textCarriesGeneratedMark(R"({"hotKeys" : [], "authorInfo" : "flat_rows"})"));
    EXPECT_FALSE(Configuration::textCarriesGeneratedMark(R"({"authorInfo" : "flat_rows)"));
    EXPECT_FALSE(Configuration::textCarriesGeneratedMark(""));

    EXPECT_FALSE(Configuration::fileIsGenerated()); // no file
    writeFile(file(), R"({"authorInfo" : "flat_rows", "hotKeys" : [], "decision" : )" + tooDeep + "}");
    EXPECT_TRUE(Configuration::fileIsGenerated());
    writeFile(file(), R"({"hotKeys" : [], "decision" : )" + tooDeep + "}");
    EXPECT_FALSE(Configuration::fileIsGenerated());
    Configuration("flat_rows", {}, Decision::make())
        .write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_TRUE(Configuration::fileIsGenerated());
    Configuration(std::nullopt, {}, Decision::make())
        .write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_FALSE(Configuration::fileIsGenerated());
}

// The format's key codes are 64-bit integers: an old file with a large one converts whole.
TEST_F(ConfigurationFileTest, KeyCodesBeyond32BitsAreReadAndKept) {
    writeFile(file(), R"({
        "hotKeys": [{"keyCode": 49, "modifiersCode": 2048}],
        "decision": {"actions": [{"simulateKeystroke": {"keystroke":
            {"mainKeyCode": 3000000000, "cmd": false, "shift": false, "option": false, "control": false}}}], "chances": []}
    })");
    Configuration::upgradeFileIfNeeded();
    const auto converted = load();
    ASSERT_TRUE(converted->hotKeys[0].comboInfo());
    const auto* keystroke = converted->decision->actions[0].kind.get<K::simulateKeystroke>();
    ASSERT_TRUE(keystroke);
    EXPECT_EQ(keystroke->keystroke.mainKeyCode, 3000000000);
    EXPECT_NE(fileContents(file()).find("\"mainKeyCode\" : 3000000000"), std::string::npos) << fileContents(file());
}

// Runs `body` in a child process whose user has no home folder in the password database and
// whose HOME and XDG_DATA_HOME are unset, so that no application-support folder can be known.
// Answers the child's exit code.
int inProcessWithoutApplicationSupport(const std::function<int()>& body) {
    uid_t nobody = 54321;
    while (::getpwuid(nobody) != nullptr) ++nobody;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setuid(nobody) != 0) ::_exit(100);
        ::unsetenv("HOME");
        ::unsetenv("XDG_DATA_HOME");
        if (files::applicationSupportDirectory()) ::_exit(101);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ConfigurationFileTest, WritingWithoutAnApplicationSupportFolderIsAnError) {
    if (::getuid() != 0) GTEST_SKIP() << "needs to run as root to drop to a user without a home folder";
    const int status = inProcessWithoutApplicationSupport([] {
        try {
            Configuration(std::nullopt, {}, Decision::make())
                .write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
            return 1;
        } catch (const FileError& error) {
            if (error.localizedDescription().find("application-support folder") == std::string::npos) return 2;
        }
        const auto result = Configuration::loadOrCreate(Configuration::ifMissing | Configuration::ifInvalid);
        return result.hasValue() ? 3 : 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(ConfigurationFileTest, BackupsOnlyOfAnExistingFileAndTheyAccumulate) {
    Configuration::backUpConfigurationFile();
    EXPECT_FALSE(fs::exists(root_ / "data"));

    Configuration("one", {}, Decision::make()).write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    Configuration::backUpConfigurationFile();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Configuration("two", {}, Decision::make()).write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    Configuration::backUpConfigurationFile();

    const auto names = backups();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(fileJson(backupFolder() / names[0])["authorInfo"], "one");
    EXPECT_EQ(fileJson(backupFolder() / names[1])["authorInfo"], "two");
}

TEST_F(ConfigurationFileTest, BackupFolderIsMadeWhenMissingAndRefusedWhenAFileIsInTheWay) {
    EXPECT_EQ(Configuration::makeBackupFolder(), backupFolder());
    EXPECT_TRUE(fs::is_directory(backupFolder()));
    EXPECT_EQ(Configuration::makeBackupFolder(), backupFolder());

    fs::remove(backupFolder());
    writeFile(backupFolder(), "not a folder");
    Configuration("kept", {}, Decision::make()).write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    const diag::Capture capture;
    EXPECT_EQ(Configuration::makeBackupFolder(), std::nullopt);
    EXPECT_EQ(capture.lines().size(), 1u);
    Configuration::backUpConfigurationFile();
    EXPECT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(fileContents(backupFolder()), "not a folder");
}

TEST_F(ConfigurationFileTest, CopyReplacesTheDestinationOrSaysWhyItCannot) {
    writeFile(root_ / "source.json", "new");
    writeFile(root_ / "copy.json", "old and longer");
    EXPECT_TRUE(FileHelper::replaceItem(root_ / "copy.json", root_ / "source.json"));
    EXPECT_EQ(fileContents(root_ / "copy.json"), "new");

    const diag::Capture capture;
    EXPECT_FALSE(FileHelper::replaceItem(root_ / "copy.json", root_ / "missing.json"));
    EXPECT_EQ(capture.lines(),
              std::vector<std::string>{"Cannot copy item at " + (root_ / "missing.json").string() + " to " +
                                       (root_ / "copy.json").string() +
                                       ": The file “missing.json” couldn’t be opened because there is no such file."});
    EXPECT_EQ(fileContents(root_ / "copy.json"), "new");
}

} // namespace
} // namespace tavlin
