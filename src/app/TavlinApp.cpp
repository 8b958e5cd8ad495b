#include "app/TavlinApp.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QPointer>
#include <QtCore/QSocketNotifier>
#include <QtCore/QThreadPool>
#include <QtCore/QTimer>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QtWidgets/QApplication>
#include <xcb/xcb.h>

#include "app/AppDelegate.h"
#include "app/ApplicationScenes.h"
#include "app/EarlyStart.h"
#include "app/HelperApp.h"
#include "app/SingleInstance.h"
#include "app/WindowOperations.h"
#include "configwindow/ConfigurationWindowContentView.h"
#include "configwindow/core/NodeEditCommandExecutor.h"
#include "engine/HotKeyManager.h"
#include "engine/InputSources.h"
#include "engine/InputWindowManager.h"
#include "engine/KeyEventHandler.h"
#include "engine/LeaderKeys.h"
#include "engine/Notifications.h"
#include "engine/ShellServices.h"
#include "engine/ui/InputWindowContentView.h"
#include "flateditor/ListenEventAccess.h"
#include "flateditor/RowComposeSheetDialog.h"
#include "flateditor/SettingsContentView.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/Result.h"
#include "platform/dbus/DBusDistributedNotificationCenter.h"
#include "platform/dbus/DBusUserNotificationCenter.h"
#include "platform/dbus/FileManagerItems.h"
#include "platform/dbus/HelperBusProbe.h"
#include "platform/dbus/QtMainQueue.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/files/Files.h"
#include "platform/keys/HotKeyHub.h"
#include "platform/linux/ApplicationCatalog.h"
#include "platform/linux/FolderWatch.h"
#include "platform/linux/XdgWorkspace.h"
#include "platform/qt/DropData.h"
#include "platform/qt/ImageFile.h"
#include "platform/qt/QtAlertPresenter.h"
#include "platform/qt/QtIndicatorWindow.h"
#include "platform/qt/QtInputWindow.h"
#include "platform/qt/QtOpenPanel.h"
#include "platform/qt/TaskbarPresence.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11InputSources.h"
#include "platform/x11/X11KeyboardEventMonitor.h"
#include "platform/x11/X11KeystrokeSender.h"
#include "platform/x11/X11WindowSystem.h"
#include "shortcutkit/CarbonShortcutTable.h"
#include <QtDBus/QDBusConnection>
#include <QtWidgets/QLayout>

namespace tavlin {

namespace {

constexpr const char* showConfigurationWindowURL = "tavlin://show-configuration-window";

// The keyboard layouts of the X server as the engine's input sources.
class X11InputSourceProvider final : public InputSourceProvider {
public:
    explicit X11InputSourceProvider(X11InputSources& sources) : sources_(sources) {}

    std::vector<PlatformInputSource> enabledInputSources() override {
        std::vector<PlatformInputSource> result;
        for (const auto& source : sources_.list()) {
            PlatformInputSource platform;
            platform.id = source.id;
            platform.localizedName = source.name;
            platform.iconName = "input-keyboard";
            result.push_back(std::move(platform));
        }
        return result;
    }
    std::optional<std::string> currentInputSourceID() override {
        const auto sources = sources_.list();
        const auto index = sources_.currentIndex();
        if (!index || *index >= sources.size()) return std::nullopt;
        return sources[*index].id;
    }
    bool selectInputSource(const std::string& id) override { return sources_.select(id); }
    bool canLoadImage(const std::string& path) override { return !qt::readImageFile(path).isNull(); }

private:
    X11InputSources& sources_;
};

// Applies the activation policy to each window of the application as it is shown, before it
// is mapped: windows come and go (alerts, a re-made configuration window).
class ActivationPolicyFilter final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->isWindow() && !(widget->windowFlags() & Qt::X11BypassWindowManagerHint))
                qt::setShownInTaskbar(widget, !settings::hideDockIcon());
        }
        return false;
    }
};

