#include <limits>

#include "engine/ActionStatistics.h"
#include "engine/EngineHarness.h"
#include "engine/RunDecision.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;
using PK = Pattern::Kind;

ChancePtr chance(PK kind) { return Chance::make(Pattern(std::move(kind)), Decision::make()); }

bool messageAccepted(const std::string& regex, const std::string& text) {
    return accepts(Pattern(PK::message{regex}), messageOutcome(text));
}

TEST(ChanceMatching, KeyPatternsTakeOnlyTheirKeys) {
    const Pattern keys(PK::key{{0, 11}});
    EXPECT_TRUE(accepts(keys, keyOutcome(0)));
    EXPECT_TRUE(accepts(keys, keyOutcome(11)));
    EXPECT_FALSE(accepts(keys, keyOutcome(1)));
    EXPECT_FALSE(accepts(keys, messageOutcome("0"))) << "a message never matches a key pattern";
    EXPECT_FALSE(accepts(Pattern(PK::key{{}}), keyOutcome(0))) << "an empty key list takes nothing";
}

TEST(ChanceMatching, MessagePatternsNeverTakeKeysAndAlwaysMatchTakesBoth) {
    EXPECT_FALSE(accepts(Pattern(PK::message{".*"}), keyOutcome(0)));
    EXPECT_TRUE(accepts(Pattern(PK::alwaysMatch{}), keyOutcome(0)));
    EXPECT_TRUE(accepts(Pattern(PK::alwaysMatch{}), messageOutcome("")));
}

TEST(ChanceMatching, FirstAcceptingChanceInListOrderWins) {
    const auto message = chance(PK::message{"x"});
    const auto firstKey = chance(PK::key{{3}});
    const auto secondKey = chance(PK::key{{3, 4}});
    const auto always = chance(PK::alwaysMatch{});
    const std::vector<ChancePtr> chances{message, firstKey, secondKey, always};

    EXPECT_EQ(firstMatchingChance(chances, keyOutcome(3)), firstKey);
    EXPECT_EQ(firstMatchingChance(chances, keyOutcome(4)), secondKey);
    EXPECT_EQ(firstMatchingChance(chances, keyOutcome(9)), always);
    EXPECT_EQ(firstMatchingChance(chances, messageOutcome("x")), message);
    EXPECT_EQ(firstMatchingChance({firstKey}, messageOutcome("x")), nullptr);
    EXPECT_EQ(firstMatchingChance({}, keyOutcome(3)), nullptr);
}

TEST(ChanceMatching, MessageMustBeTheWholeFirstMatch) {
    EXPECT_TRUE(messageAccepted("abc", "abc"));
    EXPECT_FALSE(messageAccepted("abc", "xabc"));
    EXPECT_FALSE(messageAccepted("abc", "abcd"));
    EXPECT_TRUE(messageAccepted("open.*", "open safari"));
    EXPECT_FALSE(messageAccepted("open.*", "reopen"));
    // The search reports the leftmost alternative first, and only that match counts.
    EXPECT_FALSE(messageAccepted("a|ab", "ab"));
    EXPECT_TRUE(messageAccepted("ab|a", "ab"));
    EXPECT_FALSE(messageAccepted("b", "ab")) << "the first match must start at the beginning";
    // Case-sensitive, and lines are not anchors of their own.
    EXPECT_FALSE(messageAccepted("abc", "ABC"));
    EXPECT_FALSE(messageAccepted("a", "a\nb"));
}

TEST(ChanceMatching, MatchSpansAreMeasuredInCharactersNotBytes) {
    EXPECT_TRUE(messageAccepted("caf.", "café"));
    EXPECT_TRUE(messageAccepted("\\S+", "😀😀"));
    EXPECT_FALSE(messageAccepted("😀", "😀😀"));
    EXPECT_TRUE(messageAccepted("/Applications/Safari\\.app", "/Applications/Safari.app"));
}

TEST(ChanceMatching, EmptyExpressionAcceptsNoText) {
    EXPECT_FALSE(messageAccepted("", "a"));
    EXPECT_FALSE(messageAccepted("", "anything at all"));
}

