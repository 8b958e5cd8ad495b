#include "sandbox/ScopedFileAccessOpenSavePanelDelegate.h"

namespace tavlin::sandbox {

SandboxDelegateError::SandboxDelegateError(Case errorCase)
    : std::runtime_error("Please allow the originally requested location"), case_(errorCase) {}

bool ScopedFileAccessOpenSavePanelDelegate::isOnRequestedPath(const FileUrl& url) const {
    auto components = url.pathComponents();
    if (components.size() > pathComponents_.size()) return false;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (components[i] != pathComponents_[i]) return false;
    }
    return true;
}

bool ScopedFileAccessOpenSavePanelDelegate::shouldEnable(const FileUrl& url) { return isOnRequestedPath(url); }

std::optional<std::string> ScopedFileAccessOpenSavePanelDelegate::validate(const FileUrl& url) {
    if (isOnRequestedPath(url)) return std::nullopt;
    return SandboxDelegateError(SandboxDelegateError::Case::triedToChooseWrongFile).errorDescription();
}

} // namespace tavlin::sandbox