// SIGINT and SIGTERM end the event loop, so the application terminates as when it quits.
// Should the main thread not get there (stuck in a step that blocks), SIGALRM's default action
// ends the process a few seconds later: a signal always ends the program, and the X server
// frees any keyboard grab with it.
int signalPipe[2] = {-1, -1};
void onTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
    static volatile std::sig_atomic_t armed = 0;
    if (!armed) {
        armed = 1;
        ::alarm(10);
    }
    errno = savedErrno;
}

// A URL from any client of the bus, made safe to print on one line.
std::string printable(const std::string& text) {
    constexpr std::size_t limit = 200;
    std::string result;
    for (const char c : text.substr(0, limit)) result += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    if (text.size() > limit) result += "…";
    return result;
}

// A write cut short (a kill, a power loss) leaves its temporary file beside the file it was to
// replace. Only the instance that owns the bus name clears them, and only files old enough that
// no write of another process can still be using them.
void removeStaleTemporaryFiles() {
    constexpr std::chrono::seconds olderThan{60};
    if (const auto configuration = Configuration::fileURL()) {
        files::removeStaleTemporaryFiles(configuration->parent_path(), ".json", olderThan);
        files::removeStaleTemporaryFiles(configuration->parent_path() / "backup", ".json", olderThan);
    }
    if (const auto config = files::configDirectory())
        files::removeStaleTemporaryFiles(*config / std::string(bundleIdentifier), ".json", olderThan);
    if (const auto cache = files::cacheDirectory())
        files::removeStaleTemporaryFiles(*cache / std::string(bundleIdentifier), ".sources", olderThan);
}

// The display the application's windows are on, named by the X server's socket.
std::string connectedDisplay() {
    const char* spelled = std::getenv("DISPLAY");
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    const int socket = x11 && x11->connection() ? xcb_get_file_descriptor(x11->connection()) : -1;
    return app::InstanceLock::displayName(socket, spelled ? spelled : "");
}

} // namespace

struct TavlinApp::Parts {
    QApplication& application;
    // Goes last, after every connection holding leader keys' grabs: a start that finds it free
    // must find the keys free too.
    app::InstanceLock instanceLock;
    std::unique_ptr<app::EarlyStart> early;
    // The context of every connection made here: they go with the parts, not the application.
    QObject context;
    ActivationPolicyFilter activationPolicy;
    // Drops from other programs reach every widget bounded in size.
    ForeignDropGuard dropGuard;
    QtMainQueue queue;
    DBusDistributedNotificationCenter distributedCenter;
    DBusUserNotificationCenter userNotifications;
    xdg::XdgWorkspace workspace{queue};
    // The connection the hot keys own is shared by the window system, the input sources and the
    // keystrokes, which go before it.
    std::unique_ptr<X11HotKeyRegistrar> hotKeys;
    std::unique_ptr<X11WindowSystem> windowSystem;
    // The leader keys and recorded shortcuts share the registrar through it.
    std::unique_ptr<HotKeyHub> hotKeyHub;
    std::unique_ptr<X11KeyboardEventMonitor> keyboardMonitor;
    std::unique_ptr<X11InputSources> inputSources;
    std::unique_ptr<X11InputSourceProvider> inputSourceProvider;
    std::unique_ptr<X11KeystrokeSender> keystrokes;
    std::unique_ptr<qt::QtInputWindow> inputWindow;
    std::unique_ptr<qt::QtIndicatorWindow> indicatorWindow;
    // The tree every configuration window shows and edits, and what is selected in it.
    std::unique_ptr<ConfigurationWindowModel> windowModel;
    std::unique_ptr<Selection> selection;
    std::unique_ptr<NodeEditCommandExecutor> executor;
    ConfigurationWindowModel::ObserverToken windowModelObserver = 0;
    // Waits for the session that holds back the launch's window.
    std::optional<std::uint64_t> sessionObserver;
    std::unique_ptr<app::ApplicationScenes> scenes;
    std::unique_ptr<app::SingleInstance> singleInstance;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    QTimer busWatch;
    bool busLost = false;
    AppDelegate delegate;
    LoadedConfiguration loadedConfiguration;
    bool terminated = false;
    std::shared_ptr<UserDefaults> settingsStore;
    UserDefaults::ObserverToken policyObserver = 0;
    // Edits of the settings files by other programs, taken in once they settle.
    std::unique_ptr<xdg::FolderWatch> settingsWatch;
    QTimer settingsSettle;

