#include "configwindow/ConfigurationWindowContentView.h"

#include <utility>

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QVBoxLayout>

#include "configwindow/ActionComposeSheet.h"
#include "configwindow/DecisionTreeView.h"
#include "configwindow/LeaderKeyColumn.h"
#include "configwindow/PatternComposeSheet.h"
#include "configwindow/core/ContextMenu.h"
#include "configwindow/core/MenuItem.h"
#include "engine/HotKeyManager.h"
#include "model/Settings.h"
#include "platform/desktop/Workspace.h"
#include "platform/qt/FocusRing.h"
#include "platform/qt/QtText.h"
#include "sandbox/BundleNames.h"

namespace tavlin {

namespace {

QPointer<ConfigurationWindowContentView>& newestView() {
    static QPointer<ConfigurationWindowContentView> view;
    return view;
}

void askWithWarningBox(QWidget* parent, std::function<void(bool)> answer) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString(), QStringLiteral("The configuration will be sorted by pattern."),
                                QMessageBox::NoButton, parent);
    box->setInformativeText(QStringLiteral("The proper working of your configuration may depend on the order of the patterns."));
    auto* confirm = box->addButton(QStringLiteral("Confirm"), QMessageBox::AcceptRole);
    auto* cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    confirm->setAccessibleName(QStringLiteral("Confirm"));
    cancel->setAccessibleName(QStringLiteral("Cancel"));
    // Sorting cannot be undone: only a deliberate choice confirms it, and focus on Confirm must
    // not make it the default.
    confirm->setAutoDefault(false);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, confirm, answer = std::move(answer)](int) { answer(box->clickedButton() == confirm); });
    box->open();
}

ConfigurationWindowContentView::SortConfirmer& sortConfirmer() {
    static ConfigurationWindowContentView::SortConfirmer confirmer = askWithWarningBox;
    return confirmer;
}

// A flat button drawn as a link, with a focus ring while it has the keyboard focus.
class LinkButton final : public QPushButton {
public:
    LinkButton(const QString& title, QWidget* parent) : QPushButton(title, parent) {
        setFlat(true);
        setCursor(Qt::PointingHandCursor);
        setAutoDefault(false);
        setAccessibleName(title);
        QPalette palette = this->palette();
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
        setPalette(palette);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPushButton::paintEvent(event);
        if (hasFocus()) qt::drawFocusRing(*this, rect());
    }
};

QPushButton* linkButton(const QString& title, QWidget* parent) { return new LinkButton(title, parent); }

} // namespace

ConfigurationWindowContentView::ConfigurationWindowContentView(ConfigurationWindowModel& model, Selection& selection,
                                                               CommandHandler commandHandler, QWidget* parent)
    : QWidget(parent), model_(model), selection_(selection), commandHandler_(std::move(commandHandler)) {
    setAccessibleName(QStringLiteral("Configuration"));
    build();
    modelToken_ = model_.addObserver({nullptr, [this] { refresh(); }});
    selectionToken_ = selection_.addObserver([this] {
        if (nodeEditMenuChanged_) nodeEditMenuChanged_();
    });
    settingsStore_ = settings::appGroupStore();
    settingsToken_ = settingsStore_->addObserver([this] { refreshSettings(); });
    newestView() = this;
    refresh();
    refreshSettings();
}

ConfigurationWindowContentView::~ConfigurationWindowContentView() {
    settingsStore_->removeObserver(settingsToken_);
    selection_.removeObserver(selectionToken_);
    model_.removeObserver(modelToken_);
}

ConfigurationWindowContentView* ConfigurationWindowContentView::newest() { return newestView().data(); }

