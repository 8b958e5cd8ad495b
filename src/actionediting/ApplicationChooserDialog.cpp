#include "actionediting/ApplicationChooserDialog.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include <QCollator>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "actionediting/ApplicationInfo.h"
#include "actionediting/core/TypeAhead.h"
#include "platform/qt/PlainText.h"

namespace tavlin {
namespace {

constexpr int pathRole = Qt::UserRole + 1;
constexpr int orderRole = Qt::UserRole + 2; // how well it answers the filter, then its place by name

QString programOf(const xdg::ApplicationCatalog::Entry& entry) {
    return QString::fromStdString(std::filesystem::path(entry.executable).filename().string());
}

// Looks its icon up only when it is first drawn: most entries never come on screen.
class ApplicationItem final : public QListWidgetItem {
public:
    ApplicationItem(const QString& name, std::string iconName, QListWidget* list)
        : QListWidgetItem(name, list), iconName_(std::move(iconName)) {}

    QVariant data(int role) const override {
        if (role == Qt::DecorationRole && !iconLoaded_) {
            xdg::ApplicationCatalog::Entry entry;
            entry.icon = iconName_;
            icon_ = ApplicationInfo::iconForEntry(entry);
            iconLoaded_ = true;
        }
        if (role == Qt::DecorationRole) return icon_;
        return QListWidgetItem::data(role);
    }
    bool operator<(const QListWidgetItem& other) const override {
        return data(orderRole).toInt() < other.data(orderRole).toInt();
    }

private:
    std::string iconName_;
    mutable QIcon icon_;
    mutable bool iconLoaded_ = false;
};

} // namespace

ApplicationChooserDialog::ApplicationChooserDialog(const std::vector<xdg::ApplicationCatalog::Entry>& entries, OtherChooser other,
                                                   QWidget* parent)
    : QDialog(parent), otherChooser_(std::move(other)) {
    setWindowTitle(QStringLiteral("Choose Application"));
    setAccessibleName(QStringLiteral("Choose Application"));
    for (const auto& entry : entries) {
        if (!entry.listed) continue;
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
        item->setData(orderRole, list_->count() - 1);
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

    // Down from the filter goes on into the list.
    filter_->installEventFilter(this);
    connect(filter_, &QLineEdit::textChanged, this, &ApplicationChooserDialog::setFilter);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { chooseCurrent(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    connect(choose_, &QPushButton::clicked, this, &ApplicationChooserDialog::chooseCurrent);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(other_, &QPushButton::clicked, this, &ApplicationChooserDialog::chooseOther);
    updateButtons();
}

void ApplicationChooserDialog::setFilter(const QString& text) {
    const QString trimmed = text.trimmed();
    const QString folded = trimmed.toCaseFolded();
    const std::string typed = trimmed.toStdString();
    const int count = list_->count();
    setUpdatesEnabled(false);
    // The exact name first, then names that start with it, then the rest that hold it anywhere
    // (name, id or program), each in name order.
    for (int i = 0; i < count; ++i) {
        QListWidgetItem* item = list_->item(i);
        const int index = item->data(orderRole).toInt() % count;
        const Candidate& candidate = candidates_[static_cast<std::size_t>(index)];
        int rank = 0;
        if (!folded.isEmpty()) {
            const auto match = typeahead::match(candidate.name.toStdString(), typed);
            rank = match == typeahead::Match::exact        ? 0
                   : match == typeahead::Match::prefix     ? 1
                   : candidate.searchText.contains(folded) ? 2
                                                           : 3;
        }
        item->setHidden(rank == 3);
        item->setData(orderRole, rank * count + index);
    }
    list_->sortItems();
    QListWidgetItem* firstShown = nullptr;
    for (int i = 0; i < count && !firstShown; ++i)
        if (!list_->item(i)->isHidden()) firstShown = list_->item(i);
    // A filter picks its best answer; without one, the choice so far stays.
    QListWidgetItem* current = list_->currentItem();
    if (!folded.isEmpty() || !current || current->isHidden()) list_->setCurrentItem(firstShown);
    setUpdatesEnabled(true);
    if (list_->currentItem()) list_->scrollToItem(list_->currentItem());
    updateButtons();
}

bool ApplicationChooserDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != filter_ || event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Down || key->modifiers() != Qt::NoModifier) return false;
    // Into the list, on its current item; a list that shows nothing keeps the focus here.
    QListWidgetItem* current = list_->currentItem();
    if (!current || current->isHidden()) {
        current = nullptr;
        for (int i = 0; i < list_->count() && !current; ++i)
            if (!list_->item(i)->isHidden()) current = list_->item(i);
        if (!current) return true;
        list_->setCurrentItem(current);
    }
    list_->setFocus(Qt::TabFocusReason);
    return true;
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
    auto path = otherChooser_ ? otherChooser_() : std::nullopt;
    if (!path) return;
    chosen_ = std::move(path);
    accept();
}

std::optional<std::string> ApplicationChooserDialog::choose(OtherChooser other) {
    auto& catalog = xdg::ApplicationCatalog::shared();
    catalog.invalidate();
    // The reading runs on a thread of its own; events go on meanwhile.
    auto reading = std::make_shared<QEventLoop>();
    auto read = std::make_shared<bool>(false);
    catalog.whenCurrent([reading, read] {
        *read = true;
        reading->quit();
    });
    if (!*read) reading->exec();
    ApplicationChooserDialog dialog(catalog.entries(), std::move(other));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosenPath();
}

} // namespace tavlin
