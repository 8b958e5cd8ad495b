#include <set>

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>

#include "FlatEditorHarness.h"
#include "FlatRows.h"
#include "actionediting/ApplicationChooserDialog.h"
#include "actionediting/ConfigurationLeaderKeyView.h"
#include "engine/ShellServices.h"
#include "flateditor/ActionDescriptionEditorView.h"
#include "flateditor/ApplicationScopeEditorView.h"
#include "flateditor/RowComposeSheetDialog.h"
#include "flateditor/SettingsContentView.h"
#include "flateditor/TriggerKeyEditorView.h"
#include "model/KeyNames.h"
#include "model/LaidOutText.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/files/Files.h"
#include "platform/keys/VirtualKeyCodes.h"
#include "shortcutkit/qt/RecorderControl.h"
#include "support/Accessible.h"
#include "support/QtTestApplication.h"
#include "support/TextFit.h"

namespace tavlin::flateditor {
namespace {

using test::flatRow;
using test::Scope;

constexpr int A = 0, B = 11, C = 8;

LeaderKey optionTap() { return LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::option)); }

// What the accessibility bridge does while a screen reader listens: each key press and release
// from the window system is held back and sent again, no longer spontaneous, once the reader let
// it pass.
class ScreenReaderKeyDelay final : public QObject {
public:
    ScreenReaderKeyDelay() { qApp->installEventFilter(this); }
    ~ScreenReaderKeyDelay() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (!event->spontaneous() || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        QCoreApplication::postEvent(target, new QKeyEvent(key->type(), key->key(), key->modifiers(), key->text()));
        return true;
    }
};

// The sheet as the list opens it: the real list, the real presenter, the shell's observer.
class RowComposeSheetDialogTest : public test::FlatEditorTest {
protected:
    void SetUp() override {
        FlatEditorTest::SetUp();
        RowComposeSheet::setPresenter(RowComposeSheetDialog::presenter([this] { return view_.get(); }));
        savedServices_ = ShellServices::shared();
        auto& services = ShellServices::shared();
        services.unregisterAllLeaderKeys = [this] { ++unregisters_; };
        // The shell's observer registers the leader keys too: only the sheet's own are counted.
        services.reloadLeaderKeys = [this](bool) { ++reloads_; };
        services.openHelperApplication = [this] { ++helperOpens_; };
        setHelperRunningProbe([this] { return helperRunning_; });
        applications_ = tempHome().dataHome() / "applications";
        std::filesystem::create_directories(applications_);
        std::filesystem::create_directories(root_ / "system");
        ::setenv("XDG_DATA_DIRS", (root_ / "system").c_str(), 1);
        test::followEnvironmentInGLib();
    }
    void TearDown() override {
        if (QPointer<RowComposeSheetDialog> left = sheet()) {
            left->reject();
            delete left;
        }
        view_.reset();
        setHelperRunningProbe(nullptr);
        ShellServices::shared() = savedServices_;
        FlatEditorTest::TearDown();
    }