TEST(ChanceMatching, InvalidExpressionIsPassedOver) {
    diag::Capture capture;
    const auto broken = chance(PK::message{"(unclosed"});
    const auto fallback = chance(PK::message{".*"});
    EXPECT_EQ(firstMatchingChance({broken, fallback}, messageOutcome("(unclosed")), fallback);
    EXPECT_FALSE(messageAccepted("[", "["));
    EXPECT_FALSE(messageAccepted("*", "*"));
    EXPECT_TRUE(capture.lines().empty()) << "an invalid expression is silent";
}

class RunDecisionTest : public EngineTest {};

TEST_F(RunDecisionTest, MatchedStepRecordsOutcomeAndChanceAndWaitsAtTheChild) {
    writeConfiguration(
        Decision::make({act(K::switchWindow{})}, {keyChance(5, {}), keyChance(1, {act(K::sleep{})}, {keyChance(2, {})})}));
    startSession();

    diag::Capture capture;
    typeKey(1);
    EXPECT_TRUE(window.isKeyWindow());
    const auto& states = InputWindowManager::shared().currentStates();
    ASSERT_TRUE(states);
    ASSERT_EQ(states->decision->actions.size(), 1u);
    EXPECT_TRUE(states->decision->actions[0].kind.is<K::sleep>());
    ASSERT_EQ(states->decision->chances.size(), 1u);
    EXPECT_EQ(states->decision->chances[0]->pattern.kind, PK::key{{2}});
    ASSERT_EQ(states->history.size(), 1u);
    const auto* matched = states->history[0].matchKind.get<ActionResult::MatchKind::matchedAndNotLast>();
    ASSERT_TRUE(matched);
    EXPECT_EQ(matched->actionOutcome, keyOutcome(1));
    ASSERT_TRUE(matched->matchedChance);
    EXPECT_EQ(matched->matchedChance->decision, states->decision) << "the history points into the tree being walked";
    ASSERT_EQ(states->history[0].actions.size(), 1u);
    EXPECT_TRUE(states->history[0].actions[0].kind.is<K::switchWindow>());
    // A match is silent; only the outcome's post is traced.
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Post action outcome: \"S\" typed"});
}

TEST_F(RunDecisionTest, UnmatchedOutcomeEndsTheSessionWithItsHistoryLine) {
    writeConfiguration(Decision::make({}, {keyChance(1, {}, {keyChance(2, {})})}));
    startSession();
    typeKey(1);
    diag::Capture capture;
    typeKey(3);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_FALSE(InputWindowManager::shared().currentStates());
    EXPECT_FALSE(ActionOutcomeListener::shared().isWaiting());
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "no further match and stop, current history: 2"));
}

TEST_F(RunDecisionTest, BareLeafEndsSuccessfullyAndCountsNothing) {
    const Action passedThrough = act(K::switchWindow{});
    writeConfiguration(Decision::make({passedThrough}, {keyChance(1, {})}));
    startSession();
    diag::Capture capture;
    typeKey(1);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "chances empty, success end, current history: 2"));
    // The root was only passed through, so its action is not counted either.
    EXPECT_EQ(ActionStatistics::count(passedThrough), 0);
}

TEST_F(RunDecisionTest, LeafActionsRunAfterTheSessionEndedAndAreCounted) {
    const Action leafAction = act(K::switchWindow{});
    writeConfiguration(Decision::make({}, {keyChance(1, {leafAction, leafAction})}));
    startSession();
    window.type(1);
    // The step orders the window out first; the leaf's actions come in later turns.
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(helperRequests().empty());
    EXPECT_EQ(ActionStatistics::count(leafAction), 2) << "each entry of the list counts";
    queue.runUntilIdle();
    EXPECT_EQ(helperRequests().size(), 2u);
}

