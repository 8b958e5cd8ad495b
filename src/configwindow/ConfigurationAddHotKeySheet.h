#pragma once

#include <functional>
#include <optional>

#include "actionediting/SheetFrame.h"
#include "model/HotKey.h"
#include "shortcutkit/Name.h"

namespace tavlin {

class ConfigurationLeaderKeyView;

// The sheet in which one more leader key is composed. Nothing reaches the configuration before
// "Save", which hands the key over once and closes the sheet.
class ConfigurationAddHotKeySheet final : public SheetFrame {
public:
    using SaveTapped = std::function<void(const HotKey&)>;

    // The editor records under "add_sheet"; `shortcutName` is the presenter's and stores nothing.
    ConfigurationAddHotKeySheet(SaveTapped saveTapped, std::optional<HotKey> hotKey, shortcutkit::Name shortcutName,
                                QWidget* parent = nullptr);

    const std::optional<HotKey>& hotKey() const { return hotKey_; }
    ConfigurationLeaderKeyView* editor() const { return editor_; }

private:
    void save() override;

    SaveTapped saveTapped_;
    std::optional<HotKey> hotKey_;
    shortcutkit::Name shortcutName_;
    ConfigurationLeaderKeyView* editor_ = nullptr;
};

} // namespace tavlin
