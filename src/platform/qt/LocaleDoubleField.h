#pragma once

#include <functional>
#include <optional>

#include <QtWidgets/QLineEdit>

namespace tavlin::qt {

// A number entry in the user's locale: right-aligned, with a placeholder, no range. The text is
// read with `QLocale()` when editing finishes and shown back in that locale's shortest form.
// Text that does not read as a number, or reads as infinity or NaN, puts the last value back and
// reports nothing: an infinite delay would make the rows unstorable, a NaN height leaves the
// indicator without a size.
class LocaleDoubleField : public QLineEdit {
public:
    explicit LocaleDoubleField(const QString& placeholder = {}, QWidget* parent = nullptr);

    // Shows a value without reporting it.
    void setValue(double value);
    double value() const { return value_; }

    // Called with each value the user enters.
    void setValueHandler(std::function<void(double)> handler) { handler_ = std::move(handler); }

    // Also report a value as soon as the typed text reads as one, for editors that store every
    // keystroke; the text is still only tidied when editing finishes.
    void setCommitsWhileTyping(bool commits) { commitsWhileTyping_ = commits; }

    // A finite number read in the current default locale, or none.
    static std::optional<double> parse(const QString& text);
    // The shortest text that reads back as `value` in the current default locale.
    static QString format(double value);

private:
    void finishEditing();

    double value_ = 0;
    std::function<void(double)> handler_;
    bool commitsWhileTyping_ = false;
};

} // namespace tavlin::qt
