#pragma once

#include <cstddef>
#include <vector>

namespace tavlin {

// A stable top-down merge sort. Unlike std::stable_sort it accepts orders that are not strict
// weak orders (such as the order of patterns): it only ever asks less(right, left) while
// merging, and takes the left element unless the right one is strictly less.
template <typename T, typename Less>
std::vector<T> stableMergeSorted(std::vector<T> items, Less less) {
    if (items.size() < 2) return items;
    std::vector<T> buffer(items.size());
    auto sortRange = [&](auto& self, std::size_t begin, std::size_t end) -> void {
        if (end - begin < 2) return;
        const std::size_t middle = begin + (end - begin) / 2;
        self(self, begin, middle);
        self(self, middle, end);
        std::size_t left = begin;
        std::size_t right = middle;
        std::size_t out = begin;
        while (left < middle && right < end) {
            if (less(items[right], items[left])) buffer[out++] = std::move(items[right++]);
            else buffer[out++] = std::move(items[left++]);
        }
        while (left < middle) buffer[out++] = std::move(items[left++]);
        while (right < end) buffer[out++] = std::move(items[right++]);
        for (std::size_t i = begin; i < end; ++i) items[i] = std::move(buffer[i]);
    };
    sortRange(sortRange, 0, items.size());
    return items;
}

} // namespace tavlin