void ConfigurationWindowContentView::build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pages_ = new QStackedWidget(this);
    layout->addWidget(pages_, 1);

    // The flat editor's page; the flat list itself lives in the flat editor.
    flatPage_ = new QWidget(pages_);
    auto* flatLayout = new QVBoxLayout(flatPage_);
    const auto file = Configuration::fileURL();
    auto* location = new QLabel(file ? qt::qString(file->string()) : QString(), flatPage_);
    location->setTextFormat(Qt::PlainText);
    location->setTextInteractionFlags(Qt::TextSelectableByMouse);
    location->setAlignment(Qt::AlignCenter);
    location->setAccessibleName(location->text());
    flatLayout->addWidget(location);
    pages_->addWidget(flatPage_);

    errorPage_ = new QWidget(pages_);
    auto* errorLayout = new QVBoxLayout(errorPage_);
    errorLabel_ = new QLabel(errorPage_);
    errorLabel_->setTextFormat(Qt::PlainText);
    errorLabel_->setWordWrap(true);
    errorLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    errorLayout->addWidget(errorLabel_);
    errorLayout->addStretch();
    pages_->addWidget(errorPage_);

    // The tree editor is made when first shown: a generated configuration shows the flat list
    // instead, and a tree of many chances costs time, memory and an accessibility walk for
    // nothing while hidden.
    treePage_ = new QWidget(pages_);
    pages_->addWidget(treePage_);
    buildBottomBar();
}

void ConfigurationWindowContentView::setFlatEditorMaker(std::function<QWidget*(QWidget* page)> maker) {
    flatEditorMaker_ = std::move(maker);
    if (pages_->currentWidget() == flatPage_) buildFlatEditor();
}

void ConfigurationWindowContentView::buildFlatEditor() {
    if (!flatEditorMaker_) return;
    const auto maker = std::exchange(flatEditorMaker_, nullptr);
    for (QWidget* placeholder : flatPage_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) delete placeholder;
    flatPage_->layout()->addWidget(maker(flatPage_));
}

void ConfigurationWindowContentView::buildTreePage() {
    if (treeView_) return;
    auto* treeLayout = new QVBoxLayout(treePage_);
    auto* topRow = new QHBoxLayout();
    leaderKeyColumn_ = new LeaderKeyColumn(model_, HotKeyManager::shared(), treePage_);
    borderToggle_ = new QCheckBox(QStringLiteral("Show Decision Border"), treePage_);
    borderToggle_->setAccessibleName(borderToggle_->text());
    connect(borderToggle_, &QCheckBox::toggled, this, [this](bool on) {
        if (settings::showDecisionBorder() == on || settings::storePreference(settings::keys::showDecisionBorder, on)) return;
        const QSignalBlocker blocker(borderToggle_);
        borderToggle_->setChecked(settings::showDecisionBorder());
    });
    topRow->addWidget(leaderKeyColumn_, 0, Qt::AlignTop);
    topRow->addStretch();
    topRow->addWidget(borderToggle_, 0, Qt::AlignTop);
    treeLayout->addLayout(topRow);

    auto* group = new QGroupBox(treePage_);
    group->setAccessibleName(QStringLiteral("Decision Tree"));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(0, 0, 0, 0);
    treeArea_ = new QStackedWidget(group);
    emptyTreePage_ = new QWidget(treeArea_);
    emptyTreePage_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(emptyTreePage_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { showContextMenu(emptyTreePage_, position); });
    auto* emptyLayout = new QHBoxLayout(emptyTreePage_);
    loadSampleButton_ = new QPushButton(QStringLiteral("Load Sample Decision"), emptyTreePage_);
    loadSampleButton_->setAccessibleName(loadSampleButton_->text());
    loadSampleButton_->setAutoDefault(false);
    connect(loadSampleButton_, &QPushButton::clicked, this, [this] { model_.loadSampleDecision(); });
    emptyLayout->addWidget(loadSampleButton_, 0, Qt::AlignTop);
    emptyLayout->addStretch();
    treeView_ = new DecisionTreeView(model_, selection_, treeArea_);
    treeView_->setCommandHandler([this](CommandKind kind) { run(kind); });
    connect(treeView_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { showContextMenu(treeView_->viewport(), position); });
    treeArea_->addWidget(emptyTreePage_);
    treeArea_->addWidget(treeView_);
    groupLayout->addWidget(treeArea_);
    treeLayout->addWidget(group, 1);
    leaderKeyColumn_->setEditorsRemade([this] { chainFocusInLayoutOrder(); });
    refreshSettings();
}

