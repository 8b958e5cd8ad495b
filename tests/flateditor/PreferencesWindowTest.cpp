#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <QtCore/QLocale>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QToolButton>

#include "FlatEditorHarness.h"
#include "app/SettingsWindow.h"
#include "configwindow/WindowTestSupport.h"
#include "engine/EngineHarness.h"
#include "flateditor/HelperStatusSection.h"
#include "flateditor/LeaderKeyIndicatorSettingsView.h"
#include "flateditor/PreferencesContentView.h"
#include "platform/dbus/QtMainQueue.h"
#include "platform/desktop/BundleInfo.h"
#include "platform/desktop/HelperApplication.h"
#include "platform/linux/XdgWorkspace.h"
#include "platform/qt/LocaleDoubleField.h"
#include "platform/qt/QtIndicatorWindow.h"
#include "support/Accessible.h"
#include "support/RequiredEnvironment.h"

namespace tavlin::flateditor {
namespace {

namespace keys = settings::keys;

// Reports the helpers that the test names, as the window system would.
class HelperWorkspace : public test::FakeWorkspace {
public:
    std::vector<RunningApplication> runningApplications(const std::string& identifier) override {
        return identifier == helperBundleIdentifier ? helpers : std::vector<RunningApplication>{};
    }
    void activateFileViewerSelecting(const std::string& path) override { revealed.push_back(path); }
    std::vector<RunningApplication> helpers;
    std::vector<std::string> revealed;
};

// Counts how often a window is raised.
class RaiseCounter final : public QObject {
public:
    explicit RaiseCounter(QWidget* window) { window->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ZOrderChange) ++raises;
        return false;
    }
    int raises = 0;
};

// The page a build could name for the helper, for as long as it lives.
struct PageOfABuild {
    static constexpr const char* url = "https://helper.test/download/";
    PageOfABuild() : previous(HelperStatusSection::downloadPageURL()) { HelperStatusSection::setDownloadPageURL(url); }
    ~PageOfABuild() { HelperStatusSection::setDownloadPageURL(previous); }
    std::string previous;
};

class PreferencesWindowTest : public test::FlatEditorTest {
protected:
    void SetUp() override {
        FlatEditorTest::SetUp();
        setMainBundleInfo(BundleInfo{"tavlin", "1.0", "1"});
        Workspace::setShared(&workspace_);
    }
    void TearDown() override {
        window_.reset();
        Workspace::setShared(nullptr);
        QLocale::setDefault(QLocale::c());
        FlatEditorTest::TearDown();
    }

    // The real Settings window, made afresh so that it reads what is stored now.
    PreferencesContentView& open() {
        window_.reset();
        app::SettingsWindow::present(window_);
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get(), 20000));
        auto* view = dynamic_cast<PreferencesContentView*>(window_->content());
        EXPECT_TRUE(view);
        return *view;
    }
    static std::vector<QString> itemTexts(QComboBox* picker) {
        std::vector<QString> texts;
        for (int i = 0; i < picker->count(); ++i) texts.push_back(picker->itemText(i));
        return texts;
    }
    // Space on the focused toggle, as the keyboard switches it.
    static void press(QAbstractButton* toggle) {
        toggle->setFocus();
        QTest::keyClick(toggle, Qt::Key_Space);
    }
    static void enter(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    HelperWorkspace workspace_;
    std::unique_ptr<app::SettingsWindow> window_;
};

TEST_F(PreferencesWindowTest, OneWindowOfFiveGroupsWithNamesOnEveryControl) {
    auto& view = open();
    EXPECT_EQ(window_->windowTitle(), "tavlin Settings");
    EXPECT_GE(view.minimumWidth(), 426);
    EXPECT_GE(view.minimumHeight(), 400);
    std::vector<QString> titles;
    for (auto* box : view.widget()->findChildren<QGroupBox*>()) titles.push_back(box->title());
    EXPECT_EQ(titles, (std::vector<QString>{"Leader Key", "Leader Key Indicator", "Hint", "App", "Helper"}));
    for (auto* control : view.findChildren<QWidget*>()) {
        const bool readOrClicked = qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control) ||
                                   qobject_cast<QLineEdit*>(control) || qobject_cast<QLabel*>(control);
        if (readOrClicked && control->isVisibleTo(&view)) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << control->metaObject()->className();
        }
    }
    EXPECT_EQ(view.dockIconToggle()->text(), "Hide tavlin from the Task Bar");
}

