#include <gtest/gtest.h>

#include "flateditor/FlatRows.h"
#include "flateditor/core/KeyBindingConflict.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::flateditor {
namespace {

using test::flatRow;
using test::Scope;
using Kind = KeyBindingConflictKind;

constexpr std::int64_t A = 0, B = 11, C = 8, D = 2, X = 7;

LeaderKey command() { return test::commandTap(); }
LeaderKey option() { return LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::option)); }

std::optional<Kind> conflict(const std::vector<FlatKeysAndActionRow>& rows, std::vector<std::int64_t> keys,
                             Scope scope = Scope::allBut(), LeaderKey leader = command(),
                             std::optional<std::size_t> skipped = std::nullopt) {
    return keyBindingConflict(rows, keys, scope, leader, skipped);
}

TEST(KeyBindingConflictTest, MessagesNameTheStoredKeysAndEndByKind) {
    EXPECT_EQ(conflictMessage(Kind{Kind::containedByOtherStrictly{{A, B}, false}}),
              "Conflict with existing key bindings (A, B).\nDelete and reselect or add more keys.");
    EXPECT_EQ(conflictMessage(Kind{Kind::containedByOtherStrictly{{A}, true}}),
              "Conflict with existing key bindings (A).\nAdd more keys or set application scope.");
    EXPECT_EQ(conflictMessage(Kind{Kind::equalOther{{}}}),
              "Conflict with existing key bindings ().\nDelete and reselect a key to resolve.");
    EXPECT_EQ(conflictMessage(Kind{Kind::containsOtherStrictly{{A}}}),
              "Conflict with existing key bindings (A).\nDelete and reselect a key to resolve.");
    // Keys without a name keep their fallback text.
    EXPECT_EQ(conflictMessage(Kind{Kind::equalOther{{-3, keycodes::space}}}),
              "Conflict with existing key bindings (Unknow(-3), Space).\nDelete and reselect a key to resolve.");
}

TEST(KeyBindingConflictTest, RelationsOfTheShortestRelatedRowFirst) {
    const std::vector rows{flatRow({A, B, C}), flatRow({A})};
    EXPECT_EQ(conflict(rows, {A, B}), Kind{Kind::containsOtherStrictly{{A}}});
    EXPECT_EQ(conflict({flatRow({A, B})}, {A}), (Kind{Kind::containedByOtherStrictly{{A, B}, false}}));
    EXPECT_EQ(conflict({flatRow({X})}, {}), (Kind{Kind::containedByOtherStrictly{{X}, true}}));
    EXPECT_EQ(conflict({flatRow({})}, {}), Kind{Kind::equalOther{{}}});
    EXPECT_EQ(conflict({flatRow({})}, {A}), Kind{Kind::containsOtherStrictly{{}}});
    EXPECT_EQ(conflict({flatRow({A})}, {A, A}), Kind{Kind::containsOtherStrictly{{A}}});
    EXPECT_EQ(conflict({flatRow({A, C}), flatRow({A, D})}, {A}), (Kind{Kind::containedByOtherStrictly{{A, C}, false}}));
    EXPECT_EQ(conflict({flatRow({B}), flatRow({A, C})}, {A, D}), std::nullopt);
}

TEST(KeyBindingConflictTest, OnlySameLeaderKeyInMeetingScopesEnabledOrNot) {
    EXPECT_EQ(conflict({flatRow({A}, option())}, {A}), std::nullopt);
    EXPECT_EQ(conflict({flatRow({A}, command(), Scope::only({"/a"}))}, {A}, Scope::only({"/b"})), std::nullopt);
    EXPECT_EQ(conflict({flatRow({A}, command(), Scope::allBut({"/a"}))}, {A}, Scope::only({"/a"})), std::nullopt);
    EXPECT_TRUE(conflict({flatRow({A}, command(), Scope::allBut({"/a"}))}, {A}, Scope::allBut({"/b"})));
    EXPECT_TRUE(conflict({flatRow({A}, command(), Scope::only({"/a"}))}, {A}, Scope::allBut()));
    EXPECT_EQ(conflict({flatRow({A}, command(), Scope::only({}))}, {A}), std::nullopt);
    EXPECT_EQ(conflict({flatRow({A})}, {A}, Scope::only({})), std::nullopt);
    EXPECT_TRUE(conflict({flatRow({A}, command(), Scope::allBut(), "https://x/", std::nullopt, false)}, {A}));
}

TEST(KeyBindingConflictTest, SkipsOnlyTheReplacedRowNotOthersWithItsKeys) {
    // R1 (A, only X) is edited into scope only Y beside R2 (A, only Y): R2 still conflicts.
    const std::vector rows{flatRow({A}, command(), Scope::only({"/X"})), flatRow({A}, command(), Scope::only({"/Y"}))};
    EXPECT_EQ(conflict(rows, {A}, Scope::only({"/Y"}), command(), 0), Kind{Kind::equalOther{{A}}});
    EXPECT_EQ(conflict(rows, {A}, Scope::only({"/X"}), command(), 0), std::nullopt);
}

} // namespace
} // namespace tavlin::flateditor
