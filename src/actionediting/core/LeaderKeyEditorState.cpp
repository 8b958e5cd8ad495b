#include "actionediting/core/LeaderKeyEditorState.h"

#include "model/KeyNames.h"
#include "model/LeaderKey.h"

namespace tavlin {

LeaderKeyEditorState::LeaderKeyEditorState(ShortcutStore store, const std::optional<HotKey>& initialHotKey, Report report)
    : store_(std::move(store)), report_(std::move(report)) {
    applyStoredShortcutRule(initialHotKey);
    if (initialHotKey && initialHotKey->singleModifierInfo()) {
        kind_ = Kind::singleModifier;
        modifier_ = initialHotKey->singleModifierInfo()->singleTapModifier;
    }
}

void LeaderKeyEditorState::applyStoredShortcutRule(const std::optional<HotKey>& hotKey) {
    if (!hotKey) {
        if (store_.get()) store_.set(std::nullopt);
        return;
    }
    const auto* combo = hotKey->comboInfo();
    if (!combo) return;
    const auto stored = store_.get();
    if (!stored || stored->carbonKeyCode != combo->keyCode || stored->carbonModifiers != combo->modifiersCode) {
        store_.set(shortcutkit::Shortcut(combo->keyCode, combo->modifiersCode));
    }
}

HotKey LeaderKeyEditorState::hotKey(const shortcutkit::Shortcut& shortcut) {
    return HotKey::combo(static_cast<std::uint32_t>(shortcut.carbonKeyCode),
                         static_cast<std::uint32_t>(shortcut.carbonModifiers));
}

std::optional<HotKey> LeaderKeyEditorState::shownHotKey() const {
    if (kind_ == Kind::singleModifier) return hotKey(modifier_);
    if (kind_ == Kind::other) return std::nullopt;
    if (const auto stored = store_.get()) return hotKey(*stored);
    return std::nullopt;
}

void LeaderKeyEditorState::reportKind() {
    if (!report_ || kind_ == Kind::other) return;
    if (kind_ == Kind::singleModifier) report_(hotKey(modifier_));
    else report_(currentShortcut_ ? std::optional<HotKey>(hotKey(*currentShortcut_)) : std::nullopt);
}

void LeaderKeyEditorState::kindChanged(Kind kind) {
    if (kind == kind_) return;
    kind_ = kind;
    reportKind();
}

void LeaderKeyEditorState::recorderChanged(const std::optional<shortcutkit::Shortcut>& shortcut) {
    currentShortcut_ = shortcut;
    kind_ = Kind::combo;
    if (report_) report_(shortcut ? std::optional<HotKey>(hotKey(*shortcut)) : std::nullopt);
}

void LeaderKeyEditorState::modifierChanged(HotKey::SingleTapModifier modifier) {
    if (modifier == modifier_ && kind_ == Kind::singleModifier) return;
    modifier_ = modifier;
    kind_ = Kind::singleModifier;
    if (report_) report_(hotKey(modifier_));
}

void LeaderKeyEditorState::sync(const std::optional<HotKey>& hotKey) {
    applyStoredShortcutRule(hotKey);
    if (hotKey && hotKey->singleModifierInfo()) {
        kind_ = Kind::singleModifier;
        modifier_ = hotKey->singleModifierInfo()->singleTapModifier;
        return;
    }
    // A combination or none: the recorder shows it now. A shortcut recorded earlier that the
    // configuration no longer holds must not come back when the kind is switched.
    kind_ = Kind::combo;
    if (currentShortcut_ && (!hotKey || LeaderKeyEditorState::hotKey(*currentShortcut_) != *hotKey)) {
        currentShortcut_.reset();
        if (hotKey) currentShortcut_ = shortcutkit::Shortcut(hotKey->comboInfo()->keyCode, hotKey->comboInfo()->modifiersCode);
    }
}

std::string_view LeaderKeyEditorState::title(Kind kind) { return kind == Kind::combo ? "Combination" : "Single Modifier"; }

std::string_view LeaderKeyEditorState::label(HotKey::SingleTapModifier modifier) { return shownText(modifier); }

std::string hotKeyText(const HotKey& hotKey) { return shownText(hotKey); }

} // namespace tavlin
