#pragma once

// The shortcut-library fixture on the offscreen Qt platform: keys are typed as the X11 platform
// delivers them, the shortcut map first, then the key press carrying the X key code.

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QtTest/QTest>

#include "platform/keys/VirtualKeyCodes.h"
#include "shortcutkit/ShortcutKitTestSupport.h"
#include "support/QtTestApplication.h"

namespace tavlin::shortcutkit::test {

class QtShortcutKitTest : public ShortcutKitTest {
protected:
    void SetUp() override {
        tavlin::test::offscreenApplication();
        ShortcutKitTest::SetUp();
    }

    // Types the key (by virtual key code) with the modifiers at the focus widget, or at
    // `fallback` when nothing has focus. Answers whether a shortcut of the shortcut map fired.
    static bool type(Qt::Key key, int virtualKeyCode, Qt::KeyboardModifiers modifiers, QWidget* fallback) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : fallback;
        const auto xKeycode = keycodes::xKeycode(virtualKeyCode).value_or(0);
        if (::qt_sendShortcutOverrideEvent(target, 0, key, modifiers)) return true;
        QKeyEvent press(QEvent::KeyPress, key, modifiers, xKeycode, 0, 0);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, xKeycode, 0, 0);
        QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : fallback, &release);
        return false;
    }
};

} // namespace tavlin::shortcutkit::test
