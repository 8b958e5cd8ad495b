#include "shortcutkit/Handlers.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <vector>

#include "shortcutkit/CarbonShortcutTable.h"
#include "shortcutkit/ShortcutStore.h"

namespace tavlin::shortcutkit {
namespace {

// Every callback carries the order it was added in, across names and tables.
struct Entry {
    std::uint64_t order;
    Callback callback;
};
using HandlerTable = std::unordered_map<Name, std::vector<Entry>, NameHash>;
// A stream's callbacks by token; a name keeps its (possibly empty) entry once it had one.
using StreamTable = std::unordered_map<Name, std::map<std::uint64_t, Entry>, NameHash>;

std::uint64_t nextOrder = 0;

HandlerTable& keyDownHandlers() {
    static HandlerTable table;
    return table;
}
HandlerTable& keyUpHandlers() {
    static HandlerTable table;
    return table;
}
StreamTable& streamKeyDownHandlers() {
    static StreamTable table;
    return table;
}
StreamTable& streamKeyUpHandlers() {
    static StreamTable table;
    return table;
}

void addHandler(HandlerTable& table, const Name& name, Callback action) {
    table[name].push_back({++nextOrder, std::move(action)});
    registerName(name);
    CarbonShortcutTable::synchronize();
}

template <typename Table>
void collectStored(const Table& table, std::unordered_set<Shortcut, ShortcutHash>& into, bool onlyLive) {
    for (const auto& [name, entries] : table) {
        if (onlyLive && entries.empty()) continue;
        if (const auto shortcut = getShortcut(name)) into.insert(*shortcut);
    }
}

template <typename Table>
bool anyNameStores(const Table& table, const Shortcut& shortcut) {
    return std::any_of(table.begin(), table.end(), [&](const auto& item) { return getShortcut(item.first) == shortcut; });
}

template <typename Table>
void collectCallbacks(const Table& table, const Shortcut& shortcut, std::vector<const Entry*>& into) {
    for (const auto& [name, entries] : table) {
        if (entries.empty() || getShortcut(name) != shortcut) continue;
        for (const auto& item : entries) {
            if constexpr (std::is_same_v<Table, HandlerTable>) into.push_back(&item);
            else into.push_back(&item.second);
        }
    }
}

} // namespace

void onKeyDown(const Name& name, Callback action) { addHandler(keyDownHandlers(), name, std::move(action)); }

void onKeyUp(const Name& name, Callback action) { addHandler(keyUpHandlers(), name, std::move(action)); }

void registerName(const Name& name) {
    if (const auto shortcut = getShortcut(name)) registeredShortcuts().insert(*shortcut);
}

void unregisterName(const Name& name) {
    if (const auto shortcut = getShortcut(name)) {
        CarbonShortcutTable::unregister(*shortcut);
        registeredShortcuts().erase(*shortcut);
    }
    CarbonShortcutTable::synchronize();
}

void removeAllHandlers() {
    std::unordered_set<Shortcut, ShortcutHash> handled, streamed;
    collectStored(keyDownHandlers(), handled, false);
    collectStored(keyUpHandlers(), handled, false);
    collectStored(streamKeyDownHandlers(), streamed, false);
    collectStored(streamKeyUpHandlers(), streamed, false);
    for (const auto& shortcut : handled) {
        if (streamed.count(shortcut)) continue;
        CarbonShortcutTable::unregister(shortcut);
        registeredShortcuts().erase(shortcut);
    }
    keyDownHandlers().clear();
    keyUpHandlers().clear();
    CarbonShortcutTable::synchronize();
}

namespace detail {

std::uint64_t addStreamCallback(const Name& name, EventType type, Callback callback) {
    const std::uint64_t token = ++nextOrder;
    auto& table = type == EventType::keyDown ? streamKeyDownHandlers() : streamKeyUpHandlers();
    table[name][token] = {token, std::move(callback)};
    return token;
}

void removeStreamCallback(const Name& name, std::uint64_t token) {
    for (auto* table : {&streamKeyDownHandlers(), &streamKeyUpHandlers()}) {
        const auto found = table->find(name);
        if (found != table->end()) found->second.erase(token);
    }
}

std::unordered_set<Shortcut, ShortcutHash> shortcutsInUse() {
    std::unordered_set<Shortcut, ShortcutHash> inUse;
    collectStored(keyDownHandlers(), inUse, true);
    collectStored(keyUpHandlers(), inUse, true);
    collectStored(streamKeyDownHandlers(), inUse, true);
    collectStored(streamKeyUpHandlers(), inUse, true);
    return inUse;
}

void unregisterIfUnused(const Name& name) {
    const auto shortcut = getShortcut(name);
    if (!shortcut) return;
    if (anyNameStores(keyDownHandlers(), *shortcut) || anyNameStores(keyUpHandlers(), *shortcut) ||
        anyNameStores(streamKeyDownHandlers(), *shortcut) || anyNameStores(streamKeyUpHandlers(), *shortcut)) {
        return;
    }
    CarbonShortcutTable::unregister(*shortcut);
    registeredShortcuts().erase(*shortcut);
}

void dispatch(const Shortcut& shortcut, EventType type) {
    const bool down = type == EventType::keyDown;
    std::vector<const Entry*> handlers, streams;
    collectCallbacks(down ? keyDownHandlers() : keyUpHandlers(), shortcut, handlers);
    collectCallbacks(down ? streamKeyDownHandlers() : streamKeyUpHandlers(), shortcut, streams);
    const auto byOrder = [](const Entry* left, const Entry* right) { return left->order < right->order; };
    std::sort(handlers.begin(), handlers.end(), byOrder);
    std::sort(streams.begin(), streams.end(), byOrder);
    // Copies: a callback may add or remove callbacks.
    std::vector<Callback> callbacks;
    for (const auto* list : {&handlers, &streams})
        for (const Entry* entry : *list) callbacks.push_back(entry->callback);
    for (const auto& callback : callbacks)
        if (callback) callback();
}

} // namespace detail

} // namespace tavlin::shortcutkit
