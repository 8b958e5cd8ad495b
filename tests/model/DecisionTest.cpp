#include <set>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/Decision.h"
#include "platform/base/Diagnostics.h"

namespace tavlin {
namespace {

using test::decode;
using test::decodingErrorOf;
using test::hasKind;
using K = Action::Kind;
using PK = Pattern::Kind;

PK keys(std::vector<std::int64_t> codes) { return PK::key{std::move(codes)}; }
PK message(std::string regex) { return PK::message{std::move(regex)}; }
PK always() { return PK::alwaysMatch{}; }

ChancePtr chance(PK kind, DecisionPtr child = Decision::make()) {
    return Chance::make(Pattern(std::move(kind)), std::move(child));
}

std::vector<PK> patternKinds(const Decision& decision) {
    std::vector<PK> kinds;
    for (const auto& c : decision.chances) kinds.push_back(c->pattern.kind);
    return kinds;
}

// Every action, chance and pattern identifier of a subtree.
void collectIds(const Decision& decision, std::vector<Uuid>& ids) {
    for (const auto& action : decision.actions) ids.push_back(action.id);
    for (const auto& c : decision.chances) {
        ids.push_back(c->id);
        ids.push_back(c->pattern.id);
        collectIds(*c->decision, ids);
    }
}

// root: [open finder] -> key A: [notification] -> message x: [sleep]
//                     -> always: [switch window]
DecisionPtr sampleTree() {
    auto grandchild = Decision::make({Action(K::sleep{}, "nap")});
    auto first = Decision::make({Action(K::notification{"n"})}, {chance(message("x"), grandchild)});
    auto second = Decision::make({Action(K::switchWindow{})});
    return Decision::make({Action(K::openFinder{})},
                          {Chance::make(Pattern(keys({0}), "a key"), first), chance(always(), second)});
}

TEST(DecisionJson, Form) {
    const auto tree = Decision::make({Action(K::sleep{})}, {chance(keys({0}))});
    EXPECT_EQ(tree->toJson(), test::parsed(R"({
        "actions": [{"sleep": {}}],
        "chances": [{"pattern": {"key": {"allowedKeyCodes": [0]}}, "decision": {"actions": [], "chances": []}}]
    })"));
}

TEST(DecisionJson, RoundTripGivesEveryNodeNewIdentifiers) {
    const auto tree = sampleTree();
    const std::string text = json::encode(tree->toJson());
    const auto decoded = decode<Decision>(text);
    EXPECT_EQ(json::encode(decoded->toJson()), text);

    std::vector<Uuid> before;
    std::vector<Uuid> after;
    collectIds(*tree, before);
    collectIds(*decoded, after);
    ASSERT_EQ(after.size(), before.size());
    const std::set<Uuid> original(before.begin(), before.end());
    for (const auto& id : after) EXPECT_FALSE(original.count(id));
    EXPECT_EQ(std::set<Uuid>(after.begin(), after.end()).size(), after.size());
}

TEST(DecisionJson, BothMembersAreRequired) {
    const auto noChances = decodingErrorOf([] { decode<Decision>(R"({"actions": []})"); });
    ASSERT_TRUE(hasKind(noChances, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noChances->key(), "chances");
    const auto noActions = decodingErrorOf([] { decode<Decision>(R"({"chances": []})"); });
    ASSERT_TRUE(hasKind(noActions, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noActions->key(), "actions");
    const auto noDecision = decodingErrorOf(
        [] { decode<Decision>(R"({"actions": [], "chances": [{"pattern": {"alwaysMatch": {}}}]})"); });
    ASSERT_TRUE(hasKind(noDecision, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noDecision->key(), "decision");
    const auto noPattern = decodingErrorOf(
        [] { decode<Decision>(R"({"actions": [], "chances": [{"decision": {"actions": [], "chances": []}}]})"); });
    ASSERT_TRUE(hasKind(noPattern, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(noPattern->key(), "pattern");
    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<Decision>(R"({"actions": null, "chances": []})"); }),
                        DecodingError::Kind::valueNotFound));
    for (const char* text : {R"({"actions": {}, "chances": []})", R"({"actions": [], "chances": [5]})", R"([])",
                             R"({"actions": [], "chances": [{"pattern": [], "decision": {"actions": [], "chances": []}}]})"}) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<Decision>(text); }), DecodingError::Kind::typeMismatch)) << text;
    }
}

