#include <gtest/gtest.h>

#include <QtGui/QAccessible>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QToolButton>

#include "actionediting/ConfigurationLeaderKeyView.h"
#include "configwindow/ConfigurationAddHotKeySheet.h"
#include "configwindow/ConfigurationHotKeyRow.h"
#include "configwindow/ContentViewHarness.h"
#include "configwindow/LeaderKeyColumn.h"
#include "engine/HotKeyManager.h"
#include "model/KeyNames.h"
#include "platform/files/UserDefaults.h"
#include "shortcutkit/ShortcutStore.h"
#include "shortcutkit/qt/RecorderControl.h"
#include "support/RecordingHotKeyRegistrar.h"

namespace tavlin {
namespace {

using namespace test;
using shortcutkit::Shortcut;
constexpr std::uint32_t cmd = carbon::command, shift = carbon::shift;

class LeaderKeyWidgetsTest : public ContentViewTest {
protected:
    void SetUp() override {
        ContentViewTest::SetUp();
        HotKeyManager::shared().setRegistrar(&registrar_);
    }
    void TearDown() override {
        HotKeyManager::shared().unregisterAll();
        HotKeyManager::shared().setRegistrar(nullptr);
        ContentViewTest::TearDown();
    }
    LeaderKeyColumn* column() {
        for (QWidget* widget : view_->findChildren<QWidget*>()) {
            if (auto* found = dynamic_cast<LeaderKeyColumn*>(widget)) return found;
        }
        return nullptr;
    }
    std::vector<HotKey> storedHotKeys() {
        return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->hotKeys;
    }
    static std::string withHotKeys(const std::string& hotKeys) {
        return R"({"hotKeys":[)" + hotKeys + R"(],"decision":{"actions":[],"chances":[]}})";
    }
    void settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    RecordingHotKeyRegistrar registrar_;
};

TEST_F(LeaderKeyWidgetsTest, TheEditorStartsFromTheHotKeyAndReportsOncePerClick) {
    shortcutkit::setShortcut(Shortcut(0, cmd), shortcutkit::Name("t"));
    std::vector<std::optional<HotKey>> reports;
    ConfigurationLeaderKeyView editor(
        shortcutkit::Name("t"), HotKey::singleModifier(HotKey::SingleTapModifier::shift),
        [&](const std::optional<HotKey>& hotKey) { reports.push_back(hotKey); }, nullptr);
    editor.show();
    EXPECT_TRUE(editor.singleModifierButton()->isChecked());
    EXPECT_TRUE(editor.modifierButton(HotKey::SingleTapModifier::shift)->isChecked());
    EXPECT_FALSE(editor.recorder()->isVisible());
    QTest::mouseClick(editor.modifierButton(HotKey::SingleTapModifier::option), Qt::LeftButton);
    QTest::mouseClick(editor.comboButton(), Qt::LeftButton);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], HotKey::singleModifier(HotKey::SingleTapModifier::option));
    // Nothing recorded in this editor: none, though the recorder shows the stored shortcut.
    EXPECT_FALSE(reports[1]);
    EXPECT_EQ(shortcutkit::getShortcut(shortcutkit::Name("t"))->carbonKeyCode, 0);
    EXPECT_TRUE(editor.recorder()->isVisible());
    EXPECT_FALSE(editor.recorder()->isRecording());
    for (QWidget* widget : editor.findChildren<QAbstractButton*>()) EXPECT_FALSE(widget->accessibleName().isEmpty());
}

