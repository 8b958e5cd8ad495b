#include <map>
#include <set>

#include "model/Configuration.h"
#include "model/DecodedConfiguration.h"
#include "model/KeyNames.h"
#include "model/LeaderKeyCache.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/Alerts.h"
#include "platform/desktop/BundleInfo.h"
#include "platform/files/Files.h"
#include "platform/text/Regex.h"

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

// Built in place: a braced list would copy each action once more.
std::vector<Action> rowActions(const Row& row, bool isHold) {
    std::vector<Action> actions;
    actions.reserve(2);
    if (isHold && !row.endLeaderKeyStatusAfterActionExecution) {
        actions.push_back(row.action);
        actions.emplace_back(K::reWaitTriggerKeys{});
        return actions;
    }
    const InternalMethodInfo info{InternalMethodInfo::MethodKind{
        InternalMethodInfo::MethodKind::setRequireReactivateOnce{SetRequireReactivateOnceParams{false}}}};
    actions.emplace_back(K::internalMethod{info});
    actions.push_back(row.action);
    return actions;
}

// A row whose trigger keys before `next` are already matched by the chances above it. Rows are
// referred to, not copied: one row can sit under every application.
struct PendingRow {
    const Row* row;
    std::size_t next;

    std::size_t remainingKeys() const { return row->keys.size() - next; }
    std::int64_t nextKey() const { return row->keys[next]; }
};

// Every level's chances are sorted as they are made, giving the tree that sortedByPattern()
// gives for the unsorted one, without building and copying that one.
DecisionPtr sortedDecision(std::vector<Action> actions, std::vector<ChancePtr> chances) {
    return Decision::make(std::move(actions), Decision::chancesSortedByPattern(std::move(chances)));
}

std::vector<ChancePtr> keyChances(const std::vector<PendingRow>& rows, bool isHold) {
    std::vector<const PendingRow*> ending;
    OrderedGroups<std::int64_t, PendingRow> rowsByNextKey;
    for (const auto& pending : rows) {
        const std::size_t remaining = pending.remainingKeys();
        if (remaining == 0) {
            diag::printLine(diag::Category::files, "");
        } else if (remaining == 1) {
            ending.push_back(&pending);
        } else {
            rowsByNextKey[pending.nextKey()].push_back({pending.row, pending.next + 1});
        }
    }
    std::vector<ChancePtr> chances;
    chances.reserve(ending.size());
    for (const PendingRow* pending : ending) {
        chances.push_back(Chance::make(Pattern(Pattern::Kind::key{{pending->nextKey()}}),
                                       sortedDecision(rowActions(*pending->row, isHold), {})));
    }
    for (const auto& [key, group] : rowsByNextKey) {
        chances.push_back(Chance::make(Pattern(Pattern::Kind::key{{key}}), sortedDecision({}, keyChances(group, isHold))));
    }
    return chances;
}

ChancePtr leaderKeyChance(const LeaderKey& leaderKey, const std::vector<PendingRow>& rows) {
    const bool isHold = leaderKey.kind() == LeaderKey::Kind::hold;
    // A lone row without trigger keys runs as soon as its own leader key is reported. Matching
    // any leader key here would run it for leader keys that have no binding in this application.
    if (rows.size() == 1 && rows.front().row->keys.empty()) {
        return Chance::make(messagePattern(leaderKeyText(leaderKey)), sortedDecision(rowActions(*rows.front().row, isHold), {}));
    }
    return Chance::make(messagePattern(leaderKeyText(leaderKey)), sortedDecision({}, keyChances(rows, isHold)));
}

std::vector<ChancePtr> leaderKeyChances(const std::vector<const Row*>& rows) {
    OrderedGroups<LeaderKey, PendingRow> groups;
    for (const Row* row : rows) groups[row->leaderKey].push_back({row, 0});
    std::vector<ChancePtr> chances;
    for (const auto& [leaderKey, group] : groups) chances.push_back(leaderKeyChance(leaderKey, group));
    return chances;
}

DecisionPtr applicationDecision(const std::vector<const Row*>& rows) {
    return sortedDecision({Action(K::getLeaderKey{GetLeaderKeyKind::keyCodeText})}, leaderKeyChances(rows));
}

ChancePtr appChance(const std::string& path, const std::vector<const Row*>& rows) {
    return Chance::make(messagePattern(path), applicationDecision(rows));
}

ChancePtr otherAppsChance(const std::vector<const Row*>& rows) {
    return Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), applicationDecision(rows));
}

} // namespace

