#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/Action.h"
#include "model/LeaderKey.h"

namespace tavlin {

// One flat key binding: a leader key, the trigger keys typed after it, one action, and the
// applications in which it applies.
struct FlatKeysAndActionRow {
    // The applications a row applies in, by application path.
    struct ApplicationScope {
        enum class Case { allBut, only };
        Case scopeCase = Case::allBut;
        // Kept sorted, so that equal rows always encode (and so compare) alike.
        std::set<std::string> paths;

        static ApplicationScope allBut(std::set<std::string> paths = {}) { return {Case::allBut, std::move(paths)}; }
        static ApplicationScope only(std::set<std::string> paths) { return {Case::only, std::move(paths)}; }

        // A hash of the path set that does not depend on the paths' order.
        std::int64_t pathSetHash() const;
        std::int64_t id() const;

        // Whether two scopes share an application; nothing for two allBut scopes.
        std::optional<bool> overlaps(const ApplicationScope& other) const;

        json::Value toJson() const;
        static ApplicationScope fromJson(const JsonReader& reader);

        friend bool operator==(const ApplicationScope&, const ApplicationScope&) = default;
        // only scopes (fewest paths first), then allBut scopes (most excluded paths first).
        friend bool operator<(const ApplicationScope& l, const ApplicationScope& r);
    };

    Uuid id = Uuid::random();
    bool enabled = true;
    ApplicationScope applicationScope;
    std::vector<std::int64_t> keys;
    Action action;
    bool endLeaderKeyStatusAfterActionExecution = false;
    LeaderKey leaderKey;

    FlatKeysAndActionRow(Uuid id, bool enabled, ApplicationScope scope, std::vector<std::int64_t> keys, Action action,
                         bool endLeaderKeyStatusAfterActionExecution, LeaderKey leaderKey)
        : id(id), enabled(enabled), applicationScope(std::move(scope)), keys(std::move(keys)), action(std::move(action)),
          endLeaderKeyStatusAfterActionExecution(endLeaderKeyStatusAfterActionExecution), leaderKey(std::move(leaderKey)) {}

    json::Value toJson() const;
    // `hadStoredID`, when given, tells whether the row carried its own identifier.
    static FlatKeysAndActionRow fromJson(const JsonReader& reader, bool* hadStoredID = nullptr);

    // The row as compact JSON text; "{}" when it cannot be encoded.
    std::string rawValue() const;
    static std::optional<FlatKeysAndActionRow> fromRawValue(std::string_view text);

    // Whether the simple editor cannot show the row: a scope other than every application, or
    // an application opened with launch arguments.
    bool requiresComplexMode() const;

    // Equality and hashing go through the JSON text: every field, the identifier included.
    friend bool operator==(const FlatKeysAndActionRow& l, const FlatKeysAndActionRow& r) { return l.rawValue() == r.rawValue(); }
    std::int64_t hashValue() const;
    friend bool operator<(const FlatKeysAndActionRow& l, const FlatKeysAndActionRow& r);

    // The one binding a new user starts with: a lone command tap, then S, opens the browser:
    // the application at `browserApplicationPath` (the desktop's default web browser), else
    // the stored format's own default.
    static std::vector<FlatKeysAndActionRow> defaultRows(const std::optional<std::string>& browserApplicationPath = {});
};

// The stored list's text form: compact JSON of the array. Encoding failures throw EncodingError
// rather than losing the list to "[]".
std::string flatRowsRawValue(const std::vector<FlatKeysAndActionRow>& rows);
// The list read back; nothing when the text is not a list of rows. `lackedStoredIDs` tells
// whether any row was stored without an identifier (and so got a new one now).
std::optional<std::vector<FlatKeysAndActionRow>> flatRowsFromRawValue(std::string_view text, bool* lackedStoredIDs = nullptr);

} // namespace tavlin
