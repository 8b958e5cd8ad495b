#include "flateditor/ActionDescriptionEditorView.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "actionediting/SheetGroup.h"
#include "engine/ui/MarkdownText.h"
#include "platform/qt/FieldWidth.h"

namespace tavlin::flateditor {
namespace {
// A long description is rendered after a pause in typing, not at every key.
constexpr int renderDelayMilliseconds = 150;
} // namespace

ActionDescriptionEditorView::ActionDescriptionEditorView(const std::string& description,
                                                         std::function<void(const std::string&)> changed, QWidget* parent)
    : QWidget(parent), changed_(std::move(changed)) {
    setAccessibleName(QStringLiteral("Action Description"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const QString title = QStringLiteral("Action Description (Support Markdown/HTML)");
    auto* label = new QLabel(title, this);
    field_ = new QLineEdit(this);
    field_->setAccessibleName(title);
    field_->setPlaceholderText(title);
    qt::keepPlaceholderWhole(*field_);
    // A line edit keeps 32767 characters by default: a longer description would lose its end.
    field_->setMaxLength(std::numeric_limits<int>::max());
    field_->setText(QString::fromStdString(description));
    label->setBuddy(field_);
    layout->addWidget(label);
    layout->addWidget(field_);

    auto* previewGroup = new SheetGroup(QStringLiteral("Preview"), this);
    previewGroup_ = previewGroup;
    auto* previewLayout = previewGroup->contentLayout();
    preview_ = new QTextEdit(previewGroup_);
    preview_->setDocument(new InertTextDocument(preview_));
    preview_->setReadOnly(true);
    preview_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    preview_->setAccessibleName(QStringLiteral("Description Preview"));
    // As tall as the rendered description, up to four lines; a longer one scrolls.
    connect(preview_->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            [this](const QSizeF& size) {
                const int line = preview_->fontMetrics().height(), frame = 2 * preview_->frameWidth();
                preview_->setFixedHeight(std::clamp(static_cast<int>(std::ceil(size.height())) + frame, line + frame, 4 * line));
            });
    preview_->setFixedHeight(preview_->fontMetrics().height() * 4);
    // Broken anywhere, one long word of a long description would be laid out a letter a line.
    preview_->setWordWrapMode(QTextOption::WordWrap);
    previewLayout->addWidget(preview_);
    layout->addWidget(previewGroup_);

    renderTimer_ = new QTimer(this);
    renderTimer_->setSingleShot(true);
    renderTimer_->setInterval(renderDelayMilliseconds);
    connect(renderTimer_, &QTimer::timeout, this, [this] {
        if (previewGroup_->isVisible()) renderPreview();
        else renderPending_ = true;
    });
    previewGroup_->installEventFilter(this);
    connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) {
        previewGroup_->setVisible(!text.isEmpty());
        renderTimer_->start();
        if (changed_) changed_(text.toStdString());
    });
    previewGroup_->setVisible(!field_->text().isEmpty());
    // Rendered once it shows: the sheet opens with the editor hidden unless in Complex Mode.
    renderPending_ = true;
}

bool ActionDescriptionEditorView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == previewGroup_ && event->type() == QEvent::Show && renderPending_) renderPreview();
    return QWidget::eventFilter(watched, event);
}

void ActionDescriptionEditorView::renderPreview() {
    renderTimer_->stop();
    renderPending_ = false;
    const QString html = markdownHtml(field_->text().toStdString());
    preview_->setHtml(html);
    preview_->setAccessibleDescription(preview_->toPlainText());
}

} // namespace tavlin::flateditor
