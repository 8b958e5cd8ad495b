#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QTextDocument>

#include "engine/ui/MarkdownText.h"
#include "support/QtTestApplication.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

class MarkdownTextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::offscreenApplication(); }

    // What a reader of the label sees.
    static QString plain(const QString& html) {
        QTextDocument document;
        document.setHtml(html);
        return document.toPlainText();
    }

    // The height a rich-text label takes for the HTML, in a font unlike the default one. The
    // desktop's fixed font, whichever is installed: code spans are set in it.
    static int labelHeight(const QString& text, Qt::TextFormat format) {
        QLabel label;
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(30);
        label.setFont(font);
        label.setTextFormat(format);
        label.setText(text);
        return label.sizeHint().height();
    }
};

TEST_F(MarkdownTextTest, MarkdownIsStyledAndItsMarkersAreGone) {
    const QString emphasis = markdownHtml("Open *Safari* now");
    EXPECT_TRUE(emphasis.contains("font-style:italic")) << emphasis.toStdString();
    EXPECT_EQ(plain(emphasis), "Open Safari now");

    const QString strong = markdownHtml("**bold**");
    EXPECT_TRUE(strong.contains("font-weight:700")) << strong.toStdString();

    // Strikethrough is the GitHub dialect's, and it spans a line break.
    const QString struck = markdownHtml("~~Sleep\nfinished.~~");
    EXPECT_TRUE(struck.contains("line-through")) << struck.toStdString();
    EXPECT_EQ(plain(struck), "Sleep finished.");
}

TEST_F(MarkdownTextTest, TextWithAClosingTagIsReadAsHtml) {
    const QString html = markdownHtml("<b>bold</b> and <i>slanted</i>");
    EXPECT_TRUE(html.contains("font-weight:700")) << html.toStdString();
    EXPECT_TRUE(html.contains("font-style:italic")) << html.toStdString();
    EXPECT_EQ(plain(html), "bold and slanted");

    // As HTML, markdown markers are just characters.
    EXPECT_EQ(plain(markdownHtml("<b>*not emphasis*</b>")), "*not emphasis*");
}

TEST_F(MarkdownTextTest, HtmlThatLeavesNothingIsReadAsMarkdown) {
    EXPECT_EQ(plain(markdownHtml("</")), "</");
    const QString html = markdownHtml("</ *b*");
    EXPECT_EQ(plain(html), "</ b");
    EXPECT_TRUE(html.contains("font-style:italic")) << html.toStdString();
}

TEST_F(MarkdownTextTest, TextNeitherReadingShowsIsKeptVerbatimAndEscaped) {
    EXPECT_EQ(markdownHtml("<!-- note -->"), "&lt;!-- note --&gt;");
    EXPECT_EQ(markdownHtml("<style>*b*</style>"), "&lt;style&gt;*b*&lt;/style&gt;");
    EXPECT_EQ(markdownHtml("   "), "   ");
    EXPECT_EQ(markdownHtml(""), "");
}

TEST_F(MarkdownTextTest, IllFormedUtf8IsShownWithReplacementCharacters) {
    EXPECT_EQ(plain(markdownHtml("a\xff" "b")), QString::fromUtf8("a\xEF\xBF\xBD" "b"));
}

TEST_F(MarkdownTextTest, TextTakesTheLabelsFontAndNoParagraphSpacing) {
    const int oneLine = labelHeight("line", Qt::PlainText);
    EXPECT_EQ(labelHeight(markdownHtml("one *line*"), Qt::RichText), oneLine);
    EXPECT_EQ(labelHeight(markdownHtml("<p>one <b>line</b></p>"), Qt::RichText), oneLine);
    EXPECT_EQ(labelHeight(markdownHtml("`line`"), Qt::RichText), oneLine) << "code keeps the label's size";
    EXPECT_EQ(labelHeight(markdownHtml("one\n\ntwo"), Qt::RichText), labelHeight("one\ntwo", Qt::PlainText));
}

} // namespace
} // namespace tavlin
