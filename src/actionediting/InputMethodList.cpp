#include "actionediting/InputMethodList.h"

#include <QPixmap>

#include "platform/qt/ImageFile.h"

namespace tavlin {
namespace {

constexpr int iconSide = 16;

} // namespace

QIcon InputMethodList::iconFor(const InputSource& source) {
    if (!source.icon) return {};
    if (const auto* named = std::get_if<InputSource::NamedIcon>(&*source.icon))
        return QIcon::fromTheme(QString::fromStdString(named->name));
    // Read without blocking: the file is whatever the desktop named, a FIFO or a device included.
    const QImage image = qt::readImageFile(std::get<InputSource::ImageFile>(*source.icon).path);
    if (image.isNull()) return {};
    return QIcon(QPixmap::fromImage(image.scaled(iconSide, iconSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

InputMethodList::InputMethodList(const std::vector<InputSource>& sources, const std::optional<std::string>& selectedID,
                                 Changed changed, QWidget* parent)
    : QListWidget(parent), changed_(std::move(changed)) {
    setAccessibleName(QStringLiteral("Input Methods"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(iconSide, iconSide));
    setMinimumHeight(71);
    for (const auto& source : sources) {
        // QListWidgetItem text is never read as markup.
        auto* item = new QListWidgetItem(iconFor(source), QString::fromStdString(source.name), this);
        item->setData(Qt::AccessibleTextRole, item->text());
        ids_.push_back(source.id);
        if (selectedID && *selectedID == source.id && selectedItems().isEmpty()) {
            setCurrentItem(item);
            item->setSelected(true);
        }
    }
    // Connected only now: showing the stored choice is not a change.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        const auto selected = selectedItems();
        std::optional<std::string> id;
        if (!selected.isEmpty()) id = ids_[static_cast<std::size_t>(row(selected.front()))];
        if (changed_) changed_(id);
    });
}

} // namespace tavlin
