#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "flateditor/RowComposeSheet.h"
#include "platform/OpenPanel.h"

namespace tavlin::flateditor {

// How the open panel is set up for one chooser kind.
struct ChooserSettings {
    // Which files the panel offers; folders are always offered, to move through.
    enum class Offered { anyFile, executables, desktopEntriesAndExecutables };

    std::string title;
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    Offered offered = Offered::anyFile;
    std::filesystem::path defaultFolder;
    std::optional<std::string> message;
    std::string prompt = "Choose";
    bool showsHiddenFiles = true;
    bool extensionHidden = true;
    bool canCreateDirectories = true;
};

// Nothing for appleScript when the application-scripts folder cannot be had. The application
// kind's settings are those of its "Other…" file panel.
std::optional<ChooserSettings> chooserSettings(RowComposeSheet::PathChooserKind kind);

// The folder a caller asks the panel to open in: only a file URL counts.
std::optional<std::filesystem::path> chooserFolder(const std::optional<std::string>& folderURL);

// The first applications folder of $XDG_DATA_DIRS that exists, else the user's own.
std::filesystem::path systemApplicationsFolder();

// The panel configuration for the settings, opening in `folder` when given.
OpenPanel::Configuration openPanelConfiguration(const ChooserSettings& settings,
                                                const std::optional<std::filesystem::path>& folder);

// Enables the files the settings offer, and every folder.
class ChooserPanelDelegate final : public OpenPanelDelegate {
public:
    explicit ChooserPanelDelegate(ChooserSettings::Offered offered) : offered_(offered) {}
    bool shouldEnable(const FileUrl& url) override;
    std::optional<std::string> validate(const FileUrl& url) override;

private:
    ChooserSettings::Offered offered_;
};

} // namespace tavlin::flateditor
