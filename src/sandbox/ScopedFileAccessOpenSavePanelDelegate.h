#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/desktop/OpenPanel.h"

namespace tavlin::sandbox {

class ScopedFileAccess;

// The refusal of an item off the requested path.
class SandboxDelegateError : public std::runtime_error {
public:
    enum class Case { triedToChooseWrongFile };
    explicit SandboxDelegateError(Case errorCase);
    Case errorCase() const { return case_; }
    std::string errorDescription() const { return what(); }
    friend bool operator==(const SandboxDelegateError& a, const SandboxDelegateError& b) { return a.case_ == b.case_; }

private:
    Case case_;
};

// Lets the access panel offer and accept only the requested item and the folders that
// contain it: choosing one of those is what grants access to the item.
class ScopedFileAccessOpenSavePanelDelegate : public OpenPanelDelegate {
public:
    // The requested URL's components, "/" first; only the panel builder fills them.
    const std::vector<std::string>& pathComponents() const { return pathComponents_; }

    virtual bool isOnRequestedPath(const FileUrl& url) const;
    bool shouldEnable(const FileUrl& url) override;
    std::optional<std::string> validate(const FileUrl& url) override;

private:
    friend class ScopedFileAccess;
    ScopedFileAccessOpenSavePanelDelegate() = default;

    std::vector<std::string> pathComponents_;
};

} // namespace tavlin::sandbox
