#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/json/Json.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using Row = FlatKeysAndActionRow;
using Scope = Row::ApplicationScope;
using K = Action::Kind;

std::shared_ptr<UserDefaults> store() { return settings::appGroupStore(); }

// The store as the next start of the program reads it from its file.
std::shared_ptr<UserDefaults> reloadedStore() {
    UserDefaults::resetSharedSuites();
    return settings::appGroupStore();
}

Row row(std::vector<std::int64_t> keys, std::string title) {
    return Row(Uuid::random(), true, Scope::allBut(), std::move(keys), Action(K::notification{std::move(title)}), false,
               LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)));
}

std::vector<Uuid> idsOf(const std::vector<Row>& rows) {
    std::vector<Uuid> ids;
    for (const auto& r : rows) ids.push_back(r.id);
    return ids;
}

// Counts the change announcements of the settings suite while it lives.
class ChangeCounter {
public:
    ChangeCounter() : store_(store()), token_(store_->addObserver([this] { ++count_; })) {}
    ~ChangeCounter() { store_->removeObserver(token_); }
    int count() const { return count_; }

private:
    std::shared_ptr<UserDefaults> store_;
    UserDefaults::ObserverToken token_;
    int count_ = 0;
};

// Two rows as the editor stored them before rows had identifiers.
constexpr const char* rowsWithoutIDs =
    R"([{"enabled":true,"applicationScope":{"allBut":{"paths":[]}},"keys":[1],)"
    R"("action":{"notification":{"title":"one"}},"spaceOrCommand":{"command":{}}},)"
    R"({"enabled":false,"applicationScope":{"only":{"paths":["/Applications/Mail.app"]}},"keys":[2,3],)"
    R"("action":{"openFinder":{}},"leaderKey":{"hold":{"info":{"keepPressFunction":true,"keyCode":49}}}}])";

using SettingsTest = test::TempHomeTest;

TEST_F(SettingsTest, SuiteIsNamedAfterTheProgramAndKeptInTheConfigFolder) {
    EXPECT_EQ(settings::appGroupSuiteName(), "local.tavlin.app");
    EXPECT_EQ(store()->filePath(), root_ / "config" / "local.tavlin" / "local.tavlin.app.json");
}

TEST_F(SettingsTest, AFreshUserReadsEveryDefaultAndNothingIsWritten) {
    EXPECT_EQ(settings::showHintAfterSeconds(), 0.0);
    EXPECT_FALSE(settings::hideLeaderKeyIndicator());
    EXPECT_EQ(settings::leaderKeyIndicatorHeightPercent(), 0.0);
    EXPECT_FALSE(settings::shouldShowInputHistory());
    EXPECT_EQ(settings::inputWindowTopLeftPositionString(), std::nullopt);
    EXPECT_EQ(settings::inputWindowWidthDouble(), std::nullopt);
    EXPECT_EQ(settings::maximumSingleModifierPressAndReleaseInterval(), 0.2);
    EXPECT_FALSE(settings::showExperimentalActions());
    EXPECT_FALSE(settings::previousCheckedComplexMode());
    EXPECT_EQ(settings::previousSetLeaderKeySingleModier(), HotKey::SingleTapModifier::command);
    EXPECT_FALSE(settings::hideDockIcon());
    EXPECT_FALSE(settings::showDecisionBorder());
    EXPECT_TRUE(settings::disabledApplications().empty());
    EXPECT_TRUE(settings::suggestedDisabledApplicationPaths().empty());
    // Never stored is not the same as an empty list.
    EXPECT_EQ(settings::flatKeysAndActionRows(), std::nullopt);

    EXPECT_FALSE(fs::exists(root_ / "config"));
}

