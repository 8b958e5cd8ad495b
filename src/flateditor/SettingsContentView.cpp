#include "flateditor/SettingsContentView.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "engine/ui/MarkdownText.h"
#include "flateditor/DisabledApplicationsView.h"
#include "flateditor/FlatListCommands.h"
#include "flateditor/InputMonitoringGrantView.h"
#include "flateditor/KeysAndActionRowView.h"
#include "flateditor/ListenEventAccess.h"
#include "flateditor/RowTexts.h"
#include "flateditor/SectionHeader.h"
#include "flateditor/SymbolIcons.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/qt/FocusRing.h"
#include "platform/qt/HeaderlessTreeView.h"
#include "platform/qt/PeopleWordsQt.h"

namespace tavlin::flateditor {
namespace {

using Role = KeysAndActionRowView::Role;
using Kind = KeysAndActionRowView::Kind;

std::function<void()>& openSettingsHandler() {
    static std::function<void()> handler;
    return handler;
}

QString plainDescription(const std::string& text) {
    InertTextDocument document;
    document.setHtml(markdownHtml(text));
    return document.toPlainText().simplified();
}

QString rowText(const FlatKeysAndActionRow& row) {
    const ActionText action = actionText(row.action);
    const QString actionString = action.rich ? plainDescription(action.text) : QString::fromStdString(action.text);
    return QString::fromStdString(rowKeysText(row)) + QLatin1Char(' ') + actionString;
}

// A row of the list. Its fixed roles are answered from what it keeps rather than stored as
// values: a list of thousands of rows would otherwise grow each item's values one role at a
// time, most of the cost of drawing the list the first time.
class RowItem final : public QStandardItem {
public:
    RowItem(const QString& text, int section, int row, QString id)
        : QStandardItem(text), section_(section), row_(row), id_(std::move(id)) {}

    QVariant data(int role) const override {
        switch (role) {
        case Role::kindRole: return static_cast<int>(Kind::row);
        case Role::sectionRole: return section_;
        case Role::rowRole: return row_;
        case Role::rowIDRole: return id_;
        case Qt::AccessibleTextRole: return text();
        default: return QStandardItem::data(role);
        }
    }

private:
    int section_, row_;
    QString id_;
};

QToolButton* commandButton(QWidget* parent, const std::string& symbol, const QString& help, const QString& accessibleName) {
    auto* button = new QToolButton(parent);
    setSymbol(button, symbol);
    button->setToolTip(help);
    button->setText(help);
    button->setAccessibleName(accessibleName);
    button->setAccessibleDescription(help);
    button->setAutoRaise(false);
    return button;
}

QPushButton* textButton(QWidget* parent, const QString& title) {
    auto* button = new QPushButton(title, parent);
    button->setAccessibleName(title);
    button->setAutoDefault(false);
    return button;
}

} // namespace

void SettingsContentView::setOpenSettingsHandler(std::function<void()> handler) { openSettingsHandler() = std::move(handler); }

SettingsContentView::SettingsContentView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Key bindings"));
    auto* layout = new QVBoxLayout(this);

    model_ = new QStandardItemModel(this);
    list_ = new qt::HeaderlessTreeView(this);
    list_->setAccessibleName(QStringLiteral("Key bindings"));
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMinimumHeight(284);
    qt::showFocusRing(*list_);
    list_->setModel(model_);
    rowView_ = new KeysAndActionRowView(&sections_, list_);
    list_->setItemDelegate(rowView_);
    layout->addWidget(list_, 1);

    auto* bar = new QHBoxLayout();
    auto* commands = new QWidget(this);
    commands->setFixedWidth(120);
    auto* commandLayout = new QHBoxLayout(commands);
    commandLayout->setContentsMargins(0, 0, 0, 0);
    commandLayout->setSpacing(0);
    newButton_ = commandButton(commands, "plus", QStringLiteral("New"), QStringLiteral("New"));
    deleteButton_ = commandButton(commands, "minus", QStringLiteral("Delete"), QStringLiteral("Delete"));
    editButton_ = commandButton(commands, "square.and.pencil", QStringLiteral("Edit"), QStringLiteral("Edit"));
    duplicateButton_ = commandButton(commands, "doc.on.doc", QStringLiteral("New with selected row"),
                                     QStringLiteral("New with selected row"));
    for (QToolButton* button : {newButton_, deleteButton_, editButton_, duplicateButton_}) commandLayout->addWidget(button);
    bar->addWidget(commands);
    disabledApplicationsButton_ = textButton(this, QStringLiteral("Disable in these applications"));
    bar->addWidget(disabledApplicationsButton_);
    bar->addStretch(1);
    inputMonitoringButton_ = textButton(this, words::qt(words::grantInputMonitoring));
    bar->addWidget(inputMonitoringButton_);
    openSettingsButton_ = textButton(this, QStringLiteral("Open Settings"));
    bar->addWidget(openSettingsButton_);
    layout->addLayout(bar);

