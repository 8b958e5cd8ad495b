#include "shortcutkit/qt/ActionShortcut.h"

#include <map>

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include "platform/desktop/NotificationCenter.h"
#include "platform/keys/KeyboardLayout.h"
#include "platform/text/Unicode.h"
#include "shortcutkit/ShortcutStore.h"

namespace tavlin::shortcutkit {
namespace {

const char* const observerObjectName = "tavlin-shortcut-observer";

const std::map<std::int64_t, int>& keysByCode() {
    static const std::map<std::int64_t, int> keys{
        {49, Qt::Key_Space},   {36, Qt::Key_Return}, {48, Qt::Key_Tab},    {53, Qt::Key_Escape},  {51, Qt::Key_Backspace},
        {117, Qt::Key_Delete}, {115, Qt::Key_Home},  {119, Qt::Key_End},   {116, Qt::Key_PageUp}, {121, Qt::Key_PageDown},
        {114, Qt::Key_Help},   {123, Qt::Key_Left},  {124, Qt::Key_Right}, {125, Qt::Key_Down},   {126, Qt::Key_Up},
        {122, Qt::Key_F1},     {120, Qt::Key_F2},    {99, Qt::Key_F3},     {118, Qt::Key_F4},     {96, Qt::Key_F5},
        {97, Qt::Key_F6},      {98, Qt::Key_F7},     {100, Qt::Key_F8},    {101, Qt::Key_F9},     {109, Qt::Key_F10},
        {103, Qt::Key_F11},    {111, Qt::Key_F12},   {105, Qt::Key_F13},   {107, Qt::Key_F14},    {113, Qt::Key_F15},
        {106, Qt::Key_F16},    {64, Qt::Key_F17},    {79, Qt::Key_F18},    {80, Qt::Key_F19},     {90, Qt::Key_F20},
    };
    return keys;
}

// The key a layout character stands for: Qt names character keys by their upper-case code.
std::optional<int> characterKey(const Shortcut& shortcut) {
    const auto layout = currentAsciiCapableKeyboardLayout();
    if (!layout || shortcut.carbonKeyCode < 0 || shortcut.carbonKeyCode > 0xFFFF) return std::nullopt;
    const auto text = layout->displayText(static_cast<int>(shortcut.carbonKeyCode));
    if (!text || unicode::characterCount(*text) != 1) return std::nullopt;
    const QString upper = QString::fromStdString(*text).toUpper();
    const auto scalars = upper.toUcs4();
    if (scalars.size() != 1) return std::nullopt;
    return static_cast<int>(scalars.front());
}

// The binding of one action: observes the name's changes, and goes with the action.
class Binding : public QObject {
public:
    Binding(QAction* action, Name name) : QObject(action), name_(std::move(name)) {
        setObjectName(QString::fromLatin1(observerObjectName));
        token_ = NotificationCenter::local().addObserver(shortcutByNameDidChange, [this, action](const Notification& n) {
            const Name* changed = changedName(n);
            if (changed && changed->rawValue == name_.rawValue) applyShortcut(action, getShortcut(name_));
        });
    }
    ~Binding() override { NotificationCenter::local().removeObserver(token_); }

private:
    Name name_;
    NotificationCenter::Token token_ = 0;
};

void removeBinding(QAction* action) {
    for (auto* binding : action->findChildren<QObject*>(QString::fromLatin1(observerObjectName), Qt::FindDirectChildrenOnly))
        delete binding;
}

} // namespace

QKeySequence keySequence(const Shortcut& shortcut) {
    int key = 0;
    if (const auto found = keysByCode().find(shortcut.carbonKeyCode); found != keysByCode().end()) key = found->second;
    else if (const auto character = characterKey(shortcut)) key = *character;
    if (key == 0) return {};
    Qt::KeyboardModifiers modifiers;
    if (shortcut.carbonModifiers & carbon::command) modifiers |= Qt::MetaModifier;
    if (shortcut.carbonModifiers & carbon::option) modifiers |= Qt::AltModifier;
    if (shortcut.carbonModifiers & carbon::control) modifiers |= Qt::ControlModifier;
    if (shortcut.carbonModifiers & carbon::shift) modifiers |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key)));
}

void applyShortcut(QAction* action, const std::optional<Shortcut>& shortcut) {
    if (!action) return;
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guarded = QPointer<QAction>(action), shortcut] {
                if (guarded) applyShortcut(guarded, shortcut);
            },
            Qt::QueuedConnection);
        return;
    }
    action->setShortcut(shortcut ? keySequence(*shortcut) : QKeySequence());
}

void setShortcut(QAction* action, const std::optional<Name>& name) {
    if (!action) return;
    removeBinding(action);
    if (!name) {
        action->setShortcut(QKeySequence());
        return;
    }
    applyShortcut(action, getShortcut(*name));
    new Binding(action, *name);
}

} // namespace tavlin::shortcutkit
