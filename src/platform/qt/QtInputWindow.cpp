#include "platform/qt/QtInputWindow.h"

#include <algorithm>

#include <QtGui/QAccessible>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QAccessibleWidget>
#include <QtWidgets/QApplication>
#include <QtWidgets/QVBoxLayout>

#include "platform/base/Diagnostics.h"
#include "platform/keys/VirtualKeyCodes.h"

namespace tavlin::qt {

namespace {

// How often and how long a refused keyboard grab is tried again: the leader key's passive grab
// lasts until its key is released.
constexpr int grabRetryMilliseconds = 4;
constexpr int grabAttemptLimit = 500;

QScreen* primaryScreen() { return QGuiApplication::primaryScreen(); }

// The y of the primary screen's bottom edge in Qt's coordinates: the program's y = 0.
int baseline() {
    const QScreen* screen = primaryScreen();
    return screen ? screen->geometry().y() + screen->geometry().height() : 0;
}

bool isModifierKey(int keyCode) {
    using namespace keycodes;
    return keyCode == command || keyCode == shift || keyCode == option || keyCode == control || keyCode == rightCommand ||
           keyCode == rightShift || keyCode == rightOption || keyCode == rightControl || keyCode == capsLock ||
           keyCode == function;
}

// An application-modal window (an alert) blocks the input of every other window of ours.
QWidget* shownApplicationModalWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowModality() == Qt::ApplicationModal) return widget;
    }
    return nullptr;
}

// A frameless tool window would be announced as a filler, not as the window the session is.
QAccessibleInterface* accessibleInputWindow(const QString&, QObject* object) {
    if (auto* window = dynamic_cast<QtInputWindow*>(object)) return new QAccessibleWidget(window, QAccessible::Window);
    return nullptr;
}

} // namespace

QtInputWindow::QtInputWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus) {
    [[maybe_unused]] static const bool announced = (QAccessible::installFactory(accessibleInputWindow), true);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("tavlin"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    grabRetry_.setInterval(grabRetryMilliseconds);
    connect(&grabRetry_, &QTimer::timeout, this, [this] { tryGrab(); });
    resize(365, 1);
    if (qApp) qApp->installEventFilter(this);
}

QtInputWindow::~QtInputWindow() {
    if (grabbed_) releaseKeyboard();
}

void QtInputWindow::setContent(QWidget* content) {
    delete content_;
    content_ = content;
    layout()->addWidget(content);
    fitHeightToContent();
}

void QtInputWindow::makeKeyAndOrderFront() {
    if (key_) {
        raise();
        return;
    }
    // A session behind an alert would hold the keyboard and get no key, not even Escape: the
    // alert keeps the keyboard, brought forward, and no session opens.
    if (QWidget* modal = shownApplicationModalWindow()) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    fitHeightToContent();
    show();
    raise();
    key_ = true;
    grabAttempts_ = 0;
    tryGrab();
    if (delegate_) delegate_->inputWindowDidBecomeKey();
}

void QtInputWindow::orderOut() {
    grabRetry_.stop();
    if (grabbed_) {
        releaseKeyboard();
        grabbed_ = false;
    }
    hide();
    if (!key_) return;
    key_ = false;
    dragOffset_.reset();
    if (delegate_) delegate_->inputWindowDidResignKey();
}

void QtInputWindow::tryGrab() {
    if (!key_ || grabbed_) {
        grabRetry_.stop();
        return;
    }
    QWindow* handle = windowHandle();
    if (handle && handle->setKeyboardGrabEnabled(true)) {
        // Also Qt's own grab, so the keys reach this window even while another window of this
        // program has the focus.
        grabKeyboard();
        grabbed_ = true;
        grabRetry_.stop();
        return;
    }
    if (++grabAttempts_ >= grabAttemptLimit) {
        // Another program holds the keyboard: a session that gets no keys would only swallow
        // the user's next leader key, so it ends.
        diag::printLine(diag::Category::session, "the input window could not take the keyboard");
        orderOut();
        return;
    }
    if (!grabRetry_.isActive()) grabRetry_.start();
}

bool QtInputWindow::holdsKeyboard() const { return grabbed_; }

// A modal window of this program (an alert, an access panel) appearing during a session takes
// over, as a window made key does: the session ends and lets go of the keyboard, so the window
// can be answered with it at once. Otherwise the session's grab would keep every key from it,
// and a session without a decision to walk (an unreadable configuration) has no key that ends it.
bool QtInputWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched != this && watched->isWidgetType()) {
        const auto* widget = static_cast<QWidget*>(watched);
        // In a later turn: the window is still being shown, maybe from within the session's work.
        if (widget->isWindow() && widget->isModal())
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (key_) orderOut();
                },
                Qt::QueuedConnection);
    }
    return false;
}