void ConfigurationWindowContentView::buildBottomBar() {
    bottomBar_ = new QWidget(this);
    auto* bottom = new QHBoxLayout(bottomBar_);
    backgroundNote_ = new QWidget(bottomBar_);
    auto* noteLayout = new QVBoxLayout(backgroundNote_);
    noteLayout->setContentsMargins(0, 0, 0, 0);
    const std::string name = sandbox::appDisplayName();
    quitButton_ = linkButton(name.empty() ? QStringLiteral("Quit") : QStringLiteral("Quit ") + qt::qString(name),
                             backgroundNote_);
    // As SIGTERM does: quitting would ask the window to close, and it only hides.
    connect(quitButton_, &QPushButton::clicked, this, [] { QCoreApplication::exit(0); });
    auto* note = new QLabel(QStringLiteral("Closing the window won't stop background running."), backgroundNote_);
    note->setAccessibleName(note->text());
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    note->setFont(small);
    noteLayout->addWidget(quitButton_, 0, Qt::AlignLeft);
    noteLayout->addWidget(note);
    bottom->addWidget(backgroundNote_, 0, Qt::AlignBottom);
    bottom->addStretch();
    auto* files = new QVBoxLayout();
    openFileButton_ = linkButton(QStringLiteral("Open Configuration File"), bottomBar_);
    reloadFileButton_ = linkButton(QStringLiteral("Reload Configuration File"), bottomBar_);
    connect(openFileButton_, &QPushButton::clicked, this, [] {
        if (const auto file = Configuration::fileURL()) Workspace::shared().activateFileViewerSelecting(file->string());
    });
    connect(reloadFileButton_, &QPushButton::clicked, this, [this] { model_.reloadConfigurationFile(); });
    files->addWidget(openFileButton_, 0, Qt::AlignRight);
    files->addWidget(reloadFileButton_, 0, Qt::AlignRight);
    bottom->addLayout(files);
    layout()->addWidget(bottomBar_);
}

void ConfigurationWindowContentView::refresh() {
    const auto configuration = model_.configuration();
    if (const auto* error = model_.error()) {
        errorLabel_->setText(qt::qString(*error));
        errorLabel_->setAccessibleName(errorLabel_->text());
        pages_->setCurrentWidget(errorPage_);
    } else if (configuration && configuration->isGenerated()) {
        buildFlatEditor();
        pages_->setCurrentWidget(flatPage_);
    } else {
        buildTreePage();
        const auto root = configuration ? configuration->decision : nullptr;
        const bool empty = !root || (root->actions.empty() && root->chances.empty());
        treeArea_->setCurrentWidget(empty ? emptyTreePage_ : static_cast<QWidget*>(treeView_));
        pages_->setCurrentWidget(treePage_);
    }
    bottomBar_->setVisible(pages_->currentWidget() != flatPage_);
    chainFocusInLayoutOrder();
}

// Tab follows the layout, top to bottom and left to right. The leader-key column makes its
// editors anew as the model changes, and says so.
void ConfigurationWindowContentView::chainFocusInLayoutOrder() {
    if (!leaderKeyColumn_) return; // the tree page is made when first shown
    qt::chainFocus({flatPage_, leaderKeyColumn_, leaderKeyColumn_->addMoreLabel(), borderToggle_, treeArea_, backgroundNote_,
                    openFileButton_, reloadFileButton_});
}

