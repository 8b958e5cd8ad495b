#include "sandbox/OpenPanelManager.h"

#include <cstdio>
#include <cstdlib>

#include "sandbox/BundleNames.h"

namespace tavlin::sandbox {

const char* OpenPanelError::what() const noexcept {
    switch (case_) {
    case Case::canceled: return "The open panel was cancelled.";
    case Case::stopped: return "The open panel was stopped.";
    case Case::aborted: return "The open panel was aborted.";
    }
    return "The open panel ended without a choice.";
}

std::string OpenPanelManager::defaultTitle() { return "Access permissions required"; }

std::string OpenPanelManager::defaultPrompt() { return "Allow"; }

std::string OpenPanelManager::defaultMessage(const std::optional<std::string>& appName) {
    return "Please allow '" + appName.value_or(appDisplayName()) + "' to access this file or folder to continue.";
}

OpenPanelManager::OpenPanelManager(std::optional<std::string> title, std::optional<std::string> message,
                                   std::optional<std::string> prompt, std::weak_ptr<OpenPanelDelegate> delegate)
    : title_(std::move(title)), message_(std::move(message)), prompt_(std::move(prompt)), delegate_(std::move(delegate)) {}

Result<FileUrl> OpenPanelManager::requestAccess(const FileUrl& url) {
    auto panel = makeAccessPanel({.title = title_,
                                  .message = message_,
                                  .prompt = prompt_,
                                  .canChooseFiles = true,
                                  .directoryURL = url.deletingLastPathComponent(),
                                  .delegate = delegate_});

    int response = panel->runModal();
    switch (response) {
    case modalResponse::ok: {
        auto urls = panel->urls();
        if (urls.empty()) break; // an OK without a choice cannot grant anything
        return urls.front();
    }
    case modalResponse::cancel: break;
    case modalResponse::stop: return Result<FileUrl>(std::make_exception_ptr(OpenPanelError(OpenPanelError::Case::stopped)));
    case modalResponse::abort: return Result<FileUrl>(std::make_exception_ptr(OpenPanelError(OpenPanelError::Case::aborted)));
    default:
        std::fprintf(stderr, "Fatal error: unexpected open panel response %d (tavlin/OpenPanelManager)\n", response);
        std::abort();
    }
    return Result<FileUrl>(std::make_exception_ptr(OpenPanelError(OpenPanelError::Case::canceled)));
}

} // namespace tavlin::sandbox
