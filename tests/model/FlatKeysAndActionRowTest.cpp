#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/FlatKeysAndActionRow.h"

namespace tavlin {
namespace {

using test::decodingErrorOf;
using test::hasKind;
using test::isInvalidNumberOfKeys;
using Row = FlatKeysAndActionRow;
using Scope = Row::ApplicationScope;
using K = Action::Kind;

const LeaderKey command = LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command));
const LeaderKey space = LeaderKey::hold(true, 49);

Row makeRow(Scope scope, std::vector<std::int64_t> keys, LeaderKey leaderKey = command, Action action = Action(K::openFinder{})) {
    return Row(Uuid::random(), true, std::move(scope), std::move(keys), std::move(action), false, std::move(leaderKey));
}

// A stored row with every member; tests take members away or change them.
json::Value storedRow() {
    return json::parse(R"({
        "id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
        "enabled": true,
        "applicationScope": {"allBut": {"paths": []}},
        "keys": [1],
        "action": {"openFinder": {}},
        "leaderKey": {"hold": {"info": {"keepPressFunction": false, "keyCode": 50}}},
        "endLeaderKeyStatusAfterActionExecution": true
    })");
}

Row read(const json::Value& value, bool* hadStoredID = nullptr) { return Row::fromJson(JsonReader(value), hadStoredID); }

std::optional<DecodingError> readError(const json::Value& value) {
    return decodingErrorOf([&] { read(value); });
}

json::Value without(json::Value value, const char* member) {
    value.erase(member);
    return value;
}

json::Value with(json::Value value, const char* member, json::Value content) {
    value[member] = std::move(content);
    return value;
}

TEST(FlatRowJson, WrittenFormHasEveryMemberInOrderAndSortedPaths) {
    const Row row(*Uuid::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), true,
                  Scope::only({"/Applications/b.app", "/Applications/a.app"}), {0, 11},
                  Action(K::openApp{"/Applications/Safari.app", true, "--new", std::nullopt}, "browse"), false, space);
    const std::string expected =
        R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","enabled":true,)"
        R"("applicationScope":{"only":{"paths":["\/Applications\/a.app","\/Applications\/b.app"]}},"keys":[0,11],)"
        R"("action":{"openApp":{"path":"\/Applications\/Safari.app","hideAppIfRunning":true,"launchArgumentsText":"--new"},"description":"browse"},)"
        R"("leaderKey":{"hold":{"info":{"keepPressFunction":true,"keyCode":49}}},"endLeaderKeyStatusAfterActionExecution":false})";
    EXPECT_EQ(row.rawValue(), expected);

    const auto back = Row::fromRawValue(expected);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, row);
    EXPECT_EQ(back->rawValue(), expected);
}

