#pragma once

#include <functional>
#include <optional>

#include <QtWidgets/QGroupBox>

#include "actionediting/core/LeaderKeyEditorState.h"
#include "shortcutkit/Name.h"

class QButtonGroup;
class QHBoxLayout;
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

    // Shows the owner's leader key that is no hot key (a held key) as a third choice, chosen
    // now. Choosing it again calls `chosen`; leaving it reports the other kind's key as usual.
    void offerOtherLeaderKey(const QString& title, std::function<void()> chosen);
    QRadioButton* otherButton() const { return otherButton_; }
    // The kind button that is checked.
    QRadioButton* checkedKindButton() const;

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
    QRadioButton* otherButton_ = nullptr;
    std::function<void()> otherChosen_;
    QButtonGroup* kindGroup_ = nullptr;
    QHBoxLayout* kinds_ = nullptr;
    QButtonGroup* modifierGroup_ = nullptr;
    QStackedWidget* editors_ = nullptr;
    shortcutkit::RecorderControl* recorder_ = nullptr;
};

} // namespace tavlin
