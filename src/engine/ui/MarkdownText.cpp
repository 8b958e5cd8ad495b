#include "engine/ui/MarkdownText.h"

#include <vector>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

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

// The fragment form leaves out the body's font, which would override the label's.
QString labelHtml(QTextDocument& document) {
    fitForLabel(document);
    return QTextDocumentFragment(&document).toHtml();
}

} // namespace

QString markdownHtml(const std::string& text) {
    const QString source = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (source.contains(QLatin1String("</"))) {
        QTextDocument document;
        document.setHtml(source);
        if (!document.isEmpty()) return labelHtml(document);
    }
    QTextDocument document;
    document.setMarkdown(source, QTextDocument::MarkdownDialectGitHub);
    if (!document.isEmpty()) return labelHtml(document);
    return source.toHtmlEscaped();
}

} // namespace tavlin
