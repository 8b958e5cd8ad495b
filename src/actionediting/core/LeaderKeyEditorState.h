#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "model/HotKey.h"
#include "shortcutkit/Keys.h"

namespace tavlin {

// The state of a leader-key editor: a recorded combination or one modifier tapped alone. The
// recorder shows the shortcut stored under the editor's name, so the editor keeps that stored
// shortcut in line with the hot key it edits. Each user action reports the new leader key exactly
// once, because the owner saves (and backs up) at every report.
class LeaderKeyEditorState {
public:
    // `other`: a leader key of the owner's that is neither (a held key), chosen while it is kept;
    // choosing it reports nothing, the owner keeps that key itself.
    enum class Kind { combo, singleModifier, other };
    using Report = std::function<void(const std::optional<HotKey>&)>;
    // The shortcut stored under the editor's name.
    struct ShortcutStore {
        std::function<std::optional<shortcutkit::Shortcut>()> get;
        std::function<void(const std::optional<shortcutkit::Shortcut>&)> set;
    };

    LeaderKeyEditorState(ShortcutStore store, const std::optional<HotKey>& initialHotKey, Report report);

    Kind kind() const { return kind_; }
    HotKey::SingleTapModifier modifier() const { return modifier_; }
    // The last shortcut the recorder reported while this editor lived.
    const std::optional<shortcutkit::Shortcut>& currentShortcut() const { return currentShortcut_; }
    // The leader key the editor shows: the stored shortcut or the modifier, by kind.
    std::optional<HotKey> shownHotKey() const;

    // The user's three actions.
    void kindChanged(Kind kind);
    void recorderChanged(const std::optional<shortcutkit::Shortcut>& shortcut);
    void modifierChanged(HotKey::SingleTapModifier modifier);

    // After the owner's hot key changed: keeps the stored shortcut in line, and shows the hot key
    // when it is another than the one shown (a reloaded file). Reports nothing.
    void sync(const std::optional<HotKey>& hotKey);

    static HotKey hotKey(const shortcutkit::Shortcut& shortcut);
    static HotKey hotKey(HotKey::SingleTapModifier modifier) { return HotKey::singleModifier(modifier); }
    static std::string_view title(Kind kind);
    // "Super", "Shift", "Alt", "Ctrl".
    static std::string_view label(HotKey::SingleTapModifier modifier);

private:
    void applyStoredShortcutRule(const std::optional<HotKey>& hotKey);
    void reportKind();

    ShortcutStore store_;
    Report report_;
    Kind kind_ = Kind::combo;
    HotKey::SingleTapModifier modifier_ = HotKey::SingleTapModifier::command;
    std::optional<shortcutkit::Shortcut> currentShortcut_;
};

// The text of a hot key in a list: the modifier symbols and the key's name without a blank, or
// the modifier's label.
std::string hotKeyText(const HotKey& hotKey);

} // namespace tavlin
