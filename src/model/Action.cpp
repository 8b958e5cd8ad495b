#include "model/Action.h"

#include <bit>
#include <filesystem>

#include "model/SelectableInputSources.h"
#include "platform/JsonSink.h"
#include "platform/NumberText.h"
#include "platform/Strings.h"

namespace tavlin {
namespace {

using K = Action::Kind;

void putOptional(json::Sink& sink, std::string_view key, const std::optional<std::string>& value) {
    if (value) sink.member(key, *value);
}

void putOptional(json::Sink& sink, std::string_view key, const std::optional<bool>& value) {
    if (!value) return;
    sink.key(key);
    sink.boolean(*value);
}

// The last path component without its extension: "/Applications/Safari.app" gives "Safari".
std::string applicationName(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const auto slash = path.rfind('/');
    std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size()) name.erase(dot);
    return name;
}

// The path made absolute, with "." and ".." resolved.
std::string standardizedPath(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute.front() != '/') {
        std::error_code error;
        const auto cwd = std::filesystem::current_path(error);
        absolute = (error ? std::string("/") : cwd.string()) + "/" + absolute;
    }
    std::vector<std::string_view> parts;
    std::string_view rest(absolute);
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string result;
    for (const auto part : parts) result += "/" + std::string(part);
    return result.empty() ? "/" : result;
}

template <typename Enum, std::size_t N>
Enum enumFromRawValue(const JsonReader& reader, const Enum (&all)[N], std::string_view typeName) {
    const std::string text = reader.string();
    for (const auto value : all) {
        if (rawValue(value) == text) return value;
    }
    throw DecodingError::dataCorrupted(reader.codingPath(), "Cannot initialize " + std::string(typeName) +
                                                                " from invalid String value " + text);
}

} // namespace

std::string_view rawValue(GetFrontmostAppKind kind) {
    switch (kind) {
    case GetFrontmostAppKind::bundleURL: return "bundleURL";
    case GetFrontmostAppKind::localizedName: return "localizedName";
    case GetFrontmostAppKind::bundleIdentifier: return "bundleIdentifier";
    }
    return "";
}

std::string_view rawValue(GetLeaderKeyKind kind) {
    return kind == GetLeaderKeyKind::displayName ? "displayName" : "keyCodeText";
}

std::string_view displayText(GetFrontmostAppKind kind) {
    switch (kind) {
    case GetFrontmostAppKind::bundleURL: return "Bundle URL";
    case GetFrontmostAppKind::localizedName: return "Localized Name";
    case GetFrontmostAppKind::bundleIdentifier: return "Bundle Identifier";
    }
    return "";
}

std::string_view displayText(GetLeaderKeyKind kind) {
    return kind == GetLeaderKeyKind::displayName ? "Display Name" : "Key Code Text";
}

const std::vector<std::string_view>& actionKindCaseNames() {
    static const std::vector<std::string_view> names{
        "notification", "openURL", "openApp", "openFinder", "openFile", "openFolder", "runAppleScript",
        "toggleConfigurationWindow", "menu", "menuCommand", "switchWindow", "executeFile", "sleep",
        "simulateKeystroke", "switchInputMethod", "continueFromInterruption", "stopKeySequenceAfterDelay",
        "reWaitTriggerKeys", "internalMethod", "getFrontmostApp", "getLeaderKey"};
    return names;
}

std::string_view Action::Kind::caseName() const { return actionKindCaseNames()[value_.index()]; }