    connect(newButton_, &QToolButton::clicked, this, &SettingsContentView::newRow);
    connect(deleteButton_, &QToolButton::clicked, this, &SettingsContentView::deleteRow);
    connect(editButton_, &QToolButton::clicked, this, &SettingsContentView::editRow);
    connect(duplicateButton_, &QToolButton::clicked, this, &SettingsContentView::newRowWithSelected);
    connect(disabledApplicationsButton_, &QPushButton::clicked, this, &SettingsContentView::showDisabledApplications);
    connect(inputMonitoringButton_, &QPushButton::clicked, this, &SettingsContentView::showInputMonitoringGrant);
    connect(openSettingsButton_, &QPushButton::clicked, this, [] {
        if (openSettingsHandler()) openSettingsHandler()();
        else diag::printLine(diag::Category::editor, "");
    });

    // Command is Control in windows here. A disabled button's shortcut does nothing.
    const auto shortcut = [this](const QKeySequence& keys, QToolButton* button, QWidget* scope) {
        auto* action = new QShortcut(keys, scope);
        action->setContext(scope == this ? Qt::WidgetWithChildrenShortcut : Qt::WidgetShortcut);
        connect(action, &QShortcut::activated, button, [button] {
            if (button->isEnabled()) button->click();
        });
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_N), newButton_, this);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_D), duplicateButton_, this);
    // Return edits only from the list: on a focused button it presses that button.
    shortcut(QKeySequence(Qt::Key_Return), editButton_, list_);
    shortcut(QKeySequence(Qt::Key_Enter), editButton_, list_);
    shortcut(QKeySequence(Qt::Key_Backspace), deleteButton_, this);
    shortcut(QKeySequence(Qt::Key_Delete), deleteButton_, this);
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) button->installEventFilter(this);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &SettingsContentView::selectionChanged);
    connect(model_, &QStandardItemModel::itemChanged, this, &SettingsContentView::itemChanged);
    connect(list_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        const FlatKeysAndActionRow* row = rowView_->rowAt(index);
        if (!row) return;
        selectRow(row->id);
        editRow();
    });

    store_ = settings::appGroupStore();
    const QPointer<SettingsContentView> self(this);
    // Sessions store their own values in the same suite: only a change of the rows is drawn.
    observer_ = store_->addObserver([self] {
        if (self && self->store_->string(settings::keys::flatKeysAndActionRows) != self->renderedRowsText_)
            self->scheduleRender();
    });
    namesObserver_ = NotificationCenter::local().addObserver(std::string(words::applicationNamesDidChange),
                                                             [self](const Notification&) {
                                                                 if (self) self->scheduleRender();
                                                             });
    render();
}

SettingsContentView::~SettingsContentView() {
    if (store_) store_->removeObserver(observer_);
    NotificationCenter::local().removeObserver(namesObserver_);
}

void SettingsContentView::scheduleRender() {
    if (renderPending_) return;
    renderPending_ = true;
    QTimer::singleShot(0, this, [this] {
        renderPending_ = false;
        render();
    });
}

void SettingsContentView::render() {
    // The reading the configuration's generation made of the same text, and the text itself.
    const auto stored = settings::storedFlatKeysAndActionRows();
    sections_ = groupRows(stored->rows);
    renderedRowsText_ = stored->text;
    rowView_->clearCaches();
    rowView_->fitBadgeColumn(list_->font());
    {
        // The view must see the reset; only the selection's signals are held back.
        const QSignalBlocker blockSelection(list_->selectionModel());
        rendering_ = true;
        model_->clear();
        QStandardItem* root = model_->invisibleRootItem();
        QList<QStandardItem*> items;
        for (std::size_t s = 0; s < sections_.size(); ++s) {
            const Section& section = sections_[s];
            const SectionHeader sectionHeader(section.sectionAppScope);
            auto* header = new QStandardItem(sectionHeader.accessibleText());
            header->setData(QString::fromStdString(sectionHeader.symbolName()), Role::symbolRole);
            // Not enabled: keyboard moves and clicks pass over headers.
            header->setFlags(Qt::NoItemFlags);
            header->setData(static_cast<int>(Kind::header), Role::kindRole);
            header->setData(static_cast<int>(s), Role::sectionRole);
            header->setData(header->text(), Qt::AccessibleTextRole);
            items.append(header);
            for (std::size_t r = 0; r < section.rows.size(); ++r) {
                const auto& row = section.rows[r];
                auto* item = new RowItem(rowText(row), static_cast<int>(s), static_cast<int>(r),
                                         QString::fromStdString(row.id.string()));
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
                item->setCheckState(row.enabled ? Qt::Checked : Qt::Unchecked);
                items.append(item);
            }
        }
        root->appendRows(items);
        restoreSelection();
        rendering_ = false;
    }
    list_->viewport()->update();
    updateButtons();
}

