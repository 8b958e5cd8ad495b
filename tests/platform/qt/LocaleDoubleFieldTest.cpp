#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include <QtCore/QLocale>
#include <QtTest/QTest>

#include "platform/qt/LocaleDoubleField.h"
#include "support/QtTestApplication.h"

namespace tavlin::qt {
namespace {

class LocaleDoubleFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::offscreenApplication();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        field_ = std::make_unique<LocaleDoubleField>(QStringLiteral("0.05"));
        field_->setValue(0.05);
        field_->setValueHandler([this](double value) { reported_.push_back(value); });
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    // Replaces the text as a user would and presses Return.
    void enter(const QString& text) {
        field_->selectAll();
        QTest::keyClicks(field_.get(), text);
        QTest::keyClick(field_.get(), Qt::Key_Return);
    }

    std::unique_ptr<LocaleDoubleField> field_;
    std::vector<double> reported_;
};

TEST_F(LocaleDoubleFieldTest, ReadsAndShowsTheLocalesNumbersWithoutARange) {
    EXPECT_EQ(field_->text(), "0,05");
    EXPECT_EQ(field_->placeholderText(), "0.05");
    EXPECT_TRUE(field_->alignment() & Qt::AlignRight);
    enter("1,5");
    enter("-1");
    enter("150");
    EXPECT_EQ(reported_, (std::vector<double>{1.5, -1, 150}));
    EXPECT_EQ(field_->text(), "150");
    EXPECT_EQ(field_->value(), 150);
    // The shortest text still reads back to the very same number.
    const double awkward = std::fma(3, 0.05, 0.1);
    field_->setValue(awkward);
    EXPECT_EQ(LocaleDoubleField::parse(field_->text()), awkward);
}

TEST_F(LocaleDoubleFieldTest, TextThatIsNoFiniteNumberPutsTheLastValueBack) {
    enter("2,5");
    for (const char* bad : {"abc", "inf", "nan", "1e999", "-inf", ""}) {
        enter(QString::fromLatin1(bad));
        EXPECT_EQ(field_->text(), "2,5") << bad;
    }
    EXPECT_EQ(reported_, std::vector<double>{2.5});
    EXPECT_EQ(field_->value(), 2.5);
}

TEST_F(LocaleDoubleFieldTest, ReportsOnlyWhatTheUserEnters) {
    field_->setValue(7);
    QTest::keyClick(field_.get(), Qt::Key_Return);
    EXPECT_TRUE(reported_.empty());
    // Typing alone reports nothing until editing finishes, unless asked to.
    field_->selectAll();
    QTest::keyClicks(field_.get(), "3");
    EXPECT_TRUE(reported_.empty());
    field_->setCommitsWhileTyping(true);
    QTest::keyClicks(field_.get(), ",2");
    ASSERT_FALSE(reported_.empty());
    EXPECT_EQ(reported_.back(), 3.2);
    const auto count = reported_.size();
    QTest::keyClicks(field_.get(), "x");
    EXPECT_EQ(reported_.size(), count);
    QTest::keyClick(field_.get(), Qt::Key_Return);
    EXPECT_EQ(field_->text(), "3,2");
}

} // namespace
} // namespace tavlin::qt
