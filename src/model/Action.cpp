#include "model/Action.h"

#include <algorithm>
#include <array>
#include <bit>
#include <filesystem>
#include <utility>

#include "model/SelectableInputSources.h"
#include "platform/json/JsonSink.h"
#include "platform/json/NumberText.h"
#include "platform/text/PeopleWords.h"
#include "platform/text/Strings.h"

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
    throw DecodingError::dataCorrupted(reader.codingPath(),
                                       "Cannot initialize " + std::string(typeName) + " from invalid String value " + text);
}

void hashOptional(Hasher& h, const std::optional<std::string>& value) {
    h.combine(value.has_value());
    if (value) h.combine(*value);
}

void hashOptional(Hasher& h, const std::optional<bool>& value) {
    h.combine(value.has_value());
    if (value) h.combine(*value);
}

void hashNumber(Hasher& h, double value) {
    // Equal doubles must hash alike: 0.0 and -0.0 compare equal.
    h.combine(value == 0 ? std::int64_t{0} : std::bit_cast<std::int64_t>(value));
}

// Everything about one kind of action in one place: the case key that stores it, how its payload
// (the object under the case key) is read and written, its description, and what its hash
// covers. A kind of Action::Kind::Value without an entry does not compile.
template <typename Case>
struct KindTraits;

// A kind whose payload is an empty object.
template <typename Case>
struct EmptyPayload {
    static Case read(const JsonReader&) { return Case{}; }
    static void write(json::Sink&, const Case&) {}
    static void hash(Hasher&, const Case&) {}
};

template <>
struct KindTraits<K::notification> {
    static constexpr std::string_view name = "notification";
    static K::notification read(const JsonReader& p) { return {p.stringMember("title")}; }
    static void write(json::Sink& sink, const K::notification& c) { sink.member("title", c.title); }
    static std::string describe(const K::notification& c) { return "Notification (title: \"" + c.title + "\")"; }
    static void hash(Hasher& h, const K::notification& c) { h.combine(c.title); }
};

template <>
struct KindTraits<K::openURL> {
    static constexpr std::string_view name = "openURL";
    static K::openURL read(const JsonReader& p) { return {p.stringMember("url"), p.optionalStringMember("applicationPath")}; }
    static void write(json::Sink& sink, const K::openURL& c) {
        sink.member("url", c.url);
        putOptional(sink, "applicationPath", c.applicationPath);
    }
    static std::string describe(const K::openURL& c) {
        return "Open URL " + c.url + (c.applicationPath ? " with " + *c.applicationPath : "");
    }
    static void hash(Hasher& h, const K::openURL& c) {
        h.combine(c.url);
        hashOptional(h, c.applicationPath);
    }
};

template <>
struct KindTraits<K::openApp> {
    static constexpr std::string_view name = "openApp";
    static K::openApp read(const JsonReader& p) {
        return {p.stringMember("path"), p.booleanMember("hideAppIfRunning"), p.optionalStringMember("launchArgumentsText"),
                p.optionalBooleanMember("switchToPreviousApp")};
    }
    static void write(json::Sink& sink, const K::openApp& c) {
        sink.member("path", c.path);
        sink.key("hideAppIfRunning");
        sink.boolean(c.hideAppIfRunning);
        putOptional(sink, "launchArgumentsText", c.launchArgumentsText);
        putOptional(sink, "switchToPreviousApp", c.switchToPreviousApp);
    }
    static std::string describe(const K::openApp& c) { return "Open App " + applicationName(c.path) + details(c); }
    // What follows the application's name: its arguments, what happens when it runs already.
    static std::string details(const K::openApp& c) {
        std::string text;
        if (c.launchArgumentsText && !c.launchArgumentsText->empty()) text += " with arguments " + *c.launchArgumentsText;
        if (c.switchToPreviousApp.value_or(false)) text += " (switch to previous app)";
        else if (c.hideAppIfRunning) text += " (hide app if running)";
        return text;
    }
    static void hash(Hasher& h, const K::openApp& c) {
        h.combine(c.path);
        h.combine(c.hideAppIfRunning);
        hashOptional(h, c.launchArgumentsText);
        hashOptional(h, c.switchToPreviousApp);
    }
};