TEST_F(PreferencesWindowTest, AScreenReaderMeetsAWindowWithNamedParts) {
    auto& view = open();
    EXPECT_EQ(test::accessible(window_.get())->role(), QAccessible::Window);
    EXPECT_EQ(test::accessible(window_.get())->text(QAccessible::Name), "tavlin Settings");
    EXPECT_FALSE(test::accessible(view.verticalScrollBar())->text(QAccessible::Name).isEmpty());
    EXPECT_TRUE(test::labelNames(view.intervalPicker()).contains("Recognize single modifier typing within"));
}

TEST_F(PreferencesWindowTest, OpensAtItsContentsSizeWithNothingScrolledAway) {
    auto& view = open();
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_GE(view.viewport()->height(), view.widget()->sizeHint().height());
}

TEST_F(PreferencesWindowTest, IntervalsAreNineExactValuesAndOnlyAnEqualOneIsSelected) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto& view = open();
    QComboBox* picker = view.intervalPicker();
    EXPECT_EQ(itemTexts(picker),
              (std::vector<QString>{"0.10 seconds", "0.15 seconds", "0.20 seconds", "0.25 seconds", "0.30 seconds",
                                    "0.35 seconds", "0.40 seconds", "0.45 seconds", "0.50 seconds"}));
    EXPECT_EQ(picker->currentText(), "0.20 seconds");
    EXPECT_EQ(PreferencesContentView::intervals().back(), 0.5);

    picker->setFocus();
    for (int i = 0; i < 3; ++i) QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(picker->currentText(), "0.35 seconds");
    // Read back from the file, bit for bit.
    UserDefaults::resetSharedSuites();
    const auto stored = settings::appGroupStore()->doubleValue(keys::maximumSingleModifierPressAndReleaseInterval);
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*stored), std::bit_cast<std::uint64_t>(std::fma(5, 0.05, 0.1)));

    // A value written elsewhere, or of another kind, never breaks the window.
    const std::vector<std::pair<DefaultsValue, int>> cases{{DefaultsValue(0.22), -1},
                                                           {DefaultsValue(1e308), -1},
                                                           {DefaultsValue(-0.2), -1},
                                                           {DefaultsValue("0.2"), 2},
                                                           {DefaultsValue(true), 2}};
    for (const auto& [value, index] : cases) {
        settings::appGroupStore()->set(keys::maximumSingleModifierPressAndReleaseInterval, value);
        EXPECT_EQ(open().intervalPicker()->currentIndex(), index);
    }
}

TEST_F(PreferencesWindowTest, HintAndHeightAreLocaleNumbersStoredAsTyped) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    settings::appGroupStore()->set(keys::showHintAfterSeconds, "soon");
    settings::appGroupStore()->set(keys::leaderKeyIndicatorHeightPercent, 1e300);
    auto& view = open();
    EXPECT_EQ(view.hintField()->text(), "0");
    EXPECT_EQ(view.indicatorSettings()->heightField()->text(), "1E+300");

    enter(view.hintField(), "1,5");
    EXPECT_EQ(settings::showHintAfterSeconds(), 1.5);
    enter(view.hintField(), "inf");
    EXPECT_EQ(view.hintField()->text(), "1,5");
    EXPECT_EQ(settings::showHintAfterSeconds(), 1.5);

    enter(view.indicatorSettings()->heightField(), "150");
    EXPECT_EQ(settings::leaderKeyIndicatorHeightPercent(), 150);
    enter(view.indicatorSettings()->heightField(), "nan");
    EXPECT_EQ(settings::leaderKeyIndicatorHeightPercent(), 150);

    // Shown again as stored when the window comes back.
    EXPECT_EQ(open().hintField()->text(), "1,5");
}

TEST_F(PreferencesWindowTest, HidingTheIndicatorHidesTheHeightRowAndKeepsTheHeight) {
    settings::appGroupStore()->set(keys::leaderKeyIndicatorHeightPercent, 12.5);
    auto& view = open();
    auto* indicator = view.indicatorSettings();
    EXPECT_FALSE(indicator->hideToggle()->isChecked());
    EXPECT_TRUE(indicator->heightRow()->isVisible());
    EXPECT_TRUE(indicator->heightRow()->findChild<QLabel*>(QString(), Qt::FindChildrenRecursively));

    press(indicator->hideToggle());
    EXPECT_TRUE(settings::hideLeaderKeyIndicator());
    EXPECT_FALSE(indicator->heightRow()->isVisible());
    EXPECT_TRUE(open().indicatorSettings()->hideToggle()->isChecked());
    EXPECT_FALSE(open().indicatorSettings()->heightRow()->isVisibleTo(window_.get()));

    indicator = open().indicatorSettings();
    press(indicator->hideToggle());
    EXPECT_FALSE(settings::hideLeaderKeyIndicator());
    EXPECT_TRUE(indicator->heightRow()->isVisible());
    EXPECT_EQ(indicator->heightField()->text(), "12.5");
    EXPECT_EQ(settings::leaderKeyIndicatorHeightPercent(), 12.5);
}

