#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct xkb_keymap;

namespace tavlin {

// The names that select a keymap from the system's keyboard descriptions (empty: the default).
struct KeyboardLayoutNames {
    std::string rules = {};
    std::string model = {};
    std::string layout = {};
    std::string variant = {};
    std::string options = {};
};

// One keyboard layout (one group of a keymap): it tells what a key types. Works without any
// X server, so key names can be computed anywhere. Immutable and safe to share between threads.
class KeyboardLayout {
public:
    ~KeyboardLayout();
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    // Nothing when the system has no keymap for these names.
    static std::shared_ptr<const KeyboardLayout> fromNames(const KeyboardLayoutNames& names, std::uint32_t group = 0);
    // Takes a keymap in the keymap text format (as the X server hands it out).
    static std::shared_ptr<const KeyboardLayout> fromKeymapText(const std::string& text, std::uint32_t group = 0);

    // The text the key types with no modifier held. A dead key gives its spacing character; a
    // key the layout leaves empty gives the empty text. Nothing when the virtual key code has
    // no key on the keyboard.
    std::optional<std::string> displayText(int virtualKeyCode) const;

    // The layout's short name from the keymap ("English (US)", "French"...).
    std::string name() const;

    // The layout when its letter keys type ASCII, else the first group of its keymap whose
    // letter keys do, else the layout itself: where shortcut texts come from, as menus match them.
    static std::shared_ptr<const KeyboardLayout> asciiCapable(std::shared_ptr<const KeyboardLayout> layout);

private:
    struct Impl;
    static std::shared_ptr<const KeyboardLayout> adopt(::xkb_keymap* keymap, std::uint32_t group);
    explicit KeyboardLayout(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The layout that was current when asked: the one the desktop layer last set, else the one
// its source gives when first asked, else the system's default keymap. Nothing when no keymap
// can be had at all.
std::shared_ptr<const KeyboardLayout> currentKeyboardLayout();
void setCurrentKeyboardLayout(std::shared_ptr<const KeyboardLayout> layout);
// The ASCII-capable layout of the current one's keymap (see `asciiCapable`).
std::shared_ptr<const KeyboardLayout> currentAsciiCapableKeyboardLayout();
// Where the layout comes from when none has been set by the time it is first needed: the
// desktop's layout, read then and not before. A source that gives nothing leaves the default.
void setCurrentKeyboardLayoutSource(std::function<std::shared_ptr<const KeyboardLayout>()> source);

} // namespace tavlin
