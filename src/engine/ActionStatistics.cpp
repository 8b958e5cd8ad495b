#include "engine/ActionStatistics.h"

#include <limits>

#include "platform/Files.h"

namespace tavlin::ActionStatistics {

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
    return defaults()->integer(*text).value_or(0);
}

bool increment(const Action& action) {
    const auto text = key(action);
    if (!text) return false;
    const std::int64_t current = defaults()->integer(*text).value_or(0);
    const std::int64_t next = current == std::numeric_limits<std::int64_t>::max() ? current : current + 1;
    defaults()->set(*text, next);
    return true;
}

} // namespace tavlin::ActionStatistics