std::string Action::Kind::description() const {
    return std::visit(
        [](const auto& c) -> std::string {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, K::notification>) {
                return "Notification (title: \"" + c.title + "\")";
            } else if constexpr (std::is_same_v<T, K::openURL>) {
                return "Open URL " + c.url + (c.applicationPath ? " with " + *c.applicationPath : "");
            } else if constexpr (std::is_same_v<T, K::openApp>) {
                std::string text = "Open App " + applicationName(c.path);
                if (c.launchArgumentsText && !c.launchArgumentsText->empty()) text += " with arguments " + *c.launchArgumentsText;
                if (c.switchToPreviousApp.value_or(false)) text += " (switch to previous app)";
                else if (c.hideAppIfRunning) text += " (hide app if running)";
                return text;
            } else if constexpr (std::is_same_v<T, K::openFinder>) {
                return "Open Finder";
            } else if constexpr (std::is_same_v<T, K::openFile>) {
                return "Open File " + c.filePath + (c.applicationPath ? " with " + *c.applicationPath : "");
            } else if constexpr (std::is_same_v<T, K::openFolder>) {
                return "Open Folder " + c.folderPath + (c.applicationPath ? " with " + *c.applicationPath : "");
            } else if constexpr (std::is_same_v<T, K::runAppleScript>) {
                return "Run AppleScript " + standardizedPath(c.path);
            } else if constexpr (std::is_same_v<T, K::toggleConfigurationWindow>) {
                return "Show/Hide Configuration Window";
            } else if constexpr (std::is_same_v<T, K::menu>) {
                return "Click Menu Items: " + joined(c.menuItems, " -> ");
            } else if constexpr (std::is_same_v<T, K::menuCommand>) {
                return "Click Menu Items: " + replacingOccurrences(c.info.menuTitle, "->", " > ");
            } else if constexpr (std::is_same_v<T, K::switchWindow>) {
                return "Switch To Recent Window";
            } else if constexpr (std::is_same_v<T, K::executeFile>) {
                std::string text = "Execute File " + c.path;
                if (c.argumentsText && !c.argumentsText->empty()) text += " With Parameters " + *c.argumentsText;
                return text;
            } else if constexpr (std::is_same_v<T, K::sleep>) {
                return "Sleep";
            } else if constexpr (std::is_same_v<T, K::simulateKeystroke>) {
                return "Simulate Keystroke " + c.keystroke.description();
            } else if constexpr (std::is_same_v<T, K::switchInputMethod>) {
                return "Switch Input Method To " + selectableInputSourceName(c.inputSourceID).value_or("Unknown");
            } else if constexpr (std::is_same_v<T, K::continueFromInterruption>) {
                return "Continue From Interruption After " + doubleDescription(c.delay) + " Seconds";
            } else if constexpr (std::is_same_v<T, K::stopKeySequenceAfterDelay>) {
                return "Stop Key Sequence After " + doubleDescription(c.delay);
            } else if constexpr (std::is_same_v<T, K::reWaitTriggerKeys>) {
                return "Re-Wait Trigger Key";
            } else if constexpr (std::is_same_v<T, K::internalMethod>) {
                const auto& method = std::get<InternalMethodInfo::MethodKind::setRequireReactivateOnce>(c.info.kind.value);
                return std::string("Internal Method (InternalMethodInfo(kind: setRequireReactivateOnce(params: "
                                   "SetRequireReactivateOnceParams(newValue: ") +
                       (method.params.newValue ? "true" : "false") + "))))";
            } else if constexpr (std::is_same_v<T, K::getFrontmostApp>) {
                return "Get Frontmost App's " + std::string(displayText(c.kind));
            } else {
                static_assert(std::is_same_v<T, K::getLeaderKey>);
                return "Get Leader Key";
            }
        },
        value_);
}

json::Value Action::Kind::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void Action::Kind::writeJson(json::Sink& sink) const {
    sink.beginObject();
    sink.key(caseName());
    writePayload(sink);
    sink.endObject();
}

void Action::Kind::writePayload(json::Sink& sink) const {
    sink.beginObject();
    std::visit(
        [&sink](const auto& c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, K::notification>) {
                sink.member("title", c.title);
            } else if constexpr (std::is_same_v<T, K::openURL>) {
                sink.member("url", c.url);
                putOptional(sink, "applicationPath", c.applicationPath);
            } else if constexpr (std::is_same_v<T, K::openApp>) {
                sink.member("path", c.path);
                sink.key("hideAppIfRunning");
                sink.boolean(c.hideAppIfRunning);
                putOptional(sink, "launchArgumentsText", c.launchArgumentsText);
                putOptional(sink, "switchToPreviousApp", c.switchToPreviousApp);
            } else if constexpr (std::is_same_v<T, K::openFile>) {
                sink.member("filePath", c.filePath);
                putOptional(sink, "applicationPath", c.applicationPath);
            } else if constexpr (std::is_same_v<T, K::openFolder>) {
                sink.member("folderPath", c.folderPath);
                putOptional(sink, "applicationPath", c.applicationPath);
            } else if constexpr (std::is_same_v<T, K::runAppleScript>) {
                sink.member("path", c.path);
            } else if constexpr (std::is_same_v<T, K::menu>) {
                sink.key("menuItems");
                sink.beginArray();
                for (const auto& item : c.menuItems) sink.string(item);
                sink.endArray();
            } else if constexpr (std::is_same_v<T, K::menuCommand>) {
                sink.beginObject("info");
                sink.member("menuTitle", c.info.menuTitle);
                sink.endObject();
            } else if constexpr (std::is_same_v<T, K::executeFile>) {
                sink.member("path", c.path);
                putOptional(sink, "argumentsText", c.argumentsText);
            } else if constexpr (std::is_same_v<T, K::simulateKeystroke>) {
                sink.key("keystroke");
                c.keystroke.writeJson(sink);
            } else if constexpr (std::is_same_v<T, K::switchInputMethod>) {
                sink.member("inputSourceID", c.inputSourceID);
            } else if constexpr (std::is_same_v<T, K::continueFromInterruption>) {
                sink.key("delay");
                sink.number(c.delay);
            } else if constexpr (std::is_same_v<T, K::stopKeySequenceAfterDelay>) {
                sink.key("delay");
                sink.number(c.delay);
                putOptional(sink, "ignoreIfNewActivityHappen", c.ignoreIfNewActivityHappen);
            } else if constexpr (std::is_same_v<T, K::internalMethod>) {
                const auto& method = std::get<InternalMethodInfo::MethodKind::setRequireReactivateOnce>(c.info.kind.value);
                sink.beginObject("info");
                sink.beginObject("kind");
                sink.beginObject("setRequireReactivateOnce");
                sink.beginObject("params");
                sink.key("newValue");
                sink.boolean(method.params.newValue);
                sink.endObject();
                sink.endObject();
                sink.endObject();
                sink.endObject();
            } else if constexpr (std::is_same_v<T, K::getFrontmostApp>) {
                sink.member("kind", rawValue(c.kind));
            } else if constexpr (std::is_same_v<T, K::getLeaderKey>) {
                if (c.kind) sink.member("kind", rawValue(*c.kind));
            }
        },
        value_);
    sink.endObject();
}

