#include "flateditor/ActionDescriptionEditorView.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/ui/MarkdownText.h"

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
    field_->setText(QString::fromStdString(description));
    label->setBuddy(field_);
    layout->addWidget(label);
    layout->addWidget(field_);

    previewGroup_ = new QGroupBox(QStringLiteral("Preview"), this);
    previewGroup_->setAccessibleName(QStringLiteral("Preview"));
    auto* previewLayout = new QVBoxLayout(previewGroup_);
    preview_ = new QTextEdit(previewGroup_);
    preview_->setDocument(new InertTextDocument(preview_));
    preview_->setReadOnly(true);
    preview_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    preview_->setAccessibleName(QStringLiteral("Description Preview"));
    preview_->setFixedHeight(preview_->fontMetrics().height() * 4);
    previewLayout->addWidget(preview_);
    layout->addWidget(previewGroup_);

    renderTimer_ = new QTimer(this);
    renderTimer_->setSingleShot(true);
    renderTimer_->setInterval(renderDelayMilliseconds);
    connect(renderTimer_, &QTimer::timeout, this, &ActionDescriptionEditorView::renderPreview);
    connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) {
        previewGroup_->setVisible(!text.isEmpty());
        renderTimer_->start();
        if (changed_) changed_(text.toStdString());
    });
    previewGroup_->setVisible(!field_->text().isEmpty());
    renderPreview();
}

void ActionDescriptionEditorView::renderPreview() {
    renderTimer_->stop();
    const QString html = markdownHtml(field_->text().toStdString());
    preview_->setHtml(html);
    preview_->setAccessibleDescription(preview_->toPlainText());
}

} // namespace tavlin::flateditor
