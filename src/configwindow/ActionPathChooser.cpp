#include "configwindow/ActionPathChooser.h"

#include <exception>
#include <memory>

#include "platform/Alerts.h"
#include "platform/Diagnostics.h"
#include "platform/OpenPanel.h"
#include "sandbox/BookmarksManager.h"

namespace tavlin {

namespace {

// Greys out what the kind cannot take and checks the choice again before the panel closes.
class PathChooserDelegate final : public OpenPanelDelegate {
public:
    explicit PathChooserDelegate(PathChooserKind kind) : kind_(kind) {}
    bool shouldEnable(const FileUrl& url) override { return pathChooserOffers(kind_, url.path()); }
    std::optional<std::string> validate(const FileUrl& url) override { return pathChooserRefusal(kind_, url.path()); }

private:
    PathChooserKind kind_;
};

} // namespace

std::optional<std::string> choosePath(PathChooserKind kind) {
    const auto settings = pathChooserSettings(kind);
    auto panel = openPanelProvider()->makePanel();
    auto delegate = std::make_shared<PathChooserDelegate>(kind);
    auto& configuration = panel->configuration;
    configuration.title = settings.title;
    configuration.message = settings.message;
    configuration.prompt = settings.prompt;
    configuration.nameFieldLabel = settings.nameFieldLabel;
    configuration.canChooseFiles = settings.canChooseFiles;
    configuration.canChooseDirectories = settings.canChooseDirectories;
    configuration.canCreateDirectories = settings.canCreateDirectories;
    configuration.showsHiddenFiles = settings.showsHiddenFiles;
    configuration.extensionHidden = settings.extensionHidden;
    if (settings.startFolder) configuration.directoryURL = FileUrl::fromPath(settings.startFolder->string());
    configuration.delegate = delegate;

    if (panel->runModal() != modalResponse::ok) return std::nullopt;
    const auto urls = panel->urls();
    if (urls.empty()) {
        diag::printLine("failed to get the url chosen by users");
        return std::nullopt;
    }
    const FileUrl& url = urls.front();
    try {
        const auto& manager = sandbox::BookmarksManager::shared();
        manager->storeBookmark(manager->createReadOnlyBookmark(url));
    } catch (const std::exception& error) {
        diag::printLine(error.what());
        showAlert("Failed to grant access to " + url.absoluteString(), error.what());
        return std::nullopt;
    }
    return url.path();
}

} // namespace tavlin