    explicit Parts(QApplication& app) : application(app) {}

    void installServices();
    void openDesktopConnections();
    bool openKeyboardMonitor();
    void makeWindows();
    void makeWindowModel();
    void makeConfigurationWindow();
    void finishLaunch(const std::string& url);
    void presentLaunchWindow(int attempt = 0);
    void fillConfigurationWindow(app::ConfigurationWindow& window);
    void watch(int fileDescriptor);
    void processDesktopEvents();
    void applyActivationPolicy();
    void handleURL(const std::string& url);
    void watchSessionBus();
    void watchSettingsFolder();
    void terminate();
    void endApplication();
};

TavlinApp::LoadedConfiguration TavlinApp::loadConfigurationForWindow() {
    const auto load = []() -> LoadedConfiguration {
        try {
            return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
        } catch (const std::exception& error) {
            return localizedDescription(error);
        }
    };
    const auto file = Configuration::fileURL();
    std::error_code error;
    if (!file || !std::filesystem::exists(*file, error)) {
        Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrate();
        return load();
    }
    if (Configuration::fileIsGenerated()) Configuration::WritingFlatRowsPreferencesToTavlinJSON::migrateIfChanged();
    return load();
}

void TavlinApp::Parts::installServices() {
    MainQueue::setShared(&queue);
    DistributedNotificationCenter::setShared(&distributedCenter);
    UserNotificationCenter::setCurrent(&userNotifications);
    Workspace::setShared(&workspace);
    workspace.setShowItems([](const std::string& fileURI) {
        QDBusConnection bus = DBusDistributedNotificationCenter::sessionBusConnection();
        return showItemsInFileManager(bus, fileURI);
    });
    qt::installQtAlertPresenter();
    // File and folder actions ask for access through it.
    qt::installQtOpenPanelProvider();
    setHelperRunningProbe(helperRunningOnSessionBus);
    // Rows, hints and sheets name applications as their desktop entries do.
    xdg::ApplicationCatalog::nameApplicationsForPeople();
    // A session's first wait must not be the moment the bus learns what we listen to: messages
    // sent right after the session opened would pass us by.
    distributedCenter.subscribeInAdvance(
        {std::string(notificationNames::actionOutcomeEvent), std::string(notificationNames::externalEvent)});

    auto& shell = ShellServices::shared();
    shell.openHelperApplication = [] { HelperApp::open(); };
    shell.toggleConfigurationWindow = [] { app::toggleConfigurationWindow(); };
    shell.unregisterAllLeaderKeys = [] { unregisterAllLeaderKeys(); };
    shell.reloadLeaderKeys = [](bool skipHotKeys) { reloadLeaderKeys(skipHotKeys); };
    app::setShowConfigurationWindowURLHandler([this] { handleURL(showConfigurationWindowURL); });
    // The list's requests open the row sheet over the configuration window.
    flateditor::RowComposeSheet::setPresenter(
        flateditor::RowComposeSheetDialog::presenter([] { return app::configurationWindow(); }));
    flateditor::ListenEventAccess::shared().request = [this] {
        const auto running = [] { return flateditor::ListenEventAccess::shared().preflight(); };
        if (keyboardMonitor && running()) return true;
        if (!keyboardMonitor && !openKeyboardMonitor()) return false;
        reloadLeaderKeys(false);
        return running();
    };
}

