#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "model/Configuration.h"
#include "model/LeaderKeyCache.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/Alerts.h"
#include "platform/text/Regex.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using test::fileContents;
using test::folderEntries;
using Row = FlatKeysAndActionRow;
using Scope = Row::ApplicationScope;
using K = Action::Kind;
using Compile = Configuration::WritingFlatRowsPreferencesToTavlinJSON;

const LeaderKey command = LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command));
const LeaderKey option = LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::option));

Row row(Scope scope, std::vector<std::int64_t> keys, std::string title, LeaderKey leaderKey = command,
        bool endAfterAction = false) {
    return Row(Uuid::random(), true, std::move(scope), std::move(keys), Action(K::notification{std::move(title)}), endAfterAction,
               std::move(leaderKey));
}

Row disabled(Row r) {
    r.enabled = false;
    return r;
}

// Expected trees are written as JSON; these stand for the generated actions.
json::Value expected(std::string text) {
    const std::pair<std::string, std::string> generated[] = {
        {"$FRONT", R"({"getFrontmostApp": {"kind": "bundleURL"}})"},
        {"$LEADER", R"({"getLeaderKey": {"kind": "keyCodeText"}})"},
        {"$REACTIVATE",
         R"({"internalMethod": {"info": {"kind": {"setRequireReactivateOnce": {"params": {"newValue": false}}}}}})"},
        {"$REWAIT", R"({"reWaitTriggerKeys": {}})"},
    };
    for (const auto& [token, action] : generated) {
        for (auto at = text.find(token); at != std::string::npos; at = text.find(token, at + action.size())) {
            text.replace(at, token.size(), action);
        }
    }
    return json::parse(text);
}

json::Value compiled(const std::vector<Row>& rows) { return Compile::configuration(rows)->toJson(); }

TEST(FlatRowsCompilation, WithoutEnabledRowsOnlyTheOtherApplicationsRemain) {
    const std::vector<Row> rows{
        disabled(row(Scope::only({"/Applications/Mail.app"}), {0}, "mail", LeaderKey::press(HotKey::combo(0, 256))))};
    EXPECT_EQ(compiled(rows), expected(R"({
        "authorInfo": "flat_rows",
        "hotKeys": [],
        "decision": {"actions": [$FRONT], "chances": [
            {"pattern": {"alwaysMatch": {}}, "decision": {"actions": [$LEADER], "chances": []}}
        ]}
    })"));
    EXPECT_EQ(compiled({}), compiled(rows));
}

TEST(FlatRowsCompilation, ApplicationScopesGetChancesOnTheirEscapedPathsSortedByThem) {
    const LeaderKey optionSpace = LeaderKey::press(HotKey::combo(49, 2048));
    const std::vector<Row> rows{
        row(Scope::only({"/Applications/Foo (1).app"}), {11}, "foo", optionSpace),
        row(Scope::allBut({"/Applications/Bar.app"}), {0}, "not bar", optionSpace),
    };
    // Bar is named only to be excluded: it gets a chance of its own with nothing under it, so
    // that the other-applications chance does not reach it either.
    EXPECT_EQ(compiled(rows), expected(R"json({
        "authorInfo": "flat_rows",
        "hotKeys": [{"combo": {"info": {"keyCode": 49, "modifiersCode": 2048}}},
                    {"combo": {"info": {"keyCode": 49, "modifiersCode": 2048}}}],
        "decision": {"actions": [$FRONT], "chances": [
            {"pattern": {"message": {"regex": "\\/Applications\\/Bar\\.app"}},
             "decision": {"actions": [$LEADER], "chances": []}},
            {"pattern": {"message": {"regex": "\\/Applications\\/Foo \\(1\\)\\.app"}},
             "decision": {"actions": [$LEADER], "chances": [
                {"pattern": {"message": {"regex": "49\\(2048\\)"}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [0]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "not bar"}}], "chances": []}},
                    {"pattern": {"key": {"allowedKeyCodes": [11]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "foo"}}], "chances": []}}
                ]}}
            ]}},
            {"pattern": {"alwaysMatch": {}}, "decision": {"actions": [$LEADER], "chances": [
                {"pattern": {"message": {"regex": "49\\(2048\\)"}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [0]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "not bar"}}], "chances": []}}
                ]}}
            ]}}
        ]}
    })json"));
}

