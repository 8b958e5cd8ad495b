#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "QtShortcutKitTest.h"
#include "platform/files/UserDefaults.h"
#include "platform/qt/MainMenu.h"
#include "shortcutkit/qt/Recorder.h"
#include "shortcutkit/qt/RecorderControl.h"

namespace tavlin::shortcutkit {
namespace {

const Shortcut controlOptionJ(keys::j.rawValue, carbon::control | carbon::option);
const Shortcut commandK(keys::k.rawValue, carbon::command);

// A window with a menu bar (the main menu), a recorder and a field beside it.
class RecorderControlTest : public test::QtShortcutKitTest {
protected:
    void SetUp() override {
        QtShortcutKitTest::SetUp();
        RecorderControl::setBeep([this] { ++beeps; });
        RecorderControl::setAlertOpened([this](QMessageBox* box) { alert = box; });
        window = new QWidget;
        auto* layout = new QVBoxLayout(window);
        menuBar = new QMenuBar(window);
        QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
        quit = file->addAction(QStringLiteral("&Quit"));
        quit->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
        QObject::connect(quit, &QAction::triggered, [this] { ++quits; });
        layout->setMenuBar(menuBar);
        qt::setMainMenu(menuBar);
        recorder = new RecorderControl(
            name, [this](const std::optional<Shortcut>& s) { reported.push_back(s); }, window);
        other = new QLineEdit(window);
        other->setAccessibleName(QStringLiteral("Other"));
        layout->addWidget(recorder);
        layout->addWidget(other);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QCoreApplication::processEvents();
    }
    void TearDown() override {
        delete window;
        RecorderControl::setBeep(nullptr);
        RecorderControl::setAlertOpened(nullptr);
        QtShortcutKitTest::TearDown();
    }

    // A click, which also starts again on the idle recorder that kept the focus.
    void startRecording() {
        QTest::mouseClick(recorder, Qt::LeftButton);
        ASSERT_TRUE(recorder->isRecording());
    }
    bool type(Qt::Key key, const Key& code, Qt::KeyboardModifiers modifiers = {}) {
        return QtShortcutKitTest::type(key, static_cast<int>(code.rawValue), modifiers, window);
    }
    void answerAlert() {
        ASSERT_TRUE(alert);
        QPointer<QMessageBox> box = alert.data();
        alert = nullptr;
        box->button(QMessageBox::Ok)->click();
        QCoreApplication::processEvents();
    }

