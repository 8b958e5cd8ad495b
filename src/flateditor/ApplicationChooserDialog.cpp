#include "flateditor/ApplicationChooserDialog.h"

#include <algorithm>
#include <filesystem>

#include <QCollator>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "flateditor/ApplicationInfo.h"
#include "flateditor/ChooserPanels.h"
#include "flateditor/RowComposeSheet.h"
#include "platform/qt/PlainText.h"

namespace tavlin::flateditor {
namespace {

constexpr int pathRole = Qt::UserRole + 1;

QString programOf(const xdg::DesktopEntry& entry) {
    const auto words = xdg::splitExec(entry.exec);
    if (!words || words->empty()) return {};
    return QString::fromStdString(std::filesystem::path(words->front()).filename().string());
}

// Looks its icon up only when it is first drawn: most entries never come on screen.
class ApplicationItem final : public QListWidgetItem {
public:
    ApplicationItem(const QString& name, std::string iconName, QListWidget* list)
        : QListWidgetItem(name, list), iconName_(std::move(iconName)) {}

    QVariant data(int role) const override {
        if (role == Qt::DecorationRole && !iconLoaded_) {
            xdg::DesktopEntry entry;
            entry.icon = iconName_;
            icon_ = ApplicationInfo::iconForEntry(entry);
            iconLoaded_ = true;
        }
        if (role == Qt::DecorationRole) return icon_;
        return QListWidgetItem::data(role);
    }

private:
    std::string iconName_;
    mutable QIcon icon_;
    mutable bool iconLoaded_ = false;
};

} // namespace

ApplicationChooserDialog::ApplicationChooserDialog(const std::vector<xdg::DesktopEntry>& entries,
                                                   std::optional<std::string> otherFolderURL, QWidget* parent)
    : QDialog(parent), otherFolderURL_(std::move(otherFolderURL)) {
    setWindowTitle(QStringLiteral("Choose Application"));
    setAccessibleName(QStringLiteral("Choose Application"));
    for (const auto& entry : entries) {
        if (entry.type != "Application" || entry.noDisplay || entry.hidden) continue;
        QString name = ApplicationInfo::nameForEntry(entry);
        const QString search =
            (name + QLatin1Char('\n') + QString::fromStdString(entry.id) + QLatin1Char('\n') + programOf(entry)).toCaseFolded();
        candidates_.push_back({entry.path.string(), std::move(name), search, entry.icon});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(candidates_.begin(), candidates_.end(),
                     [&collator](const Candidate& a, const Candidate& b) { return collator.compare(a.name, b.name) < 0; });

    auto* layout = new QVBoxLayout(this);
    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(QStringLiteral("Filter"));
    filter_->setAccessibleName(QStringLiteral("Filter"));
    filter_->setClearButtonEnabled(true);
    layout->addWidget(filter_);
    list_ = new QListWidget(this);
    list_->setAccessibleName(QStringLiteral("Applications"));
    list_->setIconSize(QSize(16, 16));
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const auto& candidate : candidates_) {
        // Icons are looked up only when an item is first drawn.
        auto* item = new ApplicationItem(candidate.name, candidate.icon, list_);
        item->setData(pathRole, QString::fromStdString(candidate.path));
        item->setToolTip(qt::toolTipText(QString::fromStdString(candidate.path)));
        item->setData(Qt::AccessibleTextRole, candidate.name);
    }
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout();
    other_ = new QPushButton(QStringLiteral("Other…"), this);
    other_->setAccessibleName(QStringLiteral("Other…"));
    other_->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);
    choose_ = new QPushButton(QStringLiteral("Choose"), this);
    choose_->setAccessibleName(QStringLiteral("Choose"));
    choose_->setDefault(true);
    buttons->addWidget(other_);
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(choose_);
    layout->addLayout(buttons);
    resize(420, 480);

    connect(filter_, &QLineEdit::textChanged, this, &ApplicationChooserDialog::setFilter);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { chooseCurrent(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    connect(choose_, &QPushButton::clicked, this, &ApplicationChooserDialog::chooseCurrent);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(other_, &QPushButton::clicked, this, &ApplicationChooserDialog::chooseOther);
    updateButtons();
}

void ApplicationChooserDialog::setFilter(const QString& text) {
    const QString folded = text.trimmed().toCaseFolded();
    setUpdatesEnabled(false);
    QListWidgetItem* firstShown = nullptr;
    for (int i = 0; i < list_->count(); ++i) {
        const bool shown = folded.isEmpty() || candidates_[static_cast<std::size_t>(i)].searchText.contains(folded);
        QListWidgetItem* item = list_->item(i);
        item->setHidden(!shown);
        if (shown && !firstShown) firstShown = item;
    }
    QListWidgetItem* current = list_->currentItem();
    if (!current || current->isHidden()) list_->setCurrentItem(firstShown);
    setUpdatesEnabled(true);
    updateButtons();
}

void ApplicationChooserDialog::updateButtons() {
    QListWidgetItem* current = list_->currentItem();
    choose_->setEnabled(current && !current->isHidden());
}

void ApplicationChooserDialog::chooseCurrent() {
    QListWidgetItem* current = list_->currentItem();
    if (!current || current->isHidden()) return;
    chosen_ = current->data(pathRole).toString().toStdString();
    accept();
}

void ApplicationChooserDialog::chooseOther() {
    auto settings = chooserSettings(RowComposeSheet::PathChooserKind::application);
    if (!settings) return;
    auto panel = openPanelProvider()->makePanel();
    auto delegate = std::make_shared<ChooserPanelDelegate>(settings->offered);
    panel->configuration = openPanelConfiguration(*settings, chooserFolder(otherFolderURL_));
    panel->configuration.delegate = delegate;
    if (panel->runModal() != modalResponse::ok) return;
    const auto urls = panel->urls();
    if (urls.empty()) return;
    chosen_ = urls.front().path();
    accept();
}

std::optional<std::string> ApplicationChooserDialog::choose(const std::optional<std::string>& folderURL) {
    ApplicationChooserDialog dialog(xdg::DesktopEntryCatalog::scan().entries(), folderURL);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosenPath();
}

} // namespace tavlin::flateditor
