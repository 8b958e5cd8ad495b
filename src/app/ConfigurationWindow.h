#pragma once

#include <functional>

#include <QtWidgets/QWidget>

namespace tavlin::app {

// The window titled "Configuration". Until it is given its content it says where the
// configuration lives.
class ConfigurationWindow final : public QWidget {
public:
    // Asked when the user closes the window: false keeps it (it hid itself instead).
    using ShouldClose = std::function<bool(QWidget* window)>;

    ConfigurationWindow();
    void setShouldClose(ShouldClose shouldClose) { shouldClose_ = std::move(shouldClose); }
    // Replaces what the window shows; the window owns the content from then on.
    void setContent(QWidget* content);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    ShouldClose shouldClose_;
};

} // namespace tavlin::app