    SettingsContentView& show() {
        view_ = std::make_unique<SettingsContentView>();
        view_->resize(720, 500);
        view_->show();
        view_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(view_.get(), 20000));
        view_->list()->setFocus();
        // The stores so far reach the shell's observer, which registers the leader keys.
        waitForRegeneration();
        reloads_ = 0;
        return *view_;
    }
    void select(const FlatKeysAndActionRow& row) { view_->selectRow(row.id); }

    RowComposeSheetDialog* sheet() const {
        if (!view_) return nullptr;
        for (auto* dialog : view_->findChildren<RowComposeSheetDialog*>())
            if (dialog->isVisible()) return dialog;
        return nullptr;
    }
    // Sends the list's keys and answers the sheet they opened, active and ready for keys.
    RowComposeSheetDialog* open(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        activate(*view_);
        QTest::keyClick(view_->list(), key, modifiers);
        RowComposeSheetDialog* opened = sheet();
        if (!opened) return nullptr;
        activate(*opened);
        return opened;
    }
    // Its window must have the focus for its shortcuts; a closed popup may have taken it away.
    static void activate(QWidget& window) {
        window.activateWindow();
        // The window's activity is shared with its parent's: wait for the window itself.
        QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::focusWindow() == window.windowHandle(), 20000);
        EXPECT_EQ(QGuiApplication::focusWindow(), window.windowHandle());
    }
    bool closed(QPointer<RowComposeSheetDialog> dialog) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !dialog || !dialog->isVisible();
    }
    // Through the open list, as a user chooses: the item made current, then Return.
    static void choose(QComboBox* box, int index) {
        box->showPopup();
        QAbstractItemView* list = box->view();
        list->setCurrentIndex(list->model()->index(index, 0));
        QTest::keyClick(list, Qt::Key_Return);
    }
    static void pick(RowComposeSheetDialog& dialog, std::int64_t keyCode) {
        QComboBox* picker = dialog.triggerKeys()->picker();
        const int index = picker->findData(QVariant::fromValue<qlonglong>(keyCode));
        ASSERT_GT(index, 0) << keyCode;
        choose(picker, index);
    }
    static void chooseKind(RowComposeSheetDialog& dialog, const QString& title) {
        const int index = dialog.kindPicker()->findText(title);
        ASSERT_GE(index, 0) << title.toStdString();
        choose(dialog.kindPicker(), index);
    }
    // The recorder takes focus from its second turn on screen.
    static void focusRecorder(RowComposeSheetDialog& dialog) {
        QTRY_VERIFY_WITH_TIMEOUT(dialog.leaderKeyEditor()->recorder()->focusPolicy() != Qt::NoFocus, 20000);
        dialog.leaderKeyEditor()->recorder()->setFocus();
        EXPECT_TRUE(dialog.leaderKeyEditor()->recorder()->hasFocus());
    }
    static void save(RowComposeSheetDialog& dialog) {
        activate(dialog);
        QTest::keyClick(&dialog, Qt::Key_S, Qt::ControlModifier);
    }
    static QString conflictText(RowComposeSheetDialog& dialog) {
        QLabel* label = dialog.triggerKeys()->conflictLabel();
        return label->isVisibleTo(&dialog) ? label->text() : QString();
    }
    static QString redLine(RowComposeSheetDialog& dialog) {
        return dialog.validationLabel()->isVisibleTo(&dialog) ? dialog.validationLabel()->text() : QString();
    }
    // Whether every key button is on screen within the sheet, as a user sees and clicks it.
    static bool keyButtonsShown(RowComposeSheetDialog& dialog) {
        for (QPushButton* button : dialog.triggerKeys()->keyButtons()) {
            const QRect inSheet(button->mapTo(&dialog, QPoint(0, 0)), button->size());
            if (!button->isVisibleTo(&dialog) || button->visibleRegion().isEmpty() || !dialog.rect().contains(inSheet))
                return false;
        }
        return true;
    }
    static std::vector<QString> keyButtonTexts(RowComposeSheetDialog& dialog) {
        std::vector<QString> texts;
        for (auto* button : dialog.triggerKeys()->keyButtons()) texts.push_back(button->text());
        return texts;
    }
    std::vector<FlatKeysAndActionRow> stored() {
        return settings::flatKeysAndActionRows().value_or(std::vector<FlatKeysAndActionRow>{});
    }

    std::filesystem::path entry(const std::string& id, const std::string& name) {
        const auto path = applications_ / (id + ".desktop");
        test::writeFile(path, "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true " + id + "\n");
        return path;
    }
    // The scope editor's "plus", answered in the application chooser with the entry named so.
    static void addApplication(RowComposeSheetDialog& dialog, const QString& name) {
        chooseApplication(dialog.scopeEditor()->addButton(), name);
    }
    static void chooseApplication(QAbstractButton* opener, const QString& name) {
        test::whenShown<ApplicationChooserDialog>([name](ApplicationChooserDialog& chooser) {
            chooser.setFilter(name);
            for (int i = 0; i < chooser.list()->count(); ++i)
                if (!chooser.list()->item(i)->isHidden()) chooser.list()->setCurrentRow(i);
            QTest::mouseClick(chooser.chooseButton(), Qt::LeftButton);
            if (chooser.isVisible()) chooser.reject();
        });
        QTest::mouseClick(opener, Qt::LeftButton);
    }
    // The shown control of the parameter editor with this accessible name. A rebuilt editor is
    // shown on the next turn of the event loop.
    template <class W>
    static W* editorControl(RowComposeSheetDialog& dialog, const QString& name) {
        QCoreApplication::processEvents();
        if (!dialog.paramsEditor()) return nullptr;
        for (W* widget : dialog.paramsEditor()->findChildren<W*>())
            if (widget->accessibleName() == name && widget->isVisibleTo(&dialog)) return widget;
        return nullptr;
    }

    std::unique_ptr<SettingsContentView> view_;
    ShellServices savedServices_;
    int unregisters_ = 0;
    int reloads_ = 0;
    int helperOpens_ = 0;
    bool helperRunning_ = false;
    std::filesystem::path applications_;
    test::SavedEnvironment dataDirs_{"XDG_DATA_DIRS"};
};

TEST_F(RowComposeSheetDialogTest, newRowIsComposedByKeyboardAppendedAndSelected) {
    const auto existing = flatRow({C});
    store({existing});
    ASSERT_FALSE(store_->set(settings::keys::previousSetLeaderKeySingleModier, std::string("⌥")));
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(helperOpens_, 1);
    EXPECT_EQ(QApplication::focusWidget(), dialog->triggerKeys()->picker());
    EXPECT_EQ(dialog->triggerKeysTitle()->text(), "Action trigger keys:\n(one or more keys to press after \"Alt\")");
    EXPECT_FALSE(dialog->scopeGroup()->isVisibleTo(dialog));
    EXPECT_EQ(dialog->saveButton()->toolTip(), QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText));
    pick(*dialog, A);
    EXPECT_TRUE(keyButtonsShown(*dialog));
    pick(*dialog, B);
    QCoreApplication::processEvents();
    EXPECT_TRUE(keyButtonsShown(*dialog));
    chooseKind(*dialog, "Open File Manager");
    EXPECT_FALSE(dialog->paramsEditor());
    save(*dialog);
    ASSERT_TRUE(closed(dialog)) << redLine(*dialog).toStdString() << " kind " << dialog->kindPicker()->currentText().toStdString()
                                << " keys " << keyButtonTexts(*dialog).size() << " focus "
                                << QApplication::focusWidget()->metaObject()->className() << " active "
                                << (QApplication::activeWindow() == dialog);

    const auto rows = stored();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, existing.id);
    const auto& row = rows[1];
    EXPECT_NE(row.id, existing.id);
    EXPECT_NE(row.action.id, existing.action.id);
    EXPECT_TRUE(row.enabled);
    EXPECT_EQ(row.applicationScope, Scope::allBut());
    EXPECT_EQ(row.leaderKey, optionTap());
    EXPECT_EQ(row.keys, (std::vector<std::int64_t>{A, B}));
    EXPECT_TRUE(std::holds_alternative<Action::Kind::openFinder>(row.action.kind.value()));
    EXPECT_TRUE(store_->contains(settings::keys::previousCheckedComplexMode));
    EXPECT_EQ(view_->selectedRowID(), row.id);
    // The sheet registers nothing itself: the shell's observer does, once it regenerated.
    EXPECT_EQ(reloads_, 0);
    EXPECT_EQ(unregisters_, 0);
    waitForRegeneration();
    EXPECT_NE(configurationText().find("openFinder"), std::string::npos);
}