template <>
struct KindTraits<K::openFinder> : EmptyPayload<K::openFinder> {
    static constexpr std::string_view name = "openFinder";
    static std::string describe(const K::openFinder&) { return "Open Finder"; }
};

template <>
struct KindTraits<K::openFile> {
    static constexpr std::string_view name = "openFile";
    static K::openFile read(const JsonReader& p) {
        return {p.stringMember("filePath"), p.optionalStringMember("applicationPath")};
    }
    static void write(json::Sink& sink, const K::openFile& c) {
        sink.member("filePath", c.filePath);
        putOptional(sink, "applicationPath", c.applicationPath);
    }
    static std::string describe(const K::openFile& c) {
        return "Open File " + c.filePath + (c.applicationPath ? " with " + *c.applicationPath : "");
    }
    static void hash(Hasher& h, const K::openFile& c) {
        h.combine(c.filePath);
        hashOptional(h, c.applicationPath);
    }
};

template <>
struct KindTraits<K::openFolder> {
    static constexpr std::string_view name = "openFolder";
    static K::openFolder read(const JsonReader& p) {
        return {p.stringMember("folderPath"), p.optionalStringMember("applicationPath")};
    }
    static void write(json::Sink& sink, const K::openFolder& c) {
        sink.member("folderPath", c.folderPath);
        putOptional(sink, "applicationPath", c.applicationPath);
    }
    static std::string describe(const K::openFolder& c) {
        return "Open Folder " + c.folderPath + (c.applicationPath ? " with " + *c.applicationPath : "");
    }
    static void hash(Hasher& h, const K::openFolder& c) {
        h.combine(c.folderPath);
        hashOptional(h, c.applicationPath);
    }
};

template <>
struct KindTraits<K::runAppleScript> {
    static constexpr std::string_view name = "runAppleScript";
    static K::runAppleScript read(const JsonReader& p) { return {p.stringMember("path")}; }
    static void write(json::Sink& sink, const K::runAppleScript& c) { sink.member("path", c.path); }
    static std::string describe(const K::runAppleScript& c) { return "Run AppleScript " + standardizedPath(c.path); }
    static void hash(Hasher& h, const K::runAppleScript& c) { h.combine(c.path); }
};

template <>
struct KindTraits<K::toggleConfigurationWindow> : EmptyPayload<K::toggleConfigurationWindow> {
    static constexpr std::string_view name = "toggleConfigurationWindow";
    static std::string describe(const K::toggleConfigurationWindow&) { return "Show/Hide Configuration Window"; }
};

template <>
struct KindTraits<K::menu> {
    static constexpr std::string_view name = "menu";
    static K::menu read(const JsonReader& p) {
        std::vector<std::string> items;
        for (const auto& element : p.member("menuItems", "Array").elements()) items.push_back(element.string());
        return {std::move(items)};
    }
    static void write(json::Sink& sink, const K::menu& c) {
        sink.key("menuItems");
        sink.beginArray();
        for (const auto& item : c.menuItems) sink.string(item);
        sink.endArray();
    }
    static std::string describe(const K::menu& c) { return "Click Menu Items: " + joined(c.menuItems, " -> "); }
    static void hash(Hasher& h, const K::menu& c) {
        h.combine(c.menuItems.size());
        for (const auto& item : c.menuItems) h.combine(item);
    }
};

template <>
struct KindTraits<K::menuCommand> {
    static constexpr std::string_view name = "menuCommand";
    static K::menuCommand read(const JsonReader& p) {
        return {MenuCommandInfo{p.member("info", "Dictionary").requireObject("MenuCommandInfo").stringMember("menuTitle")}};
    }
    static void write(json::Sink& sink, const K::menuCommand& c) {
        sink.beginObject("info");
        sink.member("menuTitle", c.info.menuTitle);
        sink.endObject();
    }
    static std::string describe(const K::menuCommand& c) {
        return "Click Menu Items: " + replacingOccurrences(c.info.menuTitle, "->", " > ");
    }
    static void hash(Hasher& h, const K::menuCommand& c) { h.combine(c.info.menuTitle); }
};

template <>
struct KindTraits<K::switchWindow> : EmptyPayload<K::switchWindow> {
    static constexpr std::string_view name = "switchWindow";
    static std::string describe(const K::switchWindow&) { return "Switch To Recent Window"; }
};

