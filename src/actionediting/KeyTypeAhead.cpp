#include "actionediting/KeyTypeAhead.h"

#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListView>

#include "actionediting/core/TypeAhead.h"
#include "platform/PeopleWords.h"

namespace tavlin {
namespace {

// A combo box hands what is typed to its list's keyboardSearch, shown or not.
class KeyTypeAheadList final : public QListView {
public:
    using QListView::QListView;

    void keyboardSearch(const QString& search) override {
        if (!model() || search.isEmpty()) return;
        // What is typed within the desktop's interval is one search, as in every list.
        const bool goesOn = !typed_.isEmpty() && sinceTyped_.isValid() &&
                            sinceTyped_.elapsed() <= QApplication::keyboardInputInterval();
        typed_ = goesOn ? typed_ + search : search;
        sinceTyped_.start();

        std::vector<std::string> names;
        const int rows = model()->rowCount(rootIndex());
        for (int row = 0; row < rows; ++row) names.push_back(item(row).data().toString().toStdString());
        const auto lacking = [this](std::size_t row) {
            const QVariant code = item(static_cast<int>(row)).data(Qt::UserRole);
            return code.isValid() && !words::pcKeyboardHasKey(code.toInt());
        };
        auto found = typeahead::best(names, typed_.toStdString(), lacking);
        if (!found && typed_.count(typed_.front()) == typed_.size()) found = nextStartingWith(names, typed_.front());
        if (found) setCurrentIndex(item(static_cast<int>(*found)));
    }

private:
    QModelIndex item(int row) const { return model()->index(row, modelColumn(), rootIndex()); }

    // The next name after the current one that starts with `letter`, round the end.
    std::optional<std::size_t> nextStartingWith(const std::vector<std::string>& names, QChar letter) const {
        const std::string wanted = QString(letter).toStdString();
        const std::size_t count = names.size();
        const std::size_t start = currentIndex().isValid() ? static_cast<std::size_t>(currentIndex().row()) + 1 : 0;
        for (std::size_t step = 0; step < count; ++step) {
            const std::size_t row = (start + step) % count;
            const auto m = typeahead::match(names[row], wanted);
            if (m == typeahead::Match::exact || m == typeahead::Match::prefix) return row;
        }
        return std::nullopt;
    }

    QString typed_;
    QElapsedTimer sinceTyped_;
};

} // namespace

void installKeyTypeAhead(QComboBox& picker) { picker.setView(new KeyTypeAheadList(&picker)); }

} // namespace tavlin
