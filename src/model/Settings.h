#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/FlatKeysAndActionRow.h"
#include "model/HotKey.h"
#include "platform/files/UserDefaults.h"

namespace tavlin {

// The application's own preferences suite ("local.tavlin.app") and its keys. Reads never fail:
// an absent key or a value of another kind gives the key's default.
namespace settings {

std::shared_ptr<UserDefaults> appGroupStore();
// The suite's name: the bundle identifier with ".app" appended.
std::string appGroupSuiteName();

namespace keys {
inline constexpr const char* showHintAfterSeconds = "showHintAfterSeconds";
inline constexpr const char* hideLeaderKeyIndicator = "hideLeaderKeyIndicator";
inline constexpr const char* leaderKeyIndicatorHeightPercent = "leaderKeyIndicatorHeightPercent";
inline constexpr const char* shouldShowInputHistory = "shouldShowInputHistory";
inline constexpr const char* inputWindowTopLeftPositionString = "inputWindowTopLeftPositionString";
inline constexpr const char* inputWindowWidthDouble = "inputWindowWidthDouble";
inline constexpr const char* maximumSingleModifierPressAndReleaseInterval = "maximumSingleModifierPressAndReleaseInterval";
inline constexpr const char* showExperimentalActions = "showExperimentalActions";
inline constexpr const char* flatKeysAndActionRows = "flatKeysAndActionRows";
inline constexpr const char* disabledApplications = "disabledApplications";
inline constexpr const char* suggestedDisabledApplicationPaths = "suggestedDisabledApplicationPaths";
inline constexpr const char* previousCheckedComplexMode = "previousCheckedComplexMode";
inline constexpr const char* previousSetLeaderKeySingleModier = "previousSetLeaderKeySingleModier"; // spelled so when stored
inline constexpr const char* hideDockIcon = "hideDockIcon";
inline constexpr const char* showDecisionBorder = "showDecisionBorder";
} // namespace keys

double showHintAfterSeconds();
bool hideLeaderKeyIndicator();
double leaderKeyIndicatorHeightPercent();
bool shouldShowInputHistory();
std::optional<std::string> inputWindowTopLeftPositionString();
std::optional<double> inputWindowWidthDouble();
double maximumSingleModifierPressAndReleaseInterval();
bool showExperimentalActions();
bool previousCheckedComplexMode();
HotKey::SingleTapModifier previousSetLeaderKeySingleModier();
bool hideDockIcon();
bool showDecisionBorder();

// The flat rows; nothing when never stored or when the stored text does not read as rows (the
// text is then left as it is). Rows stored without identifiers are written back once with the
// identifiers they got, so that later edits find them.
std::optional<std::vector<FlatKeysAndActionRow>> flatKeysAndActionRows();
// The stored rows with the stored text they were read from. Every reader of one text shares one
// reading of it (the rows are parsed once per change of them): never change them.
struct StoredFlatRows {
    std::optional<std::string> text;
    std::optional<std::vector<FlatKeysAndActionRow>> rows; // as flatKeysAndActionRows() answers
};
std::shared_ptr<const StoredFlatRows> storedFlatKeysAndActionRows();
// Stores the rows; an error text when they could not be encoded or written (nothing is stored).
std::optional<std::string> setFlatKeysAndActionRows(const std::vector<FlatKeysAndActionRow>& rows);
// Stores values the user changed, in one write, only when the file takes them. Otherwise nothing
// changes, in memory neither (what is in force stays what is stored), the reason is printed, an
// alert "Failed to save settings" tells it, and it is the answer.
std::optional<std::string> storeChosenValues(std::map<std::string, DefaultsValue> values);
// The rows the user changed, stored so; rows that cannot be encoded are told the same way.
std::optional<std::string> storeChosenFlatRows(const std::vector<FlatKeysAndActionRow>& rows);
// Stores the default rows (opening `browserApplicationPath` when given) when the key was never
// stored. Answers whether it did.
bool storeDefaultFlatRowsIfNeverStored(const std::optional<std::string>& browserApplicationPath = {});

std::vector<std::string> disabledApplications();
std::vector<std::string> suggestedDisabledApplicationPaths();
// Puts the path first among the suggestions, drops its older copy, keeps five.
void addSuggestedDisabledApplicationPath(const std::optional<std::string>& path);

// Stores a value the user chose. When the file cannot be written the suite is put back as it was
// (the store would keep the value in memory, in force though not saved), an alert "Failed to save
// settings" says why, and the answer is false, so the control shows the stored value again.
bool storePreference(const std::string& key, const DefaultsValue& value);

// Lists of texts kept as one text preference (compact JSON).
std::vector<std::string> stringList(const char* key);
void setStringList(const char* key, const std::vector<std::string>& list);
// The same for a list the user chose, stored as storePreference stores.
bool storeStringListPreference(const char* key, const std::vector<std::string>& list);

} // namespace settings

// Keeps the observers of the settings suite, and keeps a change handler from running again
// while it runs (its own writes announce changes too).
namespace NSUserDefaults {
class Manager {
public:
    static std::shared_ptr<Manager> shared();

    explicit Manager(std::shared_ptr<UserDefaults> userDefaults);
    ~Manager();
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    // Observes changes of `store`; every change runs `handler` through handleChange.
    void observe(const std::shared_ptr<UserDefaults>& store, std::function<void()> handler);
    void handleChange(const std::function<void()>& handler);

    bool isHandlingUserDefaultsChange() const { return isHandlingUserDefaultsChange_; }
    std::size_t observerCount() const { return observers_.size(); }

private:
    std::shared_ptr<UserDefaults> userDefaults_;
    std::vector<std::pair<std::weak_ptr<UserDefaults>, UserDefaults::ObserverToken>> observers_;
    bool isHandlingUserDefaultsChange_ = false;
};
} // namespace NSUserDefaults

} // namespace tavlin