template <>
struct KindTraits<K::executeFile> {
    static constexpr std::string_view name = "executeFile";
    static K::executeFile read(const JsonReader& p) { return {p.stringMember("path"), p.optionalStringMember("argumentsText")}; }
    static void write(json::Sink& sink, const K::executeFile& c) {
        sink.member("path", c.path);
        putOptional(sink, "argumentsText", c.argumentsText);
    }
    static std::string describe(const K::executeFile& c) {
        std::string text = "Execute File " + c.path;
        if (c.argumentsText && !c.argumentsText->empty()) text += " With Parameters " + *c.argumentsText;
        return text;
    }
    static void hash(Hasher& h, const K::executeFile& c) {
        h.combine(c.path);
        hashOptional(h, c.argumentsText);
    }
};

template <>
struct KindTraits<K::sleep> : EmptyPayload<K::sleep> {
    static constexpr std::string_view name = "sleep";
    static std::string describe(const K::sleep&) { return "Sleep"; }
};

template <>
struct KindTraits<K::simulateKeystroke> {
    static constexpr std::string_view name = "simulateKeystroke";
    static K::simulateKeystroke read(const JsonReader& p) { return {Keystroke::fromJson(p.member("keystroke", "Keystroke"))}; }
    static void write(json::Sink& sink, const K::simulateKeystroke& c) {
        sink.key("keystroke");
        c.keystroke.writeJson(sink);
    }
    static std::string describe(const K::simulateKeystroke& c) { return "Simulate Keystroke " + c.keystroke.description(); }
    static void hash(Hasher& h, const K::simulateKeystroke& c) { c.keystroke.hash(h); }
};

template <>
struct KindTraits<K::switchInputMethod> {
    static constexpr std::string_view name = "switchInputMethod";
    static K::switchInputMethod read(const JsonReader& p) { return {p.stringMember("inputSourceID")}; }
    static void write(json::Sink& sink, const K::switchInputMethod& c) { sink.member("inputSourceID", c.inputSourceID); }
    static std::string describe(const K::switchInputMethod& c) {
        return "Switch Input Method To " + selectableInputSourceName(c.inputSourceID).value_or("Unknown");
    }
    static void hash(Hasher& h, const K::switchInputMethod& c) { h.combine(c.inputSourceID); }
};

template <>
struct KindTraits<K::continueFromInterruption> {
    static constexpr std::string_view name = "continueFromInterruption";
    static K::continueFromInterruption read(const JsonReader& p) { return {p.member("delay", "Double").number()}; }
    static void write(json::Sink& sink, const K::continueFromInterruption& c) {
        sink.key("delay");
        sink.number(c.delay);
    }
    static std::string describe(const K::continueFromInterruption& c) {
        return "Continue From Interruption After " + doubleDescription(c.delay) + " Seconds";
    }
    static void hash(Hasher& h, const K::continueFromInterruption& c) { hashNumber(h, c.delay); }
};

template <>
struct KindTraits<K::stopKeySequenceAfterDelay> {
    static constexpr std::string_view name = "stopKeySequenceAfterDelay";
    static K::stopKeySequenceAfterDelay read(const JsonReader& p) {
        return {p.member("delay", "Double").number(), p.optionalBooleanMember("ignoreIfNewActivityHappen")};
    }
    static void write(json::Sink& sink, const K::stopKeySequenceAfterDelay& c) {
        sink.key("delay");
        sink.number(c.delay);
        putOptional(sink, "ignoreIfNewActivityHappen", c.ignoreIfNewActivityHappen);
    }
    static std::string describe(const K::stopKeySequenceAfterDelay& c) {
        return "Stop Key Sequence After " + doubleDescription(c.delay);
    }
    static void hash(Hasher& h, const K::stopKeySequenceAfterDelay& c) {
        hashNumber(h, c.delay);
        hashOptional(h, c.ignoreIfNewActivityHappen);
    }
};

template <>
struct KindTraits<K::reWaitTriggerKeys> : EmptyPayload<K::reWaitTriggerKeys> {
    static constexpr std::string_view name = "reWaitTriggerKeys";
    static std::string describe(const K::reWaitTriggerKeys&) { return "Re-Wait Trigger Key"; }
};

