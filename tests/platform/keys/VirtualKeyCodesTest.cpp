#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::keycodes {
namespace {

TEST(VirtualKeyCodes, TableIsABijection) {
    std::map<std::uint32_t, int> seenX;
    int mapped = 0;
    for (int vk = -1; vk < 256; ++vk) {
        const auto x = xKeycode(vk);
        if (!x) continue;
        ++mapped;
        EXPECT_GE(vk, 0);
        EXPECT_LT(vk, 128);
        // X key codes are evdev codes plus 8, so never below 8.
        EXPECT_GE(*x, 8u) << vk;
        EXPECT_LE(*x, 255u) << vk;
        const auto [at, inserted] = seenX.emplace(*x, vk);
        EXPECT_TRUE(inserted) << "X key code " << *x << " used by " << at->second << " and " << vk;
        EXPECT_EQ(virtualKeyCode(*x), vk);
    }
    EXPECT_GT(mapped, 100);
    for (std::uint32_t x = 0; x < 512; ++x) {
        if (const auto vk = virtualKeyCode(x)) {
            EXPECT_EQ(xKeycode(*vk), x) << x;
        }
    }
}

TEST(VirtualKeyCodes, KnownKeys) {
    const std::pair<int, std::uint32_t> known[] = {
        {0, 38},      {12, 24},           {50, 49},       {space, 65},
        {escape, 9},  {returnKey, 36},    {command, 133}, {rightCommand, 134},
        {shift, 50},  {rightShift, 62},   {control, 37},  {rightControl, 105},
        {option, 64}, {rightOption, 108}, {capsLock, 66}, {48, 23},
        {51, 22},     {123, 113},         {126, 111},
    };
    for (const auto& [vk, x] : known) {
        EXPECT_EQ(xKeycode(vk), x) << vk;
        EXPECT_EQ(virtualKeyCode(x), vk) << x;
    }
}

TEST(VirtualKeyCodes, UnmappedCodesGiveNothing) {
    for (const int vk : {-1, 52, 63, 66, 68, 70, 77, 108, 112, 127, 128, 130, 1000}) {
        EXPECT_FALSE(xKeycode(vk)) << vk;
    }
    for (const std::uint32_t x : {0u, 7u, 255u, 256u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(virtualKeyCode(x)) << x;
    }
}

} // namespace
} // namespace tavlin::keycodes
