#include "model/FlatKeysAndActionRow.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <thread>

#include "model/KeyNames.h"
#include "model/ListText.h"
#include "platform/base/Hasher.h"
#include "platform/base/Memory.h"

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

namespace {

bool isJsonSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// A list of many rows is read in pieces side by side: parsing and decoding it is most of what a
// start with thousands of rows costs before the list shows. The text is cut at commas between
// the list's own elements, each piece read as a list of its own; JSON elements read alike
// wherever they stand, so the pieces give the rows the whole text gives. Nothing when the text
// is not one list found whole, which is then read in one piece (and fails as such).
std::optional<std::vector<std::string>> listPieces(std::string_view text, std::size_t count) {
    std::size_t at = 0;
    while (at < text.size() && isJsonSpace(text[at])) ++at;
    if (at == text.size() || text[at] != '[') return std::nullopt;
    const std::size_t length = text.size() / count;
    std::vector<std::string> pieces;
    std::size_t start = at + 1;
    const auto cut = [&](std::size_t end) {
        std::string piece;
        piece.reserve(end - start + 2);
        piece += '[';
        piece.append(text.substr(start, end - start));
        piece += ']';
        pieces.push_back(std::move(piece));
    };
    int depth = 0;
    bool inString = false;
    for (std::size_t i = at; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
            continue;
        }
        switch (c) {
        case '"': inString = true; break;
        case '[':
        case '{': ++depth; break;
        case ']':
        case '}':
            if (--depth > 0) break;
            if (c != ']') return std::nullopt;
            for (std::size_t j = i + 1; j < text.size(); ++j) {
                if (!isJsonSpace(text[j])) return std::nullopt;
            }
            cut(i);
            return pieces;
        case ',':
            if (depth == 1 && i - start >= length && pieces.size() + 1 < count) {
                cut(i);
                start = i + 1;
            }
            break;
        default: break;
        }
    }
    return std::nullopt;
}

std::vector<FlatKeysAndActionRow> rowsOfList(std::string_view text, bool& lackedStoredIDs) {
    const json::Value value = json::parse(text);
    const auto elements = JsonReader(value).elements();
    std::vector<FlatKeysAndActionRow> rows;
    rows.reserve(elements.size());
    for (const auto& element : elements) {
        bool hadID = true;
        rows.push_back(FlatKeysAndActionRow::fromJson(element, &hadID));
        lackedStoredIDs = lackedStoredIDs || !hadID;
    }
    return rows;
}

} // namespace

std::optional<std::vector<FlatKeysAndActionRow>> flatRowsFromRawValue(std::string_view text, bool* lackedStoredIDs) {
    constexpr std::size_t bytesPerPiece = std::size_t{512} << 10, mostPieces = 4;
    const std::size_t count = std::clamp<std::size_t>(text.size() / bytesPerPiece, 1, mostPieces);
    const auto pieces = count > 1 ? listPieces(text, count) : std::nullopt;
    if (!pieces) {
        try {
            bool lacked = false;
            auto rows = rowsOfList(text, lacked);
            if (lackedStoredIDs) *lackedStoredIDs = lacked;
            return rows;
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    struct Part {
        std::vector<FlatKeysAndActionRow> rows;
        bool lacked = false, failed = false;
    };
    std::vector<Part> parts(pieces->size());
    const auto read = [&](std::size_t i) noexcept {
        try {
            parts[i].rows = rowsOfList((*pieces)[i], parts[i].lacked);
            // An empty piece between commas is no element: the whole text does not read.
            parts[i].failed = parts[i].rows.empty();
        } catch (...) {
            parts[i].failed = true;
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        try {
            threads.emplace_back(read, i);
        } catch (const std::system_error&) {
            read(i);
        }
    }
    read(0);
    for (auto& thread : threads) thread.join();
    std::vector<FlatKeysAndActionRow> rows;
    bool lacked = false;
    std::size_t total = 0;
    for (const auto& part : parts) {
        if (part.failed) return std::nullopt;
        total += part.rows.size();
    }
    rows.reserve(total);
    for (auto& part : parts) {
        lacked = lacked || part.lacked;
        std::move(part.rows.begin(), part.rows.end(), std::back_inserter(rows));
    }
    if (lackedStoredIDs) *lackedStoredIDs = lacked;
    // The pieces' documents were freed in the threads' arenas, among rows that live on.
    memory::returnFreedPages();
    return rows;
}

} // namespace tavlin
