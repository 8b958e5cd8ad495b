#include <map>
#include <set>

#include "model/Configuration.h"
#include "model/LeaderKeyCache.h"
#include "model/Settings.h"
#include "platform/Alerts.h"
#include "platform/Diagnostics.h"
#include "platform/Regex.h"

namespace tavlin {
namespace {

using Row = FlatKeysAndActionRow;
using Scope = Row::ApplicationScope;
using K = Action::Kind;

// Groups in the order each key first appears, so the generated file is the same on every run.
template <typename Key, typename Value>
class OrderedGroups {
public:
    std::vector<Value>& operator[](const Key& key) {
        for (auto& [existing, values] : groups_) {
            if (existing == key) return values;
        }
        groups_.emplace_back(key, std::vector<Value>{});
        return groups_.back().second;
    }
    auto begin() const { return groups_.begin(); }
    auto end() const { return groups_.end(); }

private:
    std::vector<std::pair<Key, std::vector<Value>>> groups_;
};

Pattern messagePattern(std::string_view text) { return Pattern(Pattern::Kind::message{Regex::escapedPattern(text)}); }

std::string leaderKeyText(const LeaderKey& leaderKey) {
    if (const auto* hold = leaderKey.holdInfo()) return std::to_string(hold->keyCode) + "(0)";
    return leaderKey.pressInfo()->hotKey.keyCodeText();
}

std::vector<Action> rowActions(const Row& row, bool isHold) {
    if (isHold && !row.endLeaderKeyStatusAfterActionExecution) return {row.action, Action(K::reWaitTriggerKeys{})};
    const InternalMethodInfo info{InternalMethodInfo::MethodKind{
        InternalMethodInfo::MethodKind::setRequireReactivateOnce{SetRequireReactivateOnceParams{false}}}};
    return {Action(K::internalMethod{info}), row.action};
}

std::vector<ChancePtr> keyChances(const std::vector<Row>& rows, bool isHold);

std::vector<ChancePtr> nextKeyChances(const OrderedGroups<int, Row>& rowsByFirstKey, bool isHold) {
    std::vector<ChancePtr> chances;
    for (const auto& [key, rows] : rowsByFirstKey) {
        chances.push_back(Chance::make(Pattern(Pattern::Kind::key{{key}}), Decision::make({}, keyChances(rows, isHold))));
    }
    return chances;
}

std::vector<ChancePtr> keyChances(const std::vector<Row>& rows, bool isHold) {
    std::vector<const Row*> ending;
    OrderedGroups<int, Row> rowsByFirstKey;
    for (const auto& row : rows) {
        if (row.keys.empty()) {
            diag::printLine("");
        } else if (row.keys.size() == 1) {
            ending.push_back(&row);
        } else {
            Row rest = row;
            rest.id = Uuid::random();
            rest.keys.erase(rest.keys.begin());
            rowsByFirstKey[row.keys.front()].push_back(std::move(rest));
        }
    }
    std::vector<ChancePtr> chances;
    for (const Row* row : ending) {
        chances.push_back(Chance::make(Pattern(Pattern::Kind::key{{row->keys.front()}}),
                                       Decision::make(rowActions(*row, isHold), {})));
    }
    for (auto& chance : nextKeyChances(rowsByFirstKey, isHold)) chances.push_back(std::move(chance));
    return chances;
}

ChancePtr leaderKeyChance(const LeaderKey& leaderKey, const std::vector<Row>& rows) {
    const bool isHold = leaderKey.kind() == LeaderKey::Kind::hold;
    // A lone row without trigger keys runs as soon as its own leader key is reported. Matching
    // any leader key here would run it for leader keys that have no binding in this application.
    if (rows.size() == 1 && rows.front().keys.empty()) {
        return Chance::make(messagePattern(leaderKeyText(leaderKey)), Decision::make(rowActions(rows.front(), isHold), {}));
    }
    return Chance::make(messagePattern(leaderKeyText(leaderKey)), Decision::make({}, keyChances(rows, isHold)));
}

std::vector<ChancePtr> leaderKeyChances(const std::vector<Row>& rows) {
    OrderedGroups<LeaderKey, Row> groups;
    for (const auto& row : rows) groups[row.leaderKey].push_back(row);
    std::vector<ChancePtr> chances;
    for (const auto& [leaderKey, group] : groups) chances.push_back(leaderKeyChance(leaderKey, group));
    return chances;
}

DecisionPtr applicationDecision(const std::vector<Row>& rows) {
    return Decision::make({Action(K::getLeaderKey{GetLeaderKeyKind::keyCodeText})}, leaderKeyChances(rows));
}

ChancePtr appChance(const std::string& path, const std::vector<Row>& rows) {
    return Chance::make(messagePattern(path), applicationDecision(rows));
}

ChancePtr otherAppsChance(const std::vector<Row>& rows) {
    return Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), applicationDecision(rows));
}

} // namespace

std::shared_ptr<Configuration> Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(
    const std::vector<FlatKeysAndActionRow>& storedRows) {
    std::vector<Row> rows;
    for (const auto& row : storedRows) {
        if (row.enabled) rows.push_back(row);
    }

    OrderedGroups<Scope, Row> rowsByScope;
    for (const auto& row : rows) rowsByScope[row.applicationScope].push_back(row);

    std::set<std::string> knownPaths;
    for (const auto& [scope, group] : rowsByScope) knownPaths.insert(scope.paths.begin(), scope.paths.end());

    std::map<std::string, std::vector<Row>> rowsByPath;
    for (const auto& path : knownPaths) rowsByPath[path];
    std::vector<Row> otherAppsRows;
    for (const auto& [scope, group] : rowsByScope) {
        if (scope.scopeCase == Scope::Case::only) {
            for (const auto& path : scope.paths) rowsByPath[path].insert(rowsByPath[path].end(), group.begin(), group.end());
            continue;
        }
        for (const auto& path : knownPaths) {
            if (!scope.paths.contains(path)) rowsByPath[path].insert(rowsByPath[path].end(), group.begin(), group.end());
        }
        otherAppsRows.insert(otherAppsRows.end(), group.begin(), group.end());
    }

    std::vector<ChancePtr> chances;
    for (const auto& [path, pathRows] : rowsByPath) chances.push_back(appChance(path, pathRows));
    chances.push_back(otherAppsChance(otherAppsRows));
    const auto root =
        Decision::make({Action(K::getFrontmostApp{GetFrontmostAppKind::bundleURL})}, std::move(chances))->sortedByPattern();

    std::vector<HotKey> hotKeys;
    for (const auto& row : rows) {
        if (const auto* press = row.leaderKey.pressInfo()) hotKeys.push_back(press->hotKey);
    }
    return std::make_shared<Configuration>("flat_rows", std::move(hotKeys), root);
}

void Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate() {
    const auto rows = settings::flatKeysAndActionRows().value_or(std::vector<FlatKeysAndActionRow>{});
    const auto generated = configuration(rows);
    try {
        generated->write(SearchPathDirectory::applicationSupport, relativePath());
    } catch (const std::exception& error) {
        const std::string description = localizedDescription(error);
        diag::printLine(description);
        showAlert("Unrecoverable error, please report", description);
        return;
    }
    cachedLeaderKeys().reset();
}

} // namespace tavlin
