#include "model/FlatKeysAndActionRow.h"

#include "model/KeyNames.h"
#include "model/ListText.h"
#include "platform/Hasher.h"

namespace tavlin {

using Scope = FlatKeysAndActionRow::ApplicationScope;

std::int64_t Scope::pathSetHash() const {
    Hasher hasher;
    hasher.combine(paths.size());
    for (const auto& path : paths) hasher.combine(path); // the set is sorted: order-independent
    return hasher.finalize();
}

std::int64_t Scope::id() const {
    Hasher hasher;
    hasher.combine(scopeCase == Case::allBut ? 0 : 1);
    hasher.combine(pathSetHash());
    return hasher.finalize();
}

std::optional<bool> Scope::overlaps(const Scope& other) const {
    const auto intersects = [](const std::set<std::string>& a, const std::set<std::string>& b) {
        for (const auto& path : a) {
            if (b.contains(path)) return true;
        }
        return false;
    };
    const auto hasPathOutside = [](const std::set<std::string>& a, const std::set<std::string>& b) {
        for (const auto& path : a) {
            if (!b.contains(path)) return true;
        }
        return false;
    };
    if (scopeCase == Case::only && other.scopeCase == Case::only) return intersects(paths, other.paths);
    if (scopeCase == Case::only) return hasPathOutside(paths, other.paths);
    if (other.scopeCase == Case::only) return hasPathOutside(other.paths, paths);
    return std::nullopt;
}

json::Value Scope::toJson() const {
    json::Value value = json::Value::object();
    json::Value list = json::Value::array();
    for (const auto& path : paths) list.push_back(path);
    value[scopeCase == Case::allBut ? "allBut" : "only"]["paths"] = std::move(list);
    return value;
}

Scope Scope::fromJson(const JsonReader& reader) {
    const auto caseKey = reader.caseKey("FlatKeysAndActionRow.ApplicationScope", {"allBut", "only"});
    std::set<std::string> paths;
    for (const auto& element : reader.member(caseKey).requireObject("Dictionary").member("paths", "Array").elements()) {
        paths.insert(element.string());
    }
    return {caseKey == "allBut" ? Case::allBut : Case::only, std::move(paths)};
}

bool operator<(const Scope& l, const Scope& r) {
    if (l.scopeCase == Scope::Case::only) {
        if (r.scopeCase == Scope::Case::allBut) return true;
        if (l.paths.size() != r.paths.size()) return l.paths.size() < r.paths.size();
        return l.pathSetHash() < r.pathSetHash();
    }
    if (r.scopeCase == Scope::Case::only) return false;
    if (l.paths.size() != r.paths.size()) return l.paths.size() > r.paths.size();
    return l.pathSetHash() > r.pathSetHash();
}

json::Value FlatKeysAndActionRow::toJson() const {
    json::Value value = json::Value::object();
    value["id"] = id.string();
    value["enabled"] = enabled;
    value["applicationScope"] = applicationScope.toJson();
    value["keys"] = keys;
    value["action"] = action.toJson();
    value["leaderKey"] = leaderKey.toJson();
    value["endLeaderKeyStatusAfterActionExecution"] = endLeaderKeyStatusAfterActionExecution;
    return value;
}

FlatKeysAndActionRow FlatKeysAndActionRow::fromJson(const JsonReader& reader, bool* hadStoredID) {
    reader.requireObject("FlatKeysAndActionRow");
    Uuid id = Uuid::random();
    const auto storedID = reader.optionalMember("id");
    if (storedID) {
        const auto parsed = Uuid::fromString(storedID->string());
        if (!parsed)
            throw DecodingError::dataCorrupted(storedID->codingPath(), "Attempted to decode UUID from invalid UUID string.");
        id = *parsed;
    }
    if (hadStoredID) *hadStoredID = storedID.has_value();
    const bool enabled = reader.booleanMember("enabled");
    Scope scope = Scope::fromJson(reader.member("applicationScope", "FlatKeysAndActionRow.ApplicationScope"));
    std::vector<std::int64_t> keys;
    for (const auto& element : reader.member("keys", "Array").elements()) keys.push_back(element.int64());
    Action action = Action::fromJson(reader.member("action", "Action"));
    std::optional<LeaderKey> leaderKey;
    if (auto stored = reader.optionalMember("leaderKey")) {
        leaderKey = LeaderKey::fromJson(*stored);
    } else {
        // Rows from before leader keys were configurable name one of the two old leader keys.
        const JsonReader old = reader.member("spaceOrCommand", "SpaceOrCommand");
        if (old.caseKey("SpaceOrCommand", {"space", "command"}) == "space") leaderKey = LeaderKey::hold(true, 49);
        else leaderKey = LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command));
    }
    const bool endStatus = reader.optionalBooleanMember("endLeaderKeyStatusAfterActionExecution").value_or(false);
    return FlatKeysAndActionRow(id, enabled, std::move(scope), std::move(keys), std::move(action), endStatus,
                                std::move(*leaderKey));
}