// The count is no file write on the way to the leaf's action: it is written after the action's
// turn, and the counts of many sessions in a row with one write.
TEST_F(RunDecisionTest, UsageCountsAreWrittenAfterTheActionAndTogether) {
    const Action leafAction = act(K::switchWindow{});
    const Action otherAction = act(K::sleep{});
    writeConfiguration(Decision::make({}, {keyChance(1, {leafAction}), keyChance(2, {otherAction})}));
    auto store = ActionStatistics::defaults();
    int writes = 0;
    const auto observer = store->addObserver([&] { ++writes; });
    const auto stored = [&](const Action& action) { return store->integer(*ActionStatistics::key(action)); };

    startSession();
    window.type(1);
    EXPECT_EQ(ActionStatistics::count(leafAction), 1) << "counted at once";
    EXPECT_EQ(stored(leafAction), std::nullopt) << "written before the action ran";
    queue.runUntilIdle();
    EXPECT_EQ(helperRequests().size(), 1u) << "the action ran";
    EXPECT_EQ(writes, 0);
    for (int key : {1, 2, 1}) {
        startSession();
        typeKey(key);
    }
    queue.advance(ActionStatistics::writeDelaySeconds);
    EXPECT_EQ(writes, 1) << "four counts, one write";
    EXPECT_EQ(stored(leafAction), 3);
    EXPECT_EQ(stored(otherAction), 1);
    EXPECT_EQ(ActionStatistics::count(leafAction), 3);

    // What the end of the process finds unwritten is written then.
    startSession();
    typeKey(2);
    ActionStatistics::writePending();
    EXPECT_EQ(stored(otherAction), 2);
    EXPECT_EQ(writes, 2);
    queue.advance(ActionStatistics::writeDelaySeconds);
    EXPECT_EQ(writes, 2);
    store->removeObserver(observer);
}

TEST_F(RunDecisionTest, UsageCountSaturatesInsteadOfOverflowing) {
    const Action leafAction = act(K::sleep{});
    const auto key = ActionStatistics::key(leafAction);
    ASSERT_TRUE(key);
    ActionStatistics::defaults()->set(*key, std::numeric_limits<std::int64_t>::max() - 1);
    writeConfiguration(Decision::make({}, {keyChance(1, {leafAction})}));
    for (int run = 0; run < 2; ++run) {
        startSession();
        typeKey(1);
    }
    EXPECT_EQ(ActionStatistics::count(leafAction), std::numeric_limits<std::int64_t>::max());
}

TEST_F(RunDecisionTest, OutcomeAfterTheSessionEndedReachesNobody) {
    writeConfiguration(Decision::make({}, {keyChance(1, {act(K::sleep{})})}));
    startSession();
    typeKey(1);
    distributed.clearPosted();
    postFromAnotherProcess(notification(keyOutcome(1)));
    NotificationCenter::local().post(notification(keyOutcome(1)));
    queue.runUntilIdle();
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(helperRequests().empty());
}

// A text an action returns is matched against the chances of its own decision.
TEST_F(RunDecisionTest, ReturnedTextIsMatchedAtTheDecisionThatRanTheAction) {
    workspace.frontmost = RunningApplication{7, "/usr/share/applications/term.desktop", "term", "Terminal", "/usr/bin/term"};
    writeConfiguration(
        Decision::make({act(K::getFrontmostApp{GetFrontmostAppKind::localizedName})},
                       {messageChance("Editor", {act(K::sleep{})}), messageChance("Terminal", {act(K::switchWindow{})})}));
    startSession();
    EXPECT_FALSE(window.isKeyWindow());
    ASSERT_EQ(helperRequestsUnordered().size(), 1u);
    EXPECT_EQ(helperRequestsUnordered()[0], unorderedJson(R"({"switchWindow": {}})"));
}

// Starting over at a root that is itself a wait-again leaf would start over forever.
TEST_F(RunDecisionTest, WaitAgainAtALeafRootDoesNotStartOverEndlessly) {
    const Action rootAction = act(K::sleep{});
    writeConfiguration(Decision::make({rootAction, act(K::reWaitTriggerKeys{})}));
    diag::Capture capture;
    startSession();
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_EQ(helperRequests().size(), 2u) << "the root ran twice: once, then once more after starting over";
    EXPECT_EQ(ActionStatistics::count(rootAction), 2);
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "wait again ignored: the new session ended at once"));

    // A later session starts normally.
    startSession();
    EXPECT_EQ(helperRequests().size(), 4u);
}

} // namespace
} // namespace tavlin::test