TEST(FlatRowsCompilation, EscapedTextsMatchExactlyTheirOwnText) {
    const auto config = Compile::configuration({row(Scope::only({"/Applications/Foo (1).app"}), {0}, "foo")});
    const auto* appPattern = config->decision->chances.at(0)->pattern.kind.get<Pattern::Kind::message>();
    ASSERT_NE(appPattern, nullptr);
    const auto app = Regex::compile(appPattern->regex);
    ASSERT_TRUE(app.has_value());
    EXPECT_TRUE(app->firstMatchSpansWholeText("/Applications/Foo (1).app"));
    EXPECT_FALSE(app->firstMatchSpansWholeText("/Applications/Foo 1.app"));
    EXPECT_FALSE(app->firstMatchSpansWholeText("/Volumes/Backup/Applications/Foo (1).app"));

    const auto* leaderPattern =
        config->decision->chances.at(0)->decision->chances.at(0)->pattern.kind.get<Pattern::Kind::message>();
    ASSERT_NE(leaderPattern, nullptr);
    const auto leader = Regex::compile(leaderPattern->regex);
    ASSERT_TRUE(leader.has_value());
    EXPECT_TRUE(leader->firstMatchSpansWholeText("(55)"));
    EXPECT_FALSE(leader->firstMatchSpansWholeText("1(55)"));
    EXPECT_FALSE(leader->firstMatchSpansWholeText("55"));
}

TEST(FlatRowsCompilation, LeaderKeysAreMatchedByTheirKeyCodeTexts) {
    const std::vector<Row> rows{
        row(Scope::allBut(), {0}, "command"),
        row(Scope::allBut(), {1}, "hold and wait", LeaderKey::hold(false, 49), false),
        row(Scope::allBut(), {2}, "hold and end", LeaderKey::hold(false, 49), true),
        row(Scope::allBut(), {3}, "combo", LeaderKey::press(HotKey::combo(0, 256))),
        row(Scope::allBut(), {4}, "option", option, true),
    };
    // Held keys add no hot key; a held key that keeps waiting ends with the wait instead of the
    // reactivation step.
    EXPECT_EQ(compiled(rows), expected(R"json({
        "authorInfo": "flat_rows",
        "hotKeys": [{"singleModifier": {"info": {"singleTapModifier": "⌘"}}},
                    {"combo": {"info": {"keyCode": 0, "modifiersCode": 256}}},
                    {"singleModifier": {"info": {"singleTapModifier": "⌥"}}}],
        "decision": {"actions": [$FRONT], "chances": [
            {"pattern": {"alwaysMatch": {}}, "decision": {"actions": [$LEADER], "chances": [
                {"pattern": {"message": {"regex": "0\\(256\\)"}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [3]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "combo"}}], "chances": []}}
                ]}},
                {"pattern": {"message": {"regex": "49\\(0\\)"}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [2]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "hold and end"}}], "chances": []}},
                    {"pattern": {"key": {"allowedKeyCodes": [1]}},
                     "decision": {"actions": [{"notification": {"title": "hold and wait"}}, $REWAIT], "chances": []}}
                ]}},
                {"pattern": {"message": {"regex": "\\(55\\)"}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [0]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "command"}}], "chances": []}}
                ]}},
                {"pattern": {"message": {"regex": "\\(58\\)"}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [4]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "option"}}], "chances": []}}
                ]}}
            ]}}
        ]}
    })json"));
}

TEST(FlatRowsCompilation, SequencesSharingAPrefixShareItsChance) {
    const std::vector<Row> rows{
        row(Scope::allBut(), {5}, "G"),      row(Scope::allBut(), {5, 6}, "G Z"), row(Scope::allBut(), {5, 6, 7}, "G Z X"),
        row(Scope::allBut(), {5, 0}, "G A"), row(Scope::allBut(), {0}, "A"),
    };
    // Keys sort by name (A, G, X, Z); where a row ends at a key that others continue from, its
    // chance comes first and so wins.
    const json::Value tree = compiled(rows)["decision"]["chances"][0]["decision"]["chances"][0];
    EXPECT_EQ(tree, expected(R"json(
        {"pattern": {"message": {"regex": "\\(55\\)"}}, "decision": {"actions": [], "chances": [
            {"pattern": {"key": {"allowedKeyCodes": [0]}},
             "decision": {"actions": [$REACTIVATE, {"notification": {"title": "A"}}], "chances": []}},
            {"pattern": {"key": {"allowedKeyCodes": [5]}},
             "decision": {"actions": [$REACTIVATE, {"notification": {"title": "G"}}], "chances": []}},
            {"pattern": {"key": {"allowedKeyCodes": [5]}}, "decision": {"actions": [], "chances": [
                {"pattern": {"key": {"allowedKeyCodes": [0]}},
                 "decision": {"actions": [$REACTIVATE, {"notification": {"title": "G A"}}], "chances": []}},
                {"pattern": {"key": {"allowedKeyCodes": [6]}},
                 "decision": {"actions": [$REACTIVATE, {"notification": {"title": "G Z"}}], "chances": []}},
                {"pattern": {"key": {"allowedKeyCodes": [6]}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [7]}},
                     "decision": {"actions": [$REACTIVATE, {"notification": {"title": "G Z X"}}], "chances": []}}
                ]}}
            ]}}
        ]}}
    )json"));
    EXPECT_EQ(compiled(rows)["hotKeys"].size(), 5u);
}

