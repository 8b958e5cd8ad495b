#include "engine/ui/InputWindowContentView.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTextDocument>
#include <QVBoxLayout>

#include "engine/ActionStatistics.h"
#include "engine/InputWindowManager.h"
#include "engine/ui/MarkdownText.h"
#include "model/LaidOutText.h"
#include "model/LeaderKey.h"
#include "model/Settings.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/qt/PlainText.h"
#include "platform/qt/QtText.h"

namespace tavlin {
namespace {

constexpr int minimumContentWidth = 365;
constexpr qreal cornerRadius = 10;
// Chances used more often than this are dimmed: the user knows them by heart.
constexpr std::int64_t wellKnownUsageCount = 71;
constexpr qreal wellKnownOpacity = 0.6;

// Bookkeeping the session does for itself; nothing the user asked for.
bool isShown(const Action& action) {
    return !action.kind.is<Action::Kind::internalMethod>() && !action.kind.is<Action::Kind::reWaitTriggerKeys>();
}

// Only the laid-out part of a text goes into a label (markdownHtml cuts its own): the session
// holds the keyboard while the hint is built.
QString laidOutString(std::string_view text) {
    const std::string_view part = laidOutPart(text);
    return qt::qString(part);
}

QLabel* richLabel(const QString& html, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(html);
    return label;
}

QHBoxLayout* rowLayout(QWidget* row) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

// Labels in one font, aligned to the top of the row, share their first baseline.
void addToRow(QHBoxLayout* layout, QLabel* label) { layout->addWidget(label, 0, Qt::AlignTop); }

QString plainText(const QLabel* label) {
    if (label->textFormat() != Qt::RichText) return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

// What the user sees, not what the font claims: some monospaced fonts do not say they are.
bool typesAtFixedPitch(const QFont& font) {
    const QFontMetricsF metrics(font);
    return metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W'));
}

// The desktop's fixed-pitch font; should it not type at a fixed pitch, the first installed one
// that does.
QFont fixedPitchFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (typesAtFixedPitch(font)) return font;
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    if (typesAtFixedPitch(font)) return font;
    for (const QString& family : QFontDatabase::families()) {
        if (!QFontDatabase::isFixedPitch(family)) continue;
        QFont candidate(family);
        if (typesAtFixedPitch(candidate)) return candidate;
    }
    return font;
}

} // namespace

InputWindowContentView::InputWindowContentView(QWidget* parent) : QWidget(parent) {
    QFont font = fixedPitchFont();
    const qreal bodySize = QApplication::font().pointSizeF();
    if (bodySize > 0) font.setPointSizeF(bodySize);
    setFont(font);

    layout_ = new QVBoxLayout(this);

    // The manager announces a change before it makes it, so the render waits for a later turn.
    observerToken_ = InputWindowManager::shared().addChangeObserver([this] { scheduleRebuild(); });
    rebuild();
}

InputWindowContentView::~InputWindowContentView() { InputWindowManager::shared().removeChangeObserver(observerToken_); }

QSize InputWindowContentView::sizeHint() const { return chancesDivider_ ? QWidget::sizeHint() : QSize(0, 0); }

QSize InputWindowContentView::minimumSizeHint() const { return chancesDivider_ ? QWidget::minimumSizeHint() : QSize(0, 0); }

void InputWindowContentView::scheduleRebuild() {
    QPointer<InputWindowContentView> self(this);
    MainQueue::shared().post([self] {
        if (self) self->rebuild();
    });
}

void InputWindowContentView::clear() {
    while (QLayoutItem* item = layout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    rows_.clear();
    chancesDivider_ = nullptr;
}

QFrame* InputWindowContentView::addDivider() {
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout_->addWidget(divider);
    return divider;
}

void InputWindowContentView::rebuild() {
    clear();
    const auto& manager = InputWindowManager::shared();
    const auto& states = manager.currentStates();
    if (!manager.showingHint() || !states || !states->decision) {
        layout_->setContentsMargins(0, 0, 0, 0);
        setMinimumWidth(0);
        updateGeometry();
        update();
        return;
    }
    layout_->unsetContentsMargins(); // the style's, for a window or a child as the view is placed
    setMinimumWidth(minimumContentWidth);

    const auto addRow = [this](QWidget* row) {
        layout_->addWidget(row, 0, Qt::AlignLeft);
        rows_.push_back(row);
    };

    if (settings::shouldShowInputHistory()) {
        for (const auto& entry : states->history) {
            auto* row = new QWidget(this);
            auto* layout = rowLayout(row);
            auto* marker = qt::plainLabel(QStringLiteral("> "), row);
            QPalette palette = marker->palette();
            palette.setColor(QPalette::WindowText, Qt::gray);
            marker->setPalette(palette);
            addToRow(layout, marker);
            addToRow(
                layout,
                richLabel(markdownHtml("~~" + std::string(laidOutPart(entry.description(), laidOutTextLimit - 4)) + "~~"), row));
            addRow(row);
            addDivider();
        }
    }

    const Decision& decision = *states->decision;
    for (const auto& action : decision.actions) {
        if (!isShown(action)) continue;
        addRow(qt::plainLabel(QStringLiteral("- ") + laidOutString(action.kind.shownText()) + QStringLiteral(" done."), this));
    }

    chancesDivider_ = addDivider();
    if (isHelperRunning()) {
        chancesDivider_->setAutoFillBackground(true);
        QPalette palette = chancesDivider_->palette();
        palette.setColor(chancesDivider_->backgroundRole(), Qt::blue);
        chancesDivider_->setPalette(palette);
    }

    for (const auto& chance : decision.chances) {
        if (!chance) continue;
        auto* row = new QWidget(this);
        auto* layout = rowLayout(row);
        addToRow(layout, qt::plainLabel(QStringLiteral("• "), row));
        addToRow(layout, qt::plainLabel(laidOutString(chance->pattern.kind.hintLabel()), row));
        const Decision* next = chance->decision.get();
        if (next) {
            for (const auto& action : next->actions) {
                if (!isShown(action)) continue;
                addToRow(layout, richLabel(action.actionDescription ? markdownHtml(*action.actionDescription)
                                                                    : markdownHtml(action.kind.shownText()),
                                           row));
            }
            if (!next->actions.empty() && ActionStatistics::count(next->actions.front()) > wellKnownUsageCount) {
                auto* effect = new QGraphicsOpacityEffect(row);
                effect->setOpacity(wellKnownOpacity);
                row->setGraphicsEffect(effect);
            }
        }
        addRow(row);
    }
    // Rows keep their height when the window is taller than they need.
    layout_->addStretch(1);
    updateGeometry();
    update();
}

QStringList InputWindowContentView::rowTexts() const {
    QStringList texts;
    for (const QWidget* row : rows_) {
        if (const auto* label = qobject_cast<const QLabel*>(row)) {
            texts.push_back(plainText(label));
            continue;
        }
        QString text;
        for (const QLabel* label : row->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
            const QString part = plainText(label);
            if (!text.isEmpty() && !part.isEmpty() && !text.back().isSpace() && !part.front().isSpace()) text += QLatin1Char(' ');
            text += part;
        }
        texts.push_back(text);
    }
    return texts;
}

std::optional<double> InputWindowContentView::rowOpacity(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return std::nullopt;
    const auto* effect = qobject_cast<const QGraphicsOpacityEffect*>(rows_[static_cast<std::size_t>(row)]->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

void InputWindowContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Shown with the window, before the window is announced: a screen reader names the session
    // by the leader key that opened it.
    const auto& leaderKey = currentLeaderKey();
    window()->setAccessibleName(leaderKey ? QStringLiteral("Key sequence: ") + QString::fromStdString(shownText(*leaderKey))
                                          : QStringLiteral("Key sequence"));
}

void InputWindowContentView::paintEvent(QPaintEvent*) {
    if (!chancesDivider_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

} // namespace tavlin
