#include "platform/qt/QtIndicatorWindow.h"

#include <cmath>

#include <QtGui/QCursor>
#include <QtGui/QFontMetricsF>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QScreen>

#include "platform/base/Diagnostics.h"

namespace tavlin::qt {

namespace {
constexpr double heightWithoutScreen = 20;
// Below this the text is unreadable; a screen without a top panel computes about -1.
constexpr double leastReadableHeight = 10;
constexpr int hoverPollMilliseconds = 100;
} // namespace

QtIndicatorWindow::QtIndicatorWindow(std::function<double()> heightPercent)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput),
      heightPercent_(std::move(heightPercent)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("tavlin indicator"));
    hoverPoll_.setInterval(hoverPollMilliseconds);
    connect(&hoverPoll_, &QTimer::timeout, this, [this] { updateHovering(); });
}

double QtIndicatorWindow::pillHeight(const QScreen* screen, double heightPercent) {
    if (!screen) {
        diag::printLine(diag::Category::session, "");
        return heightWithoutScreen;
    }
    const QRect frame = screen->geometry();
    double height;
    if (heightPercent == 0 || !std::isfinite(heightPercent)) {
        const double topPanel = screen->availableGeometry().y() - frame.y();
        height = (topPanel - 1) * 0.8;
    } else {
        height = heightPercent * frame.height() / 100;
    }
    if (!(height >= leastReadableHeight)) return heightWithoutScreen;
    return std::min(height, double(frame.height()));
}

void QtIndicatorWindow::show(const std::string& text) {
    QScreen* screen = QGuiApplication::primaryScreen();
    text_ = QString::fromStdString(text);
    height_ = pillHeight(screen, heightPercent_ ? heightPercent_() : 0);
    QFont font = this->font();
    font.setPixelSize(std::max(1, int(std::lround(0.618 * height_))));
    setFont(font);
    const double textWidth = QFontMetricsF(font).horizontalAdvance(text_);
    const double margin = 0.1 * height_;
    const QSize size(int(std::ceil(textWidth + height_ + 2 * margin)), int(std::ceil(height_ + 2 * margin)));
    const QPoint topLeft = screen ? screen->geometry().topLeft() : QPoint(0, 0);
    setGeometry(QRect(topLeft, size));
    hovering_ = false;
    QWidget::show();
    raise();
    update();
    hoverPoll_.start();
}

void QtIndicatorWindow::orderOut() {
    hoverPoll_.stop();
    hovering_ = false;
    hide();
}

void QtIndicatorWindow::updateHovering() {
    const bool hovering = isVisible() && geometry().contains(QCursor::pos());
    if (hovering == hovering_) return;
    hovering_ = hovering;
    update();
}

void QtIndicatorWindow::paintEvent(QPaintEvent*) {
    if (hovering_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double margin = 0.1 * height_;
    const QRectF pill = QRectF(rect()).adjusted(margin, margin, -margin, -margin);
    QPainterPath path;
    path.addRoundedRect(pill, 0.5 * height_, 0.5 * height_);
    painter.fillPath(path, QColor(0, 122, 255));
    painter.setPen(Qt::white);
    painter.drawText(pill, Qt::AlignCenter, text_);
}

} // namespace tavlin::qt
