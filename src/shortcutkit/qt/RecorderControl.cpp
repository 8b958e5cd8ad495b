#include "shortcutkit/qt/RecorderControl.h"

#include <algorithm>
#include <utility>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include "platform/qt/FieldWidth.h"
#include "platform/qt/FocusRing.h"
#include "platform/qt/PlainText.h"
#include "shortcutkit/CarbonShortcutTable.h"
#include "shortcutkit/ShortcutStore.h"
#include "shortcutkit/qt/KeyEventShortcut.h"
#include "shortcutkit/qt/QtMenuModel.h"
#include "shortcutkit/qt/Texts.h"

namespace tavlin::shortcutkit {
namespace {

constexpr std::int64_t tabKey = 48, escapeKey = 53, deleteKey = 51, forwardDeleteKey = 117, f12Key = 111;
constexpr std::int64_t functionKeyCodes[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                             103, 111, 105, 107, 113, 106, 64, 79,  80,  90};

std::function<void()>& beepSeam() {
    static std::function<void()> beep;
    return beep;
}

std::function<void(QMessageBox*)>& alertSeam() {
    static std::function<void(QMessageBox*)> opened;
    return opened;
}

void beep() {
    if (const auto& seam = beepSeam()) seam();
    else QApplication::beep();
}

bool isFunctionKey(std::int64_t keyCode) {
    for (const auto code : functionKeyCodes)
        if (code == keyCode) return true;
    return false;
}

// A modifier key alone makes no key-down of its own.
bool isModifierKey(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R: return true;
    default: break;
    }
    const auto shortcut = shortcutFromKeyEvent(event);
    return shortcut && shortcut->carbonKeyCode >= 54 && shortcut->carbonKeyCode <= 63;
}

QString shortcutText(const std::optional<Shortcut>& shortcut) {
    return shortcut ? QString::fromStdString(shortcut->description()) : QString();
}

} // namespace

RecorderControl::RecorderControl(Name name, OnChange change, QWidget* parent)
    : QLineEdit(parent), onChange(std::move(change)), name_(std::move(name)) {
    setAlignment(Qt::AlignCenter);
    setPlaceholderText(localizedText("record_shortcut"));
    // Read-only: no typing, pasting, dropping or cursor; the field shows only the shortcut.
    setReadOnly(true);
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // No focus in the turn it is first shown, or a window would open recording.
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Keyboard shortcut"));
    setAccessibleDescription(localizedText("record_shortcut"));

    clearAction_ = addAction(style()->standardIcon(QStyle::SP_LineEditClearButton), QLineEdit::TrailingPosition);
    clearAction_->setText(QStringLiteral("Clear shortcut"));
    clearAction_->setToolTip(QStringLiteral("Clear shortcut"));
    connect(clearAction_, &QAction::triggered, this, [this] { clearShortcut(); });
    for (auto* button : findChildren<QToolButton*>()) {
        if (button->defaultAction() != clearAction_) continue;
        clearButton_ = button;
        button->setAccessibleName(QStringLiteral("Clear shortcut"));
        // A keyboard user clears by Tab and Space; a click still leaves the focus where it is.
        button->setFocusPolicy(Qt::TabFocus);
        button->installEventFilter(this);
    }

    showStoredShortcut();
    observer_ = NotificationCenter::local().addObserver(shortcutByNameDidChange, [this](const Notification& notification) {
        const Name* changed = changedName(notification);
        if (changed && changed->rawValue == name_.rawValue) showStoredShortcut();
    });
}

RecorderControl::~RecorderControl() {
    NotificationCenter::local().removeObserver(observer_);
    endRecording();
}

void RecorderControl::setShortcutName(Name name) {
    const bool differs = name.rawValue != name_.rawValue;
    name_ = std::move(name);
    if (differs) showStoredShortcut();
}

