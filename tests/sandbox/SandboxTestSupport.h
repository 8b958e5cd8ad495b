#pragma once

#include <deque>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/desktop/OpenPanel.h"
#include "platform/files/FileAccessProbe.h"
#include "sandbox/BundleNames.h"
#include "support/TempHome.h"

namespace tavlin::test {

// Panels that answer from a script: each takes the next answer, and none left is a cancel.
class FakePanelProvider : public OpenPanelProvider {
public:
    struct Answer {
        int response = modalResponse::cancel;
        std::vector<FileUrl> urls;
    };
    // As a user's choice, the item carries its own scope.
    void chooseNext(const FileUrl& url) { answers.push_back({modalResponse::ok, {url.withSecurityScope(url.path())}}); }
    void answerNext(int response) { answers.push_back({response, {}}); }

    std::unique_ptr<OpenPanel> makePanel() override { return std::make_unique<Panel>(*this); }
    void activateApplication() override {}
    bool isMainThread() override { return onMainThread; }
    void runOnMainThread(std::function<void()> work) override { queuedWork.push_back(std::move(work)); }

    std::deque<Answer> answers;
    std::vector<OpenPanel::Configuration> shown;
    int panelsAlive = 0;
    bool onMainThread = true;
    std::vector<std::function<void()>> queuedWork;

private:
    class Panel : public OpenPanel {
    public:
        explicit Panel(FakePanelProvider& provider) : provider_(provider) { ++provider_.panelsAlive; }
        ~Panel() override { --provider_.panelsAlive; }
        int runModal() override {
            provider_.shown.push_back(configuration);
            if (provider_.answers.empty()) return modalResponse::cancel;
            auto next = provider_.answers.front();
            provider_.answers.pop_front();
            urls_ = next.urls;
            return next.response;
        }
        void beginSheet(std::optional<WindowHandle>, std::function<void(int)> handler) override {
            auto held = std::move(handler); // let go of it once called, as real panels do
            held(runModal());
        }
        std::vector<FileUrl> urls() const override { return urls_; }

    private:
        FakePanelProvider& provider_;
        std::vector<FileUrl> urls_;
    };
};

// Each test gets its own HOME, scripted panels, and a probe that allows everything (as access(2)
// does for root) except the paths in `unreadable_`.
class SandboxTest : public TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        root_ = std::filesystem::canonical(root_);
        previousProvider_ = setOpenPanelProvider(panels_);
        previousProbe_ = fileAccess::setProbe([this](const std::filesystem::path& path, fileAccess::Mode) {
            probed_.push_back(path.string());
            return !unreadable_.count(path.string());
        });
        sandbox::setMainBundleNames({std::nullopt, "tavlin"});
    }
    void TearDown() override {
        fileAccess::setProbe(std::move(previousProbe_));
        setOpenPanelProvider(std::move(previousProvider_));
        sandbox::setMainBundleNames({std::nullopt, "tavlin"});
        TempHomeTest::TearDown();
    }

    FileUrl url(const std::string& relative, bool isDirectory = false) const {
        return FileUrl((root_ / relative).string(), isDirectory);
    }
    FileUrl makeFile(const std::string& relative, const std::string& contents = "x") {
        writeFile(root_ / relative, contents);
        return url(relative);
    }
    FileUrl makeFolder(const std::string& relative) {
        std::filesystem::create_directories(root_ / relative);
        return url(relative, true);
    }
    // Puts another file at the path; made before the old one goes, so it cannot reuse the inode.
    void replaceFile(const std::string& relative) {
        writeFile(root_ / (relative + ".new"), "new");
        std::filesystem::rename(root_ / (relative + ".new"), root_ / relative);
    }

    std::shared_ptr<FakePanelProvider> panels_ = std::make_shared<FakePanelProvider>();
    std::set<std::string> unreadable_;
    std::vector<std::string> probed_;

private:
    std::shared_ptr<OpenPanelProvider> previousProvider_;
    fileAccess::Probe previousProbe_;
};

} // namespace tavlin::test
