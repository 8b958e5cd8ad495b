#include "actionediting/KeyTypeAhead.h"

#include <string>
#include <vector>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>

#include "actionediting/core/TypeAhead.h"
#include "platform/text/PeopleWords.h"

namespace tavlin {
namespace {

// Takes the letters typed into the picker, closed, or into its list, open, before Qt's own
// search sees them: that one takes the first name that starts with what was typed. The picker's
// own list is kept, since the style draws it as the picker's popup.
class KeyTypeAhead final : public QObject {
public:
    explicit KeyTypeAhead(QComboBox& picker) : QObject(&picker), picker_(picker) {
        picker.installEventFilter(this);
        picker.view()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
        const QString text = key->text();
        if (text.isEmpty() || !text.front().isPrint()) return false;
        // A space is part of a name only within one ("Page Up"); alone it opens the list.
        if (text == QStringLiteral(" ") && !goesOn()) return false;
        const auto found = search(text);
        if (!found) return true;
        const int row = static_cast<int>(*found);
        if (watched == picker_.view()) {
            picker_.view()->setCurrentIndex(picker_.model()->index(row, picker_.modelColumn(), picker_.rootModelIndex()));
        } else if (row != picker_.currentIndex()) {
            // As the closed box's own search does.
            picker_.setCurrentIndex(row);
            emit picker_.activated(row);
        }
        return true;
    }

private:
    // What is typed within the desktop's interval is one search, as in every list.
    bool goesOn() const {
        return !typed_.isEmpty() && sinceTyped_.isValid() && sinceTyped_.elapsed() <= QApplication::keyboardInputInterval();
    }

    std::optional<std::size_t> search(const QString& text) {
        typed_ = goesOn() ? typed_ + text : text;
        sinceTyped_.start();

        std::vector<std::string> names;
        const int rows = picker_.count();
        names.reserve(static_cast<std::size_t>(rows));
        for (int row = 0; row < rows; ++row) names.push_back(picker_.itemText(row).toStdString());
        const auto lacking = [this](std::size_t row) {
            const QVariant code = picker_.itemData(static_cast<int>(row));
            return code.isValid() && !words::pcKeyboardHasKey(code.toInt());
        };
        if (auto found = typeahead::best(names, typed_.toStdString(), lacking)) return found;
        // The same letter again steps on through the names it starts.
        if (typed_.count(typed_.front()) != typed_.size()) return std::nullopt;
        const int current = picker_.view()->isVisible() ? picker_.view()->currentIndex().row() : picker_.currentIndex();
        const std::string letter = QString(typed_.front()).toStdString();
        for (int step = 1; step <= rows; ++step) {
            const auto row = static_cast<std::size_t>((current + step + rows) % rows);
            const auto m = typeahead::match(names[row], letter);
            if (m == typeahead::Match::exact || m == typeahead::Match::prefix) return row;
        }
        return std::nullopt;
    }

    QComboBox& picker_;
    QString typed_;
    QElapsedTimer sinceTyped_;
};

} // namespace

void installKeyTypeAhead(QComboBox& picker) { new KeyTypeAhead(picker); }

} // namespace tavlin
