#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/FlatKeysAndActionRow.h"

// Rows for the flat editor's tests.
namespace tavlin::test {

using Scope = FlatKeysAndActionRow::ApplicationScope;

inline LeaderKey commandTap() { return LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)); }

inline FlatKeysAndActionRow flatRow(std::vector<std::int64_t> keys, LeaderKey leader = commandTap(),
                                    Scope scope = Scope::allBut(), std::string url = "https://example.com/",
                                    std::optional<std::string> description = std::nullopt, bool enabled = true) {
    return FlatKeysAndActionRow(Uuid::random(), enabled, std::move(scope), std::move(keys),
                                Action(Action::Kind::openURL{std::move(url), std::nullopt}, std::move(description)), false,
                                std::move(leader));
}

inline std::vector<std::string> idsOf(const std::vector<FlatKeysAndActionRow>& rows) {
    std::vector<std::string> ids;
    for (const auto& row : rows) ids.push_back(row.id.string());
    return ids;
}

} // namespace tavlin::test