void TavlinApp::Parts::openDesktopConnections() {
    // The connection that grabbed the leader keys at the start keeps them, and the presses it
    // took meanwhile.
    hotKeys = early && early->hotKeys.display ? X11HotKeyRegistrar::adopt(std::move(early->hotKeys)) : X11HotKeyRegistrar::open();
    // Three connections in all: Qt's, the hot keys' (shared by the pieces below, which read
    // their events from it), and the input observer's, whose raw events the server does not
    // send to the connection that holds a grab. Each connection costs the start-up time.
    _XDisplay* shared = hotKeys ? hotKeys->sharedDisplay() : nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();

    windowSystem = shared ? X11WindowSystem::onSharedConnection(shared) : X11WindowSystem::open();
    if (windowSystem) {
        workspace.setWindowSystem(windowSystem.get());
        windowSystem->setActivationHandler([this](const RunningApplication& application, bool isThisProgram) {
            delegate.appActivated(application, isThisProgram);
        });
        windowSystem->setFrontLeftHandler([this] { delegate.frontLeft(); });
        if (shared) hotKeys->addEventReader(windowSystem.get());
        watch(windowSystem->fileDescriptor());
    } else {
        diag::printLine("tavlin: no X11 display: leader keys and windows need an X11 session");
    }

    if (hotKeys) {
        hotKeyHub = std::make_unique<HotKeyHub>(hotKeys.get());
        HotKeyManager::shared().setRegistrar(&hotKeyHub->addClient());
        shortcutkit::CarbonShortcutTable::setRegistrar(&hotKeyHub->addClient());
        watch(hotKeys->fileDescriptor());
    }
    openKeyboardMonitor();
    // Keymaps are read over Qt's XCB connection, to the same display.
    inputSources = shared && x11 && x11->connection() ? X11InputSources::onSharedConnections(shared, x11->connection())
                                                      : X11InputSources::open();
    if (inputSources) {
        inputSources->updateCurrentKeyboardLayout();
        inputSourceProvider = std::make_unique<X11InputSourceProvider>(*inputSources);
        InputSourceManager::setProvider(inputSourceProvider.get());
        // Action descriptions name the layouts they switch to from the start.
        InputSourceManager::reloadSelectableInputSources();
        inputSources->setChangeHandler([this] {
            inputSources->updateCurrentKeyboardLayout();
            InputSourceManager::reloadSelectableInputSources();
        });
        if (shared) hotKeys->addEventReader(inputSources.get());
        watch(inputSources->fileDescriptor());
    }
    keystrokes = shared ? X11KeystrokeSender::onSharedConnection(shared) : X11KeystrokeSender::open();
    if (keystrokes) {
        InputSourceManager::setKeystrokePoster(
            [this](int keyCode, std::uint32_t modifiers) { keystrokes->typeKey(keyCode, modifiers); });
    }
    // Xlib may read events into its own queue while answering a request, where no socket
    // notifier sees them: look at every connection before the loop sleeps.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &context,
                     [this] { processDesktopEvents(); });
    // The application catalog learns of new applications through GLib's main context, which
    // Qt's loop runs itself unless it was built (or started) without GLib.
    if (!QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib")) {
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &context,
                         [] { xdg::ApplicationCatalog::dispatchPendingChanges(); });
    }
}

// Input monitoring on X11: the listen-only observer runs once a keyboard monitor is installed.
// Asking for it opens the monitor again when there was none, and starts the observer.
bool TavlinApp::Parts::openKeyboardMonitor() {
    if (keyboardMonitor) return true;
    keyboardMonitor = X11KeyboardEventMonitor::open();
    if (!keyboardMonitor) return false;
    keyboardMonitor->setHasKeyboardFocus([this] { return inputWindow && inputWindow->isKeyWindow(); });
    keyboardMonitor->setOwnWindows([] {
        std::vector<unsigned long> windows;
        for (const QWindow* window : QGuiApplication::allWindows()) {
            if (window->handle() && window->isTopLevel()) windows.push_back(window->winId());
        }
        return windows;
    });
    // A click anywhere but in the input window ends the session.
    keyboardMonitor->setButtonPressHandler([this] {
        if (inputWindow) inputWindow->pointerPressedAt(QCursor::pos());
    });
    KeyEventHandlerManager::shared().setMonitor(keyboardMonitor.get());
    watch(keyboardMonitor->fileDescriptor());
    return true;
}

void TavlinApp::Parts::watch(int fileDescriptor) {
    if (fileDescriptor < 0) return;
    auto notifier = std::make_unique<QSocketNotifier>(fileDescriptor, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &context, [this] { processDesktopEvents(); });
    notifiers.push_back(std::move(notifier));
}

