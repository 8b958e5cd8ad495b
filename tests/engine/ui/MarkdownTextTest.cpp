#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include <QApplication>
#include <QFont>
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

    // The height a rich-text label takes for the HTML, in a font unlike the default one.
    static int labelHeight(const QString& text, Qt::TextFormat format) {
        QLabel label;
        QFont font("DejaVu Sans Mono");
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

// Reading /dev/zero never ends; showing a description must read no file at all.
TEST_F(MarkdownTextTest, ImagesAndBackgroundsAreLeftOutSoNothingIsLoaded) {
    for (const std::string text : {"<p>before <img src=\"/dev/zero\"> after</p>", "before ![x](/dev/zero) after",
                                   "<table background=\"/dev/zero\"><tr><td>before after</td></tr></table>",
                                   "<p style=\"background-image: url(/dev/zero)\">before after</p>"}) {
        const QString html = markdownHtml(text);
        EXPECT_FALSE(html.contains("/dev/zero")) << text;
        QLabel label;
        label.setTextFormat(Qt::RichText);
        label.setText(html);
        label.grab(); // lays out and draws, as the window would
        EXPECT_TRUE(plain(html).contains("before")) << text;
    }
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