TEST_F(SettingsTest, StoredValuesAreReadAndSurviveARestart) {
    namespace k = settings::keys;
    store()->set(k::showHintAfterSeconds, 1.5);
    store()->set(k::hideLeaderKeyIndicator, true);
    store()->set(k::leaderKeyIndicatorHeightPercent, 40.0);
    store()->set(k::shouldShowInputHistory, true);
    store()->set(k::inputWindowTopLeftPositionString, "{10, 20}");
    store()->set(k::inputWindowWidthDouble, 480.5);
    store()->set(k::maximumSingleModifierPressAndReleaseInterval, 0.35);
    store()->set(k::showExperimentalActions, true);
    store()->set(k::previousCheckedComplexMode, true);
    store()->set(k::previousSetLeaderKeySingleModier, "⌥");
    store()->set(k::hideDockIcon, true);
    store()->set(k::showDecisionBorder, true);
    store()->set(k::disabledApplications, R"(["\/Applications\/Mail.app"])");

    reloadedStore();
    EXPECT_EQ(settings::showHintAfterSeconds(), 1.5);
    EXPECT_TRUE(settings::hideLeaderKeyIndicator());
    EXPECT_EQ(settings::leaderKeyIndicatorHeightPercent(), 40.0);
    EXPECT_TRUE(settings::shouldShowInputHistory());
    EXPECT_EQ(settings::inputWindowTopLeftPositionString(), "{10, 20}");
    EXPECT_EQ(settings::inputWindowWidthDouble(), 480.5);
    EXPECT_EQ(settings::maximumSingleModifierPressAndReleaseInterval(), 0.35);
    EXPECT_TRUE(settings::showExperimentalActions());
    EXPECT_TRUE(settings::previousCheckedComplexMode());
    EXPECT_EQ(settings::previousSetLeaderKeySingleModier(), HotKey::SingleTapModifier::option);
    EXPECT_TRUE(settings::hideDockIcon());
    EXPECT_TRUE(settings::showDecisionBorder());
    EXPECT_EQ(settings::disabledApplications(), std::vector<std::string>{"/Applications/Mail.app"});
}

TEST_F(SettingsTest, ValuesOfAnotherKindReadAsTheDefault) {
    namespace k = settings::keys;
    store()->set(k::showHintAfterSeconds, "1.5");
    store()->set(k::hideLeaderKeyIndicator, 1);
    store()->set(k::maximumSingleModifierPressAndReleaseInterval, true);
    store()->set(k::inputWindowTopLeftPositionString, 3);
    store()->set(k::inputWindowWidthDouble, "wide");
    store()->set(k::showExperimentalActions, "yes");
    store()->set(k::previousSetLeaderKeySingleModier, "fn");
    store()->set(k::disabledApplications, DefaultsValue::Array{"/Applications/Mail.app"});
    store()->set(k::suggestedDisabledApplicationPaths, "not a list");
    store()->set(k::flatKeysAndActionRows, DefaultsValue::Array{});

    EXPECT_EQ(settings::showHintAfterSeconds(), 0.0);
    EXPECT_FALSE(settings::hideLeaderKeyIndicator());
    EXPECT_EQ(settings::maximumSingleModifierPressAndReleaseInterval(), 0.2);
    EXPECT_EQ(settings::inputWindowTopLeftPositionString(), std::nullopt);
    EXPECT_EQ(settings::inputWindowWidthDouble(), std::nullopt);
    EXPECT_FALSE(settings::showExperimentalActions());
    EXPECT_EQ(settings::previousSetLeaderKeySingleModier(), HotKey::SingleTapModifier::command);
    EXPECT_TRUE(settings::disabledApplications().empty());
    EXPECT_TRUE(settings::suggestedDisabledApplicationPaths().empty());
    EXPECT_EQ(settings::flatKeysAndActionRows(), std::nullopt);

    // A whole number stored for a number of seconds is that number.
    store()->set(k::showHintAfterSeconds, 2);
    EXPECT_EQ(settings::showHintAfterSeconds(), 2.0);
}