TEST(FlatRowJson, AMissingOrNullIdGivesAFreshOneOnEveryRead) {
    bool hadID = false;
    EXPECT_EQ(read(storedRow(), &hadID).id.string(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_TRUE(hadID);

    for (const auto& stored : {without(storedRow(), "id"), with(storedRow(), "id", nullptr)}) {
        const Row first = read(stored, &hadID);
        EXPECT_FALSE(hadID);
        EXPECT_NE(first.id, read(stored).id);
        EXPECT_NE(first.id, Uuid());
    }

    EXPECT_TRUE(hasKind(readError(with(storedRow(), "id", "not a uuid")), DecodingError::Kind::dataCorrupted));
}

TEST(FlatRowJson, SpaceOrCommandStandsInForAMissingLeaderKey) {
    const auto old = [](const char* marker) {
        return with(without(storedRow(), "leaderKey"), "spaceOrCommand", json::parse(marker));
    };
    EXPECT_EQ(read(old(R"({"space": {}})")).leaderKey, LeaderKey::hold(true, 49));
    EXPECT_EQ(read(old(R"({"command": {}})")).leaderKey, command);
    EXPECT_EQ(read(old(R"({"space": {"ignored": 1}, "other": 2})")).leaderKey, LeaderKey::hold(true, 49));
    EXPECT_EQ(read(with(old(R"({"command": {}})"), "leaderKey", nullptr)).leaderKey, command);

    // The old member is never written.
    EXPECT_FALSE(read(old(R"({"space": {}})")).toJson().contains("spaceOrCommand"));
}

TEST(FlatRowJson, ALeaderKeyMakesSpaceOrCommandIgnored) {
    const auto both = with(storedRow(), "spaceOrCommand", json::parse(R"({"space": {}, "command": {}})"));
    EXPECT_EQ(read(both).leaderKey, LeaderKey::hold(false, 50));
}

TEST(FlatRowJson, WithoutAnyLeaderKeyTheRowAndItsListFail) {
    const auto error = readError(without(storedRow(), "leaderKey"));
    ASSERT_TRUE(hasKind(error, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(error->key(), "spaceOrCommand");

    json::Value list = json::Value::array({storedRow(), without(storedRow(), "leaderKey")});
    EXPECT_EQ(flatRowsFromRawValue(json::encode(list, json::Style::compact)), std::nullopt);
}

TEST(FlatRowJson, SpaceOrCommandNeedsExactlyOneCase) {
    for (const char* marker : {R"({"space": {}, "command": {}})", R"({})", R"({"hold": {}})"}) {
        SCOPED_TRACE(marker);
        const auto stored = with(without(storedRow(), "leaderKey"), "spaceOrCommand", json::parse(marker));
        EXPECT_TRUE(isInvalidNumberOfKeys(readError(stored), "SpaceOrCommand"));
    }
}

TEST(FlatRowJson, AMissingEndFlagReadsAsFalse) {
    EXPECT_TRUE(read(storedRow()).endLeaderKeyStatusAfterActionExecution);
    EXPECT_FALSE(read(without(storedRow(), "endLeaderKeyStatusAfterActionExecution")).endLeaderKeyStatusAfterActionExecution);
    EXPECT_FALSE(
        read(with(storedRow(), "endLeaderKeyStatusAfterActionExecution", nullptr)).endLeaderKeyStatusAfterActionExecution);
    EXPECT_TRUE(hasKind(readError(with(storedRow(), "endLeaderKeyStatusAfterActionExecution", "yes")),
                        DecodingError::Kind::typeMismatch));
}

TEST(FlatRowJson, RequiredMembersAndUnknownOnes) {
    for (const char* member : {"enabled", "applicationScope", "keys", "action"}) {
        SCOPED_TRACE(member);
        const auto error = readError(without(storedRow(), member));
        ASSERT_TRUE(hasKind(error, DecodingError::Kind::keyNotFound));
        EXPECT_EQ(error->key(), member);
    }
    EXPECT_TRUE(hasKind(readError(with(storedRow(), "enabled", 1)), DecodingError::Kind::typeMismatch));
    EXPECT_TRUE(hasKind(readError(with(storedRow(), "keys", json::parse(R"(["A"])"))), DecodingError::Kind::typeMismatch));
    EXPECT_TRUE(hasKind(readError(json::parse("[]")), DecodingError::Kind::typeMismatch));

    EXPECT_EQ(read(with(storedRow(), "note", "from a later version")).rawValue(), read(storedRow()).rawValue());
}

TEST(FlatRowScopeJson, ExactlyOneCaseWithItsPaths) {
    const auto scopeError = [](const char* scope) {
        return readError(with(storedRow(), "applicationScope", json::parse(scope)));
    };
    EXPECT_TRUE(isInvalidNumberOfKeys(scopeError(R"({"allBut": {"paths": []}, "only": {"paths": []}})"),
                                      "FlatKeysAndActionRow.ApplicationScope"));
    EXPECT_TRUE(isInvalidNumberOfKeys(scopeError(R"({"paths": []})"), "FlatKeysAndActionRow.ApplicationScope"));
    const auto noPaths = scopeError(R"({"only": {}})");
    ASSERT_TRUE(hasKind(noPaths, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noPaths->key(), "paths");

    const auto scope = [](const char* text) {
        return read(with(storedRow(), "applicationScope", json::parse(text))).applicationScope;
    };
    EXPECT_EQ(scope(R"({"only": {"paths": ["/b", "/a", "/b"]}, "note": 1})"), Scope::only({"/a", "/b"}));
    EXPECT_EQ(scope(R"({"allBut": {"paths": []}})"), Scope::allBut());
}

TEST(FlatRowScopeJson, PathOrderHasNoMeaning) {
    const auto a = read(with(storedRow(), "applicationScope", json::parse(R"({"only": {"paths": ["/x", "/y"]}})")));
    const auto b = read(with(storedRow(), "applicationScope", json::parse(R"({"only": {"paths": ["/y", "/x"]}})")));
    EXPECT_EQ(a.applicationScope, b.applicationScope);
    EXPECT_EQ(a.applicationScope.id(), b.applicationScope.id());
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.hashValue(), b.hashValue());
}

TEST(FlatRowRawValue, TextThatIsNotOneRowGivesNoRow) {
    const std::vector<std::string> texts{
        "", "{}", "[]", "not JSON", "{\"id\": \"\xff\"}", json::encode(without(storedRow(), "keys"), json::Style::compact)};
    for (const auto& text : texts) {
        EXPECT_EQ(Row::fromRawValue(text), std::nullopt) << text;
    }
    EXPECT_TRUE(Row::fromRawValue(json::encode(storedRow(), json::Style::compact)).has_value());
}

TEST(FlatRowEquality, GoesThroughTheJsonText) {
    const Row row = makeRow(Scope::allBut(), {1});
    Row copy = row;
    EXPECT_EQ(copy, row);
    EXPECT_EQ(copy.hashValue(), row.hashValue());

    copy.id = Uuid::random();
    EXPECT_NE(copy, row);
    EXPECT_NE(copy.hashValue(), row.hashValue());

    // Action identifiers are not stored, so they do not count.
    Row sameAction = row;
    sameAction.action.id = Uuid::random();
    EXPECT_EQ(sameAction, row);

    // Rows that cannot be encoded all read as "{}", and so as equal.
    Row nan = makeRow(Scope::allBut(), {1}, command,
                      Action(K::continueFromInterruption{std::numeric_limits<double>::quiet_NaN()}));
    Row otherNan = makeRow(Scope::only({"/x"}), {2}, space,
                           Action(K::stopKeySequenceAfterDelay{std::numeric_limits<double>::infinity(), true}));
    EXPECT_EQ(nan.rawValue(), "{}");
    EXPECT_EQ(nan, otherNan);
    EXPECT_EQ(nan.hashValue(), otherNan.hashValue());
}

TEST(FlatRowList, StoredAsOneJsonArray) {
    EXPECT_EQ(flatRowsRawValue({}), "[]");
    EXPECT_EQ(flatRowsFromRawValue("[]"), std::vector<Row>{});

    const std::vector<Row> rows{makeRow(Scope::allBut(), {1}), makeRow(Scope::only({"/x"}), {2, 3}, space)};
    const std::string text = flatRowsRawValue(rows);
    EXPECT_EQ(text, "[" + rows[0].rawValue() + "," + rows[1].rawValue() + "]");
    bool lacked = true;
    EXPECT_EQ(flatRowsFromRawValue(text, &lacked), rows);
    EXPECT_FALSE(lacked);

    const json::Value mixed = json::Value::array({storedRow(), without(storedRow(), "id")});
    const auto read = flatRowsFromRawValue(json::encode(mixed, json::Style::compact), &lacked);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), 2u);
    EXPECT_TRUE(lacked);

    for (const char* text : {"", "{}", "[1]", "[{}]", "null", "\xff"})
        EXPECT_EQ(flatRowsFromRawValue(text), std::nullopt) << text;
}

// A list of megabytes is read in pieces cut between its elements: texts holding commas,
// brackets and quotes must not be cut, and a list that does not read whole reads in no piece.
TEST(FlatRowList, AListOfMegabytesReadsAsItsRowsAndFailsAsAWhole) {
    std::vector<Row> rows;
    for (int i = 0; i < 5000; ++i) {
        rows.push_back(makeRow(Scope::only({"/a,[b]{c}/" + std::to_string(i % 5)}), {i % 50, 7}, i % 2 ? command : space,
                               Action(K::openURL{"https://example.com/\"}}},{{{\\" + std::to_string(i), std::nullopt})));
    }
    const std::string text = flatRowsRawValue(rows);
    ASSERT_GT(text.size(), std::size_t{1} << 20); // in two pieces at least
    bool lacked = true;
    EXPECT_EQ(flatRowsFromRawValue(" " + text + "\n", &lacked), rows);
    EXPECT_FALSE(lacked);

    json::Value stored = json::parse(text);
    stored.back().erase("id");
    EXPECT_TRUE(flatRowsFromRawValue(json::encode(stored, json::Style::compact), &lacked).has_value());
    EXPECT_TRUE(lacked);

    const std::size_t middle = text.find("},{", text.size() / 2) + 1;
    for (const std::string& broken : {text + "x", text.substr(0, text.size() - 1) + "}", text.substr(0, text.size() - 1),
                                      text.substr(0, middle) + "," + text.substr(middle),
                                      text.substr(0, middle) + std::string(1 << 20, ' ') + "," + text.substr(middle)})
        EXPECT_EQ(flatRowsFromRawValue(broken), std::nullopt) << broken.substr(broken.size() - 20);
}

TEST(FlatRowList, ARowThatCannotBeEncodedIsAnErrorNotAnEmptyList) {
    const std::vector<Row> rows{
        makeRow(Scope::allBut(), {1}),
        makeRow(Scope::allBut(), {2}, command, Action(K::continueFromInterruption{std::numeric_limits<double>::quiet_NaN()}))};
    EXPECT_THROW(flatRowsRawValue(rows), EncodingError);
}

TEST(FlatRowScopeOrder, OnlyScopesByFewestPathsThenAllButScopesByMost) {
    const std::vector<Scope> expected{
        Scope::only({}),       Scope::only({"/a"}), Scope::only({"/a", "/b"}), Scope::allBut({"/a", "/b", "/c"}),
        Scope::allBut({"/a"}), Scope::allBut(),
    };
    std::vector<Scope> scopes{expected[4], expected[1], expected[5], expected[0], expected[3], expected[2]};
    std::stable_sort(scopes.begin(), scopes.end());
    EXPECT_EQ(scopes, expected);

    for (const auto& scope : expected) EXPECT_FALSE(scope < scope);
    // Scopes of one case and size order by their path sets, one way only.
    const Scope x = Scope::only({"/x"});
    const Scope y = Scope::only({"/y"});
    EXPECT_NE(x < y, y < x);
    const Scope ax = Scope::allBut({"/x"});
    const Scope ay = Scope::allBut({"/y"});
    EXPECT_NE(ax < ay, ay < ax);
}

TEST(FlatRowOrder, ByScopeThenLeaderKeyThenKeyNames) {
    const Row mailOnly = makeRow(Scope::only({"/Mail.app"}), {6});
    const Row allButMail = makeRow(Scope::allBut({"/Mail.app"}), {0});
    const Row held = makeRow(Scope::allBut(), {5}, space);
    const Row a = makeRow(Scope::allBut(), {0});         // A
    const Row aThenS = makeRow(Scope::allBut(), {0, 1}); // A, S
    const Row s = makeRow(Scope::allBut(), {1});         // S
    const Row combo = makeRow(Scope::allBut(), {1}, LeaderKey::press(HotKey::combo(49, 2048)));

    std::vector<Row> rows{s, combo, aThenS, held, allButMail, a, mailOnly};
    std::stable_sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<Row>{mailOnly, allButMail, held, combo, a, aThenS, s}));
}

