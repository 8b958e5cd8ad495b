#include <gtest/gtest.h>

#include <QHelpEvent>
#include <QPushButton>
#include <QStandardItemModel>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>

#include "FlatEditorHarness.h"
#include "FlatRows.h"
#include "actionediting/ApplicationInfo.h"
#include "flateditor/KeysAndActionRowView.h"
#include "flateditor/SettingsContentView.h"
#include "flateditor/SymbolIcons.h"
#include "platform/base/Diagnostics.h"
#include "platform/linux/ApplicationCatalog.h"
#include "support/Accessible.h"
#include "support/PaintRecorder.h"

namespace tavlin::flateditor {
namespace {

using test::flatRow;
using test::Scope;
using Role = KeysAndActionRowView::Role;

constexpr int A = 0, B = 11, C = 8;

class SettingsContentViewTest : public test::FlatEditorTest {
protected:
    void SetUp() override {
        FlatEditorTest::SetUp();
        ListenEventAccess::shared().preflight = [this] { return granted_; };
        ListenEventAccess::shared().request = [this] { return ++requests_, granted_; };
    }
    void TearDown() override {
        view_.reset();
        FlatEditorTest::TearDown();
    }

    SettingsContentView& show() {
        view_ = std::make_unique<SettingsContentView>();
        view_->resize(720, 500);
        view_->show();
        view_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(view_.get(), 20000));
        return *view_;
    }
    QTreeView* list() { return view_->list(); }
    QStandardItemModel* model() { return view_->model(); }
    QString textAt(int row) { return model()->index(row, 0).data().toString(); }
    QModelIndex indexOf(const FlatKeysAndActionRow& row) {
        for (int i = 0; i < model()->rowCount(); ++i)
            if (model()->index(i, 0).data(Role::rowIDRole).toString().toStdString() == row.id.string())
                return model()->index(i, 0);
        return {};
    }
    QPoint centreOf(const QModelIndex& index) { return list()->visualRect(index).center(); }
    QPoint toggleOf(const QModelIndex& index) {
        const QRect rect = list()->visualRect(index);
        return QPoint(rect.left() + 4 + 10, rect.center().y());
    }
    void click(const FlatKeysAndActionRow& row) {
        list()->scrollTo(indexOf(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(indexOf(row)));
    }
    QString tooltipAt(const QPoint& point) {
        QHelpEvent event(QEvent::ToolTip, point, list()->viewport()->mapToGlobal(point));
        QApplication::sendEvent(list()->viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    QToolButton* button(const QString& name) {
        for (auto* b : view_->findChildren<QToolButton*>())
            if (b->accessibleName() == name) return b;
        return nullptr;
    }
    QPushButton* textButton(const QString& name) {
        for (auto* b : view_->findChildren<QPushButton*>())
            if (b->text() == name) return b;
        return nullptr;
    }
    void renderTurn() {
        QTest::qWait(0);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<SettingsContentView> view_;
    bool granted_ = false;
    int requests_ = 0;
};

TEST_F(SettingsContentViewTest, sectionsHeadersAndRowsInDisplayOrder) {
    const auto everywhere = flatRow({A}, test::commandTap(), Scope::allBut(), "https://a/");
    const auto app = flatRow({B}, test::commandTap(), Scope::only({"/usr/share/applications/x.desktop"}), "https://b/");
    const auto except = flatRow({C}, test::commandTap(), Scope::allBut({"/Applications/b.app", "/Applications/A.app"}),
                                "https://c/");
    const auto held = flatRow({A, B}, LeaderKey::hold(false, 49), Scope::allBut(), "https://d/", std::string("**Bold** text"));
    store({everywhere, app, except, held});
    show();
    ASSERT_EQ(model()->rowCount(), 7);
    EXPECT_EQ(textAt(0), "Available In /usr/share/applications/x.desktop");
    EXPECT_EQ(model()->index(0, 0).data(Role::symbolRole).toString(), "a.square");
    EXPECT_FALSE(model()->index(0, 0).flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    EXPECT_EQ(textAt(2), "Available In All Applications Except /Applications/A.app /Applications/b.app");
    EXPECT_EQ(model()->index(2, 0).data(Role::symbolRole).toString(), "a.square.fill");
    EXPECT_EQ(textAt(4), "Available In All Applications");
    // Hold keys before press keys; a described action reads as its rendered text.
    EXPECT_EQ(textAt(5), "Space A B Bold text");
    EXPECT_EQ(textAt(6), QString::fromStdString("Super A " + everywhere.action.kind.shownText()));
    EXPECT_EQ(model()->index(6, 0).data(Qt::AccessibleTextRole).toString(), textAt(6));
    EXPECT_EQ(model()->index(6, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
}

TEST_F(SettingsContentViewTest, tooltipsPerArea) {
    const auto row = flatRow({A, B}, LeaderKey::hold(true, 49));
    const auto off = flatRow({A}, test::commandTap(), Scope::allBut(), "https://x/", std::nullopt, false);
    const auto except = flatRow({C}, test::commandTap(), Scope::allBut({"/Applications/A.app"}));
    store({row, off, except});
    show();
    EXPECT_EQ(tooltipAt(toggleOf(indexOf(row))), "Click to disable this key binding");
    EXPECT_EQ(tooltipAt(toggleOf(indexOf(off))), "Click to enable this key binding");
    const QRect rect = list()->visualRect(indexOf(row));
    EXPECT_EQ(tooltipAt(QPoint(rect.left() + 4 + 20 + 6 + 50, rect.center().y())),
              "Hold Space and press A, B in sequence to trigger the action; press and release it quickly to input Space");
    // The first header's one icon sits after its title.
    const QModelIndex header = model()->index(0, 0);
    const QRect headerRect = list()->visualRect(header);
    const QString expected = "This key binding is NOT available in /Applications/A.app";
    bool found = false;
    for (int x = headerRect.left(); x < headerRect.right() && !found; x += 2)
        found = tooltipAt(QPoint(x, headerRect.center().y())) == expected;
    EXPECT_TRUE(found);
}

TEST_F(SettingsContentViewTest, headersNameTheirApplicationsLongTextsEndInAnEllipsisAndOffRowsAreGrey) {
    const std::string entry = std::string(std::getenv("HOME")) + "/writer.desktop";
    test::writeFile(entry, "[Desktop Entry]\nType=Application\nName=Writer Pro\nExec=true\n");
    const auto app = flatRow({A}, test::commandTap(), Scope::only({entry}));
    const auto long_ = flatRow({A}, test::commandTap(), Scope::allBut(), "https://on/", "**Bold**" + std::string(600, 'w'));
    const auto off = flatRow({C}, test::commandTap(), Scope::allBut(), "https://off/", std::nullopt, false);
    // Every modifier and many keys: more than the badges' column holds, however wide it grows.
    const auto wide = flatRow({A, B, A, B, A, B, A, B, A, B}, LeaderKey::press(HotKey::combo(40, 0x1B00)), Scope::allBut(),
                              "https://wide/");
    // Wider than the narrowest column: the column grows and the badge stays whole.
    const auto backspace = flatRow({51}, test::commandTap(), Scope::allBut(), "https://backspace/");
    store({app, long_, off, wide, backspace});
    show();
    QPalette palette = list()->palette();
    palette.setColor(QPalette::Disabled, QPalette::Text, Qt::blue);
    list()->setPalette(palette);
    test::PaintRecorder painted(list()->viewport()->size());
    list()->viewport()->render(&painted);
    EXPECT_TRUE(painted.textIn(list()->visualRect(model()->index(0, 0))).contains("Writer Pro"));
    EXPECT_TRUE(painted.textIn(list()->visualRect(indexOf(long_))).endsWith(QChar(0x2026)));
    // The leader key gives way first: the trigger keys, which tell rows apart, stay whole.
    const QString badge = painted.textIn(list()->visualRect(indexOf(wide)));
    EXPECT_TRUE(badge.contains(QChar(0x2026))) << badge.toStdString();
    EXPECT_TRUE(badge.contains(QStringLiteral("A B"))) << badge.toStdString();
    const QString whole = painted.textIn(list()->visualRect(indexOf(backspace)));
    EXPECT_TRUE(whole.contains(QStringLiteral("Super")) && !whole.contains(QChar(0x2026))) << whole.toStdString();
    for (const auto& text : painted.texts)
        if (text.text.contains("https://")) {
            EXPECT_EQ(text.color == Qt::blue, text.text.contains("off")) << text.text.toStdString();
        }
    // An entry that names no icon, or is gone, still shows one.
    EXPECT_FALSE(ApplicationInfo::icon("/nowhere/gone.desktop").isNull());
}

// An Open App row and its section's header read the application's name once the installed
// entries are read; the row's tool tip keeps the path, and an entry that is gone keeps its text.
TEST_F(SettingsContentViewTest, rowsAndHeadersNameApplicationsByTheirEntries) {
    const std::filesystem::path data(std::getenv("XDG_DATA_HOME"));
    const auto entry = data / "applications" / "tavlin-uxterm.desktop";
    test::writeFile(entry, "[Desktop Entry]\nType=Application\nName=UXTerm\nExec=sh\n");
    // The machine's own applications stay out of it.
    ::setenv("XDG_DATA_DIRS", (data / "none").c_str(), 1);
    test::followEnvironmentInGLib();
    const auto opens = [](std::vector<std::int64_t> keys, const std::string& path) {
        auto row = flatRow(std::move(keys), test::commandTap(), Scope::only({path}));
        row.action = Action(Action::Kind::openApp{path, false, std::nullopt, std::nullopt});
        return row;
    };
    const auto uxterm = opens({A}, entry.string()), gone = opens({B}, "/gone/tavlin-gone.desktop");
    store({uxterm, gone});
    xdg::ApplicationCatalog::nameApplicationsForPeople();
    auto& catalog = xdg::ApplicationCatalog::shared();
    catalog.invalidate();
    catalog.whenCurrent([] {});
    show();
    // The reading ends on a later turn, and the list is drawn again with the names.
    QTRY_VERIFY_WITH_TIMEOUT(textAt(indexOf(uxterm).row()) == "Super A Open App UXTerm", 20000);
    EXPECT_EQ(textAt(indexOf(uxterm).row() - 1), "Available In UXTerm");
    EXPECT_EQ(textAt(indexOf(gone).row()), "Super B Open App tavlin-gone");
    EXPECT_EQ(textAt(indexOf(gone).row() - 1), "Available In /gone/tavlin-gone.desktop");
    const QRect rect = list()->visualRect(indexOf(uxterm));
    EXPECT_EQ(tooltipAt(QPoint(rect.left() + 4 + 20 + 6 + 100 + 6 + 20, rect.center().y())), QString::fromStdString(entry));
}

TEST_F(SettingsContentViewTest, toggleRewritesOnlyThatRowAndTheConfigurationDropsIt) {
    const auto a = flatRow({A}, test::commandTap(), Scope::allBut(), "https://first.example/");
    const auto b = flatRow({B}, test::commandTap(), Scope::allBut(), "https://second.example/");
    const auto c = flatRow({C}, test::commandTap(), Scope::allBut(), "https://third.example/");
    store({a, b, c});
    AppDelegate::reloadConfigurationIfGeneratedFromRows();
    ASSERT_NE(configurationText().find("second.example"), std::string::npos);
    show();
    click(a);
    ASSERT_EQ(view_->selectedRowID(), a.id);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, toggleOf(indexOf(b)));
    auto changed = b;
    changed.enabled = false;
    EXPECT_EQ(storedText(), flatRowsRawValue({a, changed, c}));
    waitForRegeneration();
    QTRY_VERIFY_WITH_TIMEOUT(configurationText().find("second.example") == std::string::npos, 20000);
    EXPECT_NE(configurationText().find("first.example"), std::string::npos);
    renderTurn();
    // The row stays in place, unchecked, and the selection is kept.
    EXPECT_EQ(indexOf(b).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(view_->selectedRowID(), a.id);
    EXPECT_EQ(list()->selectionModel()->selectedIndexes().value(0), indexOf(a));
}

// The list shows when it has the keyboard. Space toggles the selected row as a click on its box
// does; on a header, or with nothing selected, it changes nothing.
TEST_F(SettingsContentViewTest, byKeyboardTheListShowsItsFocusAndSpaceTogglesTheSelectedRow) {
    const auto a = flatRow({A}), b = flatRow({B});
    store({a, b});
    show();
    // A ring in the highlight colour along the list's edges.
    const auto edge = [&] {
        QWidget* viewport = list()->viewport();
        return viewport->grab().toImage().pixelColor(1, viewport->height() / 2);
    };
    const QColor highlight = list()->palette().color(QPalette::Highlight);
    button("New")->setFocus(Qt::TabFocusReason);
    EXPECT_NE(edge(), highlight);
    list()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(edge(), highlight);
    QTest::keyClick(list(), Qt::Key_Space);
    EXPECT_EQ(storedText(), flatRowsRawValue({a, b}));
    list()->selectionModel()->setCurrentIndex(model()->index(0, 0), QItemSelectionModel::NoUpdate); // the header
    QTest::keyClick(list(), Qt::Key_Space);
    EXPECT_EQ(storedText(), flatRowsRawValue({a, b}));

    click(b);
    QTest::keyClick(list(), Qt::Key_Space);
    auto off = b;
    off.enabled = false;
    EXPECT_EQ(storedText(), flatRowsRawValue({a, off}));
    renderTurn();
    EXPECT_EQ(view_->selectedRowID(), b.id);
    QTest::keyClick(list(), Qt::Key_Space);
    EXPECT_EQ(storedText(), flatRowsRawValue({a, b}));
}

TEST_F(SettingsContentViewTest, togglingARowThatHasGoneStoresNothing) {
    const auto a = flatRow({A}), b = flatRow({B});
    store({a, b});
    show();
    const QPoint toggle = toggleOf(indexOf(a));
    store({b}); // elsewhere; the list has not rendered again yet
    const std::string before = storedText();
    diag::Capture capture;
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, toggle);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
    EXPECT_EQ(storedText(), before);
    renderTurn();
    EXPECT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(indexOf(b).data(Qt::CheckStateRole).toInt(), Qt::Checked);
}

TEST_F(SettingsContentViewTest, backspaceAndDeleteDeleteAndSelectTheSuccessor) {
    const auto a = flatRow({A}), b = flatRow({B}), c = flatRow({C});
    store({c, a, b});
    show();
    click(b);
    QTest::keyClick(list(), Qt::Key_Backspace);
    EXPECT_EQ(test::idsOf(settings::flatKeysAndActionRows().value()), test::idsOf({c, a}));
    EXPECT_EQ(view_->selectedRowID(), c.id);
    renderTurn();
    EXPECT_EQ(list()->selectionModel()->selectedIndexes().value(0), indexOf(c));
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(view_->selectedRowID(), a.id);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_FALSE(view_->selectedRowID());
    EXPECT_EQ(storedText(), "[]");
    renderTurn();
    EXPECT_EQ(model()->rowCount(), 0);
    EXPECT_FALSE(button("Delete")->isEnabled());
}

TEST_F(SettingsContentViewTest, headersAreNeitherSelectedNorStoppedAt) {
    const auto app = flatRow({A}, test::commandTap(), Scope::only({"/x.desktop"}));
    const auto everywhere = flatRow({B});
    store({everywhere, app});
    show();
    click(app);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(model()->index(2, 0)));
    EXPECT_EQ(view_->selectedRowID(), app.id);
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(view_->selectedRowID(), everywhere.id);
    QTest::keyClick(list(), Qt::Key_Up);
    EXPECT_EQ(view_->selectedRowID(), app.id);
}

TEST_F(SettingsContentViewTest, aStaleSelectionKeepsTheButtonsAndChangesNothing) {
    const auto a = flatRow({A}), b = flatRow({B});
    store({a, b});
    show();
    click(a);
    store({b});
    renderTurn();
    EXPECT_EQ(view_->selectedRowID(), a.id);
    EXPECT_TRUE(button("Delete")->isEnabled());
    EXPECT_TRUE(button("Edit")->isEnabled());
    EXPECT_TRUE(button("New with selected row")->isEnabled());
    const std::string before = storedText();
    diag::Capture capture;
    QTest::mouseClick(button("Delete"), Qt::LeftButton);
    QTest::mouseClick(button("Edit"), Qt::LeftButton);
    QTest::mouseClick(button("New with selected row"), Qt::LeftButton);
    EXPECT_EQ(capture.lines(), std::vector<std::string>(3, ""));
    EXPECT_EQ(storedText(), before);
    EXPECT_TRUE(presented_.empty());
}

TEST_F(SettingsContentViewTest, withoutSelectionOnlyNewActs) {
    const auto a = flatRow({A});
    store({a});
    show();
    list()->setFocus();
    diag::Capture capture;
    for (const auto keys : {QKeyCombination(Qt::Key_Return), QKeyCombination(Qt::Key_Enter), QKeyCombination(Qt::Key_Delete),
                            QKeyCombination(Qt::Key_Backspace), QKeyCombination(Qt::ControlModifier, Qt::Key_D)})
        QTest::keyClick(list(), keys.key(), keys.keyboardModifiers());
    EXPECT_TRUE(presented_.empty());
    EXPECT_TRUE(capture.lines().empty());
    QTest::keyClick(list(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(presented_.size(), 1u);
    EXPECT_EQ(std::get<RowComposeSheet::ChangeKind::newRow>(presented_[0].value).insertIndex, 0);
}

TEST_F(SettingsContentViewTest, editRequestsCarryTheStorageIndexAndAreMadeOnce) {
    const auto shownThird = flatRow({C}), first = flatRow({A}), second = flatRow({B});
    store({shownThird, first, second});
    show();
    list()->scrollTo(indexOf(shownThird));
    // A double click is a click, then the second press.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(indexOf(shownThird)));
    EXPECT_TRUE(presented_.empty());
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, centreOf(indexOf(shownThird)));
    ASSERT_EQ(presented_.size(), 1u);
    EXPECT_EQ(view_->selectedRowID(), shownThird.id);
    EXPECT_EQ(std::get<RowComposeSheet::ChangeKind::edit>(presented_[0].value).oldRow.id, shownThird.id);
    QTest::keyClick(list(), Qt::Key_Return);
    QTest::keyClick(list(), Qt::Key_Enter);
    ASSERT_EQ(presented_.size(), 3u);
    EXPECT_EQ(std::get<RowComposeSheet::ChangeKind::edit>(presented_[2].value).oldRow.id, shownThird.id);
    QTest::keyClick(list(), Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(presented_.size(), 4u);
    EXPECT_EQ(std::get<RowComposeSheet::ChangeKind::newWithRow>(presented_[3].value).oldRow.id, shownThird.id);
    // The sheet's answer selects the saved row once the list shows it.
    auto saved = flatRow({A, B});
    store({shownThird, first, second, saved});
    rowSaved_(saved);
    renderTurn();
    EXPECT_EQ(view_->selectedRowID(), saved.id);
    EXPECT_EQ(list()->selectionModel()->selectedIndexes().value(0), indexOf(saved));
}

TEST_F(SettingsContentViewTest, rowsStoredWithoutIdentifiersCanBeToggledAndDeleted) {
    json::Value array = json::Value::array();
    for (const auto& row : {flatRow({A}), flatRow({B})}) {
        json::Value element = row.toJson();
        element.erase("id");
        array.push_back(element);
    }
    store_->set(settings::keys::flatKeysAndActionRows, json::encode(array, json::Style::compact));
    show();
    renderTurn();
    ASSERT_EQ(model()->rowCount(), 3);
    const QModelIndex first = model()->index(1, 0);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, toggleOf(first));
    EXPECT_FALSE(settings::flatKeysAndActionRows()->front().enabled);
    renderTurn();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, centreOf(model()->index(2, 0)));
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(settings::flatKeysAndActionRows()->size(), 1u);
}

TEST_F(SettingsContentViewTest, storedTextThatIsNotRowsShowsNothingAndIsNotWritten) {
    for (const std::string text : {"{not json", R"({"a":1})", R"([{"enabled":"yes"}])"}) {
        store_->set(settings::keys::flatKeysAndActionRows, text);
        const std::string file = test::fileContents(store_->filePath());
        show();
        renderTurn();
        EXPECT_EQ(model()->rowCount(), 0) << text;
        EXPECT_EQ(test::fileContents(store_->filePath()), file) << text;
        view_.reset();
    }
}

TEST_F(SettingsContentViewTest, oddPathsShowPlainly) {
    const std::string rightToLeft = "/usr/share/applications/\u05D0\u05D1\u05D2.desktop";
    const std::string newline = "/apps/two\nlines.desktop";
    const std::string longPath = "/" + std::string(4000, 'p') + ".desktop";
    const std::string markup = "/apps/<b>bold</b>.desktop";
    store({flatRow({A}, test::commandTap(), Scope::allBut({rightToLeft, newline, longPath, markup}))});
    show();
    ASSERT_EQ(model()->rowCount(), 2);
    const QString header = textAt(0);
    EXPECT_TRUE(header.contains(QString::fromStdString(rightToLeft)));
    EXPECT_TRUE(header.contains(QString::fromStdString(newline)));
    EXPECT_TRUE(header.contains(QString::fromStdString(longPath)));
    EXPECT_TRUE(header.contains(QString::fromStdString(markup)));
    EXPECT_FALSE(view_->grab().isNull());
}

TEST_F(SettingsContentViewTest, descriptionsLoadNothing) {
    // Reading /dev/zero would never end; a FIFO nobody writes to would block.
    const auto fifo = root_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    store({flatRow({A}, test::commandTap(), Scope::allBut(), "https://a/", std::string("<p><img src=\"/dev/zero\"> zero</p>")),
           flatRow({B}, test::commandTap(), Scope::allBut(), "https://b/", "![x](" + fifo.string() + ") fifo"),
           flatRow({C}, test::commandTap(), Scope::allBut(), "https://c/",
                   std::string("<table background=\"/dev/zero\"><tr><td>cell</td></tr></table>"))});
    show();
    const QImage shot = view_->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    EXPECT_EQ(textAt(1), "Super A zero");
}

TEST_F(SettingsContentViewTest, inputMonitoringLabelIsReadWhenTheViewComesOnScreen) {
    granted_ = true;
    show();
    EXPECT_EQ(textButton("Input Monitoring On")->accessibleName(), "Input Monitoring On");
    granted_ = false;
    renderTurn();
    EXPECT_TRUE(textButton("Input Monitoring On"));
    view_->hide();
    view_->show();
    EXPECT_TRUE(textButton("Turn On Input Monitoring"));
    EXPECT_TRUE(textButton("Turn On Input Monitoring")->isEnabled());
    // Turned on while the list is up (the leader keys load after it shows): read again when its
    // window comes to the front.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other, 20000));
    granted_ = true;
    view_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view_.get(), 20000));
    EXPECT_TRUE(textButton("Input Monitoring On"));
}

TEST_F(SettingsContentViewTest, everyControlHasAnAccessibleNameAndSymbol) {
    show();
    for (const auto& [name, symbol] : {std::pair{"New", "plus"},
                                       {"Delete", "minus"},
                                       {"Edit", "square.and.pencil"},
                                       {"New with selected row", "doc.on.doc"}}) {
        ASSERT_TRUE(button(name)) << name;
        EXPECT_EQ(button(name)->property(symbolNameProperty).toString(), symbol);
        EXPECT_EQ(button(name)->toolTip(), name);
    }
    for (auto* b : view_->findChildren<QAbstractButton*>()) EXPECT_FALSE(b->accessibleName().isEmpty());
    diag::Capture capture;
    QTest::mouseClick(textButton("Open Settings"), Qt::LeftButton);
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
}

// A screen reader meets the rows one per child, and a section header as no row to toggle.
// "Toggle" switches the row and stores it, as a click on its box does.
TEST_F(SettingsContentViewTest, theAccessibleListIsTheRowsAndOnlyRowsToggle) {
    const auto app = flatRow({A}, test::commandTap(), Scope::only({"/x.desktop"}));
    const auto everywhere = flatRow({B});
    store({everywhere, app});
    show();
    QAccessibleInterface* rows = test::accessible(list());
    ASSERT_EQ(rows->childCount(), model()->rowCount());
    for (int i = 0; i < rows->childCount(); ++i) {
        EXPECT_EQ(rows->child(i)->text(QAccessible::Name), textAt(i));
        const bool header = !(model()->index(i, 0).flags() & Qt::ItemIsEnabled);
        EXPECT_EQ(rows->child(i)->actionInterface()->actionNames().isEmpty(), header) << i;
    }
    rows->child(indexOf(everywhere).row())->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    auto off = everywhere;
    off.enabled = false;
    EXPECT_EQ(storedText(), flatRowsRawValue({off, app}));
    renderTurn();
    EXPECT_FALSE(rows->child(indexOf(everywhere).row())->state().checked);
}

// Return and Space press the focused button of the bar: Return edits a row only from the list.
TEST_F(SettingsContentViewTest, returnAndSpacePressTheFocusedButton) {
    const auto a = flatRow({A});
    store({a});
    show();
    click(a);
    int openSettings = 0;
    SettingsContentView::setOpenSettingsHandler([&] { ++openSettings; });
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        textButton("Open Settings")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(textButton("Open Settings"), key);
        button("New")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button("New"), key);
    }
    SettingsContentView::setOpenSettingsHandler(nullptr);
    EXPECT_EQ(openSettings, 3);
    ASSERT_EQ(presented_.size(), 3u);
    for (const auto& change : presented_) EXPECT_TRUE(std::holds_alternative<RowComposeSheet::ChangeKind::newRow>(change.value));
}

TEST(SymbolIcons, grayscaleKeepsTransparency) {
    test::offscreenApplication();
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixelColor(1, 1, QColor(255, 0, 0));
    const QImage grey = grayscale(QPixmap::fromImage(image)).toImage();
    const QColor pixel = grey.pixelColor(1, 1);
    EXPECT_EQ(pixel.red(), pixel.green());
    EXPECT_EQ(pixel.green(), pixel.blue());
    EXPECT_EQ(grey.pixelColor(0, 0).alpha(), 0);
    EXPECT_FALSE(symbolIcon("a.square").isNull());
}

// The bundled symbols are drawings: without the SVG plugin they would be buttons without marks.
TEST(SymbolIcons, everyBundledSymbolDraws) {
    test::offscreenApplication();
    for (const char* name :
         {"a.square.fill", "a.square", "doc.on.doc", "minus", "plus", "square.and.pencil", "square", "xmark.circle.fill"}) {
        const QImage drawn = symbolIcon(name).pixmap(16, 16).toImage();
        ASSERT_FALSE(drawn.isNull()) << name;
        bool marked = false;
        for (int y = 0; y < drawn.height() && !marked; ++y)
            for (int x = 0; x < drawn.width() && !marked; ++x) marked = drawn.pixelColor(x, y).alpha() > 0;
        EXPECT_TRUE(marked) << name;
    }
}

} // namespace
} // namespace tavlin::flateditor
