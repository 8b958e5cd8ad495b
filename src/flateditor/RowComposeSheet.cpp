#include "flateditor/RowComposeSheet.h"

#include "flateditor/ApplicationChooserDialog.h"
#include "flateditor/ChooserPanels.h"
#include "platform/Diagnostics.h"
#include "sandbox/ScopedFileAccess.h"

namespace tavlin::flateditor {
namespace {

RowComposeSheet::Presenter& presenter() {
    static RowComposeSheet::Presenter installed;
    return installed;
}

// A bookmark of every choice, so that actions may reach it later; its outcome is not ours.
void keepBookmark(const FileUrl& url) {
    const auto access = std::make_shared<sandbox::ScopedFileAccess>();
    (void)access->persistPermission(url);
}

} // namespace

RowComposeSheet::Presenter RowComposeSheet::setPresenter(Presenter installed) {
    return std::exchange(presenter(), std::move(installed));
}

void RowComposeSheet::present(const ChangeKind& changeKind, RowSaved rowSaved) {
    if (presenter()) presenter()(changeKind, std::move(rowSaved));
    else diag::printLine("");
}

std::optional<std::string> RowComposeSheet::configureOpenPanel(PathChooserKind kind,
                                                               const std::optional<std::string>& folderURL) {
    if (kind == PathChooserKind::application) {
        const auto chosen = ApplicationChooserDialog::choose(folderURL);
        if (chosen) keepBookmark(FileUrl(*chosen, false));
        return chosen;
    }
    const auto settings = chooserSettings(kind);
    if (!settings) {
        diag::printLine("the application scripts folder could not be made");
        return std::nullopt;
    }
    auto panel = openPanelProvider()->makePanel();
    const auto delegate = std::make_shared<ChooserPanelDelegate>(settings->offered);
    panel->configuration = openPanelConfiguration(*settings, chooserFolder(folderURL));
    panel->configuration.delegate = delegate;
    if (panel->runModal() != modalResponse::ok) return std::nullopt;
    const auto urls = panel->urls();
    if (urls.empty()) {
        diag::printLine("failed to get the url chosen by users");
        return std::nullopt;
    }
    keepBookmark(urls.front());
    return urls.front().path();
}

} // namespace tavlin::flateditor