void TavlinApp::Parts::processDesktopEvents() {
    if (terminated) return;
    // The monitor first: the server sends a key's raw events before it reports the hot key's
    // release, and input seen after a release cancels the release (the keys of the combination
    // itself must not).
    if (keyboardMonitor) keyboardMonitor->processPendingEvents();
    if (hotKeys) hotKeys->processPendingEvents();
    if (inputSources) inputSources->processPendingEvents();
    if (windowSystem) windowSystem->processPendingEvents();
}

void TavlinApp::Parts::makeWindows() {
    inputWindow = std::make_unique<qt::QtInputWindow>();
    inputWindow->setContent(new InputWindowContentView());
    indicatorWindow = std::make_unique<qt::QtIndicatorWindow>([] { return settings::leaderKeyIndicatorHeightPercent(); });
    auto& manager = InputWindowManager::shared();
    manager.setWindows(inputWindow.get(), indicatorWindow.get());
    inputWindow->setDelegate(&manager);
}

// The configuration window and what it shows; made once, at the end of the launch or sooner
// when something asks for a window before that.
void TavlinApp::Parts::makeConfigurationWindow() {
    if (scenes) return;
    makeWindowModel();
    scenes = std::make_unique<app::ApplicationScenes>([this] { endApplication(); });
    scenes->setConfiguration(loadedConfiguration);
    fillConfigurationWindow(scenes->configurationWindow());
    // The list's "Open Settings" shows the same window as "Settings…".
    flateditor::SettingsContentView::setOpenSettingsHandler([this] { scenes->showSettings(); });
    // A reload can turn a tree into a generated configuration or back: the menu bar follows.
    windowModelObserver = windowModel->addObserver(
        {nullptr, [this] { scenes->setConfiguration(windowModel->configurationOrError()); }});
}

// The launch shows the configuration window and gives it the focus, but not amid a leader key
// typed before it was made: the window would take the focus from the session that key opens
// and cover its input window. It comes once that session ends. The window is mapped first and
// given the focus only once it is on screen, as giving it sooner takes effect only at its
// mapping, whatever happened meanwhile.
void TavlinApp::Parts::presentLaunchWindow(int attempt) {
    constexpr double checkInterval = 0.005;
    constexpr int mappingAttempts = 100;
    const auto later = [this, attempt] {
        queue.postAfter(checkInterval, [this, attempt] {
            if (!terminated) presentLaunchWindow(attempt + 1);
        });
    };
    // A leader key already typed is seen before the focus moves.
    processDesktopEvents();
    if (KeyEventHandlerManager::shared().leaderKeyUnderway()) return later();
    if (inputWindow && inputWindow->isKeyWindow()) {
        sessionObserver = InputWindowManager::shared().addChangeObserver([this] {
            if (inputWindow->isKeyWindow()) return;
            InputWindowManager::shared().removeChangeObserver(*std::exchange(sessionObserver, std::nullopt));
            queue.post([this] {
                if (!terminated) presentLaunchWindow();
            });
        });
        return;
    }
    QWidget& window = scenes->configurationWindow();
    if (!window.isVisible()) {
        window.setAttribute(Qt::WA_ShowWithoutActivating);
        window.show();
        window.setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
    const QWindow* handle = window.windowHandle();
    if ((!handle || !handle->isExposed()) && attempt < mappingAttempts) return later();
    delegate.configurationWindowDidLoad();
}

// The configuration window is made on a later turn, after the desktop events that came
// meanwhile, and not while a leader key typed in the first moments waits for its release:
// making the window takes longer than that wait, and its session would open only after it.
void TavlinApp::Parts::finishLaunch(const std::string& url) {
    constexpr double checkInterval = 0.005;
    if (terminated) return;
    processDesktopEvents();
    if (!scenes && KeyEventHandlerManager::shared().leaderKeyUnderway()) {
        queue.postAfter(checkInterval, [this, url] { finishLaunch(url); });
        return;
    }
    if (!scenes) {
        makeConfigurationWindow();
        presentLaunchWindow();
    }
    if (!url.empty()) handleURL(url);
}

void TavlinApp::Parts::makeWindowModel() {
    windowModel = std::make_unique<ConfigurationWindowModel>(loadedConfiguration);
    selection = std::make_unique<Selection>(*windowModel);
    executor = std::make_unique<NodeEditCommandExecutor>(
        *windowModel, *selection, ConfigurationWindowContentView::presenter([] { app::showConfigurationWindow(); }));
}

// The tree editor as the window's content, and its node-edit menu in the window's menu bar.
void TavlinApp::Parts::fillConfigurationWindow(app::ConfigurationWindow& window) {
    auto* content = new ConfigurationWindowContentView(*windowModel, *selection,
                                                       [this](CommandKind kind) { executor->execute(kind); });
    // A generated configuration is edited as the flat key-binding list, on the content's page
    // for it.
    content->setFlatEditorMaker([](QWidget* page) { return new flateditor::SettingsContentView(page); });
    window.setContent(content);
    QPointer<ConfigurationWindowContentView> view(content);
    window.nodeEditMenu().setProvider([view] {
        std::vector<app::NodeEditMenuEntry> entries;
        if (!view) return entries;
        for (auto& entry : view->nodeEditMenuEntries()) {
            if (entry.isSeparator) entries.emplace_back(app::NodeEditMenuSeparator{});
            else entries.emplace_back(app::NodeEditMenuItem{entry.title.toStdString(), entry.enabled, std::move(entry.command)});
        }
        return entries;
    });
    QPointer<app::ConfigurationWindow> host(&window);
    content->setNodeEditMenuChanged([host] {
        if (host) host->nodeEditMenu().selectionChanged();
    });
}

// Regular: the application's windows show in the task bar; accessory: they do not.
void TavlinApp::Parts::applyActivationPolicy() {
    const bool shown = !settings::hideDockIcon();
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->isWindow() && !(widget->windowFlags() & Qt::X11BypassWindowManagerHint)) qt::setShownInTaskbar(widget, shown);
}