TEST(DecisionJson, ErrorDeepInsideATreeNamesItsPath) {
    const auto error = decodingErrorOf([] {
        decode<Decision>(R"({"actions": [], "chances": [
            {"pattern": {"alwaysMatch": {}}, "decision": {"actions": [{"sleep": {}}, {"notification": {}}], "chances": []}}]})");
    });
    ASSERT_TRUE(hasKind(error, DecodingError::Kind::keyNotFound));
    EXPECT_EQ(describeCodingPath(error->codingPath()), "chances[0].decision.actions[1].notification");
}

// Builds {"actions": [], "chances": [{"pattern": …, "decision": … }]} nested `levels` deep.
std::string nestedDecisionText(int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += R"({"actions":[],"chances":[{"pattern":{"alwaysMatch":{}},"decision":)";
    text += R"({"actions":[],"chances":[]})";
    for (int i = 0; i < levels; ++i) text += "}]}";
    return text;
}

TEST(DecisionJson, HostileInputIsAnErrorNotACrash) {
    // Each level nests three containers: within the parser's limit this still decodes.
    const int allowed = (json::maximumNestingDepth - 1) / 3;
    const auto deep = decode<Decision>(nestedDecisionText(allowed));
    int depth = 0;
    for (auto node = deep; !node->chances.empty(); node = node->chances.front()->decision) ++depth;
    EXPECT_EQ(depth, allowed);
    EXPECT_EQ(deep->sortedByPattern()->copyWithNewIDs()->toJson(), deep->toJson());

    EXPECT_TRUE(hasKind(decodingErrorOf([] { decode<Decision>(nestedDecisionText(json::maximumNestingDepth)); }),
                        DecodingError::Kind::dataCorrupted));
    EXPECT_TRUE(
        hasKind(decodingErrorOf([] { decode<Decision>(nestedDecisionText(100000)); }), DecodingError::Kind::dataCorrupted));
    EXPECT_TRUE(
        hasKind(decodingErrorOf([] { decode<Decision>(std::string(1000000, '[')); }), DecodingError::Kind::dataCorrupted));
    for (const std::string& text : {std::string(), std::string("{"), std::string(R"({"actions": [], "chances": []} x)"),
                                    std::string("{\"actions\": [{\"notification\": {\"title\": \"\xC3\"}}], \"chances\": []}")}) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<Decision>(text); }), DecodingError::Kind::dataCorrupted)) << text;
    }
}

TEST(DecisionCopy, CopyWithNewIDsSharesNoIdentifierOrNode) {
    const auto tree = sampleTree();
    const auto copy = tree->copyWithNewIDs();
    EXPECT_EQ(json::encode(copy->toJson()), json::encode(tree->toJson()));
    EXPECT_EQ(copy->chances[0]->pattern.patternDescription, "a key");
    EXPECT_EQ(copy->chances[0]->decision->chances[0]->decision->actions[0].actionDescription, "nap");

    std::vector<Uuid> source;
    std::vector<Uuid> copied;
    collectIds(*tree, source);
    collectIds(*copy, copied);
    ASSERT_EQ(copied.size(), source.size());
    const std::set<Uuid> original(source.begin(), source.end());
    for (const auto& id : copied) EXPECT_FALSE(original.count(id));

    EXPECT_NE(copy, tree);
    EXPECT_NE(copy->chances[0], tree->chances[0]);
    EXPECT_NE(copy->chances[0]->decision, tree->chances[0]->decision);
    // Changing the copy leaves the source alone.
    copy->chances[0]->decision->actions.clear();
    EXPECT_EQ(tree->chances[0]->decision->actions.size(), 1u);
}

