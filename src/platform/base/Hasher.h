#pragma once

#include <concepts>
#include <cstdint>
#include <string_view>

#include "platform/base/Uuid.h"

namespace tavlin {

// Feeds values in order into one hash. The seed is random per process, so hash values (and
// the identifiers derived from them) change from launch to launch, never within one.
class Hasher {
public:
    Hasher();

    template <std::integral T>
    void combine(T value) {
        mix(static_cast<std::uint64_t>(static_cast<std::int64_t>(value)));
    }
    void combine(std::string_view text);
    void combine(const Uuid& uuid);

    std::int64_t finalize() const;

private:
    void mix(std::uint64_t word);
    std::uint64_t state_;
};

} // namespace tavlin