void TavlinApp::Parts::handleURL(const std::string& url) {
    if (url != showConfigurationWindowURL) {
        diag::printLimited("no handler for URL", "tavlin: no handler for " + printable(url));
        return;
    }
    if (!scenes) {
        makeConfigurationWindow();
        presentLaunchWindow();
        return;
    }
    if (QWidget* window = app::configurationWindow()) {
        app::activateAndOrderFront(window);
        return;
    }
    // The window group makes a new window; one made after launch closes normally.
    auto* window = scenes->makeConfigurationWindow();
    fillConfigurationWindow(*window);
    app::activateAndOrderFront(window);
}

// The suites take in another program's edit on a turn of their own, never in the midst of a
// read; the events of one save (a temporary file, a rename) come as one.
void TavlinApp::Parts::watchSettingsFolder() {
    const auto folder = UserDefaults::folderPath();
    if (!folder) return;
    settingsWatch = std::make_unique<xdg::FolderWatch>(*folder);
    if (settingsWatch->fileDescriptor() < 0) return;
    settingsSettle.setSingleShot(true);
    settingsSettle.setInterval(100);
    QObject::connect(&settingsSettle, &QTimer::timeout, &context, [this] {
        if (!terminated) UserDefaults::refreshSharedSuites();
    });
    auto notifier = std::make_unique<QSocketNotifier>(settingsWatch->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &context, [this] {
        if (settingsWatch->processPendingEvents() && !settingsSettle.isActive()) settingsSettle.start();
    });
    notifiers.push_back(std::move(notifier));
}

// Termination signals and the Quit command end here. exit, not quit: quitting asks every window
// to close, and the configuration window refuses (it only hides), which would cancel the quit.
void TavlinApp::Parts::endApplication() { QCoreApplication::exit(0); }