Action::Kind Action::Kind::fromJson(const JsonReader& reader) {
    const auto caseKey = reader.caseKey("Action.Kind", actionKindCaseNames());
    const JsonReader p = reader.member(caseKey).requireObject("Dictionary");
    const auto optionalText = [&p](std::string_view key) { return p.optionalStringMember(key); };

    if (caseKey == "notification") return notification{p.stringMember("title")};
    if (caseKey == "openURL") return openURL{p.stringMember("url"), optionalText("applicationPath")};
    if (caseKey == "openApp") {
        return openApp{p.stringMember("path"), p.booleanMember("hideAppIfRunning"), optionalText("launchArgumentsText"),
                       p.optionalBooleanMember("switchToPreviousApp")};
    }
    if (caseKey == "openFinder") return openFinder{};
    if (caseKey == "openFile") return openFile{p.stringMember("filePath"), optionalText("applicationPath")};
    if (caseKey == "openFolder") return openFolder{p.stringMember("folderPath"), optionalText("applicationPath")};
    if (caseKey == "runAppleScript") return runAppleScript{p.stringMember("path")};
    if (caseKey == "toggleConfigurationWindow") return toggleConfigurationWindow{};
    if (caseKey == "menu") {
        std::vector<std::string> items;
        for (const auto& element : p.member("menuItems", "Array").elements()) items.push_back(element.string());
        return menu{std::move(items)};
    }
    if (caseKey == "menuCommand") {
        return menuCommand{MenuCommandInfo{p.member("info", "Dictionary").requireObject("MenuCommandInfo").stringMember("menuTitle")}};
    }
    if (caseKey == "switchWindow") return switchWindow{};
    if (caseKey == "executeFile") return executeFile{p.stringMember("path"), optionalText("argumentsText")};
    if (caseKey == "sleep") return sleep{};
    if (caseKey == "simulateKeystroke") return simulateKeystroke{Keystroke::fromJson(p.member("keystroke", "Keystroke"))};
    if (caseKey == "switchInputMethod") return switchInputMethod{p.stringMember("inputSourceID")};
    if (caseKey == "continueFromInterruption") return continueFromInterruption{p.member("delay", "Double").number()};
    if (caseKey == "stopKeySequenceAfterDelay") {
        return stopKeySequenceAfterDelay{p.member("delay", "Double").number(), p.optionalBooleanMember("ignoreIfNewActivityHappen")};
    }
    if (caseKey == "reWaitTriggerKeys") return reWaitTriggerKeys{};
    if (caseKey == "internalMethod") {
        const JsonReader kind = p.member("info", "Dictionary").requireObject("InternalMethodInfo").member("kind", "Dictionary");
        const auto methodKey = kind.caseKey("InternalMethodInfo.MethodKind", {"setRequireReactivateOnce"});
        const JsonReader params =
            kind.member(methodKey).requireObject("Dictionary").member("params", "Dictionary").requireObject("SetRequireReactivateOnceParams");
        InternalMethodInfo info{InternalMethodInfo::MethodKind{
            InternalMethodInfo::MethodKind::setRequireReactivateOnce{SetRequireReactivateOnceParams{params.booleanMember("newValue")}}}};
        return internalMethod{info};
    }
    if (caseKey == "getFrontmostApp") {
        return getFrontmostApp{enumFromRawValue(p.member("kind", "String"), allGetFrontmostAppKinds, "GetFrontmostAppKind")};
    }
    std::optional<GetLeaderKeyKind> kind;
    if (auto k = p.optionalMember("kind")) kind = enumFromRawValue(*k, allGetLeaderKeyKinds, "GetLeaderKeyKind");
    return getLeaderKey{kind};
}