QSize RecorderControl::sizeHint() const {
    QSize size = QLineEdit::sizeHint();
    // Wide enough for either prompt and the shortcut, whatever the font and its scale.
    int width = minimumWidth;
    for (const QString& shown : {localizedText("record_shortcut"), localizedText("press_shortcut"), text()})
        width = std::max(width, qt::fieldWidthFor(*this, shown));
    size.setWidth(width);
    return size;
}

void RecorderControl::setBeep(std::function<void()> beep) { beepSeam() = std::move(beep); }

void RecorderControl::setAlertOpened(std::function<void(QMessageBox*)> opened) { alertSeam() = std::move(opened); }

void RecorderControl::showStoredShortcut() {
    setText(shortcutText(getShortcut(name_)));
    updateGeometry();
    updateClearButton();
}

void RecorderControl::updateClearButton() { clearAction_->setVisible(!text().isEmpty()); }

void RecorderControl::showEvent(QShowEvent* event) {
    QLineEdit::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    QTimer::singleShot(0, this, [this] { setFocusPolicy(Qt::StrongFocus); });
}

void RecorderControl::focusInEvent(QFocusEvent* event) {
    // setFocus ignores the focus policy: refuse it here until the control may take focus. Nor
    // is focus taken because the window came up or back: the keyboard would be grabbed without
    // the user having asked for it; only the answer to our own alert gives it back that way.
    const Qt::FocusReason reason = event->reason();
    const bool byWindow = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
    if (focusPolicy() == Qt::NoFocus || (byWindow && !recording_ && !std::exchange(resumeAfterAlert_, false))) {
        clearFocus();
        return;
    }
    QLineEdit::focusInEvent(event);
    startRecording();
    emit focusChanged(true);
}

void RecorderControl::focusOutEvent(QFocusEvent* event) {
    // Focus moved on within the window: the alert's answer no longer brings it back.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) resumeAfterAlert_ = false;
    QLineEdit::focusOutEvent(event);
    endRecording();
    emit focusChanged(false);
}

void RecorderControl::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    // Focused after a recording, idle: a click records again.
    if (event->button() == Qt::LeftButton && hasFocus() && !recording_) startRecording();
}

void RecorderControl::startRecording() {
    if (recording_) return;
    recording_ = true;
    setPlaceholderText(localizedText("press_shortcut"));
    setAccessibleDescription(localizedText("press_shortcut"));
    updateClearButton();
    qApp->installEventFilter(this);
    // Combinations other programs grab reach us only while we hold the keyboard.
    // Only X11 has other programs' grabs to get past (and other platforms complain).
    QWindow* handle = window()->windowHandle();
    if (handle && QGuiApplication::platformName() == QLatin1String("xcb") && handle->setKeyboardGrabEnabled(true))
        grabbedWindow_ = handle;
}

void RecorderControl::endRecording() {
    if (!recording_) return;
    recording_ = false;
    qApp->removeEventFilter(this);
    if (grabbedWindow_) grabbedWindow_->setKeyboardGrabEnabled(false);
    grabbedWindow_ = nullptr;
    setPlaceholderText(localizedText("record_shortcut"));
    setAccessibleDescription(localizedText("record_shortcut"));
    updateClearButton();
}

void RecorderControl::blur() {
    // Focus may already be elsewhere (another window is active): recording ends all the same.
    clearFocus();
    endRecording();
}

void RecorderControl::clearShortcut() {
    // Focused (and recording) before the clear button hides, which would pass its focus on.
    setFocus(Qt::OtherFocusReason);
    setText(QString());
    shortcutkit::setShortcut(std::nullopt, name_);
    if (onChange) onChange(std::nullopt);
    updateClearButton();
}

