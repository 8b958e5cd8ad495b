#include "platform/keys/KeyboardLayout.h"

#include <mutex>

#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon.h>

#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin {
namespace {

struct ContextDeleter {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};

// Dead keys type nothing by themselves; show the character they stand for instead.
const char* spacingTextOfDeadKey(xkb_keysym_t sym) {
    switch (sym) {
    case XKB_KEY_dead_grave: return "`";
    case XKB_KEY_dead_acute: return "´";
    case XKB_KEY_dead_circumflex: return "^";
    case XKB_KEY_dead_tilde: return "~";
    case XKB_KEY_dead_macron: return "¯";
    case XKB_KEY_dead_breve: return "˘";
    case XKB_KEY_dead_abovedot: return "˙";
    case XKB_KEY_dead_diaeresis: return "¨";
    case XKB_KEY_dead_abovering: return "˚";
    case XKB_KEY_dead_doubleacute: return "˝";
    case XKB_KEY_dead_caron: return "ˇ";
    case XKB_KEY_dead_cedilla: return "¸";
    case XKB_KEY_dead_ogonek: return "˛";
    case XKB_KEY_dead_iota: return "ͺ";
    default: return nullptr;
    }
}

std::mutex& currentMutex() {
    static std::mutex m;
    return m;
}

struct CurrentLayout {
    bool set = false;
    std::function<std::shared_ptr<const KeyboardLayout>()> source;
    std::shared_ptr<const KeyboardLayout> layout;
    std::weak_ptr<const KeyboardLayout> asciiCapableOf;
    std::shared_ptr<const KeyboardLayout> asciiCapable;
};

CurrentLayout& current() {
    static CurrentLayout value;
    return value;
}

} // namespace

struct KeyboardLayout::Impl {
    xkb_keymap* keymap = nullptr;
    xkb_layout_index_t group = 0;
    ~Impl() { xkb_keymap_unref(keymap); }
};

KeyboardLayout::KeyboardLayout(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KeyboardLayout::~KeyboardLayout() = default;

std::shared_ptr<const KeyboardLayout> KeyboardLayout::adopt(xkb_keymap* keymap, std::uint32_t group) {
    if (!keymap) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->keymap = keymap;
    if (group >= xkb_keymap_num_layouts(keymap)) return nullptr;
    impl->group = group;
    return std::shared_ptr<const KeyboardLayout>(new KeyboardLayout(std::move(impl)));
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::fromNames(const KeyboardLayoutNames& names, std::uint32_t group) {
    std::unique_ptr<xkb_context, ContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) return nullptr;
    const auto field = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    const xkb_rule_names rmlvo{field(names.rules), field(names.model), field(names.layout), field(names.variant),
                               field(names.options)};
    return adopt(xkb_keymap_new_from_names(context.get(), &rmlvo, XKB_KEYMAP_COMPILE_NO_FLAGS), group);
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::fromKeymapText(const std::string& text, std::uint32_t group) {
    std::unique_ptr<xkb_context, ContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) return nullptr;
    return adopt(xkb_keymap_new_from_buffer(context.get(), text.data(), text.size(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                            XKB_KEYMAP_COMPILE_NO_FLAGS),
                 group);
}

std::optional<std::string> KeyboardLayout::displayText(int virtualKeyCode) const {
    const auto xKeycode = keycodes::xKeycode(virtualKeyCode);
    if (!xKeycode || *xKeycode < xkb_keymap_min_keycode(impl_->keymap) || *xKeycode > xkb_keymap_max_keycode(impl_->keymap)) {
        return std::nullopt;
    }
    const xkb_keysym_t* syms = nullptr;
    // Level 0 of the group is what the key types with no modifier held.
    const int count = xkb_keymap_key_get_syms_by_level(impl_->keymap, *xKeycode, impl_->group, 0, &syms);
    if (count <= 0) return std::string();
    if (const char* dead = spacingTextOfDeadKey(syms[0])) return std::string(dead);
    char buffer[64];
    const int length = xkb_keysym_to_utf8(syms[0], buffer, sizeof buffer);
    if (length <= 0) return std::string();
    std::string text(buffer);
    // Control characters (Return, Tab...) are not display texts.
    if (text.size() == 1 && (static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F)) return std::string();
    return text;
}

std::string KeyboardLayout::name() const {
    const char* name = xkb_keymap_layout_get_name(impl_->keymap, impl_->group);
    return name ? name : "";
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::asciiCapable(std::shared_ptr<const KeyboardLayout> layout) {
    // The keys of A to Z on a US keyboard.
    static constexpr int letterKeys[] = {0,  11, 8,  2,  14, 3, 5,  4,  34, 38, 40, 37, 46,
                                         45, 31, 35, 12, 15, 1, 17, 32, 9,  13, 7,  16, 6};
    const auto typesAscii = [](const KeyboardLayout& layout) {
        for (const int key : letterKeys) {
            const auto text = layout.displayText(key);
            if (!text || text->size() != 1 || static_cast<unsigned char>((*text)[0]) >= 0x7F) return false;
        }
        return true;
    };
    if (!layout || typesAscii(*layout)) return layout;
    xkb_keymap* keymap = layout->impl_->keymap;
    for (xkb_layout_index_t group = 0; group < xkb_keymap_num_layouts(keymap); ++group) {
        if (group == layout->impl_->group) continue;
        auto other = adopt(xkb_keymap_ref(keymap), group);
        if (other && typesAscii(*other)) return other;
    }
    return layout;
}

std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() {
    std::lock_guard lock(currentMutex());
    auto& value = current();
    if (!value.set) {
        if (value.source) value.layout = value.source();
        if (!value.layout) value.layout = KeyboardLayout::fromNames({});
        value.set = true;
    }
    return value.layout;
}

std::shared_ptr<const KeyboardLayout> currentAsciiCapableKeyboardLayout() {
    const auto layout = currentKeyboardLayout();
    if (!layout) return nullptr;
    std::lock_guard lock(currentMutex());
    // Worked out once per current layout.
    auto& value = current();
    if (value.asciiCapableOf.lock() != layout || !value.asciiCapable) {
        value.asciiCapable = KeyboardLayout::asciiCapable(layout);
        value.asciiCapableOf = layout;
    }
    return value.asciiCapable;
}

void setCurrentKeyboardLayoutSource(std::function<std::shared_ptr<const KeyboardLayout>()> source) {
    std::lock_guard lock(currentMutex());
    current().source = std::move(source);
}

void setCurrentKeyboardLayout(std::shared_ptr<const KeyboardLayout> layout) {
    std::lock_guard lock(currentMutex());
    current().layout = std::move(layout);
    current().set = true;
}

} // namespace tavlin
