#pragma once

#include <memory>

#include <QtCore/QMargins>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

namespace tavlin::app {

// The window titled "tavlin Settings": the preferences. Closing it hides it. Its content is
// replaceable.
class SettingsWindow final : public QWidget {
public:
    static constexpr const char* title = "tavlin Settings";

    SettingsWindow();

    // Replaces the content (the window takes it and deletes the one before).
    void setContent(QWidget* content);
    QWidget* content() const { return content_; }

    // Shows and raises the window in `window`, making it there on first use: there is never a
    // second one.
    static void present(std::unique_ptr<SettingsWindow>& window);

protected:
    bool event(QEvent* event) override;

private:
    // Sized to its content within its screen's free area, `frame` included, and moved onto it.
    void fitToScreen(const QMargins& frame);

    QPointer<QWidget> content_;
    bool framed_ = false;
};

} // namespace tavlin::app