TEST(DecisionCopy, ChanceCopyWithNewIDs) {
    const auto tree = sampleTree();
    const auto& source = tree->chances[0];
    const auto copy = source->copyWithNewIDs();
    EXPECT_NE(copy->id, source->id);
    EXPECT_NE(copy->pattern.id, source->pattern.id);
    EXPECT_EQ(copy->pattern.kind, source->pattern.kind);
    EXPECT_EQ(copy->pattern.patternDescription, source->pattern.patternDescription);
    EXPECT_NE(copy->decision, source->decision);
    EXPECT_NE(copy->decision->actions[0].id, source->decision->actions[0].id);
    EXPECT_EQ(json::encode(copy->toJson()), json::encode(source->toJson()));
}

TEST(DecisionSort, SortsByPatternAtEveryLevel) {
    auto nested = Decision::make({Action(K::sleep{})}, {chance(message("b")), chance(keys({0}))});
    const auto root = Decision::make({Action(K::openFinder{}), Action(K::sleep{})},
                                     {chance(always(), nested), chance(message("b")), chance(keys({0})), chance(message("a"))});
    const std::vector<PK> before = patternKinds(*root);

    const auto sorted = root->sortedByPattern();
    ASSERT_EQ(patternKinds(*sorted), (std::vector<PK>{keys({0}), message("a"), message("b"), always()}));
    ASSERT_EQ(patternKinds(*sorted->chances[3]->decision), (std::vector<PK>{keys({0}), message("b")}));

    // New chances over the same patterns; actions are kept as they were.
    const std::vector<std::size_t> from{2, 3, 1, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& old = root->chances[from[i]];
        EXPECT_EQ(sorted->chances[i]->pattern, old->pattern) << i;
        for (const auto& c : root->chances) EXPECT_NE(sorted->chances[i]->id, c->id) << i;
    }
    EXPECT_EQ(sorted->actions, root->actions);
    EXPECT_EQ(sorted->chances[3]->decision->actions, nested->actions);
    EXPECT_NE(sorted->chances[3]->decision, nested);
    EXPECT_NE(sorted->chances[3]->decision->chances[0]->id, nested->chances[1]->id);
    EXPECT_EQ(sorted->chances[3]->decision->chances[0]->pattern, nested->chances[1]->pattern);

    // The receiver is not changed.
    EXPECT_EQ(patternKinds(*root), before);
    EXPECT_EQ(patternKinds(*nested), (std::vector<PK>{message("b"), keys({0})}));
}

TEST(DecisionSort, TiesKeepTheirOrder) {
    diag::Capture capture;
    const auto root = Decision::make({}, {chance(always()), chance(message("m")), chance(keys({0, 11})), chance(always()),
                                          chance(message("m")), chance(keys({0}))});
    const auto sorted = root->sortedByPattern();
    std::vector<Uuid> order;
    for (const auto& c : sorted->chances) order.push_back(c->pattern.id);
    const auto& r = root->chances;
    EXPECT_EQ(order, (std::vector<Uuid>{r[2]->pattern.id, r[5]->pattern.id, r[1]->pattern.id, r[4]->pattern.id, r[0]->pattern.id,
                                        r[3]->pattern.id}));
    EXPECT_TRUE(capture.lines().empty());
}

TEST(DecisionSort, KeyPatternThatCannotBePlacedPrintsEmptyLines) {
    diag::Capture capture;
    const auto root = Decision::make({}, {chance(keys({})), chance(keys({0}))});
    const auto sorted = root->sortedByPattern();
    EXPECT_EQ(patternKinds(*sorted), (std::vector<PK>{keys({}), keys({0})}));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});

    capture.clear();
    const auto mixed = Decision::make({}, {chance(always()), chance(keys({11})), chance(message("a")), chance(keys({})),
                                           chance(keys({49})), chance(keys({0}))});
    const auto result = mixed->sortedByPattern();
    ASSERT_EQ(result->chances.size(), 6u);
    // Whatever the unplaceable ones do, every key pattern still precedes the message and the
    // always-match pattern, and each comparison that met one printed an empty line.
    for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(result->chances[i]->pattern.kind.get<PK::key>()) << i;
    EXPECT_EQ(result->chances[4]->pattern.kind, message("a"));
    EXPECT_EQ(result->chances[5]->pattern.kind, always());
    EXPECT_FALSE(capture.lines().empty());
    for (const auto& line : capture.lines()) EXPECT_EQ(line, "");
}

