#include "model/Settings.h"

#include <algorithm>
#include <mutex>

#include "model/ListText.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/Result.h"
#include "platform/desktop/Alerts.h"
#include "platform/files/Files.h"

namespace tavlin {
namespace settings {
namespace {

template <typename T>
T read(std::optional<T> value, T fallback) {
    return value ? *value : fallback;
}

} // namespace

std::string appGroupSuiteName() { return std::string(bundleIdentifier) + ".app"; }

std::shared_ptr<UserDefaults> appGroupStore() { return UserDefaults::suite(appGroupSuiteName()); }

double showHintAfterSeconds() { return read(appGroupStore()->doubleValue(keys::showHintAfterSeconds), 0.0); }
bool hideLeaderKeyIndicator() { return read(appGroupStore()->boolean(keys::hideLeaderKeyIndicator), false); }
double leaderKeyIndicatorHeightPercent() {
    return read(appGroupStore()->doubleValue(keys::leaderKeyIndicatorHeightPercent), 0.0);
}
bool shouldShowInputHistory() { return read(appGroupStore()->boolean(keys::shouldShowInputHistory), false); }
std::optional<std::string> inputWindowTopLeftPositionString() {
    return appGroupStore()->string(keys::inputWindowTopLeftPositionString);
}
std::optional<double> inputWindowWidthDouble() { return appGroupStore()->doubleValue(keys::inputWindowWidthDouble); }
double maximumSingleModifierPressAndReleaseInterval() {
    return read(appGroupStore()->doubleValue(keys::maximumSingleModifierPressAndReleaseInterval), 0.2);
}
bool showExperimentalActions() { return read(appGroupStore()->boolean(keys::showExperimentalActions), false); }
bool previousCheckedComplexMode() { return read(appGroupStore()->boolean(keys::previousCheckedComplexMode), false); }
HotKey::SingleTapModifier previousSetLeaderKeySingleModier() {
    const auto text = appGroupStore()->string(keys::previousSetLeaderKeySingleModier);
    return text ? singleTapModifierFromRawValue(*text).value_or(HotKey::SingleTapModifier::command)
                : HotKey::SingleTapModifier::command;
}
bool hideDockIcon() { return read(appGroupStore()->boolean(keys::hideDockIcon), false); }
bool showDecisionBorder() { return read(appGroupStore()->boolean(keys::showDecisionBorder), false); }

namespace {

// The last reading of the rows, for the text it was made from.
struct KeptRows {
    std::mutex mutex;
    std::shared_ptr<const StoredFlatRows> reading;
};

KeptRows& keptRows() {
    static KeptRows kept;
    return kept;
}

} // namespace

std::shared_ptr<const StoredFlatRows> storedFlatKeysAndActionRows() {
    auto text = appGroupStore()->string(keys::flatKeysAndActionRows);
    auto& kept = keptRows();
    {
        // Keyed by the text itself: a change by another program, taken in by a refresh, is a
        // new text like one of ours.
        std::lock_guard lock(kept.mutex);
        if (kept.reading && kept.reading->text == text) return kept.reading;
    }
    auto reading = std::make_shared<StoredFlatRows>();
    bool lackedIDs = false;
    if (text) reading->rows = flatRowsFromRawValue(*text, &lackedIDs);
    reading->text = std::move(text);
    if (reading->rows && lackedIDs) {
        if (auto error = setFlatKeysAndActionRows(*reading->rows)) diag::printLine(diag::Category::files, *error);
        // The identifiers the rows got are theirs from now on, stored or not.
        reading->text = appGroupStore()->string(keys::flatKeysAndActionRows);
    }
    std::lock_guard lock(kept.mutex);
    kept.reading = reading;
    return reading;
}

std::optional<std::vector<FlatKeysAndActionRow>> flatKeysAndActionRows() { return storedFlatKeysAndActionRows()->rows; }

std::optional<std::string> setFlatKeysAndActionRows(const std::vector<FlatKeysAndActionRow>& rows) {
    std::string text;
    try {
        text = flatRowsRawValue(rows);
    } catch (const std::exception& error) {
        return localizedDescription(error);
    }
    return appGroupStore()->set(keys::flatKeysAndActionRows, text);
}

namespace {
// The alert names the suite's file also when the reason names only its folder.
void alertSaveFailure(const std::string& failure) {
    const auto path = appGroupStore()->filePath();
    const bool named = path.empty() || failure.find(path.filename().string()) != std::string::npos;
    showAlert("Failed to save settings", named ? failure : "The file “" + path.string() + "” couldn’t be saved. " + failure);
}

std::string toldFailure(std::string failure) {
    diag::printLine(diag::Category::files, failure);
    alertSaveFailure(failure);
    return failure;
}
} // namespace

// By value, to be moved on into the suite.
std::optional<std::string> storeChosenValues(
    std::map<std::string, DefaultsValue> values) { // NOLINT(performance-unnecessary-value-param)
    if (auto failure = appGroupStore()->setIfWritten(std::move(values))) return toldFailure(std::move(*failure));
    return std::nullopt;
}

std::optional<std::string> storeChosenFlatRows(const std::vector<FlatKeysAndActionRow>& rows) {
    std::string text;
    try {
        text = flatRowsRawValue(rows);
    } catch (const std::exception& error) {
        return toldFailure(localizedDescription(error));
    }
    return storeChosenValues({{keys::flatKeysAndActionRows, DefaultsValue(std::move(text))}});
}

bool storeDefaultFlatRowsIfNeverStored(const std::optional<std::string>& browserApplicationPath) {
    // A value that cannot be read is still the user's: nothing is stored over it.
    if (appGroupStore()->contains(keys::flatKeysAndActionRows)) return false;
    if (auto error = setFlatKeysAndActionRows(FlatKeysAndActionRow::defaultRows(browserApplicationPath))) {
        diag::printLine(diag::Category::files, *error);
        return false;
    }
    return true;
}

bool storePreference(const std::string& key, const DefaultsValue& value) {
    const auto store = appGroupStore();
    const std::optional<DefaultsValue> previous = store->object(key);
    const auto failure = store->set(key, value);
    if (!failure) return true;
    // A value that could not be read reads as the default, as it does once removed.
    if (store->object(key) == value) {
        if (previous) store->set(key, *previous);
        else store->remove(key);
    }
    alertSaveFailure(*failure);
    return false;
}

std::vector<std::string> stringList(const char* key) {
    const auto text = appGroupStore()->string(key);
    if (!text) return {};
    return listFromRawValue<std::string>(*text, [](const JsonReader& reader) { return reader.string(); })
        .value_or(std::vector<std::string>{});
}

namespace {
std::string stringListText(const std::vector<std::string>& list) {
    return listRawValue(list, [](const std::string& s) { return json::Value(s); });
}
} // namespace

void setStringList(const char* key, const std::vector<std::string>& list) {
    if (auto error = appGroupStore()->set(key, stringListText(list))) diag::printLine(diag::Category::files, *error);
}

bool storeStringListPreference(const char* key, const std::vector<std::string>& list) {
    return storePreference(key, stringListText(list));
}

std::vector<std::string> disabledApplications() { return stringList(keys::disabledApplications); }
std::vector<std::string> suggestedDisabledApplicationPaths() { return stringList(keys::suggestedDisabledApplicationPaths); }

void addSuggestedDisabledApplicationPath(const std::optional<std::string>& path) {
    if (!path) return;
    const auto stored = suggestedDisabledApplicationPaths();
    std::vector<std::string> paths{*path};
    for (const auto& known : stored) {
        if (std::find(paths.begin(), paths.end(), known) == paths.end()) paths.push_back(known);
    }
    if (paths.size() > 5) paths.resize(5);
    // Every session asks for the frontmost application: the same one as last time changes
    // nothing, and rewriting the suite (which holds the flat rows) would cost time per row.
    if (paths == stored) return;
    setStringList(keys::suggestedDisabledApplicationPaths, paths);
}

} // namespace settings

namespace NSUserDefaults {

std::shared_ptr<Manager> Manager::shared() {
    static const auto manager = std::make_shared<Manager>(UserDefaults::standard());
    return manager;
}

Manager::Manager(std::shared_ptr<UserDefaults> userDefaults) : userDefaults_(std::move(userDefaults)) {}

Manager::~Manager() {
    while (!observers_.empty()) {
        auto [store, token] = observers_.back();
        observers_.pop_back();
        if (auto owner = store.lock()) owner->removeObserver(token);
    }
}

void Manager::observe(const std::shared_ptr<UserDefaults>& store, std::function<void()> handler) {
    // The manager removes its observers when it goes, so the observer never outlives it.
    const auto token = store->addObserver([this, handler = std::move(handler)] { handleChange(handler); });
    observers_.emplace_back(store, token);
}

void Manager::handleChange(const std::function<void()>& handler) {
    if (isHandlingUserDefaultsChange_) return;
    isHandlingUserDefaultsChange_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{isHandlingUserDefaultsChange_};
    handler();
}

} // namespace NSUserDefaults
} // namespace tavlin