TEST(FlatRowOrder, IgnoresEnabledActionIdAndEndFlag) {
    const Row row = makeRow(Scope::allBut(), {0});
    Row other(Uuid::random(), false, Scope::allBut(), {0}, Action(K::notification{"different"}), true, command);
    EXPECT_FALSE(row < other);
    EXPECT_FALSE(other < row);
}

TEST(FlatRowScopeOverlap, SharedApplications) {
    const Scope onlyAB = Scope::only({"/a", "/b"});
    EXPECT_EQ(onlyAB.overlaps(Scope::only({"/b", "/c"})), true);
    EXPECT_EQ(onlyAB.overlaps(Scope::only({"/c"})), false);
    EXPECT_EQ(Scope::only({}).overlaps(Scope::only({})), false);
    EXPECT_EQ(Scope::only({}).overlaps(Scope::allBut()), false);

    // only against allBut, either way round: whether an only path is not excluded.
    EXPECT_EQ(onlyAB.overlaps(Scope::allBut({"/a"})), true);
    EXPECT_EQ(Scope::allBut({"/a"}).overlaps(onlyAB), true);
    EXPECT_EQ(onlyAB.overlaps(Scope::allBut({"/a", "/b"})), false);
    EXPECT_EQ(Scope::allBut({"/a", "/b", "/c"}).overlaps(onlyAB), false);

    EXPECT_EQ(Scope::allBut().overlaps(Scope::allBut({"/a"})), std::nullopt);
}

