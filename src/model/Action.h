#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/Keystroke.h"
#include "platform/base/Hasher.h"
#include "platform/base/Uuid.h"
#include "platform/json/Decoding.h"
#include "platform/json/Json.h"

namespace tavlin {

struct MenuCommandInfo {
    std::string menuTitle; // levels separated by "->"
    friend bool operator==(const MenuCommandInfo&, const MenuCommandInfo&) = default;
};

struct SetRequireReactivateOnceParams {
    bool newValue = false;
    friend bool operator==(const SetRequireReactivateOnceParams&, const SetRequireReactivateOnceParams&) = default;
};

struct InternalMethodInfo {
    // The one internal method there is.
    struct MethodKind {
        struct setRequireReactivateOnce {
            SetRequireReactivateOnceParams params;
            friend bool operator==(const setRequireReactivateOnce&, const setRequireReactivateOnce&) = default;
        };
        std::variant<setRequireReactivateOnce> value;
        friend bool operator==(const MethodKind&, const MethodKind&) = default;
    };
    MethodKind kind;
    friend bool operator==(const InternalMethodInfo&, const InternalMethodInfo&) = default;
};

enum class GetFrontmostAppKind { bundleURL, localizedName, bundleIdentifier };
enum class GetLeaderKeyKind { displayName, keyCodeText };

inline constexpr GetFrontmostAppKind allGetFrontmostAppKinds[] = {
    GetFrontmostAppKind::bundleURL, GetFrontmostAppKind::localizedName, GetFrontmostAppKind::bundleIdentifier};
inline constexpr GetLeaderKeyKind allGetLeaderKeyKinds[] = {GetLeaderKeyKind::displayName, GetLeaderKeyKind::keyCodeText};
std::string_view rawValue(GetFrontmostAppKind kind);
std::string_view rawValue(GetLeaderKeyKind kind);
std::string_view displayText(GetFrontmostAppKind kind);
std::string_view displayText(GetLeaderKeyKind kind);
// What a person reads for the kind: the desktop entry's path, name or id.
std::string_view shownText(GetFrontmostAppKind kind);

// One step a decision performs when the key sequence reaches it.
struct Action {
    // The 21 kinds, each named after its case; payload fields keep their stored labels.
    class Kind {
    public:
        struct notification {
            std::string title;
            friend bool operator==(const notification&, const notification&) = default;
        };
        struct openURL {
            std::string url;
            std::optional<std::string> applicationPath;
            friend bool operator==(const openURL&, const openURL&) = default;
        };
        struct openApp {
            std::string path;
            bool hideAppIfRunning = false;
            std::optional<std::string> launchArgumentsText;
            std::optional<bool> switchToPreviousApp;
            friend bool operator==(const openApp&, const openApp&) = default;
        };
        struct openFinder {
            friend bool operator==(const openFinder&, const openFinder&) = default;
        };
        struct openFile {
            std::string filePath;
            std::optional<std::string> applicationPath;
            friend bool operator==(const openFile&, const openFile&) = default;
        };
        struct openFolder {
            std::string folderPath;
            std::optional<std::string> applicationPath;
            friend bool operator==(const openFolder&, const openFolder&) = default;
        };
        struct runAppleScript {
            std::string path;
            friend bool operator==(const runAppleScript&, const runAppleScript&) = default;
        };
        struct toggleConfigurationWindow {
            friend bool operator==(const toggleConfigurationWindow&, const toggleConfigurationWindow&) = default;
        };
        // The older form of menuCommand: decoding turns it into menuCommand.
        struct menu {
            std::vector<std::string> menuItems;
            friend bool operator==(const menu&, const menu&) = default;
        };
        struct menuCommand {
            MenuCommandInfo info;
            friend bool operator==(const menuCommand&, const menuCommand&) = default;
        };
        struct switchWindow {
            friend bool operator==(const switchWindow&, const switchWindow&) = default;
        };
        struct executeFile {
            std::string path;
            std::optional<std::string> argumentsText;
            friend bool operator==(const executeFile&, const executeFile&) = default;
        };
        struct sleep {
            friend bool operator==(const sleep&, const sleep&) = default;
        };
        struct simulateKeystroke {
            Keystroke keystroke;
            friend bool operator==(const simulateKeystroke&, const simulateKeystroke&) = default;
        };
        struct switchInputMethod {
            std::string inputSourceID;
            friend bool operator==(const switchInputMethod&, const switchInputMethod&) = default;
        };
        struct continueFromInterruption {
            double delay = 0; // seconds
            friend bool operator==(const continueFromInterruption&, const continueFromInterruption&) = default;
        };
        struct stopKeySequenceAfterDelay {
            double delay = 0; // seconds
            std::optional<bool> ignoreIfNewActivityHappen;
            friend bool operator==(const stopKeySequenceAfterDelay&, const stopKeySequenceAfterDelay&) = default;
        };
        struct reWaitTriggerKeys {
            friend bool operator==(const reWaitTriggerKeys&, const reWaitTriggerKeys&) = default;
        };
        struct internalMethod {
            InternalMethodInfo info;
            friend bool operator==(const internalMethod&, const internalMethod&) = default;
        };
        struct getFrontmostApp {
            GetFrontmostAppKind kind;
            friend bool operator==(const getFrontmostApp&, const getFrontmostApp&) = default;
        };
        struct getLeaderKey {
            std::optional<GetLeaderKeyKind> kind;
            friend bool operator==(const getLeaderKey&, const getLeaderKey&) = default;
        };

