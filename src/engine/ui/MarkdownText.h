#pragma once

#include <string>
#include <string_view>

#include <QAbstractTextDocumentLayout>
#include <QString>
#include <QTextDocument>

class QPainter;

namespace tavlin {

// A document that never loads what its text refers to: a description may name any file
// (<img src="/dev/zero"> would read forever), and none of it is ours to read.
class InertTextDocument : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

// A description as HTML for a rich-text label. Text holding "</" is read as HTML, anything else
// (or HTML that leaves nothing) as GitHub-flavoured markdown; text neither reading gives anything
// for comes back escaped, as it was typed. Blocks carry no vertical margins and no font of their
// own, so one line of text stays one line tall in the label's font. Images and background
// images are left out, so that showing the result loads nothing.
// Only the laid-out part of the text (model/LaidOutText) is rendered; whether it reads as HTML is
// decided on the whole text, whose closing tags may lie past the cut.
QString markdownHtml(std::string_view text);

// Equal for two texts exactly when markdownHtml renders them alike, without converting more than
// their laid-out parts: the key of a cache of renderings.
QString renderingKey(std::string_view text);

// Draws the first line of a rendered description at the painter's origin, no wider than
// `width`. When anything of it is cut (the end of a longer line, or lines below the first) it
// ends in an ellipsis in the painter's font and the context's text colour, as an elided plain
// text does.
void drawOneLine(QPainter& painter, QTextDocument& document, qreal width, QAbstractTextDocumentLayout::PaintContext context);

} // namespace tavlin
