#include "SampleRows.h"

#include <string>

namespace tavlin::bench {

std::vector<FlatKeysAndActionRow> sampleRows(int count) {
    static const int keys[] = {0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6};
    const LeaderKey leaders[] = {LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)),
                                 LeaderKey::press(HotKey::combo(49, 0x1000)), LeaderKey::hold(false, 49)};
    std::vector<FlatKeysAndActionRow> rows;
    for (int i = 0; i < count; ++i) {
        const auto scope = i % 4 == 0 ? FlatKeysAndActionRow::ApplicationScope::only(
                                            {"/usr/share/applications/app" + std::to_string(i % 7) + ".desktop"})
                                      : FlatKeysAndActionRow::ApplicationScope::allBut();
        std::vector<std::int64_t> sequence{keys[i % 26]};
        if (i % 3 != 0) sequence.push_back(keys[(i / 26) % 26]);
        if (i % 5 == 0) sequence.push_back(keys[(i / 676) % 26]);
        rows.emplace_back(Uuid::random(), true, scope, sequence,
                          Action(Action::Kind::openURL{"https://example.com/" + std::to_string(i), std::nullopt}), i % 2 == 0,
                          leaders[i % 3]);
    }
    return rows;
}

} // namespace tavlin::bench
