#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>

#include "platform/linux/ApplicationCatalog.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace tavlin {

// "Choose Application": the installed desktop entries, sorted by name, with a filter. "Other…"
// chooses any desktop entry or executable in the open panel. The answer is a path.
class ApplicationChooserDialog final : public QDialog {
    Q_OBJECT

public:
    // Entries that ask to stay out of lists are left out.
    // `other` runs the open panel of "Other…": the path chosen there, or nothing.
    using OtherChooser = std::function<std::optional<std::string>()>;
    ApplicationChooserDialog(const std::vector<xdg::ApplicationCatalog::Entry>& entries, OtherChooser other,
                             QWidget* parent = nullptr);

    // The whole chooser: the dialog over the installed entries as a reading begun now finds
    // them (GIO's notice of an entry just installed may not have come yet); nothing when
    // cancelled.
    static std::optional<std::string> choose(OtherChooser other);

    QLineEdit* filterField() const { return filter_; }
    QListWidget* list() const { return list_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* otherButton() const { return other_; }
    const std::optional<std::string>& chosenPath() const { return chosen_; }

    // Shows only the entries whose name, id or Exec program contains the text, in any case: the
    // one of that very name first, then names that start with it, then the others; the first
    // becomes the current one.
    void setFilter(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Candidate {
        std::string path;
        QString name;
        QString searchText; // name, id and program, folded
        std::string icon;
    };

    void chooseCurrent();
    void chooseOther();
    void updateButtons();

    std::vector<Candidate> candidates_;
    OtherChooser otherChooser_;
    std::optional<std::string> chosen_;
    QLineEdit* filter_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* choose_ = nullptr;
    QPushButton* other_ = nullptr;
};

} // namespace tavlin
