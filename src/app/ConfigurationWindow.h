#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include <QtCore/QPointer>
#include <QtWidgets/QMainWindow>

#include "app/MainMenu.h"
#include "app/NodeEditMenu.h"
#include "model/Configuration.h"

namespace tavlin::app {

// The configuration the window edits: loaded, or the sentence of the error that kept it from
// loading.
using LoadedConfiguration = std::variant<std::shared_ptr<Configuration>, std::string>;

// Whether the configuration was generated from the flat rows, so the window edits those rows and
// not a tree.
bool isFlatMode(const LoadedConfiguration& configuration);

// The window titled "Configuration". Its menu bar is the application's main menu. Its content
// is replaceable; until the editors arrive it says where the configuration lives.
class ConfigurationWindow final : public QMainWindow {
public:
    // Asked when the user closes the window: false keeps it (it hid itself instead).
    using ShouldClose = std::function<bool(QWidget* window)>;

    explicit ConfigurationWindow(const MainMenuCommands& commands = {});
    ~ConfigurationWindow() override;
    void setShouldClose(ShouldClose shouldClose) { shouldClose_ = std::move(shouldClose); }

    // Replaces the content with `content` (the window takes it and deletes the one before). It
    // gets the window's content size: at least 639×497, 720×500 at first.
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    // The node-edit menu; its entries come from the provider installed on it.
    NodeEditMenu& nodeEditMenu() { return *nodeEditMenu_; }

    // The configuration the window holds. Setting it places the node-edit menu again.
    void setConfiguration(LoadedConfiguration configuration);
    const LoadedConfiguration& configuration() const { return configuration_; }

    // In flat mode the bar has no node-edit menu; otherwise it has. Applied when the window is
    // shown, when its configuration is replaced, and when the owner asks ("hideDockIcon" changed).
    void placeNodeEditMenu();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* frame_ = nullptr;
    QPointer<QWidget> content_;
    std::unique_ptr<NodeEditMenu> nodeEditMenu_;
    LoadedConfiguration configuration_;
    ShouldClose shouldClose_;
    bool placed_ = false;
};

} // namespace tavlin::app