    const Name name{"sl-prefs-flat-row"};
    QWidget* window = nullptr;
    QMenuBar* menuBar = nullptr;
    QAction* quit = nullptr;
    RecorderControl* recorder = nullptr;
    QLineEdit* other = nullptr;
    int beeps = 0;
    int quits = 0;
    QPointer<QMessageBox> alert;
    std::vector<std::optional<Shortcut>> reported;
};

TEST_F(RecorderControlTest, takesFocusOnlyATurnAfterItIsFirstShownAndThenRecords) {
    auto* fresh = new RecorderControl(Name("fresh"), {}, window);
    window->layout()->addWidget(fresh);
    fresh->show();
    fresh->setFocus();
    EXPECT_FALSE(fresh->hasFocus());
    EXPECT_EQ(fresh->placeholderText(), "Click to record shortcut");
    EXPECT_GE(fresh->sizeHint().width(), 130); // and wider where its prompt needs it
    EXPECT_FALSE(fresh->accessibleName().isEmpty());
    QCoreApplication::processEvents();

    std::vector<bool> focus;
    QObject::connect(fresh, &RecorderControl::focusChanged, [&](bool focused) { focus.push_back(focused); });
    fresh->setFocus();
    EXPECT_TRUE(fresh->hasFocus());
    EXPECT_TRUE(fresh->isRecording());
    EXPECT_EQ(fresh->placeholderText(), QString::fromUtf8("Press the shortcut\u2026"));
    other->setFocus();
    EXPECT_FALSE(fresh->isRecording());
    EXPECT_EQ(fresh->placeholderText(), "Click to record shortcut");
    EXPECT_EQ(focus, (std::vector<bool>{true, false}));
}

TEST_F(RecorderControlTest, aWindowComingUpOrBackNeverStartsRecording) {
    // The recorder is the window's only control: activation offers it the focus.
    QWidget sheet;
    auto* first = new RecorderControl(Name("first"), {}, &sheet);
    (new QVBoxLayout(&sheet))->addWidget(first);
    const auto activate = [](QWidget* target) {
        target->show();
        target->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(target));
        QCoreApplication::processEvents();
    };
    activate(&sheet);
    activate(window);
    activate(&sheet);
    EXPECT_FALSE(first->isRecording());
    first->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(first->isRecording());
}

TEST_F(RecorderControlTest, aModifiedCombinationIsStoredShownReportedAndNotGrabbed) {
    startRecording();
    EXPECT_FALSE(recorder->clearAction()->isVisible());
    type(Qt::Key_J, keys::j, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(getShortcut(name), controlOptionJ);
    // The row sheet's name keeps what it records in the standard suite.
    EXPECT_EQ(UserDefaults::standard()->string("ShortcutKit_sl-prefs-flat-row"),
              R"({"carbonKeyCode":38,"carbonModifiers":6144})");
    EXPECT_EQ(recorder->text(), QStringLiteral("Ctrl+Alt+J"));
    EXPECT_EQ(reported, std::vector<std::optional<Shortcut>>{controlOptionJ});
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(recorder->hasFocus()); // idle: Tab goes on from here
    EXPECT_TRUE(recorder->clearAction()->isVisible());
    EXPECT_EQ(changes, std::vector<std::string>{name.rawValue});
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_EQ(beeps, 0);
}

TEST_F(RecorderControlTest, aKeyReleaseAloneRecordsNothing) {
    startRecording();
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_J, Qt::ControlModifier | Qt::AltModifier, *keycodes::xKeycode(keys::j.rawValue),
                      0, 0);
    QApplication::sendEvent(recorder, &release);
    EXPECT_FALSE(getShortcut(name));
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(beeps, 0);
}

TEST_F(RecorderControlTest, combinationsWithoutAModifierBeepUnlessTheyAreFunctionKeys) {
    startRecording();
    type(Qt::Key_A, keys::a, Qt::ShiftModifier);
    type(Qt::Key_A, keys::a);
    EXPECT_EQ(beeps, 2);
    EXPECT_FALSE(getShortcut(name));
    EXPECT_TRUE(recorder->isRecording());

    // A modifier key alone is no key-down: no beep.
    for (const auto key : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Super_L, Qt::Key_CapsLock, Qt::Key_AltGr})
        type(key, keys::shift, Qt::ShiftModifier);
    EXPECT_EQ(beeps, 2);

    type(Qt::Key_F5, keys::f5, Qt::ShiftModifier);
    EXPECT_EQ(getShortcut(name), Shortcut(keys::f5.rawValue, carbon::shift));
    startRecording();
    type(Qt::Key_F5, keys::f5);
    EXPECT_EQ(getShortcut(name), Shortcut(keys::f5.rawValue, 0));
    EXPECT_EQ(beeps, 2);
}

TEST_F(RecorderControlTest, escapeAndTabEndRecordingButEscapeWithAModifierIsACombination) {
    setShortcut(commandK, name);
    startRecording();
    type(Qt::Key_Escape, keys::escape);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(getShortcut(name), commandK);

    startRecording();
    type(Qt::Key_Tab, keys::tab);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(QApplication::focusWidget(), recorder->clearButton()); // Tab passes on and moves focus

    startRecording();
    type(Qt::Key_Escape, keys::escape, Qt::MetaModifier);
    EXPECT_EQ(getShortcut(name), Shortcut(keys::escape.rawValue, carbon::command));
}

TEST_F(RecorderControlTest, deleteAndTheClearButtonClearAndKeepRecording) {
    setShortcut(commandK, name);
    EXPECT_EQ(recorder->text(), QStringLiteral("Super+K"));
    startRecording();
    type(Qt::Key_Backspace, keys::deleteKey);
    EXPECT_FALSE(getShortcut(name));
    EXPECT_EQ(reported, std::vector<std::optional<Shortcut>>{std::nullopt});
    EXPECT_TRUE(recorder->text().isEmpty());
    EXPECT_FALSE(recorder->clearAction()->isVisible());
    EXPECT_TRUE(recorder->hasFocus());
    EXPECT_TRUE(recorder->isRecording());
    // Nothing left to clear: Delete is only swallowed.
    type(Qt::Key_Delete, keys::deleteForward);
    EXPECT_EQ(reported.size(), 1u);
    EXPECT_EQ(beeps, 0);

    setShortcut(commandK, name);
    other->setFocus();
    QToolButton* button = nullptr;
    for (auto* candidate : recorder->findChildren<QToolButton*>())
        if (candidate->defaultAction() == recorder->clearAction()) button = candidate;
    ASSERT_TRUE(button);
    EXPECT_FALSE(button->accessibleName().isEmpty());
    startRecording();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(getShortcut(name));
    EXPECT_TRUE(recorder->isRecording());
}

