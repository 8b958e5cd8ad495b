#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QPointer>

#include "platform/desktop/OpenPanel.h"

class QFileDialog;
class QLabel;
class QSortFilterProxyModel;
class QWidget;

namespace tavlin::qt {

// The core names windows by handle. `widget` answers null for any handle that does not name a
// live widget handed out by `windowHandle`, so a panel for it stands alone.
WindowHandle windowHandle(QWidget* window);
QWidget* widget(WindowHandle handle);

// The open panel as Qt's own (non-native) file dialog: the native dialogs cannot grey items out.
// Items the delegate does not enable are disabled through a proxy model; a choice is checked
// with the delegate before the dialog closes, and a refusal beeps and shows its text in the
// dialog, which stays open. Files and folders can both be chosen when the configuration allows.
class QtOpenPanel : public OpenPanel {
public:
    QtOpenPanel();
    ~QtOpenPanel() override;

    int runModal() override;
    void beginSheet(std::optional<WindowHandle> window, std::function<void(int response)> handler) override;
    std::vector<FileUrl> urls() const override;

    // Builds the dialog from the configuration without showing it; runModal and beginSheet call
    // it themselves. The dialog is replaced at each call.
    QFileDialog* prepare(QWidget* parent = nullptr);
    QSortFilterProxyModel* itemsModel() const;
    QLabel* messageLabel() const;
    QLabel* errorLabel() const;

private:
    class Dialog;
    QPointer<Dialog> dialog_;
    std::function<void(int)> sheetHandler_;
};

class QtOpenPanelProvider : public OpenPanelProvider {
public:
    std::unique_ptr<OpenPanel> makePanel() override;
    void activateApplication() override;
    bool isMainThread() override;
    void runOnMainThread(std::function<void()> work) override;
};

// Makes every later panel a Qt dialog; call once the QApplication exists.
void installQtOpenPanelProvider();

} // namespace tavlin::qt
