#include "actionediting/PathChooser.h"

#include <exception>
#include <memory>

#include "actionediting/ApplicationChooserDialog.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/Alerts.h"
#include "platform/desktop/OpenPanel.h"
#include "sandbox/BookmarksManager.h"
#include "sandbox/ScopedFileAccess.h"

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

bool keepBookmark(const FileUrl& url, const ActionEditingRules& rules) {
    if (!rules.bookmarksInManager) {
        // Its outcome is not ours: the action asks for access again when it runs.
        (void)std::make_shared<sandbox::ScopedFileAccess>()->persistPermission(url);
        return true;
    }
    try {
        const auto& manager = sandbox::BookmarksManager::shared();
        manager->storeBookmark(manager->createReadOnlyBookmark(url));
        return true;
    } catch (const std::exception& error) {
        diag::printLine(diag::Category::editor, error.what());
        showAlert("Failed to grant access to " + url.absoluteString(), error.what());
        return false;
    }
}

} // namespace

std::optional<FileUrl> runPathPanel(PathChooserKind kind, const std::optional<std::string>& folderURL,
                                    const ActionEditingRules& rules) {
    const auto settings = pathChooserSettings(kind);
    if (kind == PathChooserKind::appleScript && !settings.startFolder) {
        diag::printLine(diag::Category::editor, "the application scripts folder could not be made");
        return std::nullopt;
    }
    auto panel = openPanelProvider()->makePanel();
    auto& configuration = panel->configuration;
    configuration.title = settings.title;
    configuration.message = settings.message;
    configuration.prompt = settings.prompt;
    if (rules.labelsNameField) configuration.nameFieldLabel = settings.nameFieldLabel;
    configuration.canChooseFiles = settings.canChooseFiles;
    configuration.canChooseDirectories = settings.canChooseDirectories;
    configuration.canCreateDirectories = settings.canCreateDirectories;
    configuration.showsHiddenFiles = settings.showsHiddenFiles;
    configuration.extensionHidden = settings.extensionHidden;
    if (const auto folder = chooserFolder(folderURL) ? chooserFolder(folderURL) : settings.startFolder)
        configuration.directoryURL = FileUrl(folder->string(), true);
    // The panel holds its delegate weakly.
    const auto delegate = std::make_shared<PathChooserDelegate>(kind);
    configuration.delegate = delegate;
    if (panel->runModal() != modalResponse::ok) return std::nullopt;
    const auto urls = panel->urls();
    if (urls.empty()) {
        diag::printLine(diag::Category::editor, "failed to get the url chosen by users");
        return std::nullopt;
    }
    return urls.front();
}

std::optional<std::string> choosePath(PathChooserKind kind, const std::optional<std::string>& folderURL,
                                      const ActionEditingRules& rules) {
    std::optional<FileUrl> chosen;
    if (kind == PathChooserKind::application) {
        const auto other = [&]() -> std::optional<std::string> {
            const auto url = runPathPanel(kind, folderURL, rules);
            return url ? std::optional(url->path()) : std::nullopt;
        };
        if (const auto path = ApplicationChooserDialog::choose(other)) chosen = FileUrl(*path, false);
    } else {
        chosen = runPathPanel(kind, folderURL, rules);
    }
    if (!chosen || !keepBookmark(*chosen, rules)) return std::nullopt;
    return chosen->path();
}

} // namespace tavlin
