#include "flateditor/DisabledApplicationsView.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "actionediting/ApplicationInfo.h"
#include "actionediting/PathChooser.h"
#include "actionediting/SheetGroup.h"
#include "flateditor/RowComposeSheet.h"
#include "flateditor/SymbolIcons.h"
#include "model/Settings.h"
#include "platform/qt/FocusRing.h"
#include "platform/qt/PlainText.h"

namespace tavlin::flateditor {
namespace {

constexpr int pathRole = Qt::UserRole + 1;

// Name and path as plain text: either may hold anything, markup included.
QListWidgetItem* applicationItem(const std::string& path, bool withTooltip) {
    const QString qpath = QString::fromStdString(path);
    auto* item = new QListWidgetItem(ApplicationInfo::icon(path), ApplicationInfo::name(path) + QStringLiteral("\n") + qpath);
    item->setData(pathRole, qpath);
    item->setData(Qt::AccessibleTextRole, item->text());
    if (withTooltip) item->setToolTip(qt::toolTipText(qpath));
    return item;
}

QListWidget* plainList(QWidget* parent, const QString& name) {
    auto* list = new QListWidget(parent);
    list->setAccessibleName(name);
    list->setIconSize(QSize(16, 16));
    list->setTextElideMode(Qt::ElideMiddle);
    qt::showFocusRing(*list);
    return list;
}

} // namespace

DisabledApplicationsView::DisabledApplicationsView(std::vector<std::string> disabledApplications,
                                                   const std::vector<std::string>& suggestedDisabledApplicationPaths,
                                                   QWidget* parent)
    : QDialog(parent), state_(std::move(disabledApplications)) {
    setWindowTitle(QStringLiteral("Disable in these applications"));
    setAccessibleName(QStringLiteral("Disable in these applications"));
    auto* layout = new QVBoxLayout(this);

    auto* disabledBox = new SheetGroup(QStringLiteral("Disable in these applications:"), this);
    auto* disabledLayout = disabledBox->contentLayout();
    applicationList_ = plainList(disabledBox, QStringLiteral("Disable in these applications:"));
    applicationList_->setSelectionMode(QAbstractItemView::SingleSelection);
    applicationList_->setMinimumSize(371, 71);
    disabledLayout->addWidget(applicationList_);
    layout->addWidget(disabledBox);

    if (!suggestedDisabledApplicationPaths.empty()) {
        const QString title = QStringLiteral("Recent applications for suggestion:\n(click to add to the list above)");
        auto* suggestionBox = new SheetGroup(title, this);
        auto* suggestionLayout = suggestionBox->contentLayout();
        suggestionList_ = plainList(suggestionBox, title);
        suggestionList_->setSelectionMode(QAbstractItemView::NoSelection);
        suggestionList_->setMinimumHeight(171);
        for (const auto& path : suggestedDisabledApplicationPaths) suggestionList_->addItem(applicationItem(path, false));
        suggestionLayout->addWidget(suggestionList_);
        layout->addWidget(suggestionBox);
        connect(suggestionList_, &QListWidget::itemClicked, this,
                [this](QListWidgetItem* item) { addSuggestion(item->data(pathRole).toString().toStdString()); });
        // Return or Space adds the current suggestion, as a click does.
        suggestionList_->installEventFilter(this);
    }

    auto* buttons = new QHBoxLayout();
    addButton_ = new QToolButton(this);
    setSymbol(addButton_, "plus");
    addButton_->setText(QStringLiteral("Add"));
    addButton_->setAccessibleName(QStringLiteral("Add application"));
    removeButton_ = new QToolButton(this);
    setSymbol(removeButton_, "minus");
    removeButton_->setText(QStringLiteral("Remove"));
    removeButton_->setAccessibleName(QStringLiteral("Remove application"));
    doneButton_ = new QPushButton(QStringLiteral("Done"), this);
    doneButton_->setAutoDefault(false);
    doneButton_->setAccessibleName(QStringLiteral("Done"));
    buttons->addWidget(addButton_);
    buttons->addWidget(removeButton_);
    buttons->addStretch(1);
    buttons->addWidget(doneButton_);
    layout->addLayout(buttons);

    connect(addButton_, &QToolButton::clicked, this, &DisabledApplicationsView::addApplication);
    connect(removeButton_, &QToolButton::clicked, this, &DisabledApplicationsView::removeSelectedApplication);
    connect(doneButton_, &QPushButton::clicked, this, &DisabledApplicationsView::saveAndDismiss);
    connect(applicationList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && static_cast<std::size_t>(row) < state_.applicationPaths.size())
            state_.selectedPath = state_.applicationPaths[static_cast<std::size_t>(row)];
        updateButtons();
    });
    rebuildList();
}

void DisabledApplicationsView::rebuildList() {
    const QSignalBlocker block(applicationList_);
    applicationList_->clear();
    int selected = -1;
    for (std::size_t i = 0; i < state_.applicationPaths.size(); ++i) {
        applicationList_->addItem(applicationItem(state_.applicationPaths[i], true));
        if (selected < 0 && state_.selectedPath == state_.applicationPaths[i]) selected = static_cast<int>(i);
    }
    applicationList_->setCurrentRow(selected);
    updateButtons();
}

void DisabledApplicationsView::updateButtons() { removeButton_->setEnabled(state_.selectedPath.has_value()); }

void DisabledApplicationsView::addApplication() {
    const auto path = choosePath(PathChooserKind::application, state_.chooserDirectory(), rowEditorRules);
    if (!path) return;
    state_.addChosen(*path);
    rebuildList();
}

void DisabledApplicationsView::removeSelectedApplication() {
    state_.removeSelected();
    rebuildList();
}

void DisabledApplicationsView::addSuggestion(const std::string& path) {
    state_.addSuggestion(path);
    rebuildList();
}

void DisabledApplicationsView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Opened from the keyboard as often as not: the focus shows from the start. Qt takes the
    // mark from a window each time it shows.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

bool DisabledApplicationsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == suggestionList_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        QListWidgetItem* current = suggestionList_->currentItem();
        if (current && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            addSuggestion(current->data(pathRole).toString().toStdString());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DisabledApplicationsView::saveAndDismiss() {
    // A list that could not be saved stays in the sheet, beside the alert that says why.
    if (settings::storeStringListPreference(settings::keys::disabledApplications, state_.pathsToStore())) accept();
}

} // namespace tavlin::flateditor