template <>
struct KindTraits<K::internalMethod> {
    using Method = InternalMethodInfo::MethodKind::setRequireReactivateOnce;
    static constexpr std::string_view name = "internalMethod";
    static K::internalMethod read(const JsonReader& p) {
        const JsonReader kind = p.member("info", "Dictionary").requireObject("InternalMethodInfo").member("kind", "Dictionary");
        const auto methodKey = kind.caseKey("InternalMethodInfo.MethodKind", {"setRequireReactivateOnce"});
        const JsonReader params = kind.member(methodKey)
                                      .requireObject("Dictionary")
                                      .member("params", "Dictionary")
                                      .requireObject("SetRequireReactivateOnceParams");
        InternalMethodInfo info{
            InternalMethodInfo::MethodKind{Method{SetRequireReactivateOnceParams{params.booleanMember("newValue")}}}};
        return {info};
    }
    static void write(json::Sink& sink, const K::internalMethod& c) {
        const auto& method = std::get<Method>(c.info.kind.value);
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
    }
    static std::string describe(const K::internalMethod& c) {
        const auto& method = std::get<Method>(c.info.kind.value);
        return std::string(
                   "Internal Method (InternalMethodInfo(kind: setRequireReactivateOnce(params: "
                   "SetRequireReactivateOnceParams(newValue: ") +
               (method.params.newValue ? "true" : "false") + "))))";
    }
    static void hash(Hasher& h, const K::internalMethod& c) { h.combine(std::get<Method>(c.info.kind.value).params.newValue); }
};

template <>
struct KindTraits<K::getFrontmostApp> {
    static constexpr std::string_view name = "getFrontmostApp";
    static K::getFrontmostApp read(const JsonReader& p) {
        return {enumFromRawValue(p.member("kind", "String"), allGetFrontmostAppKinds, "GetFrontmostAppKind")};
    }
    static void write(json::Sink& sink, const K::getFrontmostApp& c) { sink.member("kind", rawValue(c.kind)); }
    static std::string describe(const K::getFrontmostApp& c) { return "Get Frontmost App's " + std::string(displayText(c.kind)); }
    static void hash(Hasher& h, const K::getFrontmostApp& c) { h.combine(static_cast<int>(c.kind)); }
};

template <>
struct KindTraits<K::getLeaderKey> {
    static constexpr std::string_view name = "getLeaderKey";
    static K::getLeaderKey read(const JsonReader& p) {
        std::optional<GetLeaderKeyKind> kind;
        if (auto k = p.optionalMember("kind")) kind = enumFromRawValue(*k, allGetLeaderKeyKinds, "GetLeaderKeyKind");
        return {kind};
    }
    static void write(json::Sink& sink, const K::getLeaderKey& c) {
        if (c.kind) sink.member("kind", rawValue(*c.kind));
    }
    static std::string describe(const K::getLeaderKey&) { return "Get Leader Key"; }
    static void hash(Hasher& h, const K::getLeaderKey& c) {
        h.combine(c.kind.has_value());
        if (c.kind) h.combine(static_cast<int>(*c.kind));
    }
};

template <typename Case>
using TraitsOf = KindTraits<std::decay_t<Case>>;

template <std::size_t... I>
std::vector<std::string_view> caseNamesInOrder(std::index_sequence<I...>) {
    return {KindTraits<std::variant_alternative_t<I, K::Value>>::name...};
}

using KindReader = K (*)(const JsonReader& payload);

// The readers in declaration order, so that a case key's position picks its reader.
template <std::size_t... I>
constexpr std::array<KindReader, sizeof...(I)> readersInOrder(std::index_sequence<I...>) {
    return {[](const JsonReader& payload) -> K { return KindTraits<std::variant_alternative_t<I, K::Value>>::read(payload); }...};
}

constexpr auto kindIndices = std::make_index_sequence<std::variant_size_v<K::Value>>();

} // namespace

std::string_view rawValue(GetFrontmostAppKind kind) {
    switch (kind) {
    case GetFrontmostAppKind::bundleURL: return "bundleURL";
    case GetFrontmostAppKind::localizedName: return "localizedName";
    case GetFrontmostAppKind::bundleIdentifier: return "bundleIdentifier";
    }
    return "";
}

std::string_view rawValue(GetLeaderKeyKind kind) { return kind == GetLeaderKeyKind::displayName ? "displayName" : "keyCodeText"; }