std::shared_ptr<Configuration> Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(
    const std::vector<FlatKeysAndActionRow>& storedRows) {
    std::vector<const Row*> rows;
    rows.reserve(storedRows.size());
    for (const auto& row : storedRows) {
        if (row.enabled) rows.push_back(&row);
    }

    OrderedGroups<Scope, const Row*> rowsByScope;
    for (const Row* row : rows) rowsByScope[row->applicationScope].push_back(row);

    std::set<std::string> knownPaths;
    for (const auto& [scope, group] : rowsByScope) knownPaths.insert(scope.paths.begin(), scope.paths.end());

    std::map<std::string, std::vector<const Row*>> rowsByPath;
    for (const auto& path : knownPaths) rowsByPath[path];
    std::vector<const Row*> otherAppsRows;
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
    chances.reserve(rowsByPath.size() + 1);
    for (const auto& [path, pathRows] : rowsByPath) chances.push_back(appChance(path, pathRows));
    chances.push_back(otherAppsChance(otherAppsRows));
    const auto root = sortedDecision({Action(K::getFrontmostApp{GetFrontmostAppKind::bundleURL})}, std::move(chances));

    std::vector<HotKey> hotKeys;
    for (const Row* row : rows) {
        if (const auto* press = row->leaderKey.pressInfo()) hotKeys.push_back(press->hotKey);
    }
    return std::make_shared<Configuration>("flat_rows", std::move(hotKeys), root);
}

