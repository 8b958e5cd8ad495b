#include "shortcutkit/qt/WidgetShortcut.h"

#include <QObject>
#include <QWidget>

#include "shortcutkit/EventStream.h"

namespace tavlin::shortcutkit {
namespace {

// Holds a stream as a child of the widget, so the stream ends with it.
class StreamHolder : public QObject {
public:
    StreamHolder(QWidget* widget, EventStream stream) : QObject(widget), stream_(std::move(stream)) {}

private:
    EventStream stream_;
};

} // namespace

void onKeyboardShortcut(QWidget* widget, const Name& name, std::function<void(EventType)> perform) {
    if (!widget) return;
    new StreamHolder(widget, events(name, [perform = std::move(perform)](EventType type) {
                         if (perform) perform(type);
                     }));
}

void onKeyboardShortcut(QWidget* widget, const Name& name, EventType type, std::function<void()> perform) {
    if (!widget) return;
    new StreamHolder(widget, events(type, name, [perform = std::move(perform)](EventType) {
                         if (perform) perform();
                     }));
}

} // namespace tavlin::shortcutkit
