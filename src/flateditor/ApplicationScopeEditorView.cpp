#include "flateditor/ApplicationScopeEditorView.h"

#include <algorithm>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include "actionediting/ApplicationInfo.h"
#include "flateditor/SymbolIcons.h"
#include "platform/qt/PlainText.h"

namespace tavlin::flateditor {
namespace {

constexpr int pathRole = Qt::UserRole + 1;
constexpr int maximumListHeight = 150;

QToolButton* symbolButton(QWidget* parent, const std::string& symbol, const QString& name) {
    auto* button = new QToolButton(parent);
    setSymbol(button, symbol);
    button->setText(name);
    button->setToolTip(name);
    button->setAccessibleName(name);
    return button;
}

} // namespace

ApplicationScopeEditorView::ApplicationScopeEditorView(const std::vector<std::string>& kindTitles, Handlers handlers,
                                                       QWidget* parent)
    : QWidget(parent), handlers_(std::move(handlers)) {
    setAccessibleName(QStringLiteral("Available in the applications"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* kindRow = new QHBoxLayout();
    // On X11 a combo box is read out by its current item; the label says what it is for.
    auto* kindLabel = new QLabel(QStringLiteral("Scope: "), this);
    kindLabel->setTextFormat(Qt::PlainText);
    kindPicker_ = new QComboBox(this);
    kindPicker_->setAccessibleName(QStringLiteral("Application scope"));
    kindLabel->setBuddy(kindPicker_);
    for (const auto& title : kindTitles) kindPicker_->addItem(QString::fromStdString(title));
    connect(kindPicker_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && handlers_.kindChosen) handlers_.kindChosen(index);
    });
    kindRow->addWidget(kindLabel);
    kindRow->addWidget(kindPicker_);
    kindRow->addStretch(1);
    layout->addLayout(kindRow);

    listPart_ = new QWidget(this);
    auto* listLayout = new QVBoxLayout(listPart_);
    listLayout->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget(listPart_);
    list_->setAccessibleName(QStringLiteral("Applications"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setIconSize(QSize(16, 16));
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->setMinimumSize(300, 71);
    listLayout->addWidget(list_);
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!handlers_.select) return;
        if (row < 0) handlers_.select(std::nullopt);
        else handlers_.select(list_->item(row)->data(pathRole).toString().toStdString());
    });

    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(0);
    buttons->addStretch(1);
    add_ = symbolButton(listPart_, "plus", QStringLiteral("Add application"));
    remove_ = symbolButton(listPart_, "minus", QStringLiteral("Remove application"));
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    listLayout->addLayout(buttons);
    connect(add_, &QToolButton::clicked, this, [this] {
        if (handlers_.add) handlers_.add();
    });
    connect(remove_, &QToolButton::clicked, this, [this] {
        if (handlers_.removeSelected) handlers_.removeSelected();
    });
    layout->addWidget(listPart_);
    setScope(0, {}, std::nullopt);
}

QIcon ApplicationScopeEditorView::iconFor(const std::string& path) {
    auto found = icons_.find(path);
    if (found == icons_.end()) found = icons_.emplace(path, ApplicationInfo::icon(path)).first;
    return found->second;
}

void ApplicationScopeEditorView::setScope(int kindIndex, const std::vector<std::string>& paths,
                                          const std::optional<std::string>& selectedPath) {
    {
        const QSignalBlocker block(kindPicker_);
        kindPicker_->setCurrentIndex(kindIndex);
    }
    listPart_->setVisible(kindIndex != 0);
    const QSignalBlocker block(list_);
    list_->clear();
    int selected = -1;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        // Names and paths as plain text: a path may hold anything, line breaks included.
        const QString path = QString::fromStdString(paths[i]);
        auto* item = new QListWidgetItem(iconFor(paths[i]), ApplicationInfo::name(paths[i]));
        item->setData(pathRole, path);
        item->setToolTip(qt::toolTipText(path));
        item->setData(Qt::AccessibleTextRole, item->text());
        item->setData(Qt::AccessibleDescriptionRole, path);
        list_->addItem(item);
        if (selected < 0 && selectedPath == paths[i]) selected = static_cast<int>(i);
    }
    list_->setCurrentRow(selected);
    remove_->setEnabled(selectedPath.has_value());
    // As tall as its rows within its bounds, so that a short list leaves the sheet short.
    int rows = 2 * list_->frameWidth();
    for (int row = 0; row < list_->count(); ++row) rows += list_->sizeHintForRow(row);
    list_->setMaximumHeight(std::clamp(rows, list_->minimumHeight(), maximumListHeight));
}

} // namespace tavlin::flateditor