bool RecorderControl::eventFilter(QObject* watched, QEvent* event) {
    // The button's style shows no focus of its own: a ring shows where Tab put it.
    if (watched == clearButton_ && event->type() == QEvent::Paint && clearButton_->hasFocus() && !paintingClearButton_) {
        paintingClearButton_ = true;
        QCoreApplication::sendEvent(clearButton_, event);
        paintingClearButton_ = false;
        qt::drawFocusRing(*clearButton_, clearButton_->rect());
        return true;
    }
    if (!recording_) return QLineEdit::eventFilter(watched, event);
    // The user is at it again: from now on only a click or a focus move starts a recording.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonRelease) resumeAfterAlert_ = false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Every key comes to the recorder as a key press: a menu item's combination reaches the
        // menu check instead of firing the item.
        event->accept();
        return true;
    case QEvent::KeyPress: return handleKeyPress(static_cast<QKeyEvent&>(*event));
    case QEvent::MouseButtonRelease: {
        auto& mouse = static_cast<QMouseEvent&>(*event);
        if (mouse.button() == Qt::LeftButton || mouse.button() == Qt::RightButton) return handleMouseRelease(mouse);
        return false;
    }
    default: return false;
    }
}

bool RecorderControl::handleMouseRelease(QMouseEvent& event) {
    const QPoint position = mapFromGlobal(event.globalPosition().toPoint());
    if (!rect().adjusted(-3, -3, 3, 3).contains(position)) {
        blur();
        return false;
    }
    // The clear button clears on its release.
    if (QWidget* under = childAt(position)) {
        if (auto* button = qobject_cast<QToolButton*>(under); button && button->defaultAction() == clearAction_) return false;
    }
    return true;
}

bool RecorderControl::handleKeyPress(QKeyEvent& event) {
    if (isModifierKey(event)) return true;
    const auto shortcut = shortcutFromKeyEvent(event);
    const std::int64_t keyCode = shortcut ? shortcut->carbonKeyCode : -1;
    const std::int64_t modifiers = carbonModifiers(modifierFlags(event.modifiers()));
    if (modifiers == 0) {
        // Tab moves focus on, and leaving ends recording.
        if (keyCode == tabKey) return false;
        if (keyCode == escapeKey) {
            blur();
            return true;
        }
        if (keyCode == deleteKey || keyCode == forwardDeleteKey) {
            if (clearAction_->isVisible()) clearShortcut();
            return true;
        }
    }
    if ((modifiers & ~carbon::shift) == 0 && !isFunctionKey(keyCode)) {
        beep();
        return true;
    }
    if (!shortcut) {
        beep();
        return true;
    }
    if (const auto title = mainMenuItemUsing(*shortcut)) {
        blur();
        showAlert(localizedText("keyboard_shortcut_used_by_menu_item").arg(*title), QString());
        return true;
    }
    const bool bareF12 = shortcut->carbonKeyCode == f12Key && shortcut->carbonModifiers == 0;
    if (!bareF12 && CarbonShortcutTable::isHeldByAnotherProgram(*shortcut)) {
        blur();
        showAlert(localizedText("keyboard_shortcut_used_by_system"), localizedText("keyboard_shortcuts_can_be_changed"));
        return true;
    }
    setText(shortcutText(shortcut));
    clearAction_->setVisible(true);
    userDefaultsStore(*shortcut, name_);
    if (onChange) onChange(shortcut);
    // The focus stays, idle, so that Tab goes on from here.
    endRecording();
    return true;
}

void RecorderControl::showAlert(const QString& message, const QString& informativeText) {
    // Opened, never run: the event filter must return before the alert is answered.
    auto* box = new QMessageBox(QMessageBox::Warning, QString(), message, QMessageBox::Ok, this);
    box->setInformativeText(informativeText);
    qt::showPlainText(*box);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAccessibleName(QStringLiteral("Shortcut not recorded"));
    box->setAccessibleDescription(message);
    connect(box, &QMessageBox::finished, this, [this] {
        // A recorder whose window went away meanwhile does not record again.
        if (!isVisible()) return;
        resumeAfterAlert_ = true;
        window()->activateWindow();
        setFocus(Qt::OtherFocusReason);
    });
    box->open();
    if (const auto& seam = alertSeam()) seam(box);
}

} // namespace tavlin::shortcutkit
