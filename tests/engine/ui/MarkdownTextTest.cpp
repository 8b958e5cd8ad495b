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
    EXPECT_EQ(plain(markdownHtml("a\xff"
                                 "b")),
              QString::fromUtf8("a\xEF\xBF\xBD"
                                "b"));
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

// A description may name any file or URL as an image or style sheet; the label shows text only,
// so a device or FIFO named there can never block the launcher.
class MarkdownResourceTest : public MarkdownTextTest {
protected:
    void SetUp() override {
        // A picture far taller than a line, so a label that loaded it would show it.
        QImage picture(40, 400, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save(QString::fromStdString(image()), "PNG"));
        std::ofstream(styleSheet()) << "b, span, p { color: #ff0000; font-size: 60pt }\n";
    }
    std::string image() const { return (home_.root() / "tall.png").string(); }
    std::string styleSheet() const { return (home_.root() / "red.css").string(); }
    static std::string mentionOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

    test::TempHome home_;
};

TEST_F(MarkdownResourceTest, ImagesShowTheirAltTextAndAreNeverLoaded) {
    const int oneLine = labelHeight("line", Qt::PlainText);
    for (const std::string& description :
         {"![a picture](" + image() + ")", "<span><img src=\"" + image() + "\" alt=\"a picture\"></span>",
          "<p><img src=\"" + image() + "\" alt=\"a picture\"></p>", "[![a picture](" + image() + ")](https://example.org)",
          "![a picture](file://" + image() + ")"}) {
        SCOPED_TRACE(description);
        const QString html = markdownHtml(description);
        EXPECT_FALSE(html.contains("img", Qt::CaseInsensitive)) << html.toStdString();
        EXPECT_FALSE(html.contains(QString::fromStdString(mentionOf(image())))) << html.toStdString();
        EXPECT_EQ(plain(html), "a picture");
        EXPECT_EQ(labelHeight(html, Qt::RichText), oneLine);
    }
    // Several images, with and without alt text, around text.
    EXPECT_EQ(plain(markdownHtml("x ![one](" + image() + ")![two](" + image() + ") ![](" + image() + ") y")), "x onetwo  y");
    EXPECT_EQ(plain(markdownHtml("<b>x</b><img src=\"" + image() + "\"><img src=\"" + image() + "\">")), "x");
}

TEST_F(MarkdownResourceTest, StyleSheetsAndBackgroundImagesAreNeverLoaded) {
    const QString linked = markdownHtml("<html><head><link rel=\"stylesheet\" href=\"" + styleSheet() +
                                        "\"></head><body><b>bold</b></body></html>");
    EXPECT_EQ(plain(linked), "bold");
    EXPECT_FALSE(linked.contains("#ff0000")) << linked.toStdString();
    const QString imported = markdownHtml("<style>@import url(" + styleSheet() + ");</style><b>bold</b>");
    EXPECT_FALSE(imported.contains("#ff0000")) << imported.toStdString();

    for (const std::string& description :
         {"<p style=\"background-image:url(" + image() + ")\">text</p>",
          "<span style=\"background-image:url(" + image() + ")\">text</span>",
          "<table background=\"" + image() + "\"><tr><td background=\"" + image() + "\">text</td></tr></table>",
          "<body background=\"" + image() + "\">text</body>"}) {
        SCOPED_TRACE(description);
        const QString html = markdownHtml(description);
        EXPECT_FALSE(html.contains(QString::fromStdString(mentionOf(image())))) << html.toStdString();
        EXPECT_EQ(plain(html).trimmed(), "text");
    }
}

} // namespace
} // namespace tavlin