TEST(FlatRowsCompilation, RowsWithoutTriggerKeys) {
    const std::vector<Row> rows{
        row(Scope::allBut(), {}, "at once"),
        row(Scope::allBut(), {}, "held at once", LeaderKey::hold(false, 49)),
        row(Scope::allBut(), {}, "never", option),
        row(Scope::allBut(), {0}, "after A", option),
    };
    const diag::Capture capture;
    const json::Value leaderChances = compiled(rows)["decision"]["chances"][0]["decision"]["chances"];
    // A lone row without keys runs on its own leader key, and only on it; one among others
    // makes no chance and is reported with an empty line.
    EXPECT_EQ(leaderChances, expected(R"json([
        {"pattern": {"message": {"regex": "49\\(0\\)"}},
         "decision": {"actions": [{"notification": {"title": "held at once"}}, $REWAIT], "chances": []}},
        {"pattern": {"message": {"regex": "\\(55\\)"}},
         "decision": {"actions": [$REACTIVATE, {"notification": {"title": "at once"}}], "chances": []}},
        {"pattern": {"message": {"regex": "\\(58\\)"}}, "decision": {"actions": [], "chances": [
            {"pattern": {"key": {"allowedKeyCodes": [0]}},
             "decision": {"actions": [$REACTIVATE, {"notification": {"title": "after A"}}], "chances": []}}
        ]}}
    ])json"));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
}

TEST(FlatRowsCompilation, AnOnlyScopeWithoutPathsReachesNoApplicationButKeepsItsHotKey) {
    const json::Value config = compiled({row(Scope::only({}), {0}, "nowhere", LeaderKey::press(HotKey::combo(1, 256)))});
    EXPECT_EQ(config, expected(R"({
        "authorInfo": "flat_rows",
        "hotKeys": [{"combo": {"info": {"keyCode": 1, "modifiersCode": 256}}}],
        "decision": {"actions": [$FRONT], "chances": [
            {"pattern": {"alwaysMatch": {}}, "decision": {"actions": [$LEADER], "chances": []}}
        ]}
    })"));
}

TEST(FlatRowsCompilation, EqualBindingsFollowTheOrderOfTheFirstRowOfTheirScope) {
    const Row mailOnly = row(Scope::only({"/Mail.app"}), {0}, "mail");
    const Row everywhere = row(Scope::allBut(), {0}, "everywhere");
    const auto titlesUnderMail = [](const std::vector<Row>& rows) {
        std::vector<std::string> titles;
        const auto keys = compiled(rows)["decision"]["chances"][0]["decision"]["chances"][0]["decision"]["chances"];
        for (const auto& chance : keys)
            titles.push_back(chance["decision"]["actions"][1]["notification"]["title"].get<std::string>());
        return titles;
    };
    EXPECT_EQ(titlesUnderMail({mailOnly, everywhere}), (std::vector<std::string>{"mail", "everywhere"}));
    EXPECT_EQ(titlesUnderMail({everywhere, mailOnly}), (std::vector<std::string>{"everywhere", "mail"}));

    // The same rows always give the same file.
    const std::vector<Row> rows{row(Scope::only({"/b", "/a"}), {0}, "x"), row(Scope::allBut({"/c"}), {1}, "y"),
                                row(Scope::only({"/a"}), {2}, "z", option), row(Scope::allBut(), {3}, "w", option)};
    EXPECT_EQ(Compile::configuration(rows)->encodedText(), Compile::configuration(rows)->encodedText());
}

TEST(FlatRowsCompilation, RowActionsAreUsedAsTheyAreAndGeneratedOnesAreNew) {
    const Row r = row(Scope::allBut(), {0}, "mine");
    const auto config = Compile::configuration({r, r});
    const auto& keys = config->decision->chances.at(0)->decision->chances.at(0)->decision->chances;
    ASSERT_EQ(keys.size(), 2u);
    const auto& first = keys[0]->decision->actions;
    const auto& second = keys[1]->decision->actions;
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].id, r.action.id);
    EXPECT_EQ(second[1].id, r.action.id);
    EXPECT_NE(first[0].id, second[0].id);
}

// The program's own file, alerts and leader-key cache, for the runs that write the file.
class FlatRowsMigrationTest : public test::TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        cachedLeaderKeys().reset();
        previousPresenter_ = setAlertPresenter(
            [this](const std::string& message, const std::string& information) { alerts_.emplace_back(message, information); });
    }
    void TearDown() override {
        setAlertPresenter(std::move(previousPresenter_));
        cachedLeaderKeys().reset();
        TempHomeTest::TearDown();
    }

    fs::path file() const { return root_ / "data" / "local.tavlin" / "configuration.json"; }

    std::vector<std::pair<std::string, std::string>> alerts_;

