#include "shortcutkit/qt/QtMenuModel.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "platform/qt/MainMenu.h"
#include "shortcutkit/qt/KeyEventShortcut.h"

namespace tavlin::shortcutkit {
namespace {

constexpr std::int64_t functionKeyCodes[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                             103, 111, 105, 107, 113, 106, 64, 79,  80,  90};

QString plainTitle(QString text) {
    // "&&" is a literal ampersand; a single "&" marks the mnemonic.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

MenuItem itemOf(const QAction& action);

std::shared_ptr<Menu> menuOf(const QList<QAction*>& actions) {
    auto menu = std::make_shared<Menu>();
    for (const QAction* action : actions)
        if (action && !action->isSeparator()) menu->items.push_back(itemOf(*action));
    return menu;
}

MenuItem itemOf(const QAction& action) {
    MenuItem item;
    item.title = plainTitle(action.text()).toStdString();
    const QKeySequence sequence = action.shortcut();
    if (!sequence.isEmpty()) {
        item.keyEquivalent = keyEquivalentText(sequence[0]);
        item.keyEquivalentModifierMask = modifierFlags(sequence[0].keyboardModifiers());
    }
    if (const QMenu* submenu = action.menu()) item.submenu = menuOf(submenu->actions());
    return item;
}

} // namespace

std::string keyEquivalentText(QKeyCombination combination) {
    const int key = combination.key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F20) {
        const auto& equivalents = functionKeyEquivalents();
        const auto found = equivalents.find(functionKeyCodes[key - Qt::Key_F1]);
        return found == equivalents.end() ? std::string() : found->second;
    }
    // Keys of characters have their character's code; the others are beyond Unicode's planes.
    if (key <= 0 || key > 0x10FFFF) return {};
    const char32_t character = static_cast<char32_t>(key);
    return QString::fromUcs4(&character, 1).toLower().toStdString();
}

Menu menuModel(const QMenuBar& menuBar) { return *menuOf(menuBar.actions()); }

std::optional<QString> mainMenuItemUsing(const Shortcut& shortcut) {
    const QMenuBar* bar = qt::mainMenu();
    if (!bar) return std::nullopt;
    const Menu menu = menuModel(*bar);
    if (const MenuItem* item = itemMatching(menu, shortcut)) return QString::fromStdString(item->title);
    return std::nullopt;
}

} // namespace tavlin::shortcutkit