// A session bus that goes away may come back (a restarted bus): the name is claimed on the new
// one, so the running instance stays the one other starts hand over to. Should another
// instance have claimed it first, this one ends: two would both answer the leader keys.
void TavlinApp::Parts::watchSessionBus() {
    if (distributedCenter.isConnected() && singleInstance->isConnected()) return;
    if (!busLost) {
        busLost = true;
        diag::printLine("tavlin: lost the session bus; waiting for it to come back");
    }
    QDBusConnection connection = DBusDistributedNotificationCenter::newSessionBusConnection();
    if (!connection.isConnected()) return;
    switch (singleInstance->claimOn(connection)) {
    case app::SingleInstance::Claim::owned:
        distributedCenter.reconnect(connection);
        busLost = false;
        diag::printLine("tavlin: back on the session bus");
        break;
    case app::SingleInstance::Claim::heldByAnother:
        diag::printLine("tavlin: another instance runs on the new session bus; this one ends");
        endApplication();
        break;
    case app::SingleInstance::Claim::noBus: break;
    }
}

void TavlinApp::Parts::terminate() {
    if (terminated) return;
    delegate.applicationWillTerminate();
    terminated = true;
    ExternalEventObserver::stop();
    if (inputWindow && inputWindow->isKeyWindow()) inputWindow->orderOut();
    InputWindowManager::shared().setWindows(nullptr, nullptr);
    InputWindowManager::shared().reset();
    HotKeyManager::shared().setRegistrar(nullptr);
    shortcutkit::CarbonShortcutTable::setRegistrar(nullptr);
    if (hotKeyHub) hotKeyHub->setRegistrar(nullptr);
    KeyEventHandlerManager::shared().setMonitor(nullptr);
    InputSourceManager::setProvider(nullptr);
    InputSourceManager::setKeystrokePoster(nullptr);
    ShellServices::shared() = ShellServices{};
    flateditor::ListenEventAccess::shared().request = nullptr;
    flateditor::RowComposeSheet::setPresenter(nullptr);
    app::setShowConfigurationWindowURLHandler(nullptr);
    if (settingsStore) settingsStore->removeObserver(policyObserver);
    if (sessionObserver) InputWindowManager::shared().removeChangeObserver(*std::exchange(sessionObserver, std::nullopt));
    notifiers.clear();
    busWatch.stop();
    settingsSettle.stop();
    application.removeEventFilter(&activationPolicy);
    application.removeEventFilter(&dropGuard);
}

TavlinApp::TavlinApp(QApplication& application) : TavlinApp(application, nullptr) {}

TavlinApp::TavlinApp(QApplication& application, std::unique_ptr<app::EarlyStart> early)
    : parts_(std::make_unique<Parts>(application)) {
    parts_->early = std::move(early);
    application.setQuitOnLastWindowClosed(false);
    // Qt draws large images on the shared pool's threads, which would then wait 30 s for more:
    // they end soon after the drawing instead of idling with the launcher.
    QThreadPool::globalInstance()->setExpiryTimeout(100);
    parts_->installServices();
    parts_->singleInstance = std::make_unique<app::SingleInstance>(DBusDistributedNotificationCenter::sessionBusConnection());
}

TavlinApp::~TavlinApp() {
    parts_->terminate();
    // Windows show the window model, which goes next.
    flateditor::SettingsContentView::setOpenSettingsHandler(nullptr);
    parts_->scenes.reset();
    if (parts_->windowModel) parts_->windowModel->removeObserver(parts_->windowModelObserver);
    parts_->executor.reset();
    parts_->selection.reset();
    parts_->windowModel.reset();
    parts_->inputWindow.reset();
    parts_->indicatorWindow.reset();
    Workspace::setShared(nullptr);
    UserNotificationCenter::setCurrent(nullptr);
    DistributedNotificationCenter::setShared(nullptr);
    MainQueue::setShared(nullptr);
}