// On X11 a combo box is read out by its current item only; each has a label that says what it is.
TEST_F(RowComposeSheetDialogTest, everyPickerIsLabelledByWhatItIs) {
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(test::labelNames(dialog->kindPicker()).contains("Kind: "));
    EXPECT_TRUE(test::labelNames(dialog->triggerKeys()->picker()).contains("Key: "));
    EXPECT_TRUE(test::labelNames(dialog->scopeEditor()->kindPicker()).contains("Scope: "));
    chooseKind(*dialog, "Open App");
    QComboBox* running = editorControl<QComboBox>(*dialog, "Action If Already Running");
    ASSERT_TRUE(running);
    EXPECT_TRUE(test::labelNames(running).contains("Action If Already Running"));
}

TEST_F(RowComposeSheetDialogTest, inComplexModeEveryTitlePromptAndPlaceholderShowsWhole) {
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    QTest::mouseClick(dialog->leaderKeyEditor()->comboButton(), Qt::LeftButton);
    test::expectGroupTitlesWhole(*dialog);
    for (const QLineEdit* field : dialog->findChildren<QLineEdit*>()) // the recorder among them
        if (field->isVisibleTo(dialog)) {
            EXPECT_TRUE(test::showsWhole(*field, field->placeholderText()));
        }
}