TEST_F(PreferencesWindowTest, TheTaskBarToggleStoresAndLaterRaisesOnlyVisibleOrdinaryWindows) {
    auto& view = open();
    QWidget shown;
    shown.show();
    QWidget hidden;
    hidden.show();
    hidden.hide();
    QMenu menu;
    qt::QtIndicatorWindow indicator([] { return 0.0; });
    indicator.show("⌘");
    RaiseCounter shownRaises(&shown), hiddenRaises(&hidden), indicatorRaises(&indicator), ownRaises(window_.get());

    QTest::mouseClick(view.dockIconToggle(), Qt::LeftButton);
    EXPECT_TRUE(settings::hideDockIcon());
    EXPECT_EQ(shownRaises.raises, 0); // not before the window manager had its turn
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownRaises.raises > 0 && ownRaises.raises > 0; }, 20000));
    EXPECT_EQ(hiddenRaises.raises, 0);
    EXPECT_EQ(indicatorRaises.raises, 0);
    EXPECT_FALSE(hidden.isVisible());
    EXPECT_FALSE(menu.isVisible());

    QTest::mouseClick(view.dockIconToggle(), Qt::LeftButton);
    EXPECT_FALSE(settings::hideDockIcon());
    const int before = shownRaises.raises;
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownRaises.raises > before; }, 20000));
}

TEST_F(PreferencesWindowTest, AToggleThatCannotBeSavedSaysSoAndShowsTheStoredValueAgain) {
    auto& view = open();
    test::AlertRecorder alerts;
    {
        const files::InjectedWriteFailure full(files::InjectedWriteFailure::Step::flush, ENOSPC);
        press(view.dockIconToggle());
        press(view.indicatorSettings()->hideToggle());
    }
    EXPECT_FALSE(view.dockIconToggle()->isChecked());
    EXPECT_FALSE(view.indicatorSettings()->hideToggle()->isChecked());
    EXPECT_FALSE(settings::hideDockIcon());
    EXPECT_FALSE(settings::hideLeaderKeyIndicator());
    ASSERT_EQ(alerts.alerts.size(), 2u);
    EXPECT_EQ(alerts.alerts[1].first, "Failed to save settings");
}

TEST_F(PreferencesWindowTest, NoControlHasTheFocusOnceTheWindowIsUp) {
    open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->focusWidget() == nullptr; }, 20000));
    window_->hide();
    app::SettingsWindow::present(window_);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 20000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->focusWidget() == nullptr; }, 20000));
}

// Without a helper the notice says what is missing; a link appears only when the build names a page.
TEST_F(PreferencesWindowTest, WithoutAHelperTheNoticeSaysWhatIsMissingAndLinksOnlyToARealPage) {
    const QString notice =
        "Actions that need the helper application (Run Menu Command, Switch To Recent Window, Execute "
        "File, Sleep, Simulate Keystroke, Switch Input Method) are not available on this desktop while "
        "no helper runs.";
    const auto texts = [](QWidget* section) {
        QStringList shown;
        for (auto* label : section->findChildren<QLabel*>()) shown << label->text();
        for (auto* button : section->findChildren<QAbstractButton*>()) shown << button->text();
        return shown;
    };
    ASSERT_TRUE(HelperStatusSection::downloadPageURL().empty()) << "a build without a page";
    EXPECT_EQ(texts(open().helperSection()), QStringList{notice});
    window_.reset();

    // The real workspace, with an xdg-open of our own on the PATH.
    const auto bin = std::filesystem::path(std::getenv("HOME")) / "bin";
    const auto opened = std::filesystem::path(std::getenv("HOME")) / "opened";
    std::filesystem::create_directories(bin);
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << ".part' && mv '" << opened.string() << ".part' '"
               << opened.string() << "'\n";
    }
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    test::SavedEnvironment path({"PATH"});
    ::setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
    QtMainQueue queue;
    xdg::XdgWorkspace workspace(queue);
    Workspace::setShared(&workspace);

    const PageOfABuild page;
    auto* section = open().helperSection();
    EXPECT_TRUE(section->helperInfos().empty());
    EXPECT_EQ(texts(section), (QStringList{notice, "Visit Website"}));
    QPushButton* visit = section->findChild<QPushButton*>();
    ASSERT_TRUE(visit);
    QTest::mouseClick(visit, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(opened); }, 20000));
    EXPECT_EQ(test::fileContents(opened), PageOfABuild::url);
    window_.reset();
    Workspace::setShared(&workspace_);
}