TEST_F(SettingsTest, SuggestedPathsKeepTheFiveNewestOnceEach) {
    for (const char* path : {"/A.app", "/B.app", "/A.app", "/C.app", "/D.app", "/E.app", "/F.app"}) {
        settings::addSuggestedDisabledApplicationPath(std::string(path));
    }
    const std::vector<std::string> expected{"/F.app", "/E.app", "/D.app", "/C.app", "/A.app"};
    EXPECT_EQ(settings::suggestedDisabledApplicationPaths(), expected);

    ChangeCounter changes;
    settings::addSuggestedDisabledApplicationPath(std::nullopt);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(reloadedStore()->string(settings::keys::suggestedDisabledApplicationPaths),
              R"(["\/F.app","\/E.app","\/D.app","\/C.app","\/A.app"])");
}

TEST_F(SettingsTest, NoPathOnAFreshStoreStoresNothing) {
    settings::addSuggestedDisabledApplicationPath(std::nullopt);
    EXPECT_EQ(store()->object(settings::keys::suggestedDisabledApplicationPaths), std::nullopt);
}

TEST_F(SettingsTest, FlatRowsAreStoredAsOneTextAndReadBack) {
    const std::vector<Row> rows{row({1}, "one"), row({2, 3}, "two")};
    EXPECT_EQ(settings::setFlatKeysAndActionRows(rows), std::nullopt);

    EXPECT_EQ(reloadedStore()->string(settings::keys::flatKeysAndActionRows), flatRowsRawValue(rows));
    const auto read = settings::flatKeysAndActionRows();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, rows);

    EXPECT_EQ(settings::setFlatKeysAndActionRows({}), std::nullopt);
    EXPECT_EQ(store()->string(settings::keys::flatKeysAndActionRows), "[]");
    EXPECT_EQ(settings::flatKeysAndActionRows(), std::vector<Row>{});
}

TEST_F(SettingsTest, DefaultRowsAreStoredOnlyWhenTheListWasNeverStored) {
    EXPECT_TRUE(settings::storeDefaultFlatRowsIfNeverStored());
    const auto stored = settings::flatKeysAndActionRows();
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->size(), 1u);
    auto expected = Row::defaultRows().front();
    expected.id = stored->front().id;
    EXPECT_EQ(stored->front(), expected);

    // The user's own list, even an empty one, is never replaced.
    EXPECT_EQ(settings::setFlatKeysAndActionRows({}), std::nullopt);
    EXPECT_FALSE(settings::storeDefaultFlatRowsIfNeverStored());
    EXPECT_EQ(settings::flatKeysAndActionRows(), std::vector<Row>{});
}

TEST_F(SettingsTest, AnUnreadableListReadsAsAbsentAndIsKeptAsStored) {
    // The second row names no leader key at all.
    const std::string text = R"([{"enabled":true,"applicationScope":{"allBut":{"paths":[]}},"keys":[1],)"
                             R"("action":{"openFinder":{}},"spaceOrCommand":{"space":{}}},)"
                             R"({"enabled":true,"applicationScope":{"allBut":{"paths":[]}},"keys":[2],)"
                             R"("action":{"openFinder":{}}}])";
    store()->set(settings::keys::flatKeysAndActionRows, text);

    ChangeCounter changes;
    EXPECT_EQ(settings::flatKeysAndActionRows(), std::nullopt);
    EXPECT_FALSE(settings::storeDefaultFlatRowsIfNeverStored());
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(reloadedStore()->string(settings::keys::flatKeysAndActionRows), text);
}

// A hand edit that left the list without its kind: the store cannot read it, but it is there.
TEST_F(SettingsTest, DefaultRowsAreNeverStoredOverAValueTheStoreCannotRead) {
    const std::string edited = R"({"flatKeysAndActionRows" : "[]"})";
    test::writeFile(store()->filePath(), edited);
    EXPECT_TRUE(reloadedStore()->contains(settings::keys::flatKeysAndActionRows));
    EXPECT_FALSE(settings::storeDefaultFlatRowsIfNeverStored());
    EXPECT_EQ(test::fileContents(store()->filePath()), edited);
}