TEST_F(RowComposeSheetDialogTest, editReplacesInPlaceAndACopyConflictsUntilItsKeysChange) {
    const auto shownThird = flatRow({C}), first = flatRow({A}), second = flatRow({B});
    store({shownThird, first, second});
    show();
    select(shownThird);
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(keyButtonTexts(*dialog), std::vector<QString>{QString::fromStdString(keyName(C))});
    EXPECT_EQ(dialog->kindPicker()->currentText(), "Open URL");
    save(*dialog);
    ASSERT_TRUE(closed(dialog));
    auto rows = stored();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NE(rows[0].id, shownThird.id);
    EXPECT_EQ(rows[0].keys, shownThird.keys);
    EXPECT_EQ(rows[1].id, first.id);
    EXPECT_EQ(view_->selectedRowID(), rows[0].id);

    // New with selected row, saved unchanged: the copy meets its original.
    const std::string before = storedText();
    dialog = open(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(conflictText(*dialog).isEmpty());
    EXPECT_TRUE(redLine(*dialog).isEmpty());
    save(*dialog);
    ASSERT_FALSE(closed(dialog));
    EXPECT_EQ(redLine(*dialog), "Conflict with existing key bindings.");
    EXPECT_EQ(conflictText(*dialog), QString::fromStdString("Conflict with existing key bindings (" + keyName(C) +
                                                            ").\nDelete and reselect a key to resolve."));
    EXPECT_EQ(QApplication::focusWidget(), dialog->triggerKeys()->conflictLabel());
    EXPECT_EQ(storedText(), before);
    // No keys: every stored row begins with them, the first stored is named.
    QTest::mouseClick(dialog->triggerKeys()->keyButtons().at(0), Qt::LeftButton);
    EXPECT_EQ(conflictText(*dialog), QString::fromStdString("Conflict with existing key bindings (" + keyName(C) +
                                                            ").\nAdd more keys or set application scope."));
    EXPECT_EQ(redLine(*dialog), "Conflict with existing key bindings.");
    pick(*dialog, C);
    pick(*dialog, A);
    EXPECT_EQ(conflictText(*dialog), QString::fromStdString("Conflict with existing key bindings (" + keyName(C) +
                                                            ").\nDelete and reselect a key to resolve."));
    QTest::mouseClick(dialog->triggerKeys()->keyButtons().at(0), Qt::LeftButton);
    QTest::mouseClick(dialog->triggerKeys()->keyButtons().at(0), Qt::LeftButton);
    pick(*dialog, B);
    pick(*dialog, B);
    QCoreApplication::processEvents();
    EXPECT_TRUE(keyButtonsShown(*dialog));
    EXPECT_EQ(conflictText(*dialog), QString::fromStdString("Conflict with existing key bindings (" + keyName(B) +
                                                            ").\nDelete and reselect a key to resolve."));
    QTest::mouseClick(dialog->triggerKeys()->deleteAllButton(), Qt::LeftButton);
    pick(*dialog, 1);
    EXPECT_TRUE(conflictText(*dialog).isEmpty());
    EXPECT_TRUE(redLine(*dialog).isEmpty());
    EXPECT_EQ(storedText(), before);
}

TEST_F(RowComposeSheetDialogTest, thePickerAppendsOnlyWhatIsChosen) {
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    QComboBox* picker = dialog->triggerKeys()->picker();
    EXPECT_EQ(picker->currentText(), "Click To Add A Key");
    EXPECT_EQ(picker->findData(QVariant::fromValue<qlonglong>(keycodes::space)), -1);
    EXPECT_EQ(picker->findData(QVariant::fromValue<qlonglong>(keycodes::escape)), -1);
    EXPECT_EQ(picker->count(), static_cast<int>(sortedAvailableKeyCodes().size()) + 1);
    EXPECT_FALSE(dialog->triggerKeys()->deleteAllButton()->isVisibleTo(dialog));

    // On the closed picker the arrows and Space open the list; the wheel does nothing.
    for (const auto key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Space}) {
        QTest::keyClick(picker, key);
        EXPECT_TRUE(picker->view()->isVisible());
        picker->hidePopup();
    }
    // Typing opens it too, on the key found, and appends nothing until one is picked.
    QTest::keyClick(picker, Qt::Key_F);
    EXPECT_TRUE(picker->view()->isVisible());
    EXPECT_EQ(picker->view()->currentIndex().data().toString(), "F");
    picker->hidePopup();
    QWheelEvent wheel(QPointF(5, 5), picker->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(picker, &wheel);
    EXPECT_TRUE(dialog->triggerKeys()->keyButtons().empty());
    choose(picker, 0);
    EXPECT_TRUE(dialog->triggerKeys()->keyButtons().empty());

    pick(*dialog, A);
    pick(*dialog, A);
    pick(*dialog, B);
    const QString a = QString::fromStdString(keyName(A)), b = QString::fromStdString(keyName(B));
    EXPECT_EQ(keyButtonTexts(*dialog), (std::vector<QString>{a, a, b}));
    EXPECT_EQ(picker->currentIndex(), 0);
    EXPECT_EQ(picker->currentText(), "Add More Keys");
    EXPECT_EQ(dialog->triggerKeys()->keyButtons()[1]->toolTip(), "Click to delete the key");
    QTest::mouseClick(dialog->triggerKeys()->keyButtons()[1], Qt::LeftButton);
    EXPECT_EQ(keyButtonTexts(*dialog), (std::vector<QString>{a, b}));
    // A key change validates, but the red line waits for the first save.
    EXPECT_TRUE(redLine(*dialog).isEmpty());
    save(*dialog);
    EXPECT_EQ(redLine(*dialog), "Invalid path.");
    // The failed save sends the focus to the path's control.
    ASSERT_TRUE(dialog->focusTarget(RowComposeSheet::Field::openAppPathField));
    EXPECT_EQ(QApplication::focusWidget(), dialog->focusTarget(RowComposeSheet::Field::openAppPathField));
    QTest::mouseClick(dialog->triggerKeys()->deleteAllButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog->triggerKeys()->keyButtons().empty());
    EXPECT_EQ(picker->currentText(), "Click To Add A Key");
    EXPECT_FALSE(dialog->triggerKeys()->deleteAllButton()->isVisibleTo(dialog));

    // Return saves nothing, wherever the focus is.
    chooseKind(*dialog, "Open File Manager");
    for (QWidget* target : {static_cast<QWidget*>(picker), static_cast<QWidget*>(dialog->saveButton()),
                            static_cast<QWidget*>(dialog->kindPicker())}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    EXPECT_FALSE(closed(dialog));
    EXPECT_FALSE(settings::flatKeysAndActionRows());
}

TEST_F(RowComposeSheetDialogTest, aKeyPickedByKeyboardIsAddedOnceWhileAScreenReaderListens) {
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    QComboBox* picker = dialog->triggerKeys()->picker();
    QAbstractItemView* list = picker->view();
    const ScreenReaderKeyDelay bridge;
    const auto type = [](QWidget* target, Qt::Key key) {
        QTest::keyClick(target, key);
        QCoreApplication::sendPostedEvents();
    };
    std::vector<std::int64_t> expected;
    // Down Down Return, then type-ahead and Return.
    for (const auto& keys : {std::vector<Qt::Key>{Qt::Key_Down, Qt::Key_Down}, std::vector<Qt::Key>{Qt::Key_T}}) {
        type(picker, Qt::Key_Space);
        ASSERT_TRUE(list->isVisible());
        for (const auto key : keys) type(list, key);
        expected.push_back(list->currentIndex().data(Qt::UserRole).toLongLong());
        type(list, Qt::Key_Return);
        QTRY_VERIFY(!list->isVisible());
        EXPECT_EQ(dialog->state().currentKeys(), expected);
    }
}

// The sheet opens from the keyboard: its focus shows before any Tab, and Tab meets the keys
// picked, never the row that holds them.
TEST_F(RowComposeSheetDialogTest, theFocusShowsFromTheOpeningAndTheKeysRowIsNoStop) {
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    QWidget* picker = dialog->triggerKeys()->picker();
    ASSERT_EQ(QApplication::focusWidget(), picker);
    const QImage focused = picker->grab().toImage();
    picker->clearFocus();
    EXPECT_NE(picker->grab().toImage(), focused);

    pick(*dialog, A);
    QScrollArea* keysRow = dialog->triggerKeys()->findChild<QScrollArea*>();
    ASSERT_TRUE(keysRow);
    std::set<QWidget*> stops;
    QWidget* stop = picker;
    stop->setFocus();
    for (int step = 0; step < 60 && stops.insert(stop).second; ++step) {
        QTest::keyClick(stop, Qt::Key_Tab);
        stop = dialog->focusWidget();
    }
    EXPECT_EQ(stops.count(keysRow), 0u);
    EXPECT_EQ(stops.count(dialog->triggerKeys()->keyButtons().front()), 1u);
}

TEST_F(RowComposeSheetDialogTest, aRecordedCombinationKeepsTheFocusWhereTabGoesOnToTheClearButton) {
    ASSERT_FALSE(store_->set(settings::keys::previousCheckedComplexMode, true));
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    QTest::mouseClick(dialog->leaderKeyEditor()->comboButton(), Qt::LeftButton);
    focusRecorder(*dialog);
    shortcutkit::RecorderControl* recorder = dialog->leaderKeyEditor()->recorder();
    // Ctrl+Alt+Y as the X server sends it, with its key code.
    const auto y = keycodes::xKeycode(16).value_or(0);
    for (const auto type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent event(type, Qt::Key_Y, Qt::ControlModifier | Qt::AltModifier, y, 0, 0);
        QApplication::sendEvent(recorder, &event);
    }
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+Y");
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(QApplication::focusWidget(), recorder);
    QTest::keyClick(recorder, Qt::Key_Tab);
    auto* clear = qobject_cast<QToolButton*>(QApplication::focusWidget());
    ASSERT_TRUE(clear && clear->defaultAction() == recorder->clearAction());
    QTest::keyClick(clear, Qt::Key_Space);
    EXPECT_TRUE(recorder->text().isEmpty());
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_TRUE(settingErrorOf(dialog->state().currentLeaderKeyResult()));
}

TEST_F(RowComposeSheetDialogTest, aHeldLeaderKeyIsShownAsHeldAndKeptUnlessAnotherKindIsChosen) {
    const auto held = flatRow({A}, LeaderKey::hold(true, keycodes::space));
    store({held});
    ASSERT_FALSE(store_->set(settings::keys::previousCheckedComplexMode, true));
    show();
    select(held);
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    QRadioButton* checked = nullptr;
    for (auto* button : dialog->leaderKeyGroup()->findChildren<QRadioButton*>())
        if (button->isChecked()) checked = button;
    ASSERT_TRUE(checked);
    EXPECT_EQ(checked->text(), "Hold Space, keeping its own function");
    EXPECT_FALSE(dialog->leaderKeyEditor()->recorder()->isVisible());
    // By the arrows to another kind, which is the row's leader key then, and back.
    checked->setFocus();
    QTest::keyClick(checked, Qt::Key_Left);
    EXPECT_TRUE(dialog->leaderKeyEditor()->singleModifierButton()->isChecked());
    EXPECT_EQ(*leaderKeyOf(dialog->state().currentLeaderKeyResult()),
              LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::command)));
    QTest::keyClick(dialog->leaderKeyEditor()->singleModifierButton(), Qt::Key_Right);
    EXPECT_TRUE(checked->isChecked());
    chooseKind(*dialog, "Open File Manager");
    save(*dialog);
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(stored().back().leaderKey, held.leaderKey);
}

