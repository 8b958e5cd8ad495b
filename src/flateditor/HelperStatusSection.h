#pragma once

#include <string>
#include <vector>

#include <QtCore/QTimer>
#include <QtWidgets/QWidget>

#include "flateditor/HelperInstances.h"

class QVBoxLayout;

namespace tavlin::flateditor {

// Whether the helper runs, and where to get it when the build names a page. While shown, the list of
// running helpers is asked for once a second, and only while the window is active: the bus
// answers later, so a stuck bus never holds the window up.
class HelperStatusSection final : public QWidget {
public:
    explicit HelperStatusSection(QWidget* parent = nullptr);

    // One tick of the timer: asks for the running helpers unless the window is inactive or the
    // last question is still unanswered.
    void refreshHelperInfos();
    // Whether a question to the bus is unanswered.
    bool isAsking() const { return asking_; }
    // Takes the bus owner's process (if any) and lists the helpers.
    void takeBusAnswer(std::optional<std::int64_t> busOwnerPid);

    const std::vector<HelperAppInfo>& helperInfos() const { return helperInfos_; }
    const QTimer& timer() const { return timer_; }

    // Selects the helper's application in a file viewer.
    static void revealHelper(const HelperAppInfo& info);

    // Where the helper can be had: the build's TAVLIN_HELPER_PAGE_URL, empty when it names none,
    // and then no link is shown. Sections built after a change use the new page.
    static const std::string& downloadPageURL();
    static void setDownloadPageURL(std::string url);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setHelperInfos(std::vector<HelperAppInfo> infos);
    void build();

    QVBoxLayout* layout_ = nullptr;
    QWidget* form_ = nullptr;
    std::vector<HelperAppInfo> helperInfos_;
    bool built_ = false;
    bool asking_ = false;
    QTimer timer_;
};

} // namespace tavlin::flateditor