private:
    AlertPresenter previousPresenter_;
};

TEST_F(FlatRowsMigrationTest, FirstLaunchGeneratesTheDefaultBindingAndBacksItUp) {
    ASSERT_FALSE(fs::exists(file()));
    EXPECT_TRUE(settings::storeDefaultFlatRowsIfNeverStored());
    cachedLeaderKeys() = std::vector<HotKey>{};

    Compile::migrate();

    EXPECT_FALSE(cachedLeaderKeys().has_value());
    EXPECT_TRUE(alerts_.empty());
    EXPECT_EQ(json::parse(fileContents(file())), expected(R"json({
        "authorInfo": "flat_rows",
        "hotKeys": [{"singleModifier": {"info": {"singleTapModifier": "⌘"}}}],
        "decision": {"actions": [$FRONT], "chances": [
            {"pattern": {"alwaysMatch": {}}, "decision": {"actions": [$LEADER], "chances": [
                {"pattern": {"message": {"regex": "\\(55\\)"}}, "decision": {"actions": [], "chances": [
                    {"pattern": {"key": {"allowedKeyCodes": [1]}}, "decision": {"actions": [
                        $REACTIVATE,
                        {"openApp": {"path": "/Applications/Safari.app", "hideAppIfRunning": true}}
                    ], "chances": []}}
                ]}}
            ]}}
        ]}
    })json"));

    Configuration::backUpConfigurationFile();
    const auto backups = folderEntries(file().parent_path() / "backup");
    ASSERT_EQ(backups.size(), 1u);
    const auto backupName = Regex::compile(R"(configuration_\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2}\.\d{3}[+-]\d{4}\.json)");
    EXPECT_TRUE(backupName->firstMatchSpansWholeText(backups[0])) << backups[0];
    EXPECT_EQ(fileContents(file().parent_path() / "backup" / backups[0]), fileContents(file()));

    // The generated file is what later starts load; none of them writes the sample over it.
    const auto loaded = Configuration::loadOrCreate(Configuration::ifMissing);
    ASSERT_TRUE(loaded.hasValue());
    EXPECT_TRUE(loaded.value()->isGenerated());
}

TEST_F(FlatRowsMigrationTest, RowsToTreeToFileToLoadGivesTheSameTree) {
    const std::vector<Row> rows{
        row(Scope::only({"/Applications/Foo (1).app", "/Applications/Mail.app"}), {0, 1}, "foo"),
        row(Scope::allBut({"/Applications/Mail.app"}), {5, 6}, "G Z", LeaderKey::hold(true, 49)),
        row(Scope::allBut(), {5}, "G", LeaderKey::hold(true, 49), true),
        row(Scope::allBut(), {}, "at once", LeaderKey::press(HotKey::combo(122, 4608))),
        disabled(row(Scope::only({"/Applications/Off.app"}), {2}, "off")),
    };
    ASSERT_EQ(settings::setFlatKeysAndActionRows(rows), std::nullopt);

    Compile::migrate();

    const auto loaded = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    EXPECT_EQ(loaded->toJson(), compiled(rows));
    EXPECT_EQ(loaded->encodedText(), fileContents(file()));
}

TEST_F(FlatRowsMigrationTest, AnUnreadableListCompilesToAnEmptyTreeAndIsKept) {
    const std::string text = R"([{"enabled": true}])";
    settings::appGroupStore()->set(settings::keys::flatKeysAndActionRows, text);

    Compile::migrate();

    EXPECT_EQ(json::parse(fileContents(file())), compiled({}));
    EXPECT_EQ(settings::appGroupStore()->string(settings::keys::flatKeysAndActionRows), text);
}

TEST_F(FlatRowsMigrationTest, AFailedWriteIsToldAsASaveFailureAndKeepsTheCache) {
    fs::create_directories(file()); // a folder where the file goes
    ASSERT_EQ(settings::setFlatKeysAndActionRows(Row::defaultRows()), std::nullopt);
    cachedLeaderKeys() = std::vector<HotKey>{HotKey::singleModifier(HotKey::SingleTapModifier::shift)};

    const diag::Capture capture;
    Compile::migrate();

    const std::string reason = "The file “configuration.json” couldn’t be saved because it is a folder.";
    EXPECT_EQ(alerts_, (std::vector<std::pair<std::string, std::string>>{{"Failed to save configuration", reason}}));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{reason});
    EXPECT_TRUE(cachedLeaderKeys().has_value());
    EXPECT_TRUE(fs::is_directory(file()));
}

} // namespace
} // namespace tavlin