TEST(DecisionSort, EmptyAndSingleChanceTrees) {
    diag::Capture capture;
    const auto leaf = Decision::make({Action(K::sleep{})});
    const auto sortedLeaf = leaf->sortedByPattern();
    EXPECT_TRUE(sortedLeaf->chances.empty());
    EXPECT_EQ(sortedLeaf->actions, leaf->actions);
    const auto single = Decision::make({}, {chance(keys({}))});
    EXPECT_EQ(patternKinds(*single->sortedByPattern()), std::vector<PK>{keys({})});
    EXPECT_TRUE(capture.lines().empty());
}

struct SearchTree {
    // root [a1] -> c1 -> d1 [a2] -> c3 -> d3 [shared]
    //           -> c2 -> d2 [shared, onlyInD2]
    // `shared` is one action (same identifier) in d3 and d2; chance `twice` sits in d3 and d2,
    // chance `onlyUnderD2` in d2 alone.
    Action a1{K::sleep{}};
    Action a2{K::openFinder{}};
    Action shared{K::switchWindow{}};
    Action onlyInD2{K::reWaitTriggerKeys{}};
    DecisionPtr d3 = Decision::make({shared});
    DecisionPtr d2 = Decision::make({shared, onlyInD2});
    ChancePtr twice = chance(always());
    ChancePtr onlyUnderD2 = chance(message("late"));
    ChancePtr c3 = chance(keys({0}), d3);
    DecisionPtr d1 = Decision::make({a2}, {c3});
    ChancePtr c1 = chance(keys({11}), d1);
    ChancePtr c2 = chance(message("m"), d2);
    DecisionPtr root = Decision::make({a1}, {c1, c2});

    SearchTree() {
        d3->chances.push_back(twice);
        d2->chances.push_back(twice);
        d2->chances.push_back(onlyUnderD2);
    }
};

TEST(DecisionSearch, ContainerOfActionIsTheFirstHolderInPreOrder) {
    SearchTree t;
    EXPECT_EQ(t.root->containerOfActionWithID(t.a1.id), t.root);
    EXPECT_EQ(t.root->containerOfActionWithID(t.a2.id), t.d1);
    EXPECT_EQ(t.root->containerOfActionWithID(t.onlyInD2.id), t.d2); // the search goes on past the first child
    // Two levels down under the first chance comes before one level down under the second.
    EXPECT_EQ(t.root->containerOfActionWithID(t.shared.id), t.d3);
    EXPECT_EQ(t.d2->containerOfActionWithID(t.shared.id), t.d2);
    EXPECT_EQ(t.root->containerOfActionWithID(Uuid::random()), nullptr);
    EXPECT_EQ(t.root->containerOfActionWithID(t.c1->id), nullptr); // chance identifiers are not action identifiers
}

TEST(DecisionSearch, ContainerOfChanceIsTheFirstHolderInPreOrder) {
    SearchTree t;
    EXPECT_EQ(t.root->containerOfChanceWithID(t.c1->id), t.root);
    EXPECT_EQ(t.root->containerOfChanceWithID(t.c2->id), t.root);
    EXPECT_EQ(t.root->containerOfChanceWithID(t.c3->id), t.d1);
    EXPECT_EQ(t.root->containerOfChanceWithID(t.twice->id), t.d3);
    EXPECT_EQ(t.c2->decision->containerOfChanceWithID(t.twice->id), t.d2);
    EXPECT_EQ(t.root->containerOfChanceWithID(t.onlyUnderD2->id), t.d2);
    EXPECT_EQ(t.root->containerOfChanceWithID(Uuid::random()), nullptr);
    EXPECT_EQ(t.root->containerOfChanceWithID(t.a1.id), nullptr);
}

