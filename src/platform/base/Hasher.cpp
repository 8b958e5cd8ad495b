#include "platform/base/Hasher.h"

#include <cstring>
#include <random>

namespace tavlin {
namespace {

std::uint64_t processSeed() {
    static const std::uint64_t seed = [] {
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) ^ device();
    }();
    return seed;
}

std::uint64_t avalanche(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 31;
    return x;
}

} // namespace

Hasher::Hasher() : state_(processSeed()) {}

void Hasher::mix(std::uint64_t word) {
    state_ = avalanche(state_ ^ (word + 0x9E3779B97F4A7C15ULL + (state_ << 6) + (state_ >> 2)));
}

void Hasher::combine(std::string_view text) {
    // The length goes first so that ("ab", "c") and ("a", "bc") differ.
    mix(text.size());
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, 8);
        mix(word);
    }
    if (at < text.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, text.size() - at);
        mix(word);
    }
}

void Hasher::combine(const Uuid& uuid) {
    std::uint64_t high;
    std::uint64_t low;
    std::memcpy(&high, uuid.bytes().data(), 8);
    std::memcpy(&low, uuid.bytes().data() + 8, 8);
    mix(high);
    mix(low);
}

std::int64_t Hasher::finalize() const { return static_cast<std::int64_t>(avalanche(state_)); }

} // namespace tavlin
