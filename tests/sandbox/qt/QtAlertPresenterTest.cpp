#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/base/MainQueue.h"
#include "platform/desktop/Alerts.h"
#include "platform/qt/QtAlertPresenter.h"
#include "support/QtTestApplication.h"
#include "support/TempHome.h"

namespace tavlin::qt {
namespace {

class QtAlertPresenterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::offscreenApplication(); }

    void SetUp() override {
        MainQueue::setShared(&queue_);
        previousPresenter_ = installQtAlertPresenter();
    }
    void TearDown() override {
        setAlertPresenter(previousPresenter_);
        MainQueue::setShared(nullptr);
    }

    static std::vector<QMessageBox*> openBoxes() {
        std::vector<QMessageBox*> boxes;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) boxes.push_back(box);
        }
        return boxes;
    }

    VirtualMainQueue queue_;
    AlertPresenter previousPresenter_;
};

TEST_F(QtAlertPresenterTest, BoxIsCriticalWithBothTextsAndOnlyAnOkButton) {
    const auto box = makeAlertBox("Invalid configuration file", "line 3: unexpected token");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->text(), "Invalid configuration file");
    EXPECT_EQ(box->informativeText(), "line 3: unexpected token");
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons()[0]->text(), "OK");
    EXPECT_EQ(box->buttonRole(box->buttons()[0]), QMessageBox::AcceptRole);
    EXPECT_EQ(box->defaultButton(), box->buttons()[0]);
}

TEST_F(QtAlertPresenterTest, MarkupFromAFileIsShownAsWrittenAndLoadsNothing) {
    const std::string markup = R"(<img src="/dev/zero">)";
    const auto box = makeAlertBox("Failed to open app " + markup, markup);
    int texts = 0;
    for (const QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        ++texts;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    }
    EXPECT_EQ(texts, 2);
}

TEST_F(QtAlertPresenterTest, AlertIsShownModallyOnlyAfterTheCallerReturned) {
    bool callerReturned = false;
    bool returnedBeforeBox = false;
    int boxes = 0;
    QString text;
    QString informative;
    bool modal = false;
    // Runs inside the box's own modal loop, wherever that starts; closes every box so that a
    // presenter that shows at once fails instead of hanging.
    QTimer::singleShot(0, [&] {
        for (QMessageBox* box : openBoxes()) {
            ++boxes;
            returnedBeforeBox = callerReturned;
            text = box->text();
            informative = box->informativeText();
            modal = QApplication::activeModalWidget() == box;
            box->reject();
        }
    });

    showAlert("Failed to save configuration", "disk full");
    callerReturned = true;
    EXPECT_EQ(queue_.runUntilIdle(), 1u);

    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(returnedBeforeBox);
    EXPECT_TRUE(modal);
    EXPECT_EQ(text, "Failed to save configuration");
    EXPECT_EQ(informative, "disk full");
    EXPECT_TRUE(openBoxes().empty());
}

TEST_F(QtAlertPresenterTest, AlertsPostedTogetherAppearOneAfterTheOtherInOrder) {
    // The boxes on screen at each turn of a box's loop, which runs what was posted meanwhile too.
    std::vector<QStringList> shown;
    std::function<void()> look = [&] {
        if (openBoxes().empty()) return;
        shown.emplace_back();
        for (QMessageBox* box : openBoxes()) shown.back() << box->text();
        QTimer::singleShot(0, look);
        queue_.runUntilIdle();
        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->reject();
    };
    QTimer::singleShot(0, look);
    showAlert("Invalid configuration file", "");
    showAlert("Failed to save configuration", "");
    queue_.runUntilIdle();
    QCoreApplication::processEvents(); // the last look finds no box
    EXPECT_EQ(shown, (std::vector<QStringList>{{"Invalid configuration file"}, {"Failed to save configuration"}}));
}

} // namespace
} // namespace tavlin::qt
