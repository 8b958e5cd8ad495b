#include "platform/qt/LocaleDoubleField.h"

#include <cmath>

#include <QtCore/QLocale>

namespace tavlin::qt {

LocaleDoubleField::LocaleDoubleField(const QString& placeholder, QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setPlaceholderText(placeholder);
    setText(format(value_));
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!commitsWhileTyping_) return;
        if (const auto parsed = parse(text)) {
            value_ = *parsed;
            if (handler_) handler_(*parsed);
        }
    });
    connect(this, &QLineEdit::editingFinished, this, &LocaleDoubleField::finishEditing);
}

void LocaleDoubleField::setValue(double value) {
    value_ = value;
    setText(format(value));
}

void LocaleDoubleField::finishEditing() {
    if (!isModified()) return;
    const auto parsed = parse(text());
    // setText clears the modified flag, so a second finish (Return, then focus out) does nothing.
    setText(format(parsed.value_or(value_)));
    if (!parsed) return;
    value_ = *parsed;
    if (handler_) handler_(*parsed);
}

std::optional<double> LocaleDoubleField::parse(const QString& text) {
    bool ok = false;
    const double value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

QString LocaleDoubleField::format(double value) { return QLocale().toString(value, 'g', QLocale::FloatingPointShortest); }

} // namespace tavlin::qt