TEST(FlatRowComplexMode, OnlyEveryApplicationRowsWithoutLaunchArgumentsAreSimple) {
    const auto openApp = [](std::optional<std::string> arguments) {
        return Action(K::openApp{"/Applications/Safari.app", false, std::move(arguments), std::nullopt});
    };
    EXPECT_FALSE(makeRow(Scope::allBut(), {1}).requiresComplexMode());
    EXPECT_FALSE(makeRow(Scope::allBut(), {1}, command, openApp(std::nullopt)).requiresComplexMode());
    EXPECT_FALSE(makeRow(Scope::allBut(), {1}, command, openApp("")).requiresComplexMode());
    EXPECT_TRUE(makeRow(Scope::allBut(), {1}, command, openApp("--x")).requiresComplexMode());
    EXPECT_TRUE(makeRow(Scope::allBut({"/a"}), {1}).requiresComplexMode());
    EXPECT_TRUE(makeRow(Scope::only({}), {1}).requiresComplexMode());
    // Launch arguments only count for openApp.
    EXPECT_FALSE(makeRow(Scope::allBut(), {1}, command, Action(K::executeFile{"/bin/x", "--x"})).requiresComplexMode());
}

TEST(FlatRowDefaults, OneRowThatOpensTheBrowserAfterCommandAndS) {
    const auto rows = Row::defaultRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(without(rows[0].toJson(), "id"), json::parse(R"({
        "enabled": true,
        "applicationScope": {"allBut": {"paths": []}},
        "keys": [1],
        "action": {"openApp": {"path": "/Applications/Safari.app", "hideAppIfRunning": true}},
        "leaderKey": {"press": {"info": {"hotKey": {"singleModifier": {"info": {"singleTapModifier": "⌘"}}}}}},
        "endLeaderKeyStatusAfterActionExecution": false
    })"));

    const auto again = Row::defaultRows();
    EXPECT_NE(again[0].id, rows[0].id);
    EXPECT_NE(again[0].action.id, rows[0].action.id);
}

} // namespace
} // namespace tavlin
