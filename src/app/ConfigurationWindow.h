#pragma once

#include <functional>

#include <QtWidgets/QWidget>

namespace tavlin::app {

// The window titled "Configuration". Its editing content arrives with the configuration
// window's own views; until then it says where the configuration lives.
class ConfigurationWindow final : public QWidget {
public:
    // Asked when the user closes the window: false keeps it (it hid itself instead).
    using ShouldClose = std::function<bool(QWidget* window)>;

    ConfigurationWindow();
    void setShouldClose(ShouldClose shouldClose) { shouldClose_ = std::move(shouldClose); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ShouldClose shouldClose_;
};

} // namespace tavlin::app
