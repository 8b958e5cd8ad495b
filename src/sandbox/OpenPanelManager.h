#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "platform/base/Result.h"
#include "platform/desktop/OpenPanel.h"
#include "platform/files/FileUrl.h"

namespace tavlin::sandbox {

// How a panel ended without a choice.
class OpenPanelError : public std::exception {
public:
    enum class Case { canceled, stopped, aborted };
    explicit OpenPanelError(Case errorCase) : case_(errorCase) {}
    Case errorCase() const { return case_; }
    const char* what() const noexcept override;
    friend bool operator==(const OpenPanelError& a, const OpenPanelError& b) { return a.case_ == b.case_; }

private:
    Case case_;
};

class OpenPanelManagerProtocol {
public:
    virtual ~OpenPanelManagerProtocol() = default;
    // The chosen URL, or an OpenPanelError.
    virtual Result<FileUrl> requestAccess(const FileUrl& url) = 0;
};

// Asks the user, with a modal open panel, to choose a location.
class OpenPanelManager : public OpenPanelManagerProtocol {
public:
    static std::string defaultTitle();
    static std::string defaultPrompt();
    // The explanation naming the application; no name: the application's display name.
    static std::string defaultMessage(const std::optional<std::string>& appName = std::nullopt);

    explicit OpenPanelManager(std::optional<std::string> title = defaultTitle(),
                              std::optional<std::string> message = defaultMessage(),
                              std::optional<std::string> prompt = defaultPrompt(),
                              std::weak_ptr<OpenPanelDelegate> delegate = {});

    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& message() const { return message_; }
    const std::optional<std::string>& prompt() const { return prompt_; }
    std::weak_ptr<OpenPanelDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<OpenPanelDelegate> delegate) { delegate_ = std::move(delegate); }

    // Runs modally on the calling thread, which must be the main thread.
    Result<FileUrl> requestAccess(const FileUrl& url) override;

private:
    std::optional<std::string> title_;
    std::optional<std::string> message_;
    std::optional<std::string> prompt_;
    std::weak_ptr<OpenPanelDelegate> delegate_;
};

} // namespace tavlin::sandbox
