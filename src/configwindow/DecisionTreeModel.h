#pragma once

#include <memory>
#include <unordered_map>

#include <QtCore/QAbstractItemModel>
#include <QtCore/QHash>

#include "configwindow/core/ConfigurationWindowModel.h"
#include "configwindow/core/DecisionTreeRows.h"
#include "platform/desktop/NotificationCenter.h"

class QTextDocument;

namespace tavlin {

// The decision tree as an item model of one column: a decision's actions, then its chances, each
// chance the parent of its own decision's rows. It is reset around every change of the window
// model; the display (and accessible) text of a row is its plain text.
class DecisionTreeModel final : public QAbstractItemModel {
public:
    enum Role {
        IsChanceRole = Qt::UserRole + 1,
        ItemIDRole, // the action's or chance's identifier, as text
    };

    explicit DecisionTreeModel(ConfigurationWindowModel& model, QObject* parent = nullptr);
    ~DecisionTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const DecisionTreeRows& rows() const { return *rows_; }
    const DecisionTreeRows::Row* row(const QModelIndex& index) const;
    QModelIndex indexOf(const DecisionTreeRows::Row* row) const;
    QModelIndex actionIndex(const Uuid& id) const;
    QModelIndex chanceIndex(const Uuid& id) const;

    // The rendered shown part of the description of an action row that has one, else null. Kept
    // until the text changes, so painting and reading never render it twice.
    const QTextDocument* descriptionDocument(const QModelIndex& index) const;

private:
    void rebuild();

    ConfigurationWindowModel& model_;
    ConfigurationWindowModel::ObserverToken token_;
    NotificationCenter::Token namesObserver_ = 0;
    std::unique_ptr<DecisionTreeRows> rows_;
    DecisionPtr root_; // keeps the tree the rows point into alive
    mutable QHash<QString, std::shared_ptr<QTextDocument>> documents_;
    mutable std::unordered_map<const DecisionTreeRows::Row*, QString> texts_; // display texts, until the next change
};

} // namespace tavlin