        using Value = std::variant<notification, openURL, openApp, openFinder, openFile, openFolder, runAppleScript,
                                   toggleConfigurationWindow, menu, menuCommand, switchWindow, executeFile, sleep,
                                   simulateKeystroke, switchInputMethod, continueFromInterruption, stopKeySequenceAfterDelay,
                                   reWaitTriggerKeys, internalMethod, getFrontmostApp, getLeaderKey>;

        template <typename Case>
        Kind(Case value) requires std::is_constructible_v<Value, Case> : value_(std::move(value)) {}

        template <typename Case>
        const Case* get() const {
            return std::get_if<Case>(&value_);
        }
        template <typename Case>
        bool is() const {
            return std::holds_alternative<Case>(value_);
        }
        const Value& value() const { return value_; }
        std::size_t index() const { return value_.index(); }
        // The case key that stores this kind ("openApp"...).
        std::string_view caseName() const;

        // The one-line text of diagnostic lines ("Open App Safari (hide app if running)").
        std::string description() const;
        // The one-line text a person reads: the description in this desktop's words, with
        // applications by name where one is known.
        std::string shownText() const;
        // The application the action opens or opens with, by its stored path; nothing for kinds
        // that name none.
        std::optional<std::string> applicationPath() const;

        json::Value toJson() const;
        void writeJson(json::Sink& sink) const;
        // The case's own object, the value of its case key.
        void writePayload(json::Sink& sink) const;
        static Kind fromJson(const JsonReader& reader);

        void hash(Hasher& hasher) const;
        friend bool operator==(const Kind&, const Kind&) = default;

    private:
        Value value_;
    };

    Uuid id = Uuid::random(); // never stored: every decode makes a new one
    Kind kind;
    std::optional<std::string> actionDescription;

    Action(Kind kind, std::optional<std::string> description = std::nullopt)
        : kind(std::move(kind)), actionDescription(std::move(description)) {}

    // The kind's one-key object, with "description" beside the case key when there is one.
    json::Value toJson() const;
    void writeJson(json::Sink& sink) const;
    static Action fromJson(const JsonReader& reader);

    void hash(Hasher& hasher) const;
    friend bool operator==(const Action&, const Action&) = default;
};

// The application the default row stores where no browser is known: shown as the web browser.
inline constexpr std::string_view placeholderBrowserPath = "/Applications/Safari.app";

// The case keys of Action::Kind in declaration order.
const std::vector<std::string_view>& actionKindCaseNames();

} // namespace tavlin