namespace {

// What the generated file is made from: the rows' stored text and the order of keys, which
// sorts the chances of each level.
struct Sources {
    std::optional<std::string> rowsText;
    std::vector<int> keyOrder;
    friend bool operator==(const Sources&, const Sources&) = default;
};

Sources currentSources() {
    return {settings::appGroupStore()->string(settings::keys::flatKeysAndActionRows), sortedAvailableKeyCodes()};
}

// The file this process last generated, or found to be what its sources make.
struct Generated {
    std::filesystem::path url;
    files::FileIdentity identity;
    Sources sources;
};

std::optional<Generated>& lastGenerated() {
    static std::optional<Generated> generated;
    return generated;
}

bool unchangedSinceGenerated(const std::filesystem::path& url, const Sources* sources) {
    const auto& last = lastGenerated();
    if (!last || last->url != url || (sources && last->sources != *sources)) return false;
    const auto identity = files::identity(url);
    return identity && *identity == last->identity;
}

// The same knowledge kept across starts, so that a start on the file its sources made needs no
// encoding of the whole tree to compare it with the file: the file's identity as it was written
// or found current, the sources, and the build of the code that compiled them. Any change of the
// file changes its identity; a record that is missing, unreadable or differs in anything leaves
// the file to be compared as it is encoded. One line of compact JSON, then the rows' text as it
// is stored, compared byte for byte.
std::optional<std::filesystem::path> recordURL() {
    const auto cache = files::cacheDirectory();
    if (!cache) return std::nullopt;
    return *cache / std::string(bundleIdentifier) / "generated-configuration.sources";
}

json::Value recordHeader(const std::string& code, const std::filesystem::path& url, const files::FileIdentity& identity,
                         const Sources& sources) {
    return json::Value{{"code", code},
                       {"configuration", url.string()},
                       {"file",
                        {identity.device, identity.inode, identity.size, identity.modified.tv_sec, identity.modified.tv_nsec,
                         identity.changed.tv_sec, identity.changed.tv_nsec}},
                       {"keyOrder", sources.keyOrder},
                       {"rows", sources.rowsText.has_value()}};
}

bool recordedAsMadeFrom(const std::filesystem::path& url, const files::FileIdentity& identity, const Sources& sources) {
    const auto& code = codeBuildIdentity();
    const auto record = recordURL();
    if (!code || !record) return false;
    try {
        const std::string text = files::readFile(*record, files::maximumDefaultsFileSize + (std::uint64_t{1} << 20));
        const auto end = text.find('\n');
        if (end == std::string::npos) return false;
        const std::string_view rows = std::string_view(text).substr(end + 1);
        return json::parse(std::string_view(text).substr(0, end)) == recordHeader(*code, url, identity, sources) &&
               rows == sources.rowsText.value_or(std::string());
    } catch (const std::exception&) {
        return false;
    }
}

void record(const std::filesystem::path& url, const files::FileIdentity& identity, const Sources& sources) {
    const auto& code = codeBuildIdentity();
    const auto path = recordURL();
    if (!code || !path) return;
    try {
        const std::string header = json::encode(recordHeader(*code, url, identity, sources), json::Style::compact) + '\n';
        files::writeFileAtomically(*path, [&](const files::AppendBytes& append) {
            append(header);
            if (sources.rowsText) append(*sources.rowsText);
        });
    } catch (const std::exception&) {
        // Only a later start's shortcut is lost: it compares the file as it is encoded.
    }
}

// The generated configuration is what the file decodes to: sessions use it without reading
// the file again.
void remember(const std::filesystem::path& url, const files::FileIdentity& identity, Sources sources,
              std::shared_ptr<Configuration> configuration, bool recorded = false) {
    decodedConfiguration::adopt(url, identity, std::move(configuration));
    if (!recorded) record(url, identity, sources);
    lastGenerated() = Generated{url, identity, std::move(sources)};
}

bool adoptIfHeld(const std::filesystem::path& url, const std::shared_ptr<Configuration>& generated, Sources& sources) {
    try {
        if (const auto identity = files::identity(url); identity && recordedAsMadeFrom(url, *identity, sources)) {
            remember(url, *identity, std::move(sources), generated, true);
            return true;
        }
        if (const auto identity = generated->identityOfFileHoldingIt(url)) {
            remember(url, *identity, std::move(sources), generated);
            return true;
        }
    } catch (const FileError&) {
        // Missing or unreadable: written anew.
    }
    return false;
}

void writeGenerated(const std::shared_ptr<Configuration>& generated, Sources sources) {
    // The failure last reported, with the file and the rows it was for: the start and every
    // change of the settings generate again, and the same rows failing the same way are
    // reported only once.
    static std::string reportedFailure;
    const auto url = Configuration::fileURL();
    lastGenerated().reset();
    std::optional<files::FileIdentity> identity;
    try {
        identity = generated->write(SearchPathDirectory::applicationSupport, Configuration::relativePath());
    } catch (const std::exception& error) {
        const std::string description = localizedDescription(error);
        const std::string failure = (url ? url->string() : std::string()) + '\n' + description + '\n' +
                                    sources.rowsText.value_or("");
        if (failure != reportedFailure) {
            reportedFailure = failure;
            diag::printLine(diag::Category::files, description);
            // A file that cannot be written (a full disk, a folder in the way) is no fault to report.
            const bool fileFailure = dynamic_cast<const FileError*>(&error) != nullptr;
            showAlert(fileFailure ? "Failed to save configuration" : "Unrecoverable error, please report", description);
        }
        // A missing file would get the hand-made sample tree at the next load of the leader
        // keys, and the rows would never be used again: the tree of no rows keeps the file
        // generated, so that it is made again from the rows once they can be written.
        if (url && !files::exists(*url)) {
            try {
                Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration({})->write(
                    SearchPathDirectory::applicationSupport, Configuration::relativePath());
                cachedLeaderKeys().reset();
            } catch (const std::exception&) {
            }
        }
        return;
    }
    reportedFailure.clear();
    cachedLeaderKeys().reset();
    // The identity of the file written, not of whatever the path names by now: a file put in its
    // place meanwhile is never taken for the generated one.
    if (url && identity) remember(*url, *identity, std::move(sources), generated);
}

// The stored rows, as every reader of their text shares them, with the sources they are part
// of: the text compared later is the one these rows were read from.
std::shared_ptr<const settings::StoredFlatRows> storedRows(Sources& sources) {
    auto stored = settings::storedFlatKeysAndActionRows();
    sources = Sources{stored->text, sortedAvailableKeyCodes()};
    return stored;
}

// Absent or unreadable rows compile as none.
std::shared_ptr<Configuration> compiled(const settings::StoredFlatRows& stored) {
    static const std::vector<FlatKeysAndActionRow> none;
    return Configuration::WritingFlatRowsPreferencesToTavlinJSON::configuration(stored.rows ? *stored.rows : none);
}

} // namespace

void Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate() {
    Sources sources;
    const auto stored = storedRows(sources);
    writeGenerated(compiled(*stored), std::move(sources));
}

bool Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrateIfChanged() {
    const auto url = fileURL();
    if (!url) {
        migrate();
        return true;
    }
    Sources sources = currentSources();
    if (unchangedSinceGenerated(*url, &sources)) return false;
    const auto generated = compiled(*storedRows(sources));
    if (adoptIfHeld(*url, generated, sources)) return false;
    writeGenerated(generated, std::move(sources));
    return true;
}

bool Configuration::WritingFlatRowsPreferencesToTavlinJSON::adoptFileIfCurrent() {
    const auto url = fileURL();
    if (!url) return false;
    try {
        if (!textCarriesGeneratedMark(files::readBeginning(*url, 4096))) return false;
    } catch (const FileError&) {
        return false;
    }
    Sources sources;
    const auto generated = compiled(*storedRows(sources));
    return adoptIfHeld(*url, generated, sources);
}

bool Configuration::WritingFlatRowsPreferencesToTavlinJSON::fileUnchangedSinceGenerated() {
    const auto url = fileURL();
    return url && unchangedSinceGenerated(*url, nullptr);
}

} // namespace tavlin