TEST_F(LeaderKeyWidgetsTest, AnAccessibleToggleChoosesAsAClickDoes) {
    using M = HotKey::SingleTapModifier;
    std::vector<std::optional<HotKey>> reports;
    ConfigurationLeaderKeyView editor(
        shortcutkit::Name("t"), HotKey::singleModifier(M::command),
        [&](const std::optional<HotKey>& hotKey) { reports.push_back(hotKey); }, nullptr);
    editor.show();
    const auto toggle = [](QAbstractButton* button) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_TRUE(accessible && accessible->actionInterface());
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    toggle(editor.modifierButton(M::option));
    toggle(editor.comboButton());
    toggle(editor.singleModifierButton());
    EXPECT_EQ(reports, (std::vector<std::optional<HotKey>>{HotKey::singleModifier(M::option), std::nullopt,
                                                           HotKey::singleModifier(M::option)}));
}

TEST_F(LeaderKeyWidgetsTest, TheColumnFollowsTheCountAndTheManager) {
    open(withHotKeys(""));
    ASSERT_TRUE(column()->editor());
    EXPECT_FALSE(column()->addMoreLabel()->isVisible());
    EXPECT_FALSE(column()->editor()->recorder()->isRecording());

    // A recorded combination replaces the leader keys and is grabbed.
    column()->editor()->recorder()->onChange(Shortcut(11, cmd));
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::combo(11, cmd)}));
    EXPECT_EQ(registrar_.grabsOf(11, cmd), 1u);
    EXPECT_TRUE(column()->addMoreLabel()->isVisible());
    auto* editor = column()->editor();

    // Adding through the sheet: rows appear, one per key, with their texts.
    column()->addMoreLabel()->setFocus();
    QTest::keyClick(column()->addMoreLabel(), Qt::Key_Space);
    auto* sheet = column()->addSheet();
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    QTest::mouseClick(sheet->editor()->singleModifierButton(), Qt::LeftButton);
    ASSERT_TRUE(sheet->saveButton()->isEnabled());
    EXPECT_EQ(sheet->hotKey(), HotKey::singleModifier(HotKey::SingleTapModifier::command));
    QTest::mouseClick(sheet->saveButton(), Qt::LeftButton);
    settle();
    ASSERT_EQ(column()->rows().size(), 2u);
    EXPECT_EQ(column()->rows()[0]->textLabel()->text(), "Super+" + QString::fromStdString(keyName(11)));
    EXPECT_EQ(column()->rows()[1]->textLabel()->text(), "Super");
    EXPECT_EQ(registrar_.grabs.size(), 1u);
    EXPECT_EQ(storedHotKeys().size(), 2u);
    (void)editor;

    // The delete button shows only under the pointer.
    auto* row = column()->rows()[0];
    EXPECT_FALSE(row->deleteShown());
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(row, &enter);
    ASSERT_TRUE(row->deleteShown());
    QTest::mouseClick(row->deleteButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::singleModifier(HotKey::SingleTapModifier::command)}));
    EXPECT_TRUE(registrar_.grabs.empty());
    ASSERT_TRUE(column()->editor());
    EXPECT_TRUE(column()->editor()->singleModifierButton()->isChecked());
}

TEST_F(LeaderKeyWidgetsTest, AFreshAddSheetShowsAnEmptyRecorderAndStoresNothingUnderItsOwnName) {
    shortcutkit::setShortcut(Shortcut(0, cmd), shortcutkit::Name("add_sheet"));
    std::vector<HotKey> saved;
    {
        ConfigurationAddHotKeySheet sheet([&](const HotKey& hotKey) { saved.push_back(hotKey); }, std::nullopt,
                                          shortcutkit::Name("extra_hotkey"));
        EXPECT_FALSE(shortcutkit::getShortcut(shortcutkit::Name("add_sheet")));
        sheet.editor()->recorder()->onChange(Shortcut(11, cmd | shift));
        EXPECT_TRUE(sheet.saveButton()->isEnabled());
        sheet.editor()->recorder()->onChange(std::nullopt);
        EXPECT_FALSE(sheet.saveButton()->isEnabled());
        sheet.editor()->recorder()->onChange(Shortcut(11, cmd | shift));
        QTest::mouseClick(sheet.saveButton(), Qt::LeftButton);
    }
    EXPECT_EQ(saved, (std::vector<HotKey>{HotKey::combo(11, cmd | shift)}));
    EXPECT_FALSE(shortcutkit::getShortcut(shortcutkit::Name("extra_hotkey")));
    ConfigurationAddHotKeySheet next([](const HotKey&) {}, std::nullopt, shortcutkit::Name("extra_hotkey"));
    EXPECT_FALSE(shortcutkit::getShortcut(shortcutkit::Name("add_sheet")));
    EXPECT_TRUE(next.editor()->comboButton()->isChecked());
}

