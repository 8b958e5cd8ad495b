#include "app/ApplicationScenes.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include "app/DeviceInfo.h"
#include "app/SupportMail.h"
#include "app/WindowOperations.h"
#include "engine/LeaderKeys.h"
#include "model/Settings.h"
#include "platform/desktop/BundleInfo.h"
#include "platform/qt/MainMenu.h"

namespace tavlin::app {
namespace {

// Alt pressed alone, as the menu bar sees it: on its release the bar takes the keyboard focus.
bool isLoneAlt(const QKeyEvent& event) {
    return (event.key() == Qt::Key_Alt || event.key() == Qt::Key_Meta) &&
           (event.modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier;
}

// Keys that belong to a session or to a leader key must not act on the menu. Keys typed while a
// window of ours grabs the keyboard (the input window during a session) belong to that window.
// A lone Alt that is a leader key opens a session; the bar must not take the focus as well (Alt
// with a letter, and F10, still open the menus). A shortcut that is overridden reaches the
// window as an ordinary key.
class SessionKeysFilter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
        if (!QWidget::keyboardGrabber() &&
            !(isLoneAlt(*static_cast<QKeyEvent*>(event)) && isArmedSingleModifierLeaderKey(HotKey::SingleTapModifier::option)))
            return false;
        event->accept();
        return true;
    }
};

} // namespace

ApplicationScenes::ApplicationScenes(std::function<void()> quit) {
    commands_.showAbout = [this] { showAbout(); };
    commands_.showConfigurationWindow = [] { showConfigurationWindow(); };
    commands_.showSettings = [this] { showSettings(); };
    commands_.quit = std::move(quit);
    commands_.openSupport = [] { openSupportMail(); };
    configurationWindow_ = newConfigurationWindow();
    sessionKeys_ = std::make_unique<SessionKeysFilter>();
    QCoreApplication::instance()->installEventFilter(sessionKeys_.get());
    // Any change of "hideDockIcon" re-applies the flat-mode rule, as the window's frame comes
    // back then; applying it on the suite's other changes too does no harm.
    settingsStore_ = settings::appGroupStore();
    settingsObserver_ = settingsStore_->addObserver([this] {
        if (configurationWindow_) configurationWindow_->placeNodeEditMenu();
        for (const auto& window : laterWindows_)
            if (window) window->placeNodeEditMenu();
    });
}

ApplicationScenes::~ApplicationScenes() {
    settingsStore_->removeObserver(settingsObserver_);
    for (const auto& window : laterWindows_) delete window.data();
}

std::unique_ptr<ConfigurationWindow> ApplicationScenes::newConfigurationWindow() {
    auto window = std::make_unique<ConfigurationWindow>(commands_);
    window->setConfiguration(configuration_);
    qt::setMainMenu(window->menuBar());
    return window;
}

ConfigurationWindow* ApplicationScenes::makeConfigurationWindow() {
    ConfigurationWindow* window = newConfigurationWindow().release();
    window->setAttribute(Qt::WA_DeleteOnClose);
    laterWindows_.emplace_back(window);
    return window;
}

void ApplicationScenes::setConfiguration(LoadedConfiguration configuration) {
    configuration_ = std::move(configuration);
    configurationWindow_->setConfiguration(configuration_);
    for (const auto& window : laterWindows_)
        if (window) window->setConfiguration(configuration_);
}

void ApplicationScenes::showAbout() {
    if (!aboutBox_) {
        const QString name = QString::fromStdString(appDisplayName().value_or("tavlin"));
        aboutBox_ = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QStringLiteral("About tavlin"), name, QMessageBox::Ok);
        aboutBox_->setModal(false);
        aboutBox_->setAttribute(Qt::WA_QuitOnClose, false);
        aboutBox_->setAccessibleName(QStringLiteral("About tavlin"));
        if (const auto version = DeviceInfo::appVersion())
            aboutBox_->setInformativeText(QStringLiteral("Version ") + QString::fromStdString(*version));
        if (QAbstractButton* ok = aboutBox_->button(QMessageBox::Ok)) ok->setAccessibleName(ok->text());
    }
    activateAndOrderFront(aboutBox_.get());
}

void ApplicationScenes::showSettings() {
    const bool first = !settingsWindow_;
    SettingsWindow::present(settingsWindow_);
    // The menu's shortcuts must work while only this window is on screen: a shortcut counts in
    // the visible widgets that carry its action.
    if (first) {
        for (QAction* top : configurationWindow_->menuBar()->actions())
            if (QMenu* menu = top->menu())
                for (QAction* action : menu->actions())
                    if (!action->shortcut().isEmpty()) settingsWindow_->addAction(action);
    }
}

} // namespace tavlin::app
