#include "app/ConfigurationWindow.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QKeySequence>
#include <QtGui/QScreen>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QVBoxLayout>

#include "app/WindowOperations.h"
#include "platform/qt/PlainText.h"

namespace tavlin::app {
namespace {

// Holds the content and gives it the window's content size.
class ContentFrame final : public QWidget {
public:
    ContentFrame() {
        setMinimumSize(639, 497);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    QSize sizeHint() const override { return {720, 500}; }
};

QWidget* locationLabel() {
    const auto file = Configuration::fileURL();
    const QString location = file ? QString::fromStdString(file->string()) : QString();
    auto* label = qt::plainLabel(location);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignCenter);
    label->setAccessibleName(QStringLiteral("Configuration file"));
    label->setAccessibleDescription(location);
    return label;
}

} // namespace

bool isFlatMode(const LoadedConfiguration& configuration) {
    const auto* loaded = std::get_if<std::shared_ptr<Configuration>>(&configuration);
    return loaded && *loaded && (*loaded)->isGenerated();
}

ConfigurationWindow::ConfigurationWindow(const MainMenuCommands& commands) {
    setWindowTitle(QStringLiteral("Configuration"));
    setAttribute(Qt::WA_QuitOnClose, false);
    nodeEditMenu_ = std::make_unique<NodeEditMenu>(*fillMainMenu(*menuBar(), commands));
    frame_ = new ContentFrame();
    setCentralWidget(frame_);
    setContent(locationLabel());
    // Not Escape: one typed just after a session ends would close the window.
    closeOnKeys(this, {QKeySequence(Qt::CTRL | Qt::Key_W)});
    resize(sizeHint());
}

ConfigurationWindow::~ConfigurationWindow() = default;

void ConfigurationWindow::setContent(QWidget* content) {
    if (content == content_) return;
    delete content_.data();
    content_ = content;
    if (content_) frame_->layout()->addWidget(content_);
}

void ConfigurationWindow::setConfiguration(LoadedConfiguration configuration) {
    configuration_ = std::move(configuration);
    placeNodeEditMenu();
}

void ConfigurationWindow::placeNodeEditMenu() {
    setNodeEditMenuInBar(*menuBar(), nodeEditMenu_->menu(), !isFlatMode(configuration_));
}

void ConfigurationWindow::closeEvent(QCloseEvent* event) {
    if (shouldClose_ && !shouldClose_(this)) event->ignore();
    else event->accept();
}

void ConfigurationWindow::showEvent(QShowEvent* event) {
    // Centred on its screen the first time, before the window system maps it.
    if (!placed_ && !event->spontaneous()) {
        placed_ = true;
        if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    }
    placeNodeEditMenu();
    QMainWindow::showEvent(event);
}

} // namespace tavlin::app
