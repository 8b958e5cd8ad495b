#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/StableSort.h"

namespace tavlin {
namespace {

struct Item {
    int key;
    int position; // where the item was before sorting
};

std::vector<Item> shuffledItems(std::size_t count, int distinctKeys, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Item> items;
    for (std::size_t i = 0; i < count; ++i) {
        items.push_back({static_cast<int>(random() % static_cast<unsigned>(distinctKeys)), static_cast<int>(i)});
    }
    return items;
}

std::vector<int> sortedPositions(std::vector<Item> items) {
    std::vector<int> positions;
    for (const auto& item : items) positions.push_back(item.position);
    std::sort(positions.begin(), positions.end());
    return positions;
}

TEST(StableSort, SortsAndKeepsEqualKeysInTheirOrder) {
    for (const std::size_t count : {0u, 1u, 2u, 3u, 7u, 64u, 1000u}) {
        for (const int keys : {1, 3, 50}) {
            const auto items = shuffledItems(count, keys, static_cast<unsigned>(count * 31 + keys));
            const auto sorted = stableMergeSorted(items, [](const Item& a, const Item& b) { return a.key < b.key; });
            ASSERT_EQ(sorted.size(), items.size());
            for (std::size_t i = 1; i < sorted.size(); ++i) {
                ASSERT_LE(sorted[i - 1].key, sorted[i].key);
                if (sorted[i - 1].key == sorted[i].key) {
                    ASSERT_LT(sorted[i - 1].position, sorted[i].position);
                }
            }
            EXPECT_EQ(sortedPositions(sorted), sortedPositions(items));
        }
    }
}

TEST(StableSort, OnlyAsksWhetherALaterItemIsLessThanAnEarlierOne) {
    const auto items = shuffledItems(500, 10, 7);
    int calls = 0;
    stableMergeSorted(items, [&](const Item& right, const Item& left) {
        ++calls;
        EXPECT_GT(right.position, left.position);
        return right.key < left.key;
    });
    EXPECT_GT(calls, 0);
}

TEST(StableSort, ToleratesOrdersThatAreNotStrictWeakOrders) {
    const auto items = shuffledItems(300, 20, 11);
    // Item 0 counts as less than everything and everything as less than it; the others are
    // ordered by key, except that key 5 and key 6 are mutually "less".
    const auto lawless = [](const Item& a, const Item& b) {
        if (a.position == 0 || b.position == 0) return true;
        if ((a.key == 5 && b.key == 6) || (a.key == 6 && b.key == 5)) return true;
        return a.key < b.key;
    };
    const auto sorted = stableMergeSorted(items, lawless);
    EXPECT_EQ(sortedPositions(sorted), sortedPositions(items));

    const auto always = stableMergeSorted(items, [](const Item&, const Item&) { return true; });
    EXPECT_EQ(sortedPositions(always), sortedPositions(items));
    // A comparator that never says "less" leaves the order untouched.
    const auto never = stableMergeSorted(items, [](const Item&, const Item&) { return false; });
    for (std::size_t i = 0; i < never.size(); ++i) EXPECT_EQ(never[i].position, static_cast<int>(i));
}

TEST(StableSort, WorksWithMoveOnlyAndNonTrivialValues) {
    std::vector<std::string> texts{"pear", "fig", "apple", "kiwi", "date", "plum"};
    const auto byLength = stableMergeSorted(texts,
                                            [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    EXPECT_EQ(byLength, (std::vector<std::string>{"fig", "pear", "kiwi", "date", "plum", "apple"}));

    std::vector<std::unique_ptr<int>> boxes;
    for (const int n : {3, 1, 2}) boxes.push_back(std::make_unique<int>(n));
    const auto sorted = stableMergeSorted(std::move(boxes), [](const auto& a, const auto& b) { return *a < *b; });
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(*sorted[0], 1);
    EXPECT_EQ(*sorted[2], 3);
}

} // namespace
} // namespace tavlin