TEST(DecisionText, ChanceDescription) {
    const auto withActions = Chance::make(Pattern(keys({0})),
                                          Decision::make({Action(K::openFinder{}), Action(K::sleep{})}, {chance(always())}));
    EXPECT_EQ(withActions->description(), "Key: A: Open Finder; Sleep");
    EXPECT_EQ(chance(message("x"))->description(), R"(Message (regex: "x"): )");
    EXPECT_EQ(Chance::make(Pattern(always(), "note"), Decision::make({Action(K::sleep{}, "nap")}))->description(),
              "Always match: Sleep");
}

TEST(DecisionText, ActionResultDescriptions) {
    const ActionResult leaf{{}, ActionResult::MatchKind::lastSoDontCareMatch{}};
    EXPECT_EQ(leaf.description(), "No actions\nfinished.");

    const auto matched = chance(keys({0}));
    const ActionResult hit{{Action(K::openFinder{}), Action(K::continueFromInterruption{1})},
                           ActionResult::MatchKind::matchedAndNotLast{ActionOutcome::key{0}, matched}};
    EXPECT_EQ(hit.description(),
              "Open File Manager\nContinue From Interruption After 1.0 Seconds\n\"A\" typed\nand \"Key: A\" matched.");

    const ActionResult miss{{Action(K::sleep{})}, ActionResult::MatchKind::notMatchedAndNotLast{ActionOutcome::message{"hi"}}};
    EXPECT_EQ(miss.description(), "Sleep\n\"hi\" received\nbut nothing matched.");

    // Keys read as a PC keyboard names them; a received message, the leader key's text here, stays as it came.
    const ActionResult backspace{{}, ActionResult::MatchKind::matchedAndNotLast{ActionOutcome::key{51}, chance(keys({51}))}};
    EXPECT_EQ(backspace.description(), "No actions\n\"Backspace\" typed\nand \"Key: Backspace\" matched.");
    const ActionResult leader{
        {}, ActionResult::MatchKind::matchedAndNotLast{ActionOutcome::message{"(55)"}, chance(message("\\(55\\)"))}};
    EXPECT_EQ(leader.description(), "No actions\n\"(55)\" received\nand \"Leader Key: Super\" matched.");
    EXPECT_EQ(ActionOutcome(ActionOutcome::key{51}).description(), "\"Delete\" typed"); // diagnostic lines keep theirs
}

TEST(DecisionText, ActionResultIds) {
    const Action first(K::sleep{});
    const Action second(K::openFinder{});
    const ActionResult leaf{{first, second}, ActionResult::MatchKind::lastSoDontCareMatch{}};
    EXPECT_EQ(leaf.id(), "lastSoDontCareMatch" + first.id.string() + "," + second.id.string());
    EXPECT_EQ((ActionResult{{}, ActionResult::MatchKind::lastSoDontCareMatch{}}.id()), "lastSoDontCareMatch");

    const ActionOutcome outcome = ActionOutcome::message{"m"};
    const auto matched = chance(message("m"));
    const ActionResult hit{{first}, ActionResult::MatchKind::matchedAndNotLast{outcome, matched}};
    EXPECT_EQ(hit.id(),
              "matchedAndNotLast(" + std::to_string(outcome.id()) + ", " + matched->id.string() + ")" + first.id.string());

    const ActionResult miss{{}, ActionResult::MatchKind::notMatchedAndNotLast{ActionOutcome::key{5}}};
    EXPECT_EQ(miss.id(), "notMatchedAndNotLast(" + std::to_string(ActionOutcome(ActionOutcome::key{5}).id()) + ")");
    // Equal outcomes give equal ids within one run; another chance gives another id.
    const ActionResult again{{first}, ActionResult::MatchKind::matchedAndNotLast{ActionOutcome::message{"m"}, matched}};
    EXPECT_EQ(again.id(), hit.id());
    const ActionResult other{{first}, ActionResult::MatchKind::matchedAndNotLast{outcome, chance(message("m"))}};
    EXPECT_NE(other.id(), hit.id());
}

} // namespace
} // namespace tavlin
