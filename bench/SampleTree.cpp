#include "SampleTree.h"

#include <cstdint>

#include "model/KeyNames.h"

namespace tavlin::bench {
namespace {

constexpr int topLevelChances = 10;
constexpr int branching[] = {9, 10, 10}; // per decision, below the top level

// A fixed linear congruential sequence, so every run measures the same tree.
class Sequence {
public:
    std::uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::uint32_t below(std::uint32_t bound) { return next() % bound; }

private:
    std::uint32_t state_ = 20240601u;
};

int anyAvailableKey(Sequence& sequence) {
    const auto& codes = availableMainKeyCodesForStandardLayout();
    return codes[sequence.below(static_cast<std::uint32_t>(codes.size()))];
}

Pattern makePattern(Sequence& sequence, bool keyOnly) {
    const auto pick = keyOnly ? 0u : sequence.below(10);
    std::optional<std::string> description;
    if (sequence.below(4) == 0) description = "pattern " + std::to_string(sequence.below(1000));
    if (pick < 6) {
        std::vector<std::int64_t> codes{anyAvailableKey(sequence)};
        if (pick == 5) codes.push_back(anyAvailableKey(sequence));
        return Pattern(Pattern::Kind::key{std::move(codes)}, description);
    }
    if (pick < 9) {
        return Pattern(Pattern::Kind::message{"^cmd-" + std::to_string(sequence.below(500)) + "(\\s+\\w+)?$"}, description);
    }
    return Pattern(Pattern::Kind::alwaysMatch{}, description);
}

Action makeAction(Sequence& sequence) {
    using K = Action::Kind;
    const auto n = std::to_string(sequence.below(10000));
    std::optional<std::string> description;
    if (sequence.below(3) == 0) description = "step " + n;
    switch (sequence.below(20)) {
    case 0: return Action(K::notification{"Reminder " + n}, description);
    case 1: return Action(K::openURL{"https://example.org/page/" + n, std::nullopt}, description);
    case 2: return Action(K::openApp{"/usr/share/applications/app" + n + ".desktop", true, "--new-window", false}, description);
    case 3: return Action(K::openFinder{}, description);
    case 4: return Action(K::openFile{"/home/user/notes/" + n + ".txt", "/usr/bin/gedit"}, description);
    case 5: return Action(K::openFolder{"/home/user/projects/" + n, std::nullopt}, description);
    case 6: return Action(K::runAppleScript{"/home/user/scripts/" + n + ".scpt"}, description);
    case 7: return Action(K::toggleConfigurationWindow{}, description);
    case 8: return Action(K::menuCommand{MenuCommandInfo{"File->Export->PDF " + n}}, description);
    case 9: return Action(K::switchWindow{}, description);
    case 10: return Action(K::executeFile{"/home/user/bin/task" + n + ".sh", "--verbose --dry-run"}, description);
    case 11: return Action(K::sleep{}, description);
    case 12: return Action(K::simulateKeystroke{Keystroke{anyAvailableKey(sequence), true, false, true, false}}, description);
    case 13: return Action(K::switchInputMethod{"us"}, description);
    case 14: return Action(K::continueFromInterruption{0.25}, description);
    case 15: return Action(K::stopKeySequenceAfterDelay{1.5, true}, description);
    case 16: return Action(K::reWaitTriggerKeys{}, description);
    case 17: {
        using Method = InternalMethodInfo::MethodKind;
        return Action(K::internalMethod{InternalMethodInfo{Method{Method::setRequireReactivateOnce{{true}}}}}, description);
    }
    case 18: return Action(K::getFrontmostApp{GetFrontmostAppKind::bundleIdentifier}, description);
    default: return Action(K::getLeaderKey{GetLeaderKeyKind::displayName}, description);
    }
}

DecisionPtr makeDecision(Sequence& sequence, std::size_t level) {
    std::vector<Action> actions;
    const auto actionCount = 1 + sequence.below(2);
    for (std::uint32_t i = 0; i < actionCount; ++i) actions.push_back(makeAction(sequence));
    std::vector<ChancePtr> chances;
    if (level < std::size(branching)) {
        for (int i = 0; i < branching[level]; ++i) {
            Pattern pattern = makePattern(sequence, false);
            chances.push_back(Chance::make(std::move(pattern), makeDecision(sequence, level + 1)));
        }
    }
    return Decision::make(std::move(actions), std::move(chances));
}

} // namespace

DecisionPtr sampleTree() {
    Sequence sequence;
    std::vector<ChancePtr> chances;
    for (int i = 0; i < topLevelChances; ++i) {
        Pattern pattern = makePattern(sequence, true);
        chances.push_back(Chance::make(std::move(pattern), makeDecision(sequence, 0)));
    }
    return Decision::make({}, std::move(chances));
}

const std::string& sampleTreeText() {
    static const std::string text = json::encode(sampleTree()->toJson());
    return text;
}

int chanceCount(const Decision& decision) {
    int count = 0;
    for (const auto& chance : decision.chances) count += 1 + chanceCount(*chance->decision);
    return count;
}

} // namespace tavlin::bench
