#include "engine/RunDecision.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "engine/ActionOutcomeListener.h"
#include "engine/ActionRunner.h"
#include "engine/ActionStatistics.h"
#include "engine/InputWindowManager.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/text/Regex.h"

namespace tavlin {
namespace {

// Patterns are matched against every outcome of every session: compile each expression once.
const Regex* compiledRegex(const std::string& pattern) {
    static std::unordered_map<std::string, std::optional<Regex>> cache;
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    auto found = cache.find(pattern);
    if (found == cache.end()) {
        if (cache.size() >= 4096) cache.clear(); // patterns come from the configuration; keep the cache bounded
        found = cache.emplace(pattern, Regex::compile(pattern)).first;
    }
    return found->second ? &*found->second : nullptr;
}

// The actions from `action`'s first occurrence (by identifier) to the end, with the same chances.
DecisionPtr remainingDecision(const Decision& decision, const Action& action) {
    const auto start = std::find_if(decision.actions.begin(), decision.actions.end(),
                                    [&action](const Action& a) { return a.id == action.id; });
    return Decision::make(std::vector<Action>(start, decision.actions.end()), decision.chances);
}

} // namespace

bool accepts(const Pattern& pattern, const ActionOutcome& outcome) {
    using Kind = Pattern::Kind;
    if (pattern.kind.get<Kind::alwaysMatch>()) return true;
    if (const auto* key = pattern.kind.get<Kind::key>()) {
        const auto* typed = outcome.get<ActionOutcome::key>();
        return typed &&
               std::find(key->allowedKeyCodes.begin(), key->allowedKeyCodes.end(), typed->keyCode) != key->allowedKeyCodes.end();
    }
    const auto* message = outcome.get<ActionOutcome::message>();
    if (!message) return false;
    const Regex* regex = compiledRegex(pattern.kind.get<Kind::message>()->regex);
    return regex && regex->firstMatchSpansWholeText(message->text);
}

ChancePtr firstMatchingChance(const std::vector<ChancePtr>& chances, const ActionOutcome& outcome) {
    for (const auto& chance : chances) {
        if (accepts(chance->pattern, outcome)) return chance;
    }
    return nullptr;
}

// The decision is held by value: starting the session over lets go of the tree it came from.
void runDecision(std::vector<ActionResult> history, DecisionPtr decision) { // NOLINT(performance-unnecessary-value-param)
    using K = Action::Kind;
    const auto& actions = decision->actions;

    // Actions after a continue-from-interruption run when the session resumes, not now as well;
    // so does a wait-again among them.
    std::vector<Action> queued;
    for (const auto& action : actions) {
        queued.push_back(action);
        if (action.kind.is<K::continueFromInterruption>()) break;
    }
    const bool waitAgain = std::any_of(queued.begin(), queued.end(),
                                       [](const Action& a) { return a.kind.is<K::reWaitTriggerKeys>(); });
    auto& listener = ActionOutcomeListener::shared();
    const bool waits = !decision->chances.empty();
    for (const auto& action : queued) {
        auto remaining = remainingDecision(*decision, action);
        // The text such an action reports is matched before any key typed until then.
        std::optional<std::uint64_t> session;
        if (waits && reportsText(action)) session = listener.expectOwnOutcome();
        MainQueue::shared().post([action, remaining, history, session] {
            auto& listener = ActionOutcomeListener::shared();
            // Its text was for a session that has ended: the next one must not take it for its own.
            if (session && listener.hasEnded(*session)) {
                perform(action, remaining, history);
                return;
            }
            run(action, remaining, history);
            if (session) listener.ownOutcomeHandled(*session);
        });
    }

    auto& manager = InputWindowManager::shared();
    if (waits) {
        manager.setCurrentStates(InputWindowManager::CurrentStates{history, decision});
        listener.waitForOutcome(
            [decision, history](const ActionOutcome& outcome) { continueDecision(outcome, decision, history); });
        return;
    }

    history.push_back(ActionResult{actions, ActionResult::MatchKind::lastSoDontCareMatch{}});
    diag::printLine(diag::Category::session, "chances empty, success end, current history: " + std::to_string(history.size()));
    // Starting over runs the root step at once; a root that is itself a wait-again leaf would
    // start over again from inside, without end. Such a second start ends the session instead.
    static bool startingOver = false;
    if (waitAgain && !startingOver) {
        // Keys typed after the one that led here belong to the new session.
        auto heldKeys = listener.takeHeldKeys();
        {
            startingOver = true;
            struct Reset {
                ~Reset() { startingOver = false; }
            } reset;
            manager.handle(InputWindowManager::WindowEvent::resignKey());
            manager.handle(InputWindowManager::WindowEvent::becomeKey());
        }
        listener.holdForNextSession(std::move(heldKeys));
    } else {
        if (waitAgain) diag::printLine(diag::Category::session, "wait again ignored: the new session ended at once");
        manager.inputWindow().orderOut();
    }
    for (const auto& action : queued) {
        if (!ActionStatistics::increment(action)) {
            diag::printLine(diag::Category::session, "");
            diag::printLine(diag::Category::session, "");
        }
    }
}

void continueDecision(const ActionOutcome& outcome, const DecisionPtr& decision, std::vector<ActionResult> history) {
    if (auto chance = firstMatchingChance(decision->chances, outcome)) {
        history.push_back(ActionResult{decision->actions, ActionResult::MatchKind::matchedAndNotLast{outcome, chance}});
        runDecision(std::move(history), chance->decision);
        return;
    }
    history.push_back(ActionResult{decision->actions, ActionResult::MatchKind::notMatchedAndNotLast{outcome}});
    diag::printLine(diag::Category::session, "no further match and stop, current history: " + std::to_string(history.size()));
    InputWindowManager::shared().inputWindow().orderOut();
}

} // namespace tavlin