TEST_F(PreferencesWindowTest, RunningHelpersAreListedInOrderOnlyWhileTheWindowIsActive) {
    QDBusConnection probe = QDBusConnection::sessionBus();
    if (!probe.isConnected()) TAVLIN_SKIP_WITHOUT_DESKTOP("no session bus");
    // This process stands in for a helper without windows: it owns the helper's bus name.
    const QString name = QString::fromLatin1(helperBundleIdentifier.data(),
                                             static_cast<qsizetype>(helperBundleIdentifier.size()));
    QDBusConnection helper = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                           QStringLiteral("preferences-test-helper"));
    ASSERT_TRUE(helper.registerService(name));
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    RunningApplication windowed{4242, "/apps/helper.desktop", {}, {}, {}};
    RunningApplication sameProcess{::getpid(), "/apps/<b>other</b>.desktop", {}, {}, {}};
    RunningApplication withoutPath{77, {}, {}, {}, {}};
    workspace_.helpers = {windowed, sameProcess, withoutPath};

    const PageOfABuild page;
    auto& view = open();
    auto* section = view.helperSection();
    EXPECT_TRUE(section->timer().isActive());
    EXPECT_EQ(section->timer().interval(), 1000);
    section->refreshHelperInfos();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !section->isAsking(); }, 20000));
    EXPECT_EQ(section->helperInfos(), (std::vector<HelperAppInfo>{{::getpid(), self}, {4242, "/apps/helper.desktop"}}));
    std::vector<QString> texts;
    for (auto* label : section->findChildren<QLabel*>()) texts.push_back(label->text());
    EXPECT_EQ(texts, (std::vector<QString>{"The helper is running.", QString::fromStdString(self), "/apps/helper.desktop"}));
    QTest::mouseClick(section->findChildren<QLabel*>()[2], Qt::LeftButton);
    EXPECT_EQ(workspace_.revealed, std::vector<std::string>{"/apps/helper.desktop"});
    auto* help = section->findChild<QToolButton*>();
    ASSERT_TRUE(help);
    EXPECT_EQ(help->toolTip(), PageOfABuild::url);
    QTest::mouseClick(help, Qt::LeftButton);
    EXPECT_EQ(workspace_.openedURLs, std::vector<std::string>{PageOfABuild::url});

    // Another window in front: ticks ask nothing, and the list stays.
    helper.unregisterService(name);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other, 20000));
    section->refreshHelperInfos();
    EXPECT_FALSE(section->isAsking());
    EXPECT_EQ(section->helperInfos().size(), 2u);

    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get(), 20000));
    section->refreshHelperInfos();
    EXPECT_TRUE(section->isAsking());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !section->isAsking(); }, 20000));
    EXPECT_EQ(section->helperInfos(),
              (std::vector<HelperAppInfo>{{4242, "/apps/helper.desktop"}, {::getpid(), "/apps/<b>other</b>.desktop"}}));
    // A path is shown as it is, markup and all.
    const auto labels = section->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 3);
    EXPECT_EQ(labels[2]->text(), "/apps/<b>other</b>.desktop");
    EXPECT_EQ(labels[2]->textFormat(), Qt::PlainText);

    window_->hide();
    EXPECT_FALSE(section->timer().isActive());
    QDBusConnection::disconnectFromBus(QStringLiteral("preferences-test-helper"));
}

TEST(HelperInstancesTest, AProcessThatHasGoneIsLeftOut) {
    // A child that has exited and been reaped: its process id names nothing in /proc.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_FALSE(helperBusOwnerApplication(child));
    const auto self = helperBusOwnerApplication(::getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->bundlePath, std::filesystem::read_symlink("/proc/self/exe").string());
}

} // namespace
} // namespace tavlin::flateditor
