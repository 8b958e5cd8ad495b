#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "platform/base/Hasher.h"

namespace tavlin {
namespace {

template <typename... Values>
std::int64_t hashOf(const Values&... values) {
    Hasher hasher;
    (hasher.combine(values), ...);
    return hasher.finalize();
}

TEST(Hasher, EqualInputsGiveEqualHashes) {
    const Uuid uuid = Uuid::random();
    EXPECT_EQ(hashOf(std::string_view("abc"), 42, uuid), hashOf(std::string_view("abc"), 42, uuid));
    EXPECT_EQ(hashOf(std::string_view("")), hashOf(std::string_view("")));
    EXPECT_EQ(hashOf(std::string_view("a long text of more than eight bytes")),
              hashOf(std::string(std::string_view("a long text of more than eight bytes"))));
    // The hash only depends on the values, not on the hasher or its finalization.
    Hasher hasher;
    hasher.combine(7);
    EXPECT_EQ(hasher.finalize(), hasher.finalize());
    EXPECT_EQ(hasher.finalize(), hashOf(7));
}

TEST(Hasher, OrderAndBoundariesMatter) {
    using sv = std::string_view;
    EXPECT_NE(hashOf(1, 2), hashOf(2, 1));
    EXPECT_NE(hashOf(sv("a"), sv("b")), hashOf(sv("b"), sv("a")));
    EXPECT_NE(hashOf(sv("ab"), sv("c")), hashOf(sv("a"), sv("bc")));
    EXPECT_NE(hashOf(sv("abcdefgh"), sv("")), hashOf(sv(""), sv("abcdefgh")));
    EXPECT_NE(hashOf(sv("")), hashOf(sv(""), sv("")));
    EXPECT_NE(hashOf(sv("")), Hasher().finalize());
    // A tail shorter than eight bytes must not collide with the same bytes padded by zeros.
    EXPECT_NE(hashOf(sv("abc")), hashOf(sv(std::string("abc\0", 4))));
}

TEST(Hasher, SmallChangesGiveDistinctHashes) {
    std::set<std::int64_t> hashes;
    for (int i = 0; i < 1000; ++i) hashes.insert(hashOf(i));
    for (int i = 0; i < 1000; ++i) hashes.insert(hashOf(std::string_view(std::to_string(i))));
    const Uuid uuid = Uuid::random();
    hashes.insert(hashOf(uuid));
    Uuid::Bytes bytes = uuid.bytes();
    bytes[15] ^= 1;
    hashes.insert(hashOf(Uuid(bytes)));
    EXPECT_EQ(hashes.size(), 2002u);
}

} // namespace
} // namespace tavlin