TEST_F(RowComposeSheetDialogTest, closingBringsTheLeaderKeysBackOnce) {
    auto asleep = flatRow({A});
    asleep.action = Action(Action::Kind::sleep{});
    store({asleep});
    ASSERT_FALSE(store_->set(settings::keys::previousCheckedComplexMode, true));
    show();

    // Escape and Cancel are the editable sheet's Cancel: one reload each, nothing stored.
    const std::string before = storedText();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(closed(dialog));
    EXPECT_EQ(reloads_, 1);
    dialog = open(Qt::Key_N, Qt::ControlModifier);
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(closed(dialog));
    EXPECT_EQ(reloads_, 2);
    // The recorder held them off; the close box is a Cancel too, and reloads once all the same.
    dialog = open(Qt::Key_N, Qt::ControlModifier);
    QTest::mouseClick(dialog->leaderKeyEditor()->comboButton(), Qt::LeftButton);
    focusRecorder(*dialog);
    EXPECT_EQ(unregisters_, 1);
    dialog->close();
    EXPECT_TRUE(closed(dialog));
    EXPECT_EQ(reloads_, 3);
    EXPECT_EQ(storedText(), before);

    // A sleep action without the helper is read-only: only Cancel, which reloads nothing...
    select(asleep);
    dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->kindPicker());
    EXPECT_FALSE(dialog->saveButton());
    std::vector<QString> texts;
    for (auto* label : dialog->findChildren<QLabel*>()) texts.push_back(label->text());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Readonly Action:"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), QString::fromStdString(asleep.action.kind.description())), texts.end());
    save(*dialog);
    EXPECT_FALSE(closed(dialog));
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(closed(dialog));
    EXPECT_EQ(reloads_, 3);
    // ...unless the recorder left them off.
    dialog = open(Qt::Key_Return);
    QTest::mouseClick(dialog->leaderKeyEditor()->comboButton(), Qt::LeftButton);
    focusRecorder(*dialog);
    EXPECT_EQ(unregisters_, 2);
    dialog->triggerKeys()->picker()->setFocus(); // the recording ends: they come back
    EXPECT_EQ(reloads_, 4);
    focusRecorder(*dialog);
    dialog->reject();
    EXPECT_TRUE(closed(dialog));
    EXPECT_EQ(unregisters_, 3);
    EXPECT_EQ(reloads_, 5);
    EXPECT_EQ(storedText(), before);
    // With the helper the kind can be edited.
    helperRunning_ = true;
    dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog && dialog->kindPicker());
    EXPECT_EQ(dialog->kindPicker()->currentText(), "Sleep");
}

