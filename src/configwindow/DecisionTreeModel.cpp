#include "configwindow/DecisionTreeModel.h"

#include <QtGui/QTextDocument>

#include "configwindow/SafeTextDocument.h"
#include "engine/ui/MarkdownText.h"
#include "platform/qt/PlainText.h"
#include "platform/qt/QtText.h"
#include "platform/text/PeopleWords.h"

namespace tavlin {

namespace {
constexpr qsizetype documentCacheLimit = 4096;

} // namespace

DecisionTreeModel::DecisionTreeModel(ConfigurationWindowModel& model, QObject* parent)
    : QAbstractItemModel(parent), model_(model) {
    token_ = model_.addObserver({[this] { beginResetModel(); },
                                 [this] {
                                     rebuild();
                                     endResetModel();
                                 }});
    // Rows name applications as the installed entries do: read again, the names may change.
    namesObserver_ = NotificationCenter::local().addObserver(std::string(words::applicationNamesDidChange),
                                                             [this](const Notification&) {
                                                                 emit layoutAboutToBeChanged();
                                                                 texts_.clear();
                                                                 emit layoutChanged();
                                                             });
    rebuild();
}

DecisionTreeModel::~DecisionTreeModel() {
    model_.removeObserver(token_);
    NotificationCenter::local().removeObserver(namesObserver_);
}

void DecisionTreeModel::rebuild() {
    root_ = model_.rootDecision();
    rows_ = std::make_unique<DecisionTreeRows>(root_);
    texts_.clear();
}

const DecisionTreeRows::Row* DecisionTreeModel::row(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const DecisionTreeRows::Row*>(index.internalPointer()) : nullptr;
}

QModelIndex DecisionTreeModel::indexOf(const DecisionTreeRows::Row* row) const {
    return row ? createIndex(row->row, 0, const_cast<DecisionTreeRows::Row*>(row)) : QModelIndex();
}

QModelIndex DecisionTreeModel::actionIndex(const Uuid& id) const { return indexOf(rows_->actionRow(id)); }
QModelIndex DecisionTreeModel::chanceIndex(const Uuid& id) const { return indexOf(rows_->chanceRow(id)); }

QModelIndex DecisionTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    const auto& children = rows_->children(this->row(parent));
    if (row >= static_cast<int>(children.size())) return {};
    return createIndex(row, 0, children[static_cast<std::size_t>(row)]);
}

QModelIndex DecisionTreeModel::parent(const QModelIndex& child) const {
    const auto* row = this->row(child);
    return row ? indexOf(row->parent) : QModelIndex();
}

int DecisionTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return static_cast<int>(rows_->children(row(parent)).size());
}

int DecisionTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool DecisionTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

Qt::ItemFlags DecisionTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

const QTextDocument* DecisionTreeModel::descriptionDocument(const QModelIndex& index) const {
    const auto* row = this->row(index);
    if (!row || row->kind != DecisionTreeRows::Row::Kind::action) return nullptr;
    const auto& description = row->action().actionDescription;
    if (!description) return nullptr;
    const QString key = renderingKey(*description);
    if (auto found = documents_.constFind(key); found != documents_.constEnd()) return found->get();
    if (documents_.size() >= documentCacheLimit) documents_.clear();
    auto document = std::make_shared<SafeTextDocument>();
    document->setUndoRedoEnabled(false);
    document->setDocumentMargin(0);
    document->setHtml(markdownHtml(*description));
    documents_.insert(key, document);
    return document.get();
}

QVariant DecisionTreeModel::data(const QModelIndex& index, int role) const {
    const auto* row = this->row(index);
    if (!row) return {};
    const bool isChance = row->kind == DecisionTreeRows::Row::Kind::chance;
    switch (role) {
    case Qt::ToolTipRole: {
        // An application shown by its name is told by its path too.
        QString tip = data(index, Qt::DisplayRole).toString();
        if (!isChance && !row->action().actionDescription)
            if (const auto path = row->action().kind.applicationPath(); path && !path->empty())
                tip += QLatin1Char('\n') + qt::qString(*path);
        return qt::toolTipText(tip);
    }
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        if (auto found = texts_.find(row); found != texts_.end()) return found->second;
        QString text;
        if (isChance) {
            text = qt::qString(DecisionTreeRows::chanceText(*row->chance));
        } else if (const auto* document = descriptionDocument(index)) {
            // A row shows one line; the reader gets the text without its markup.
            QString plain = document->toPlainText();
            plain.replace(QChar::ParagraphSeparator, QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
            text = QStringLiteral("- ") + plain;
        } else {
            text = qt::qString(DecisionTreeRows::actionText(row->action()));
        }
        return texts_.emplace(row, std::move(text)).first->second;
    }
    case IsChanceRole: return isChance;
    case ItemIDRole: return qt::qString(isChance ? row->chance->id.string() : row->action().id.string());
    default: return {};
    }
}

} // namespace tavlin