void SettingsContentView::restoreSelection() {
    list_->selectionModel()->clearSelection();
    if (!selectedRowID_) return;
    const QString id = QString::fromStdString(selectedRowID_->string());
    for (int i = 0; i < model_->rowCount(); ++i) {
        const QModelIndex index = model_->index(i, 0);
        if (index.data(Role::rowIDRole).toString() != id) continue;
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list_->scrollTo(index);
        return;
    }
}

void SettingsContentView::selectionChanged() {
    const QModelIndexList selected = list_->selectionModel()->selectedIndexes();
    if (selected.isEmpty() && selectedRowID_ && !rowView_->rowAt(list_->currentIndex())) {
        // A click beside the rows keeps the selection, as headers cannot be selected.
        const QSignalBlocker block(list_->selectionModel());
        restoreSelection();
    } else if (selected.isEmpty()) {
        selectedRowID_.reset();
    } else if (const auto id = Uuid::fromString(selected.front().data(Role::rowIDRole).toString().toStdString())) {
        selectedRowID_ = *id;
    }
    updateButtons();
}

void SettingsContentView::updateButtons() {
    // Only whether there is a selection counts: a selected row that has gone leaves them on.
    const bool selected = selectedRowID_.has_value();
    deleteButton_->setEnabled(selected);
    editButton_->setEnabled(selected);
    duplicateButton_->setEnabled(selected);
    inputMonitoringButton_->setText(isListenEventAccessEnabled_ ? words::qt(words::inputMonitoringGranted)
                                                                : words::qt(words::grantInputMonitoring));
    inputMonitoringButton_->setAccessibleName(inputMonitoringButton_->text());
}

void SettingsContentView::itemChanged(QStandardItem* item) {
    if (rendering_) return;
    const FlatKeysAndActionRow* row = rowView_->rowAt(item->index());
    if (!row) return;
    const bool enabled = item->checkState() == Qt::Checked;
    if (enabled == row->enabled) return;
    FlatKeysAndActionRow changed = *row;
    changed.enabled = enabled;
    updateStoredRow(changed, *row);
    // When nothing was stored (the row has gone), the check box still shows what is stored.
    scheduleRender();
}

void SettingsContentView::selectRow(const Uuid& rowID) {
    selectedRowID_ = rowID;
    const QSignalBlocker block(list_->selectionModel());
    restoreSelection();
    updateButtons();
}

void SettingsContentView::present(const std::optional<RowComposeSheet::ChangeKind>& change) {
    if (!change) return;
    const QPointer<SettingsContentView> self(this);
    RowComposeSheet::present(*change, [self](const std::optional<FlatKeysAndActionRow>& row) {
        if (self) self->rowSaved(row);
    });
}

void SettingsContentView::newRow() { present(newRowChange()); }

void SettingsContentView::editRow() { present(editRowChange(selectedRowID_)); }

void SettingsContentView::newRowWithSelected() { present(newRowWithSelectedChange(selectedRowID_)); }

void SettingsContentView::deleteRow() {
    flateditor::deleteRow(selectedRowID_);
    // The store's observer renders the list again; until then the selection is the successor.
    const QSignalBlocker block(list_->selectionModel());
    restoreSelection();
    updateButtons();
}

void SettingsContentView::rowSaved(const std::optional<FlatKeysAndActionRow>& row) {
    if (row) selectRow(row->id);
    else {
        selectedRowID_.reset();
        const QSignalBlocker block(list_->selectionModel());
        restoreSelection();
        updateButtons();
    }
}

void SettingsContentView::refreshInputMonitoring() {
    const auto& access = ListenEventAccess::shared();
    isListenEventAccessEnabled_ = access.preflight && access.preflight();
    updateButtons();
}

void SettingsContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refreshInputMonitoring();
}

// The observer may start or stop while the list is up (the leader keys load after the window
// shows, the sheet turns it on): the label is read again whenever the window comes to the front.
bool SettingsContentView::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) refreshInputMonitoring();
    return QWidget::event(event);
}

// Buttons take Space by themselves; Return and Enter press them too, as the keys do in dialogs.
bool SettingsContentView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool returnKey = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (button && returnKey && modifiers == Qt::NoModifier) {
            if (button->isEnabled() && !key->isAutoRepeat()) button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsContentView::showDisabledApplications() {
    auto* sheet = new DisabledApplicationsView(settings::disabledApplications(), settings::suggestedDisabledApplicationPaths(),
                                               this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void SettingsContentView::showInputMonitoringGrant() {
    auto* sheet = new InputMonitoringGrantView(this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

} // namespace tavlin::flateditor
