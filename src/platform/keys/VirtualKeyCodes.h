#pragma once

#include <cstdint>
#include <optional>

// Key codes are virtual key codes everywhere in the program (stored files, messages, patterns).
// The X server speaks in its own key codes; this fixed table maps by key position on a
// standard keyboard (X key codes are the evdev codes plus 8).
namespace tavlin::keycodes {

inline constexpr int command = 55;
inline constexpr int shift = 56;
inline constexpr int option = 58;
inline constexpr int control = 59;
inline constexpr int rightCommand = 54;
inline constexpr int rightShift = 60;
inline constexpr int rightOption = 61;
inline constexpr int rightControl = 62;
inline constexpr int capsLock = 57;
inline constexpr int function = 63;
inline constexpr int space = 49;
inline constexpr int escape = 53;
inline constexpr int returnKey = 36;
inline constexpr int f17 = 64;
inline constexpr int f18 = 79;
inline constexpr int f19 = 80;
inline constexpr int f20 = 90;

std::optional<std::uint32_t> xKeycode(int virtualKeyCode);
std::optional<int> virtualKeyCode(std::uint32_t xKeycode);

} // namespace tavlin::keycodes