TEST_F(RowComposeSheetDialogTest, leaderKeyEditorIsKeptAndItsSettingsAreSaved) {
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    EXPECT_EQ(dialog->complexModeToggle()->toolTip(), "Click to show less settings");
    EXPECT_EQ(dialog->triggerKeysTitle()->text(), "Action trigger keys:\n(one or more keys to press after the leader key)");
    ConfigurationLeaderKeyView* editor = dialog->leaderKeyEditor();
    ASSERT_TRUE(editor->isVisibleTo(dialog));
    QTest::mouseClick(editor->modifierButton(HotKey::SingleTapModifier::option), Qt::LeftButton);
    // Off and on again: the same control, still showing what will be saved.
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    EXPECT_FALSE(editor->isVisibleTo(dialog));
    EXPECT_EQ(dialog->triggerKeysTitle()->text(), "Action trigger keys:\n(one or more keys to press after \"Alt\")");
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    EXPECT_EQ(dialog->leaderKeyEditor(), editor);
    EXPECT_TRUE(editor->modifierButton(HotKey::SingleTapModifier::option)->isChecked());
    pick(*dialog, A);
    chooseKind(*dialog, "Toggle Configuration Window");
    save(*dialog);
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(stored().back().leaderKey, optionTap());
    EXPECT_EQ(store_->string(settings::keys::previousSetLeaderKeySingleModier), "⌥");
    EXPECT_EQ(settings::previousCheckedComplexMode(), true);

    // A combination cleared: the save names the missing hot key and focuses the kind, not the
    // recorder, which would switch the leader keys off.
    auto combo = flatRow({B}, LeaderKey::press(HotKey::combo(17, 0x1000)));
    auto rows = stored();
    rows.push_back(combo);
    store(rows);
    waitForRegeneration();
    reloads_ = 0;
    select(combo);
    dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->leaderKeyEditor()->comboButton()->isChecked());
    EXPECT_EQ(dialog->leaderKeyEditor()->recorder()->text().isEmpty(), false);
    dialog->leaderKeyEditor()->recorder()->clearAction()->trigger();
    EXPECT_EQ(unregisters_, 1);
    dialog->triggerKeys()->picker()->setFocus();
    EXPECT_EQ(reloads_, 1);
    save(*dialog);
    EXPECT_EQ(redLine(*dialog), "Invalid leader key settings: no hot key recorded.");
    EXPECT_EQ(QApplication::focusWidget(), dialog->leaderKeyEditor()->comboButton());
    EXPECT_EQ(unregisters_, 1);
    EXPECT_EQ(stored().back().id, combo.id);
}

TEST_F(RowComposeSheetDialogTest, scopeEditorListsAddsAndRemovesApplications) {
    const auto x = entry("x", "Xray"), y = entry("y", "Yankee"), z = entry("z", "Zulu");
    // R1 and R2 share A in different applications; R1 moved to R2's application must conflict.
    const auto r1 = flatRow({A}, test::commandTap(), Scope::only({x.string()}));
    const auto r2 = flatRow({A}, test::commandTap(), Scope::only({y.string()}));
    const auto except = flatRow({B}, test::commandTap(), Scope::allBut({z.string(), "/gone/\nnewline.desktop", x.string()}));
    store({r1, r2, except});
    show();
    select(except);
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(dialog->scopeGroup()->isVisibleTo(dialog));
    ApplicationScopeEditorView* scope = dialog->scopeEditor();
    QListWidget* list = scope->applicationList();
    EXPECT_EQ(scope->kindPicker()->currentText(), "All Applications Except:");
    ASSERT_EQ(list->count(), 3);
    // In code-point order; a path that is gone keeps its row, plainly.
    EXPECT_EQ(list->item(0)->toolTip(), "/gone/\nnewline.desktop");
    EXPECT_EQ(list->item(1)->text(), "Xray");
    EXPECT_EQ(list->item(1)->toolTip(), QString::fromStdString(x.string()));
    EXPECT_FALSE(scope->removeButton()->isEnabled());

    // Removing the middle row selects its successor; the last, the new last.
    list->setCurrentRow(1);
    EXPECT_TRUE(scope->removeButton()->isEnabled());
    QTest::mouseClick(scope->removeButton(), Qt::LeftButton);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentItem()->text(), "Zulu");
    // Choosing one listed already selects it; a new one is appended and selected.
    addApplication(*dialog, "Zulu");
    EXPECT_EQ(list->count(), 2);
    addApplication(*dialog, "Yankee");
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentItem()->text(), "Yankee");
    // All applications hides the rows and keeps them.
    choose(scope->kindPicker(), 0);
    EXPECT_FALSE(list->isVisibleTo(dialog));
    choose(scope->kindPicker(), 2);
    EXPECT_TRUE(list->isVisibleTo(dialog));
    EXPECT_EQ(list->count(), 3);
    save(*dialog);
    ASSERT_TRUE(closed(dialog));
    EXPECT_EQ(stored()[2].applicationScope, Scope::only({"/gone/\nnewline.desktop", z.string(), y.string()}));

    select(r1);
    dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    scope = dialog->scopeEditor();
    scope->applicationList()->setCurrentRow(0);
    QTest::mouseClick(scope->removeButton(), Qt::LeftButton);
    EXPECT_FALSE(scope->removeButton()->isEnabled());
    addApplication(*dialog, "Yankee");
    const std::string before = storedText();
    save(*dialog);
    EXPECT_EQ(redLine(*dialog), "Conflict with existing key bindings.");
    EXPECT_EQ(storedText(), before);
}

