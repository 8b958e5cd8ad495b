#include "engine/ui/MarkdownText.h"

#include <vector>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextTable>

namespace tavlin {
namespace {

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

// Frames and table cells keep background images in their own formats.
void dropFrameBackgrounds(QTextFrame* frame) {
    QTextFrameFormat format = frame->frameFormat();
    if (format.hasProperty(QTextFormat::BackgroundImageUrl)) {
        format.clearProperty(QTextFormat::BackgroundImageUrl);
        format.clearBackground();
        frame->setFrameFormat(format);
    }
    if (auto* table = qobject_cast<QTextTable*>(frame)) {
        for (int row = 0; row < table->rows(); ++row) {
            for (int column = 0; column < table->columns(); ++column) {
                QTextTableCell cell = table->cellAt(row, column);
                QTextCharFormat cellFormat = cell.format();
                if (!cellFormat.hasProperty(QTextFormat::BackgroundImageUrl)) continue;
                cellFormat.clearProperty(QTextFormat::BackgroundImageUrl);
                cellFormat.clearBackground();
                cell.setFormat(cellFormat);
            }
        }
    }
    for (QTextFrame* child : frame->childFrames()) dropFrameBackgrounds(child);
}

// Whatever could make a reader of the result load a file goes: images, and background images
// of characters, blocks and frames.
void dropResources(QTextDocument& document) {
    std::vector<std::pair<int, int>> images;
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat blockFormat = block.blockFormat();
        if (blockFormat.hasProperty(QTextFormat::BackgroundImageUrl)) {
            blockFormat.clearProperty(QTextFormat::BackgroundImageUrl);
            cursor.setPosition(block.position());
            cursor.setBlockFormat(blockFormat);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid()) continue;
            if (fragment.charFormat().isImageFormat()) images.emplace_back(fragment.position(), fragment.length());
        }
    }
    dropFrameBackgrounds(document.rootFrame());
    // Removed from the end, so the positions still to come stay valid.
    for (auto it = images.rbegin(); it != images.rend(); ++it) {
        cursor.setPosition(it->first);
        cursor.setPosition(it->first + it->second, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    // Character formats may still carry a texture brush made from a background image.
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && fragment.charFormat().background().style() == Qt::TexturePattern) {
                QTextCursor span(&document);
                span.setPosition(fragment.position());
                span.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
                QTextCharFormat format;
                format.setBackground(Qt::NoBrush);
                span.mergeCharFormat(format);
            }
        }
    }
}

// The fragment form leaves out the body's font, which would override the label's.
QString labelHtml(QTextDocument& document) {
    dropResources(document);
    fitForLabel(document);
    return QTextDocumentFragment(&document).toHtml();
}

} // namespace

QVariant InertTextDocument::loadResource(int, const QUrl&) { return {}; }

QString markdownHtml(const std::string& text) {
    const QString source = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (source.contains(QLatin1String("</"))) {
        InertTextDocument document;
        document.setHtml(source);
        if (!document.isEmpty()) return labelHtml(document);
    }
    InertTextDocument document;
    document.setMarkdown(source, QTextDocument::MarkdownDialectGitHub);
    if (!document.isEmpty()) return labelHtml(document);
    return source.toHtmlEscaped();
}

} // namespace tavlin