TEST_F(LeaderKeyWidgetsTest, AReloadedFileIsShownByTheKeptEditorAndManyKeysList) {
    open(withHotKeys(R"({"combo":{"info":{"keyCode":0,"modifiersCode":256}}})"));
    auto* editor = column()->editor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(shortcutkit::getShortcut(shortcutkit::Name("prefs-window"))->carbonKeyCode, 0);
    writeFile(configurationFile(), withHotKeys(R"({"singleModifier":{"info":{"singleTapModifier":"⌥"}}})"));
    model_->reloadConfigurationFile();
    EXPECT_EQ(column()->editor(), editor);
    EXPECT_TRUE(editor->singleModifierButton()->isChecked());
    EXPECT_TRUE(editor->modifierButton(HotKey::SingleTapModifier::option)->isChecked());

    std::string many;
    for (int index = 0; index < 100; ++index) {
        if (index) many += ",";
        many += R"({"combo":{"info":{"keyCode":)" + std::to_string(index < 99 ? index : 900) + R"(,"modifiersCode":256}}})";
    }
    writeFile(configurationFile(), withHotKeys(many));
    model_->reloadConfigurationFile();
    settle();
    ASSERT_EQ(column()->rows().size(), 100u);
    EXPECT_EQ(column()->rows()[99]->textLabel()->text(), "Super+Unknow(900)");
}

TEST_F(LeaderKeyWidgetsTest, TabEntersEachRadioGroupOnItsCheckedButtonWhereSpaceChangesNothing) {
    open(withHotKeys(R"({"singleModifier":{"info":{"singleTapModifier":"⌥"}}})"));
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get()));
    auto* editor = column()->editor();
    ASSERT_TRUE(editor);
    if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    // Once round by Tab, with Space at every stop in the editor.
    std::vector<QWidget*> stops, inEditor;
    for (int step = 0; step < 30; ++step) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : view_.get(), Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        if (!focused || (!stops.empty() && focused == stops.front())) break;
        stops.push_back(focused);
        if (!editor->isAncestorOf(focused)) continue;
        inEditor.push_back(focused);
        QTest::keyClick(focused, Qt::Key_Space);
    }
    EXPECT_EQ(inEditor,
              (std::vector<QWidget*>{editor->singleModifierButton(), editor->modifierButton(HotKey::SingleTapModifier::option)}));
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::singleModifier(HotKey::SingleTapModifier::option)}));
    // The arrows still move within the group, and choose.
    editor->modifierButton(HotKey::SingleTapModifier::option)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::singleModifier(HotKey::SingleTapModifier::control)}));
}

TEST_F(LeaderKeyWidgetsTest, TheTreeStaysPutWhateverTheColumnShows) {
    open(withHotKeys(""));
    view_->show();
    QWidget* tree = view_->findChild<DecisionTreeView*>()->parentWidget();
    const auto treeTop = [&] { return settle(), tree->mapTo(view_.get(), QPoint(0, 0)).y(); };
    const int top = treeTop();
    const std::string key = R"({"combo":{"info":{"keyCode":1,"modifiersCode":256}}})";
    for (const std::string& keys : {key, key + "," + key, key + "," + key + "," + key + "," + key, std::string()}) {
        writeFile(configurationFile(), withHotKeys(keys));
        model_->reloadConfigurationFile();
        EXPECT_EQ(treeTop(), top) << keys;
    }
}

} // namespace
} // namespace tavlin