TEST_F(RowComposeSheetDialogTest, anEditFindsItsRowAfterTheListChangedUnderIt) {
    const auto edited = flatRow({A}), other = flatRow({B});
    store({edited, other});
    show();
    select(edited);
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    // Another writer puts a row in front while the sheet is open.
    const auto inFront = flatRow({C});
    store({inFront, edited, other});
    QTest::mouseClick(dialog->triggerKeys()->keyButtons().at(0), Qt::LeftButton);
    pick(*dialog, C);
    EXPECT_EQ(conflictText(*dialog), QString::fromStdString("Conflict with existing key bindings (" + keyName(C) +
                                                            ").\nDelete and reselect a key to resolve."));
    QTest::mouseClick(dialog->triggerKeys()->keyButtons().at(0), Qt::LeftButton);
    pick(*dialog, A);
    pick(*dialog, C);
    EXPECT_TRUE(conflictText(*dialog).isEmpty());
    save(*dialog);
    ASSERT_TRUE(closed(dialog));
    const auto rows = stored();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].id, inFront.id);
    EXPECT_EQ(rows[1].keys, (std::vector<std::int64_t>{A, C}));
    EXPECT_EQ(rows[2].id, other.id);
}

TEST_F(RowComposeSheetDialogTest, theConflictTextFollowsRowsStoredByAnotherWriter) {
    const auto original = flatRow({C});
    store({original});
    show();
    select(original);
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    QTest::mouseClick(dialog->triggerKeys()->keyButtons().at(0), Qt::LeftButton);
    pick(*dialog, B);
    EXPECT_TRUE(conflictText(*dialog).isEmpty());
    // The rows read for that text are dropped before the sheet redraws it.
    store({original, flatRow({B})});
    EXPECT_EQ(conflictText(*dialog), QString::fromStdString("Conflict with existing key bindings (" + keyName(B) +
                                                            ").\nDelete and reselect a key to resolve."));
}

// Whether the helper runs is asked again whenever the editor is built, and what the editors
// wrote, hidden or not, is what the saved row holds.
TEST_F(RowComposeSheetDialogTest, theEditorsFollowTheHelperAtEachRebuildAndTheSavedRowHoldsWhatTheyWrote) {
    const auto viewer = entry("viewer", "Viewer");
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    pick(*dialog, A);
    chooseKind(*dialog, "Open URL");
    EXPECT_FALSE(editorControl<QPushButton>(*dialog, "Choose Application"));
    helperRunning_ = true;
    chooseKind(*dialog, "Open App");
    chooseKind(*dialog, "Open URL");
    EXPECT_TRUE(editorControl<QPushButton>(*dialog, "Choose Application"));

    chooseKind(*dialog, "Open App");
    EXPECT_FALSE(editorControl<QLineEdit>(*dialog, "Launch Arguments"));
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    QLineEdit* arguments = editorControl<QLineEdit>(*dialog, "Launch Arguments");
    ASSERT_TRUE(arguments);
    QTest::keyClicks(arguments, "--new");
    chooseApplication(editorControl<QPushButton>(*dialog, "Choose App"), "Viewer");
    // The helper gone, the arguments are hidden but kept.
    helperRunning_ = false;
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    EXPECT_FALSE(editorControl<QLineEdit>(*dialog, "Launch Arguments"));
    save(*dialog);
    ASSERT_TRUE(closed(dialog)) << redLine(*dialog).toStdString();
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored().front().action.kind.toJson().dump(),
              R"({"openApp":{"path":")" + viewer.string() +
                  R"(","hideAppIfRunning":false,"launchArgumentsText":"--new","switchToPreviousApp":false}})");
}

