#pragma once

#include <functional>
#include <optional>

#include <QtWidgets/QGroupBox>

#include "actionediting/core/LeaderKeyEditorState.h"
#include "shortcutkit/Name.h"

class QButtonGroup;
class QRadioButton;
class QStackedWidget;
class QPushButton;

namespace tavlin {

namespace shortcutkit {
class RecorderControl;
}

// Edits one leader key: a combination recorded under the editor's shortcut name, or one modifier
// tapped alone. It stores nothing itself; every user action reports the new key (or none) once.
class ConfigurationLeaderKeyView final : public QGroupBox {
public:
    using DidChangeHandler = std::function<void(const std::optional<HotKey>&)>;
    using RecorderFocusedHandler = std::function<void(bool focused)>;

    ConfigurationLeaderKeyView(shortcutkit::Name shortcutNameForDisplay, const std::optional<HotKey>& initialHotKey,
                               DidChangeHandler didChangeHandler, RecorderFocusedHandler recorderFocusedHandler,
                               QWidget* parent = nullptr);

    // After the owner's hot key changed: shows it when it is another than the one shown; reports
    // nothing.
    void sync(const std::optional<HotKey>& hotKey);

    const LeaderKeyEditorState& state() const { return state_; }
    QRadioButton* comboButton() const { return comboButton_; }
    QRadioButton* singleModifierButton() const { return singleModifierButton_; }
    shortcutkit::RecorderControl* recorder() const { return recorder_; }
    QPushButton* modifierButton(HotKey::SingleTapModifier modifier) const;

private:
    void refresh();

    LeaderKeyEditorState state_;
    QRadioButton* comboButton_ = nullptr;
    QRadioButton* singleModifierButton_ = nullptr;
    QButtonGroup* kindGroup_ = nullptr;
    QButtonGroup* modifierGroup_ = nullptr;
    QStackedWidget* editors_ = nullptr;
    shortcutkit::RecorderControl* recorder_ = nullptr;
};

} // namespace tavlin