TEST_F(RecorderControlTest, aMenuItemsCombinationShowsTheMenuAlertAndKeepsTheOldShortcut) {
    // Not recording, the combination is the menu item's.
    other->setFocus();
    EXPECT_TRUE(type(Qt::Key_Q, keys::q, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(quits, 1);

    setShortcut(commandK, name);
    startRecording();
    EXPECT_FALSE(type(Qt::Key_Q, keys::q, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(quits, 1);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), QString::fromUtf8("The menu item \u201cQuit\u201d already uses this shortcut."));
    EXPECT_TRUE(alert->informativeText().isEmpty());
    EXPECT_EQ(alert->icon(), QMessageBox::Warning);
    EXPECT_EQ(alert->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(getShortcut(name), commandK);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(registrar.probes, 0);

    answerAlert();
    EXPECT_TRUE(recorder->isRecording());
}

TEST_F(RecorderControlTest, aCombinationAnotherProgramHoldsShowsTheSystemAlertButBareF12IsNotAsked) {
    registrar.heldElsewhere.insert({38, 0x1800});
    registrar.heldElsewhere.insert({111, 0});
    startRecording();
    type(Qt::Key_J, keys::j, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "Another program or the desktop already uses this shortcut.");
    EXPECT_EQ(alert->informativeText(), "Choose another combination, or free this one in your desktop's keyboard settings.");
    EXPECT_FALSE(getShortcut(name));
    answerAlert();
    ASSERT_TRUE(recorder->isRecording());

    const int probes = registrar.probes;
    type(Qt::Key_F12, keys::f12);
    EXPECT_EQ(registrar.probes, probes);
    EXPECT_EQ(getShortcut(name), Shortcut(111, 0));
}

TEST_F(RecorderControlTest, aClickOutsideEndsRecordingAndStillReachesItsTarget) {
    auto* button = new QPushButton(QStringLiteral("Elsewhere"), window);
    button->setFocusPolicy(Qt::NoFocus);
    window->layout()->addWidget(button);
    button->show();
    QCoreApplication::processEvents();
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });

    startRecording();
    QTest::mouseClick(recorder, Qt::LeftButton);
    EXPECT_TRUE(recorder->isRecording());
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_FALSE(recorder->isRecording());
    startRecording();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(clicks, 1);
}

TEST_F(RecorderControlTest, onlyItsOwnNamesChangesChangeTheText) {
    setShortcut(commandK, name);
    const QString shown = recorder->text();
    setShortcut(controlOptionJ, Name("another"));
    EXPECT_EQ(recorder->text(), shown);
    setShortcut(controlOptionJ, name);
    EXPECT_EQ(recorder->text(), QStringLiteral("Ctrl+Alt+J"));
    recorder->setShortcutName(Name("another"));
    EXPECT_EQ(recorder->text(), QStringLiteral("Ctrl+Alt+J"));
    recorder->setShortcutName(Name("empty"));
    EXPECT_TRUE(recorder->text().isEmpty());
}

TEST_F(RecorderControlTest, aWindowThatGoesWhileItsAlertIsOpenLeavesNothingBehind) {
    startRecording();
    type(Qt::Key_Q, keys::q, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(alert);
    // Hidden: answering the alert does not record again.
    window->hide();
    answerAlert();
    EXPECT_FALSE(recorder->isRecording());

    window->show();
    QCoreApplication::processEvents();
    startRecording();
    type(Qt::Key_Q, keys::q, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(alert);
    delete window;
    window = nullptr;
    EXPECT_FALSE(alert);
    QCoreApplication::processEvents();
}

TEST_F(RecorderControlTest, aRecorderWithATitleLabelsItsControl) {
    Recorder labelled(QStringLiteral("Leader key:"), Name("labelled"));
    ASSERT_TRUE(labelled.hasLabel());
    EXPECT_EQ(labelled.label()->text(), "Leader key:");
    EXPECT_EQ(labelled.label()->buddy(), labelled.control());
    EXPECT_EQ(labelled.control()->accessibleName(), "Leader key:");
    Recorder bare(Name("bare"));
    EXPECT_FALSE(bare.hasLabel());
    EXPECT_TRUE(bare.control());
}

} // namespace
} // namespace tavlin::shortcutkit
