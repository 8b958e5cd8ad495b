#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavlin {

// A random (version 4) UUID. Its text is upper-case, as the platform writes it.
class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    // The nil UUID; use random() for a fresh identifier.
    constexpr Uuid() = default;
    explicit constexpr Uuid(const Bytes& bytes) : bytes_(bytes) {}

    static Uuid random();
    // Accepts the 8-4-4-4-12 hexadecimal form in either case.
    static std::optional<Uuid> fromString(std::string_view text);

    std::string string() const;
    const Bytes& bytes() const { return bytes_; }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes bytes_{};
};

} // namespace tavlin

template <>
struct std::hash<tavlin::Uuid> {
    std::size_t operator()(const tavlin::Uuid& uuid) const noexcept;
};