void Action::Kind::hash(Hasher& h) const {
    h.combine(value_.index());
    const auto text = [&h](const std::optional<std::string>& value) {
        h.combine(value.has_value());
        if (value) h.combine(*value);
    };
    const auto flag = [&h](const std::optional<bool>& value) {
        h.combine(value.has_value());
        if (value) h.combine(*value);
    };
    const auto number = [&h](double value) {
        // Equal doubles must hash alike: 0.0 and -0.0 compare equal.
        h.combine(value == 0 ? std::int64_t{0} : std::bit_cast<std::int64_t>(value));
    };
    std::visit(
        [&](const auto& c) {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, K::notification>) {
                h.combine(c.title);
            } else if constexpr (std::is_same_v<T, K::openURL>) {
                h.combine(c.url);
                text(c.applicationPath);
            } else if constexpr (std::is_same_v<T, K::openApp>) {
                h.combine(c.path);
                h.combine(c.hideAppIfRunning);
                text(c.launchArgumentsText);
                flag(c.switchToPreviousApp);
            } else if constexpr (std::is_same_v<T, K::openFile>) {
                h.combine(c.filePath);
                text(c.applicationPath);
            } else if constexpr (std::is_same_v<T, K::openFolder>) {
                h.combine(c.folderPath);
                text(c.applicationPath);
            } else if constexpr (std::is_same_v<T, K::runAppleScript>) {
                h.combine(c.path);
            } else if constexpr (std::is_same_v<T, K::menu>) {
                h.combine(c.menuItems.size());
                for (const auto& item : c.menuItems) h.combine(item);
            } else if constexpr (std::is_same_v<T, K::menuCommand>) {
                h.combine(c.info.menuTitle);
            } else if constexpr (std::is_same_v<T, K::executeFile>) {
                h.combine(c.path);
                text(c.argumentsText);
            } else if constexpr (std::is_same_v<T, K::simulateKeystroke>) {
                c.keystroke.hash(h);
            } else if constexpr (std::is_same_v<T, K::switchInputMethod>) {
                h.combine(c.inputSourceID);
            } else if constexpr (std::is_same_v<T, K::continueFromInterruption>) {
                number(c.delay);
            } else if constexpr (std::is_same_v<T, K::stopKeySequenceAfterDelay>) {
                number(c.delay);
                flag(c.ignoreIfNewActivityHappen);
            } else if constexpr (std::is_same_v<T, K::internalMethod>) {
                h.combine(std::get<0>(c.info.kind.value).params.newValue);
            } else if constexpr (std::is_same_v<T, K::getFrontmostApp>) {
                h.combine(static_cast<int>(c.kind));
            } else if constexpr (std::is_same_v<T, K::getLeaderKey>) {
                h.combine(c.kind.has_value());
                if (c.kind) h.combine(static_cast<int>(*c.kind));
            }
        },
        value_);
}

json::Value Action::toJson() const {
    json::ValueBuilder builder;
    writeJson(builder);
    return builder.take();
}

void Action::writeJson(json::Sink& sink) const {
    sink.beginObject();
    sink.key(kind.caseName());
    kind.writePayload(sink);
    if (actionDescription) sink.member("description", *actionDescription);
    sink.endObject();
}

Action Action::fromJson(const JsonReader& reader) {
    Kind kind = Kind::fromJson(reader);
    if (const auto* old = kind.get<Kind::menu>()) {
        std::vector<std::string> items;
        for (const auto& item : old->menuItems) {
            if (!item.empty()) items.push_back(item);
        }
        kind = Kind::menuCommand{MenuCommandInfo{joined(items, "->")}};
    }
    return Action(std::move(kind), reader.optionalStringMember("description"));
}

void Action::hash(Hasher& hasher) const {
    hasher.combine(id);
    kind.hash(hasher);
    hasher.combine(actionDescription.has_value());
    if (actionDescription) hasher.combine(*actionDescription);
}

} // namespace tavlin