std::string FlatKeysAndActionRow::rawValue() const {
    try {
        return json::encode(toJson(), json::Style::compact);
    } catch (const std::exception&) {
        return "{}";
    }
}

std::optional<FlatKeysAndActionRow> FlatKeysAndActionRow::fromRawValue(std::string_view text) {
    try {
        return decodeJson(text, [](const JsonReader& reader) { return fromJson(reader); });
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool FlatKeysAndActionRow::requiresComplexMode() const {
    if (applicationScope.scopeCase != Scope::Case::allBut || !applicationScope.paths.empty()) return true;
    const auto* open = action.kind.get<Action::Kind::openApp>();
    return open && open->launchArgumentsText && !open->launchArgumentsText->empty();
}

std::int64_t FlatKeysAndActionRow::hashValue() const {
    Hasher hasher;
    hasher.combine(rawValue());
    return hasher.finalize();
}

bool operator<(const FlatKeysAndActionRow& l, const FlatKeysAndActionRow& r) {
    const auto& ls = l.applicationScope;
    const auto& rs = r.applicationScope;
    if (ls.scopeCase != rs.scopeCase) return ls.scopeCase == Scope::Case::only;
    if (ls.paths != rs.paths) return ls < rs;
    if (l.leaderKey != r.leaderKey) return l.leaderKey < r.leaderKey;
    return lexicographicallyLess(keyNames(l.keys), keyNames(r.keys));
}

std::vector<FlatKeysAndActionRow> FlatKeysAndActionRow::defaultRows(const std::optional<std::string>& browserApplicationPath) {
    const std::string path = browserApplicationPath && !browserApplicationPath->empty() ? *browserApplicationPath
                                                                                        : std::string(placeholderBrowserPath);
    return {FlatKeysAndActionRow(Uuid::random(), true, Scope::allBut(), {1},
                                 Action(Action::Kind::openApp{path, true, std::nullopt, std::nullopt}), false,
                                 LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)))};
}

std::string flatRowsRawValue(const std::vector<FlatKeysAndActionRow>& rows) {
    json::Value array = json::Value::array();
    for (const auto& row : rows) array.push_back(row.toJson());
    return json::encode(array, json::Style::compact);
}

std::optional<std::vector<FlatKeysAndActionRow>> flatRowsFromRawValue(std::string_view text, bool* lackedStoredIDs) {
    try {
        const json::Value value = json::parse(text);
        std::vector<FlatKeysAndActionRow> rows;
        bool lacked = false;
        for (const auto& element : JsonReader(value).elements()) {
            bool hadID = true;
            rows.push_back(FlatKeysAndActionRow::fromJson(element, &hadID));
            lacked = lacked || !hadID;
        }
        if (lackedStoredIDs) *lackedStoredIDs = lacked;
        return rows;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace tavlin