void ConfigurationWindowContentView::refreshSettings() {
    backgroundNote_->setVisible(settings::hideDockIcon());
    if (!treeView_) return;
    const bool border = settings::showDecisionBorder();
    {
        const QSignalBlocker blocker(borderToggle_);
        borderToggle_->setChecked(border);
    }
    treeView_->setShowDecisionBorder(border);
}

void ConfigurationWindowContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window opens with nothing focused, so no key reaches a control by surprise.
    QTimer::singleShot(0, this, [this] {
        if (QWidget* focused = window()->focusWidget()) focused->clearFocus();
    });
}

void ConfigurationWindowContentView::run(CommandKind kind) {
    if (commandHandler_) commandHandler_(kind);
}

std::vector<NodeEditMenuEntry> ConfigurationWindowContentView::nodeEditMenuEntries() {
    std::vector<NodeEditMenuEntry> entries;
    QPointer<ConfigurationWindowContentView> self(this);
    for (const auto& item : nodeEditMenuItems(selection_.current())) {
        if (item.isSeparator) {
            entries.push_back({true, {}, false, nullptr});
            continue;
        }
        const CommandKind kind = item.kind;
        entries.push_back({false, qt::qString(item.title), item.available, [self, kind] {
                               if (self) self->run(kind);
                           }});
    }
    return entries;
}

QMenu* ConfigurationWindowContentView::makeContextMenu() {
    if (!model_.configuration()) return nullptr;
    auto* menu = new QMenu(this);
    menu->setAccessibleName(QStringLiteral("Context Menu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& entry : contextMenuEntries(selection_.current())) {
        switch (entry.type) {
        case ContextMenuEntry::Type::header: menu->addAction(qt::qString(entry.title))->setEnabled(false); break;
        case ContextMenuEntry::Type::divider: menu->addSeparator(); break;
        case ContextMenuEntry::Type::command: {
            const CommandKind kind = entry.kind;
            menu->addAction(qt::qString(entry.title), this, [this, kind] { run(kind); });
            break;
        }
        }
    }
    return menu;
}

void ConfigurationWindowContentView::showContextMenu(QWidget* source, const QPoint& position) {
    if (QMenu* menu = makeContextMenu()) menu->popup(source->mapToGlobal(position));
}

void ConfigurationWindowContentView::present(QDialog* sheet) {
    if (sheet_) {
        sheet_->reject();
        sheet_->deleteLater();
    }
    sheet_ = sheet;
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
}

void ConfigurationWindowContentView::presentActionSheet(ActionSheetItem item) {
    present(new ActionComposeSheet(std::move(item), this));
}

void ConfigurationWindowContentView::presentPatternSheet(PatternSheetItem item) {
    present(new PatternComposeSheet(std::move(item), this));
}

void ConfigurationWindowContentView::confirmSort(std::function<void(bool)> answer) { sortConfirmer()(this, std::move(answer)); }

void ConfigurationWindowContentView::setSortConfirmer(SortConfirmer confirmer) {
    sortConfirmer() = confirmer ? std::move(confirmer) : SortConfirmer(askWithWarningBox);
}

NodeEditCommandExecutor::Presenter ConfigurationWindowContentView::presenter(std::function<void()> showConfigurationWindow) {
    NodeEditCommandExecutor::Presenter presenter;
    presenter.showConfigurationWindow = std::move(showConfigurationWindow);
    presenter.presentActionSheet = [](ActionSheetItem item) {
        if (auto* view = newest()) view->presentActionSheet(std::move(item));
    };
    presenter.presentPatternSheet = [](PatternSheetItem item) {
        if (auto* view = newest()) view->presentPatternSheet(std::move(item));
    };
    presenter.confirmSort = [](std::function<void(bool)> answer) {
        if (auto* view = newest()) view->confirmSort(std::move(answer));
        else sortConfirmer()(nullptr, std::move(answer));
    };
    return presenter;
}

} // namespace tavlin