TEST_F(SettingsTest, RowsThatCannotBeEncodedAreRefusedAndTheStoredListKept) {
    const std::vector<Row> kept{row({1}, "kept")};
    ASSERT_EQ(settings::setFlatKeysAndActionRows(kept), std::nullopt);

    Row broken = row({2}, "broken");
    broken.action = Action(K::continueFromInterruption{std::numeric_limits<double>::quiet_NaN()});
    ChangeCounter changes;
    const auto error = settings::setFlatKeysAndActionRows({kept.front(), broken});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->rfind("The data couldn’t be written because it isn’t in the correct format.", 0), 0u) << *error;
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(reloadedStore()->string(settings::keys::flatKeysAndActionRows), flatRowsRawValue(kept));
}

TEST_F(SettingsTest, RowsStoredWithoutIdentifiersAreWrittenBackOnceWithTheirNewOnes) {
    store()->set(settings::keys::flatKeysAndActionRows, rowsWithoutIDs);

    ChangeCounter changes;
    const auto first = settings::flatKeysAndActionRows();
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 2u);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(store()->string(settings::keys::flatKeysAndActionRows), flatRowsRawValue(*first));

    const auto second = settings::flatKeysAndActionRows();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(idsOf(*second), idsOf(*first));
    EXPECT_EQ(changes.count(), 1);

    reloadedStore();
    EXPECT_EQ(idsOf(*settings::flatKeysAndActionRows()), idsOf(*first));
}

TEST_F(SettingsTest, RowsWithIdentifiersAreNotWrittenWhenRead) {
    const std::vector<Row> rows{row({1}, "one")};
    ASSERT_EQ(settings::setFlatKeysAndActionRows(rows), std::nullopt);
    ChangeCounter changes;
    EXPECT_EQ(settings::flatKeysAndActionRows(), rows);
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(SettingsTest, ChangeHandlerDoesNotRunAgainForChangesItCausesItself) {
    NSUserDefaults::Manager manager(UserDefaults::standard());
    int runs = 0;
    bool flagWhileRunning = false;
    manager.observe(store(), [&] {
        ++runs;
        flagWhileRunning = manager.isHandlingUserDefaultsChange();
        store()->set("written by the handler", runs); // announces a change while the handler runs
    });
    EXPECT_EQ(manager.observerCount(), 1u);

    store()->set("outside", 1);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(flagWhileRunning);
    EXPECT_FALSE(manager.isHandlingUserDefaultsChange());

    store()->set("outside", 2);
    EXPECT_EQ(runs, 2);
}

TEST_F(SettingsTest, AFailingHandlerDoesNotBlockTheNextChange) {
    NSUserDefaults::Manager manager(UserDefaults::standard());
    int runs = 0;
    EXPECT_THROW(manager.handleChange([&] {
        ++runs;
        throw std::runtime_error("handler failed");
    }),
                 std::runtime_error);
    EXPECT_FALSE(manager.isHandlingUserDefaultsChange());
    manager.handleChange([&] { ++runs; });
    EXPECT_EQ(runs, 2);
}

TEST_F(SettingsTest, ReleasingTheManagerRemovesEveryObserver) {
    int runs = 0;
    {
        NSUserDefaults::Manager manager(UserDefaults::standard());
        manager.observe(store(), [&] { ++runs; });
        manager.observe(UserDefaults::standard(), [&] { ++runs; });
        EXPECT_EQ(manager.observerCount(), 2u);
        store()->set("k", 1);
        UserDefaults::standard()->set("k", 1);
        EXPECT_EQ(runs, 2);
    }
    store()->set("k", 2);
    UserDefaults::standard()->set("k", 2);
    EXPECT_EQ(runs, 2);
}

TEST_F(SettingsTest, AManagerOutlivingItsStoreIsReleasedCleanly) {
    int runs = 0;
    {
        NSUserDefaults::Manager manager(UserDefaults::standard());
        manager.observe(store(), [&] { ++runs; });
        UserDefaults::resetSharedSuites(); // the observed suite object goes away
    }
    store()->set("k", 1);
    EXPECT_EQ(runs, 0);
}

} // namespace
} // namespace tavlin