int TavlinApp::run(const std::string& url) {
    Parts& parts = *parts_;
    // The lock first: of two starts at once, the one that holds it is the one that claims the
    // name, and the other can only hand over.
    const auto lock = parts.early && parts.early->lockState ? *parts.early->lockState
                                                            : parts.instanceLock.acquire(connectedDisplay());
    if (parts.early) parts.instanceLock = std::move(parts.early->lock);
    if (lock == app::InstanceLock::State::heldByAnother) {
        // The holder may be claiming the name just now (starting, or back from a bus restart).
        if (parts.singleInstance->forward(url, std::chrono::seconds(5))) return 0;
        diag::printLine(
            "tavlin: another instance runs for this user and display, out of reach of the session bus; "
            "this one ends");
        return 1;
    }
    if (lock == app::InstanceLock::State::unavailable) {
        // Nothing would keep a second start, on another bus or none, from running beside this one.
        if (parts.singleInstance->forward(url)) return 0;
        diag::printLine("tavlin: no instance lock can be taken; this one ends rather than run beside another");
        return 1;
    }
    const auto claim = parts.singleInstance->claim(
        {[&parts] { parts.queue.post([&parts] { parts.delegate.applicationDidBecomeActive(); }); },
         [&parts](const std::string& opened) { parts.queue.post([&parts, opened] { parts.handleURL(opened); }); }});
    if (claim == app::SingleInstance::Claim::heldByAnother) {
        // Another start: the running application takes it over, and needs the keys grabbed
        // here at the start.
        parts.early.reset();
        return parts.singleInstance->forward(url) ? 0 : 1;
    }
    if (claim == app::SingleInstance::Claim::noBus) {
        diag::printLine("tavlin: no session bus: other programs cannot reach this application");
    } else {
        parts.busWatch.setInterval(1000);
        QObject::connect(&parts.busWatch, &QTimer::timeout, &parts.context, [&parts] { parts.watchSessionBus(); });
        parts.busWatch.start();
    }
    removeStaleTemporaryFiles();
    parts.watchSettingsFolder();
    // The configuration the window shows, generated on first launch; only the running
    // application writes it.
    parts.loadedConfiguration = loadConfigurationForWindow();

    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        std::signal(SIGINT, onTerminationSignal);
        std::signal(SIGTERM, onTerminationSignal);
        auto notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, &parts.context, [&parts] {
            char buffer[16];
            while (::read(signalPipe[0], buffer, sizeof buffer) > 0) {
            }
            parts.endApplication();
        });
        parts.notifiers.push_back(std::move(notifier));
    }

    // What a session needs comes first, and the leader keys are registered before the
    // configuration window is built: a leader key typed in the first moments opens its session
    // at once, instead of waiting behind the window's making and first paint.
    parts.openDesktopConnections();
    parts.makeWindows();
    parts.application.installEventFilter(&parts.activationPolicy);
    parts.application.installEventFilter(&parts.dropGuard);
    parts.settingsStore = settings::appGroupStore();
    parts.policyObserver = parts.settingsStore->addObserver([&parts] { parts.applyActivationPolicy(); });
    parts.delegate.applicationDidFinishLaunching();
    // The leader keys are registered: a key grabbed at the start that the configuration no
    // longer has goes back to the other programs.
    if (parts.hotKeys) parts.hotKeys->releaseUnclaimedGrabs();
    parts.early.reset();
    parts.queue.post([&parts, url] { parts.finishLaunch(url); });
    // Ready once the installed applications are read (off this thread) and what the launch
    // stored from them (the first run's rows) has been handled on the main queue.
    xdg::ApplicationCatalog::shared().whenCurrent([&parts] {
        MainQueue::shared().post([&parts] {
            // The window system reports changes of the active application only: the one active
            // at start, matched to its desktop entry now that they are read, counts as well.
            if (parts.windowSystem && !parts.windowSystem->isThisApplicationActive())
                leaderKeysFollowActiveApplication(parts.windowSystem->frontmostApplication());
            diag::printLine("tavlin: ready");
            // The launch's reading and parsing left freed memory amid the heap, which the
            // allocator keeps until told: the idle process hands it back.
            MainQueue::shared().post([] { ::malloc_trim(0); });
        });
    });

    QObject::connect(&parts.application, &QCoreApplication::aboutToQuit, &parts.context, [&parts] { parts.terminate(); });
    const int status = parts.application.exec();
    parts.terminate();
    return status;
}

} // namespace tavlin
