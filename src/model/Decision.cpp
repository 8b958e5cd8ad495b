#include "model/Decision.h"

#include "platform/base/StableSort.h"
#include "platform/json/JsonSink.h"

namespace tavlin {
namespace {

std::vector<Action> actionsWithNewIDs(const std::vector<Action>& actions) {
    std::vector<Action> copies;
    copies.reserve(actions.size());
    for (const auto& action : actions) copies.emplace_back(action.kind, action.actionDescription);
    return copies;
}

std::string joinedDescriptions(const std::vector<Action>& actions, std::string_view separator,
                               std::string (Action::Kind::*text)() const = &Action::Kind::description) {
    std::string joined;
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (i > 0) joined += separator;
        joined += (actions[i].kind.*text)();
    }
    return joined;
}

} // namespace

DecisionPtr Decision::make(std::vector<Action> actions, std::vector<ChancePtr> chances) {
    return std::make_shared<Decision>(std::move(actions), std::move(chances));
}

ChancePtr Chance::make(Pattern pattern, DecisionPtr decision) {
    return std::make_shared<Chance>(std::move(pattern), std::move(decision));
}

DecisionPtr Decision::copyWithNewIDs() const {
    std::vector<ChancePtr> copies;
    copies.reserve(chances.size());
    for (const auto& chance : chances) copies.push_back(chance->copyWithNewIDs());
    return make(actionsWithNewIDs(actions), std::move(copies));
}

ChancePtr Chance::copyWithNewIDs() const {
    return make(Pattern(pattern.kind, pattern.patternDescription), decision->copyWithNewIDs());
}

std::vector<ChancePtr> Decision::chancesSortedByPattern(std::vector<ChancePtr> chances) {
    return stableMergeSorted(std::move(chances),
                             [](const ChancePtr& a, const ChancePtr& b) { return a->pattern.kind < b->pattern.kind; });
}

DecisionPtr Decision::sortedByPattern() const {
    const auto sorted = chancesSortedByPattern(chances);
    std::vector<ChancePtr> rebuilt;
    rebuilt.reserve(sorted.size());
    for (const auto& chance : sorted) rebuilt.push_back(Chance::make(chance->pattern, chance->decision->sortedByPattern()));
    return make(actions, std::move(rebuilt));
}

DecisionPtr Decision::containerOfActionWithID(const Uuid& id) {
    for (const auto& action : actions) {
        if (action.id == id) return shared_from_this();
    }
    for (const auto& chance : chances) {
        if (auto found = chance->decision->containerOfActionWithID(id)) return found;
    }
    return nullptr;
}

DecisionPtr Decision::containerOfChanceWithID(const Uuid& id) {
    for (const auto& chance : chances) {
        if (chance->id == id) return shared_from_this();
    }
    for (const auto& chance : chances) {
        if (auto found = chance->decision->containerOfChanceWithID(id)) return found;
    }
    return nullptr;
}

json::Value Decision::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void Decision::writeJson(json::Sink& sink) const {
    sink.beginObject();
    sink.key("actions");
    sink.beginArray();
    for (const auto& action : actions) action.writeJson(sink);
    sink.endArray();
    sink.key("chances");
    sink.beginArray();
    for (const auto& chance : chances) chance->writeJson(sink);
    sink.endArray();
    sink.endObject();
}

DecisionPtr Decision::fromJson(const JsonReader& reader) {
    reader.requireObject("Decision");
    const JsonReader actionList = reader.member("actions", "Array");
    std::vector<Action> actions;
    actions.reserve(actionList.elementCount());
    actionList.forEachElement([&actions](const JsonReader& element) { actions.push_back(Action::fromJson(element)); });
    const JsonReader chanceList = reader.member("chances", "Array");
    std::vector<ChancePtr> chances;
    chances.reserve(chanceList.elementCount());
    chanceList.forEachElement([&chances](const JsonReader& element) { chances.push_back(Chance::fromJson(element)); });
    return make(std::move(actions), std::move(chances));
}

std::string Chance::description() const {
    return pattern.kind.description() + ": " + joinedDescriptions(decision->actions, "; ");
}

json::Value Chance::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void Chance::writeJson(json::Sink& sink) const {
    sink.beginObject();
    sink.key("pattern");
    pattern.writeJson(sink);
    sink.key("decision");
    decision->writeJson(sink);
    sink.endObject();
}

ChancePtr Chance::fromJson(const JsonReader& reader) {
    reader.requireObject("Chance");
    Pattern pattern = Pattern::fromJson(reader.member("pattern", "Pattern"));
    return make(std::move(pattern), Decision::fromJson(reader.member("decision", "Decision")));
}

std::string ActionResult::MatchKind::description() const {
    if (const auto* m = get<matchedAndNotLast>()) {
        return m->actionOutcome.description() + "\nand \"" + m->matchedChance->pattern.kind.description() + "\" matched.";
    }
    if (const auto* n = get<notMatchedAndNotLast>()) return n->actionOutcome.description() + "\nbut nothing matched.";
    return "finished.";
}

std::string ActionResult::MatchKind::shownText() const {
    if (const auto* m = get<matchedAndNotLast>()) {
        return m->actionOutcome.shownText() + "\nand \"" + m->matchedChance->pattern.kind.shownText() + "\" matched.";
    }
    if (const auto* n = get<notMatchedAndNotLast>()) return n->actionOutcome.shownText() + "\nbut nothing matched.";
    return description();
}

std::string ActionResult::MatchKind::id() const {
    if (const auto* m = get<matchedAndNotLast>()) {
        return "matchedAndNotLast(" + std::to_string(m->actionOutcome.id()) + ", " + m->matchedChance->id.string() + ")";
    }
    if (const auto* n = get<notMatchedAndNotLast>()) {
        return "notMatchedAndNotLast(" + std::to_string(n->actionOutcome.id()) + ")";
    }
    return "lastSoDontCareMatch";
}

std::string ActionResult::description() const {
    return (actions.empty() ? std::string("No actions") : joinedDescriptions(actions, "\n", &Action::Kind::shownText)) + "\n" +
           matchKind.shownText();
}

std::string ActionResult::id() const {
    std::string text = matchKind.id();
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (i > 0) text += ",";
        text += actions[i].id.string();
    }
    return text;
}

} // namespace tavlin