std::optional<int> QtInputWindow::reportedKeyCode(const QKeyEvent& event) {
    const auto keyCode = keycodes::virtualKeyCode(event.nativeScanCode());
    if (!keyCode || isModifierKey(*keyCode)) return std::nullopt;
    return keyCode;
}

void QtInputWindow::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (!key_ || !delegate_) return;
    if (const auto keyCode = reportedKeyCode(*event)) delegate_->inputWindowKeyDown(*keyCode);
}

void QtInputWindow::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (!key_ || !delegate_ || event->isAutoRepeat()) return;
    if (const auto keyCode = reportedKeyCode(*event)) delegate_->inputWindowKeyUp(*keyCode);
}

void QtInputWindow::pointerPressedAt(const QPoint& globalPosition) {
    if (key_ && !geometry().contains(globalPosition)) orderOut();
}

// Movable by its background.
void QtInputWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_ = event->globalPosition().toPoint() - pos();
}

void QtInputWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) move(event->globalPosition().toPoint() - *dragOffset_);
}

bool QtInputWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest) fitHeightToContent();
    return handled;
}

// The content decides the height (at least one pixel: an empty window still holds the
// keyboard) and the least width; the top edge stays where it is.
void QtInputWindow::fitHeightToContent() {
    const QSize hint = content_ ? content_->sizeHint() : QSize();
    const QSize least = content_ ? content_->minimumSizeHint() : QSize();
    const int width = std::max({this->width(), least.width(), 1});
    int height = content_ && content_->hasHeightForWidth() ? content_->heightForWidth(width) : hint.height();
    height = std::max(height, 1);
    if (QSize(width, height) != size()) setGeometry(QRect(geometry().topLeft(), QSize(width, height)));
}

QRect QtInputWindow::geometryOfFrame(const Rect& frame) {
    const int width = static_cast<int>(frame.width);
    const int height = static_cast<int>(frame.height);
    return {static_cast<int>(frame.x), baseline() - static_cast<int>(frame.y) - height, width, height};
}

Rect QtInputWindow::frameOfGeometry(const QRect& geometry) {
    return {double(geometry.x()), double(baseline() - geometry.y() - geometry.height()), double(geometry.width()),
            double(geometry.height())};
}

// While the content shows nothing the window has no size of its own (it is one pixel high only
// to hold the keyboard): such a frame is not a position worth keeping.
Rect QtInputWindow::frame() const {
    Rect frame = frameOfGeometry(geometry());
    if (!content_ || content_->sizeHint().isEmpty()) {
        frame.y += frame.height;
        frame.width = 0;
        frame.height = 0;
    }
    return frame;
}

void QtInputWindow::setFrame(const Rect& frame) {
    QRect geometry = geometryOfFrame(frame);
    geometry.setWidth(std::max(geometry.width(), 1));
    geometry.setHeight(std::max(geometry.height(), 1));
    setGeometry(geometry);
    fitHeightToContent();
}

void QtInputWindow::setFrameTopLeftPoint(const Point& point) {
    move(static_cast<int>(point.x), baseline() - static_cast<int>(point.y));
}

// Centred across, a little above the middle, on the screen under the pointer.
void QtInputWindow::center() {
    // Content that changed since the last layout pass decides the size that is centred.
    layout()->activate();
    fitHeightToContent();
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = this->screen() ? this->screen() : primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const int x = area.x() + (area.width() - width()) / 2;
    const int y = area.y() + std::max(0, (area.height() - height()) / 3);
    move(x, y);
}

std::optional<Rect> QtInputWindow::visibleScreenFrame() const {
    QScreen* screen = this->screen() ? this->screen() : primaryScreen();
    if (!screen) return std::nullopt;
    return frameOfGeometry(screen->availableGeometry());
}

} // namespace tavlin::qt
