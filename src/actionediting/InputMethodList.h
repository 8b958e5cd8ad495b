#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QListWidget>

#include "engine/InputSources.h"

namespace tavlin {

// The input sources a switch action can name, one row each with its icon and name. The stored
// identifier is selected when the list holds it; choosing a row hands over its identifier, and
// clearing the selection hands over none.
class InputMethodList final : public QListWidget {
public:
    using Changed = std::function<void(const std::optional<std::string>& inputSourceID)>;
    InputMethodList(const std::vector<InputSource>& sources, const std::optional<std::string>& selectedID, Changed changed,
                    QWidget* parent = nullptr);

    // The icon a row shows; null when the source has none or its image cannot be read.
    static QIcon iconFor(const InputSource& source);

private:
    std::vector<std::string> ids_;
    Changed changed_;
};

} // namespace tavlin
