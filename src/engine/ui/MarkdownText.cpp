#include "engine/ui/MarkdownText.h"

#include <algorithm>
#include <vector>

#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>
#include <QVariant>

#include "model/LaidOutText.h"
#include "platform/qt/QtText.h"

namespace tavlin {
namespace {

// Reads a description without reaching outside it. A description may name any path or URL
// (a device, a FIFO, a huge file) as an image or a style sheet; reading one would block the
// main thread or fill memory, so nothing is ever fetched.
class DetachedDocument final : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

bool namesResource(const QTextFormat& format) {
    return format.hasProperty(QTextFormat::BackgroundImageUrl) ||
           (format.isCharFormat() && format.toCharFormat().isImageFormat());
}

template <typename Format>
Format withoutBackgroundImage(Format format) {
    format.clearProperty(QTextFormat::BackgroundImageUrl);
    return format;
}

// Frames and tables (and their cells) may carry a background image; so may blocks and text,
// which the block walk handles.
void dropFrameBackgrounds(QTextFrame* frame) {
    if (frame->frameFormat().hasProperty(QTextFormat::BackgroundImageUrl))
        frame->setFrameFormat(withoutBackgroundImage(frame->frameFormat()));
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                QTextTableCell cell = table->cellAt(row, column);
                if (cell.isValid() && cell.format().hasProperty(QTextFormat::BackgroundImageUrl))
                    cell.setFormat(withoutBackgroundImage(cell.format()));
            }
        }
    }
    for (QTextFrame* child : frame->childFrames()) dropFrameBackgrounds(child);
}

// Images become their alt text; background images go. The label that shows the result would
// otherwise load them itself.
void dropResources(QTextDocument& document) {
    dropFrameBackgrounds(document.rootFrame());
    struct Image {
        int position;
        int length;
        QTextCharFormat format;
    };
    std::vector<Image> images;
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().hasProperty(QTextFormat::BackgroundImageUrl)) {
            cursor.setPosition(block.position());
            cursor.setBlockFormat(withoutBackgroundImage(block.blockFormat()));
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && namesResource(fragment.charFormat()))
                images.push_back({fragment.position(), fragment.length(), fragment.charFormat()});
        }
    }
    // From the end, so the positions of those still to come stay put.
    std::sort(images.begin(), images.end(), [](const Image& a, const Image& b) { return a.position > b.position; });
    for (const auto& image : images) {
        QTextCharFormat text = withoutBackgroundImage(image.format);
        QString replacement;
        if (image.format.isImageFormat()) {
            // Adjacent images alike share one fragment: one object character each.
            const QString alt = image.format.stringProperty(QTextFormat::ImageAltText);
            for (int i = 0; i < image.length; ++i) replacement += alt;
            for (const auto property :
                 {QTextFormat::ObjectType, QTextFormat::ImageName, QTextFormat::ImageTitle, QTextFormat::ImageAltText,
                  QTextFormat::ImageWidth, QTextFormat::ImageHeight, QTextFormat::ImageQuality})
                text.clearProperty(property);
        }
        cursor.setPosition(image.position);
        cursor.setPosition(image.position + image.length, QTextCursor::KeepAnchor);
        if (image.format.isImageFormat()) cursor.insertText(replacement, text);
        else cursor.setCharFormat(text);
    }
}

// The readers give paragraphs margins and code a fixed point size; in a row the label decides.
void fitForLabel(QTextDocument& document) {
    struct Span {
        int position;
        int length;
        QTextCharFormat format;
    };
    std::vector<Span> sized;
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        format.setTopMargin(0);
        format.setBottomMargin(0);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && fragment.charFormat().hasProperty(QTextFormat::FontPointSize)) {
                sized.push_back({fragment.position(), fragment.length(), fragment.charFormat()});
            }
        }
    }
    // Applied after the walk: changing a format may merge fragments under the iterator.
    for (auto& span : sized) {
        span.format.clearProperty(QTextFormat::FontPointSize);
        cursor.setPosition(span.position);
        cursor.setPosition(span.position + span.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(span.format);
    }
}

bool namesAnyResource(const QTextDocument& document) {
    const auto formats = document.allFormats();
    return std::any_of(formats.begin(), formats.end(), namesResource);
}

// The fragment form leaves out the body's font, which would override the label's.
QString labelHtml(QTextDocument& document) {
    dropResources(document);
    fitForLabel(document);
    QString html = QTextDocumentFragment(&document).toHtml();
    // What the label will read must name nothing to load; if a form slipped through, the text
    // alone is shown.
    DetachedDocument check;
    check.setHtml(html);
    if (namesAnyResource(check)) return document.toPlainText().toHtmlEscaped();
    return html;
}

bool readsAsHtml(std::string_view text) { return text.find("</") != std::string_view::npos; }

QString laidOutSource(std::string_view text) {
    const std::string_view part = laidOutPart(text);
    return qt::qString(part);
}

} // namespace

QVariant InertTextDocument::loadResource(int, const QUrl&) { return {}; }

QString renderingKey(std::string_view text) {
    return (readsAsHtml(text) ? QStringLiteral("html:") : QStringLiteral("text:")) + laidOutSource(text);
}

QString markdownHtml(std::string_view text) {
    const QString source = laidOutSource(text);
    if (readsAsHtml(text)) {
        DetachedDocument document;
        document.setHtml(source);
        if (!document.isEmpty()) return labelHtml(document);
    }
    DetachedDocument document;
    document.setMarkdown(source, QTextDocument::MarkdownDialectGitHub);
    if (!document.isEmpty()) return labelHtml(document);
    return source.toHtmlEscaped();
}

void drawOneLine(QPainter& painter, QTextDocument& document, qreal width, QAbstractTextDocumentLayout::PaintContext context) {
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    const QTextBlock first = document.firstBlock();
    const QTextLayout* lines = first.layout();
    painter.save();
    if (!lines || lines->lineCount() == 0) {
        context.clip = QRectF(0, 0, width, painter.fontMetrics().height());
        painter.setClipRect(context.clip, Qt::IntersectClip);
        layout->draw(&painter, context);
        painter.restore();
        return;
    }
    const QTextLine line = lines->lineAt(0);
    const QPointF origin = layout->blockBoundingRect(first).topLeft() + lines->position();
    bool cut = lines->lineCount() > 1;
    for (QTextBlock next = first.next(); next.isValid() && !cut; next = next.next()) cut = !next.text().isEmpty();
    qreal shown = origin.x() + line.x() + line.naturalTextWidth();
    cut = cut || shown > width;
    const QString ellipsis(QChar(0x2026));
    if (cut) {
        // Whole characters only, and the ellipsis after them.
        const qreal room = width - painter.fontMetrics().horizontalAdvance(ellipsis) - origin.x();
        int position = line.xToCursor(room, QTextLine::CursorBetweenCharacters);
        qreal end = line.cursorToX(position);
        while (position > line.textStart() && end > room) end = line.cursorToX(--position);
        shown = std::min(shown, origin.x() + end);
    }
    const qreal bottom = origin.y() + line.y() + line.height();
    context.clip = QRectF(0, 0, cut ? shown : width, bottom);
    painter.setClipRect(context.clip, Qt::IntersectClip);
    layout->draw(&painter, context);
    painter.restore();
    if (!cut) return;
    painter.save();
    painter.setPen(context.palette.color(QPalette::Text));
    painter.drawText(QPointF(shown, origin.y() + line.y() + line.ascent()), ellipsis);
    painter.restore();
}

} // namespace tavlin
