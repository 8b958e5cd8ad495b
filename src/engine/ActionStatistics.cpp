#include "engine/ActionStatistics.h"

#include <limits>
#include <map>

#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/files/Files.h"

namespace tavlin::ActionStatistics {
namespace {

// Counts not written yet, by key, and the write that will take them.
struct Pending {
    std::map<std::string, std::int64_t> added;
    std::optional<MainQueue::TimerID> write;
};

Pending& pending() {
    static Pending state;
    return state;
}

std::int64_t saturatingSum(std::int64_t a, std::int64_t b) {
    return a > std::numeric_limits<std::int64_t>::max() - b ? std::numeric_limits<std::int64_t>::max() : a + b;
}

} // namespace

std::shared_ptr<UserDefaults> defaults() { return UserDefaults::suite(std::string(bundleIdentifier) + ".statistic.actions"); }

std::optional<std::string> key(const Action& action) {
    try {
        return json::encode(action.toJson(), json::Style::pretty);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::int64_t count(const Action& action) {
    const auto text = key(action);
    if (!text) return 0;
    const std::int64_t stored = defaults()->integer(*text).value_or(0);
    const auto added = pending().added.find(*text);
    return added == pending().added.end() ? stored : saturatingSum(stored, added->second);
}

bool increment(const Action& action) {
    const auto text = key(action);
    if (!text) return false;
    auto& state = pending();
    auto& added = state.added[*text];
    added = saturatingSum(added, 1);
    if (!state.write) state.write = MainQueue::shared().postAfter(writeDelaySeconds, [] { writePending(); });
    return true;
}

void writePending() {
    auto& state = pending();
    if (state.write) MainQueue::shared().cancel(*state.write);
    state.write.reset();
    if (state.added.empty()) return;
    std::map<std::string, DefaultsValue> values;
    const auto store = defaults();
    for (const auto& [text, added] : state.added) values.emplace(text, saturatingSum(store->integer(text).value_or(0), added));
    state.added.clear();
    if (const auto error = store->set(std::move(values))) diag::printLine(diag::Category::actions, *error);
}

} // namespace tavlin::ActionStatistics