TEST_F(RowComposeSheetDialogTest, storeFailuresAndUnreadableRows) {
    // Rows that do not read are copied aside before the first save replaces them.
    ASSERT_FALSE(store_->set(settings::keys::flatKeysAndActionRows, std::string("[{\"unreadable\": true}]")));
    show();
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    pick(*dialog, A);
    chooseKind(*dialog, "Open File Manager");
    {
        diag::Capture capture;
        save(*dialog);
        ASSERT_TRUE(closed(dialog));
        std::filesystem::path copy;
        for (const auto& line : capture.lines())
            if (const auto at = line.find(" copied to "); at != std::string::npos) copy = line.substr(at + 11);
        ASSERT_FALSE(copy.empty());
        EXPECT_EQ(copy.parent_path(), store_->filePath().parent_path());
        EXPECT_EQ(copy.filename().string().rfind("local.tavlin.app.flatKeysAndActionRows-unreadable-", 0), 0u);
        EXPECT_EQ(test::fileContents(copy), "[{\"unreadable\": true}]");
    }
    EXPECT_EQ(stored().size(), 1u);

    // A file that cannot be written: nothing is in force, the sheet stays open and says why.
    dialog = open(Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(dialog);
    pick(*dialog, B);
    chooseKind(*dialog, "Open File Manager");
    {
        diag::Capture capture;
        files::InjectedWriteFailure failure(files::InjectedWriteFailure::Step::rename, EACCES);
        save(*dialog);
        EXPECT_FALSE(closed(dialog));
        EXPECT_FALSE(capture.lines().empty());
    }
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(RowComposeSheetDialogTest, oddStoredValuesShowAndAreKept) {
    std::vector<std::int64_t> keys{-3, 999, keycodes::space, keycodes::escape};
    for (int i = 0; keys.size() < 1000; ++i) keys.push_back(i % 50);
    const std::string description = "<p><img src=\"/dev/zero\">" + std::string(100 * 1024, 'x') + "</p>";
    const auto odd = flatRow(keys, test::commandTap(), Scope::allBut(), "https://example.com/", description);
    store({odd});
    show();
    select(odd);
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    ASSERT_EQ(dialog->triggerKeys()->keyButtons().size(), 1000u);
    EXPECT_EQ(dialog->triggerKeys()->keyButtons()[0]->text(), "Unknow(-3)");
    EXPECT_EQ(dialog->triggerKeys()->keyButtons()[2]->text(), QString::fromStdString(keyName(keycodes::space)));
    // The sheet stays within the screen however many keys there are.
    EXPECT_LT(dialog->sizeHint().width(), 2000);
    QTest::mouseClick(dialog->complexModeToggle(), Qt::LeftButton);
    ActionDescriptionEditorView* editor = dialog->descriptionEditor();
    ASSERT_TRUE(editor->previewGroup()->isVisibleTo(dialog));
    EXPECT_EQ(editor->field()->text().size(), static_cast<qsizetype>(description.size()));
    editor->renderPreview();
    // The field keeps the whole text; the preview lays out its start, still read as HTML.
    const auto shown = editor->preview()->toPlainText().count(QLatin1Char('x'));
    EXPECT_TRUE(shown > 0 && shown <= static_cast<qsizetype>(laidOutTextLimit)) << shown;
    EXPECT_FALSE(editor->preview()->toPlainText().contains(QLatin1String("img")));
    editor->field()->clear();
    EXPECT_FALSE(editor->previewGroup()->isVisibleTo(dialog));
    QTest::keyClicks(editor->field(), "**bold**");
    editor->renderPreview();
    EXPECT_EQ(editor->preview()->toPlainText(), "bold");
    save(*dialog);
    ASSERT_TRUE(closed(dialog));
    const auto row = stored().front();
    EXPECT_EQ(row.keys, keys);
    EXPECT_EQ(row.action.actionDescription, "**bold**");
}

TEST_F(RowComposeSheetDialogTest, theFullestSheetFitsASmallScreenWithItsButtonsOnIt) {
    // As many applications as the scope list shows unscrolled, and a description that fills the
    // preview's four lines.
    std::set<std::string> applications;
    for (const char* name : {"viewer", "editor", "player", "reader", "mailer", "pager"})
        applications.insert(entry(name, name).string());
    auto row = flatRow({A}, test::commandTap(), Scope::only(applications));
    const std::string description =
        "Opens **the viewer** and then the editor, the player, the reader, the mailer and "
        "the pager, one after another, each in a window of its own on the same desktop";
    row.action = Action(Action::Kind::openApp{*applications.begin(), false, "", false}, description);
    store({row});
    show();
    select(row);
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(dialog->descriptionEditor()->previewGroup()->isVisibleTo(dialog));
    const QRect screen = dialog->screen()->availableGeometry();
    ASSERT_LE(screen.height(), 720) << "a screen as small as the one this guards";
    ASSERT_GT(dialog->findChild<QScrollArea*>()->widget()->sizeHint().height(), screen.height())
        << "content that needs no scrolling guards nothing";
    EXPECT_TRUE(screen.contains(dialog->frameGeometry())) << dialog->frameGeometry().height();
    for (QPushButton* button : {dialog->saveButton(), dialog->cancelButton()})
        EXPECT_TRUE(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
    QTest::mouseClick(dialog->saveButton(), Qt::LeftButton);
    ASSERT_TRUE(closed(dialog)) << redLine(*dialog).toStdString();
    EXPECT_EQ(stored().front().action.actionDescription, description);
}

TEST_F(RowComposeSheetDialogTest, everyControlHasAnAccessibleName) {
    store({flatRow({A})});
    ASSERT_FALSE(store_->set(settings::keys::previousCheckedComplexMode, true));
    show();
    select(stored().front());
    QPointer<RowComposeSheetDialog> dialog = open(Qt::Key_Return);
    ASSERT_TRUE(dialog);
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
                             qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
                             widget->focusPolicy() != Qt::NoFocus;
        if (!control || !widget->isVisibleTo(dialog) || qobject_cast<QAbstractItemView*>(widget->parentWidget())) continue;
        EXPECT_FALSE(widget->accessibleName().isEmpty()) << widget->metaObject()->className();
    }
}

} // namespace
} // namespace tavlin::flateditor