std::string_view displayText(GetFrontmostAppKind kind) {
    switch (kind) {
    case GetFrontmostAppKind::bundleURL: return "Bundle URL";
    case GetFrontmostAppKind::localizedName: return "Localized Name";
    case GetFrontmostAppKind::bundleIdentifier: return "Bundle Identifier";
    }
    return "";
}

std::string_view shownText(GetFrontmostAppKind kind) {
    switch (kind) {
    case GetFrontmostAppKind::bundleURL: return words::frontmostAppPath;
    case GetFrontmostAppKind::localizedName: return words::frontmostAppName;
    case GetFrontmostAppKind::bundleIdentifier: return words::frontmostAppId;
    }
    return "";
}

std::string_view displayText(GetLeaderKeyKind kind) {
    return kind == GetLeaderKeyKind::displayName ? "Display Name" : "Key Code Text";
}

const std::vector<std::string_view>& actionKindCaseNames() {
    static const std::vector<std::string_view> names = caseNamesInOrder(kindIndices);
    return names;
}

std::string_view Action::Kind::caseName() const { return actionKindCaseNames()[value_.index()]; }

std::string Action::Kind::description() const {
    return std::visit([](const auto& c) { return TraitsOf<decltype(c)>::describe(c); }, value_);
}

std::string Action::Kind::shownText() const {
    if (is<openFinder>()) return std::string(words::openFileManager);
    if (const auto* c = get<runAppleScript>()) return std::string(words::runScript) + " " + standardizedPath(c->path);
    if (const auto* c = get<simulateKeystroke>()) return "Simulate Keystroke " + c->keystroke.shownText();
    if (const auto* c = get<getFrontmostApp>()) return "Get Frontmost App's " + std::string(tavlin::shownText(c->kind));
    // What the step does, not how it is stored: generated trees start every press binding with it.
    if (const auto* c = get<internalMethod>()) {
        return std::get<InternalMethodInfo::MethodKind::setRequireReactivateOnce>(c->info.kind.value).params.newValue
                   ? "Reopen the Input Window After Each Sequence"
                   : "Stop Reopening the Input Window";
    }
    if (const auto* c = get<openApp>()) {
        using Traits = KindTraits<K::openApp>;
        // The default row's stand-in where no browser is known: it names no program of this desktop.
        if (c->path == placeholderBrowserPath) return std::string(words::openWebBrowser) + Traits::details(*c);
        return "Open App " + words::applicationName(c->path).value_or(applicationName(c->path)) + Traits::details(*c);
    }
    // "with" the application's name; its path where no name is known.
    const auto with = [](const std::optional<std::string>& path) {
        return path ? " with " + words::applicationName(*path).value_or(*path) : std::string();
    };
    if (const auto* c = get<openURL>()) return "Open URL " + c->url + with(c->applicationPath);
    if (const auto* c = get<openFile>()) return "Open File " + c->filePath + with(c->applicationPath);
    if (const auto* c = get<openFolder>()) return "Open Folder " + c->folderPath + with(c->applicationPath);
    return description();
}

std::optional<std::string> Action::Kind::applicationPath() const {
    if (const auto* c = get<openApp>()) return c->path;
    if (const auto* c = get<openURL>()) return c->applicationPath;
    if (const auto* c = get<openFile>()) return c->applicationPath;
    if (const auto* c = get<openFolder>()) return c->applicationPath;
    return std::nullopt;
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
    std::visit([&sink](const auto& c) { TraitsOf<decltype(c)>::write(sink, c); }, value_);
    sink.endObject();
}

Action::Kind Action::Kind::fromJson(const JsonReader& reader) {
    static constexpr auto readers = readersInOrder(kindIndices);
    const auto& names = actionKindCaseNames();
    const auto caseKey = reader.caseKey("Action.Kind", names);
    const JsonReader payload = reader.member(caseKey).requireObject("Dictionary");
    const auto position = std::find(names.begin(), names.end(), caseKey) - names.begin();
    return readers[static_cast<std::size_t>(position)](payload);
}

void Action::Kind::hash(Hasher& h) const {
    h.combine(value_.index());
    std::visit([&h](const auto& c) { TraitsOf<decltype(c)>::hash(h, c); }, value_);
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
