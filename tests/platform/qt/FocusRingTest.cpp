#include <memory>

#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QStyle>

#include "platform/qt/FocusRing.h"
#include "support/QtTestApplication.h"

namespace tavlin::qt {
namespace {

// The longest run of pixels in `color` across the middle row of `image`.
int longestRun(const QImage& image, const QColor& color) {
    int longest = 0;
    int run = 0;
    for (int x = 0; x < image.width(); ++x) {
        run = image.pixelColor(x, image.height() / 2) == color ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// Each kind of control, focused from the keyboard, is ringed at least two pixels deep in the
// highlight colour, and not at all without the focus.
TEST(FocusRingStyleTest, KeyboardFocusIsRingedTwoPixelsDeep) {
    test::offscreenApplication();
    const std::unique_ptr<QStyle> style(makeFocusRingStyle());
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* combo = new QComboBox(&window);
    combo->addItem(QStringLiteral("Item"));
    const std::vector<QWidget*> controls{new QLineEdit(&window), new QPushButton(QStringLiteral("Button"), &window),
                                         new QCheckBox(QStringLiteral("Check"), &window), new QSpinBox(&window), combo};
    for (QWidget* control : controls) {
        control->setStyle(style.get());
        layout->addWidget(control);
    }
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // As Tab leaves it; showing the window takes it away.
    window.setAttribute(Qt::WA_KeyboardFocusChange);
    const QColor highlight = window.palette().color(QPalette::Highlight);
    for (QWidget* control : controls) {
        control->setFocus();
        ASSERT_TRUE(control->hasFocus());
        EXPECT_GE(longestRun(control->grab().toImage(), highlight), 2) << control->metaObject()->className();
        control->clearFocus();
        EXPECT_EQ(longestRun(control->grab().toImage(), highlight), 0) << control->metaObject()->className();
    }
}

} // namespace
} // namespace tavlin::qt
