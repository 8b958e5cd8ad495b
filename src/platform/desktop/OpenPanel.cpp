#include "platform/desktop/OpenPanel.h"

#include <mutex>

namespace tavlin {
namespace {

class HeadlessPanel : public OpenPanel {
public:
    int runModal() override { return modalResponse::cancel; }
    void beginSheet(std::optional<WindowHandle>, std::function<void(int)> handler) override {
        if (handler) handler(modalResponse::cancel);
    }
    std::vector<FileUrl> urls() const override { return {}; }
};

class HeadlessProvider : public OpenPanelProvider {
public:
    std::unique_ptr<OpenPanel> makePanel() override { return std::make_unique<HeadlessPanel>(); }
    void activateApplication() override {}
    bool isMainThread() override { return true; }
    void runOnMainThread(std::function<void()> work) override {
        if (work) work();
    }
};

std::mutex& providerMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<OpenPanelProvider>& currentProvider() {
    static std::shared_ptr<OpenPanelProvider> provider = std::make_shared<HeadlessProvider>();
    return provider;
}

} // namespace

std::shared_ptr<OpenPanelProvider> openPanelProvider() {
    std::lock_guard lock(providerMutex());
    return currentProvider();
}

std::shared_ptr<OpenPanelProvider> setOpenPanelProvider(std::shared_ptr<OpenPanelProvider> provider) {
    std::lock_guard lock(providerMutex());
    auto previous = std::move(currentProvider());
    currentProvider() = provider ? std::move(provider) : std::make_shared<HeadlessProvider>();
    return previous;
}

std::unique_ptr<OpenPanel> makeAccessPanel(AccessPanelSetup setup) {
    auto panel = openPanelProvider()->makePanel();
    auto& configuration = panel->configuration;
    configuration.title = std::move(setup.title);
    configuration.message = std::move(setup.message);
    configuration.prompt = std::move(setup.prompt);
    configuration.canChooseFiles = setup.canChooseFiles;
    configuration.canChooseDirectories = true;
    configuration.canCreateDirectories = false;
    configuration.allowsMultipleSelection = false;
    configuration.showsHiddenFiles = false;
    configuration.extensionHidden = false;
    configuration.directoryURL = std::move(setup.directoryURL);
    configuration.delegate = std::move(setup.delegate);
    return panel;
}

} // namespace tavlin
