#include "flateditor/HelperStatusSection.h"

#include <QtCore/QStringList>
#include <QtGui/QIcon>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

#include "model/ActionConfigurability.h"
#include "platform/dbus/DBusDistributedNotificationCenter.h"
#include "platform/dbus/HelperBusProcess.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/desktop/Workspace.h"
#include "platform/qt/QtText.h"

namespace tavlin::flateditor {
namespace {

std::string& downloadPage() {
    static std::string url = TAVLIN_HELPER_PAGE_URL;
    return url;
}

void openDownloadPage(const std::string& url) { Workspace::shared().openURL(url, nullptr); }

// A helper's path: plain text, wrapped where it must; a click reveals it.
class HelperPathLabel final : public QLabel {
public:
    HelperPathLabel(HelperAppInfo info, QWidget* parent) : QLabel(parent), info_(std::move(info)) {
        const QString path = QString::fromStdString(info_.bundlePath);
        setTextFormat(Qt::PlainText);
        setText(path);
        setWordWrap(true);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(path);
        setAccessibleDescription(QStringLiteral("Show in the file manager"));
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            HelperStatusSection::revealHelper(info_);
        QLabel::mouseReleaseEvent(event);
    }

private:
    HelperAppInfo info_;
};

QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(text);
    return label;
}

} // namespace

HelperStatusSection::HelperStatusSection(QWidget* parent) : QWidget(parent) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &HelperStatusSection::refreshHelperInfos);
    build();
}

void HelperStatusSection::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_.start();
}

void HelperStatusSection::hideEvent(QHideEvent* event) {
    timer_.stop();
    QWidget::hideEvent(event);
}

void HelperStatusSection::refreshHelperInfos() {
    if (!window()->isActiveWindow() || asking_) return;
    asking_ = true;
    askHelperProcessOnBus(DBusDistributedNotificationCenter::sessionBusConnection(), this,
                          [this](std::optional<std::int64_t> pid) { takeBusAnswer(pid); });
}

void HelperStatusSection::takeBusAnswer(std::optional<std::int64_t> busOwnerPid) {
    asking_ = false;
    std::optional<RunningApplication> owner;
    if (busOwnerPid) owner = helperBusOwnerApplication(*busOwnerPid);
    setHelperInfos(helperInstances(owner, Workspace::shared().runningApplications(std::string(helperBundleIdentifier))));
}

void HelperStatusSection::setHelperInfos(std::vector<HelperAppInfo> infos) {
    // Taken every tick; drawn again only when it changed, so a path is not swapped under the
    // pointer each second.
    if (infos == helperInfos_ && built_) return;
    helperInfos_ = std::move(infos);
    build();
}

void HelperStatusSection::build() {
    built_ = true;
    delete form_;
    form_ = new QWidget(this);
    const std::string page = downloadPage();
    const QString url = QString::fromStdString(page);
    if (helperInfos_.empty()) {
        auto* column = new QVBoxLayout(form_);
        column->setContentsMargins(0, 0, 0, 0);
        QStringList kinds;
        for (const auto kind : helperKinds()) kinds << qt::qString(title(kind));
        auto* notice = plainLabel(QStringLiteral("Actions that need the helper application (") +
                                      kinds.join(QStringLiteral(", ")) +
                                      QStringLiteral(") are not available on this desktop while no helper runs."),
                                  form_);
        notice->setWordWrap(true);
        column->addWidget(notice);
        if (!page.empty()) {
            auto* visit = new QPushButton(QStringLiteral("Visit Website"), form_);
            visit->setAccessibleName(visit->text());
            visit->setAccessibleDescription(url);
            connect(visit, &QPushButton::clicked, this, [page] { openDownloadPage(page); });
            auto* buttonRow = new QHBoxLayout();
            buttonRow->addWidget(visit);
            buttonRow->addStretch();
            column->addLayout(buttonRow);
        }
    } else {
        auto* row = new QHBoxLayout(form_);
        row->setContentsMargins(0, 0, 0, 0);
        auto* column = new QVBoxLayout();
        column->addWidget(plainLabel(QStringLiteral("The helper is running."), form_));
        for (const auto& info : helperInfos_) column->addWidget(new HelperPathLabel(info, form_));
        row->addLayout(column, 1);
        if (!page.empty()) {
            auto* help = new QToolButton(form_);
            help->setIcon(QIcon::fromTheme(QStringLiteral("help-contents")));
            help->setText(QStringLiteral("?"));
            help->setToolTip(url);
            help->setAccessibleName(QStringLiteral("Helper Download Page"));
            help->setAccessibleDescription(url);
            connect(help, &QToolButton::clicked, this, [page] { openDownloadPage(page); });
            row->addWidget(help, 0, Qt::AlignTop);
        }
    }
    layout_->addWidget(form_);
}

const std::string& HelperStatusSection::downloadPageURL() { return downloadPage(); }

void HelperStatusSection::setDownloadPageURL(std::string url) { downloadPage() = std::move(url); }

void HelperStatusSection::revealHelper(const HelperAppInfo& info) {
    Workspace::shared().activateFileViewerSelecting(info.bundlePath);
}

} // namespace tavlin::flateditor
