#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QtCore/QCoreApplication>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>

#include "configwindow/ConfigurationWindowContentView.h"
#include "configwindow/DecisionTreeView.h"
#include "configwindow/WindowTestSupport.h"
#include "configwindow/core/NodeEditCommandExecutor.h"
#include "platform/base/MainQueue.h"
#include "platform/base/Result.h"
#include "platform/desktop/Workspace.h"
#include "support/QtTestApplication.h"

namespace tavlin::test {

// Records what the window asks of the desktop.
class RecordingWorkspace final : public Workspace {
public:
    std::vector<std::string> openedURLs;
    void openURL(const std::string& url, Completion completion) override {
        openedURLs.push_back(url);
        if (completion) completion(std::nullopt);
    }
    void openURLs(const std::vector<std::string>&, const std::string&, Completion) override {}
    void openApplication(const std::string&, Completion) override {}
    std::optional<std::string> executablePathOfApplication(const std::string&) override { return std::nullopt; }
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    std::vector<RunningApplication> runningApplications(const std::string&) override { return {}; }
    void activate(const RunningApplication&) override {}
    void hide(const RunningApplication&) override {}
    bool isThisApplicationActive() override { return true; }
    std::optional<std::string> runScript(const std::string&, Completion) override { return std::nullopt; }
};

// Runs posted main-queue work on the Qt loop's next turns, as the application's queue does.
class QtLoopQueue final : public MainQueue {
public:
    void post(Task task) override { QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection); }
    TimerID postAfter(double, Task task) override {
        post(std::move(task));
        return 0;
    }
    void cancel(TimerID) override {}
    double now() const override { return 0; }
};

// One window's content over the process's model, selection and executor, as the application
// makes them, on a configuration file in a temporary home.
class ContentViewTest : public TempHomeTest {
protected:
    static void SetUpTestSuite() { offscreenApplication(); }

    void SetUp() override {
        TempHomeTest::SetUp();
        MainQueue::setShared(&queue_);
        Workspace::setShared(&workspace_);
    }
    void TearDown() override {
        view_.reset();
        executor_.reset();
        selection_.reset();
        model_.reset();
        ConfigurationWindowContentView::setSortConfirmer(nullptr);
        Workspace::setShared(nullptr);
        MainQueue::setShared(nullptr);
        TempHomeTest::TearDown();
    }

    void open(const std::string& text) {
        writeFile(configurationFile(), text);
        ConfigurationWindowModel::ConfigurationOrError loaded;
        try {
            loaded = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
        } catch (const std::exception& error) {
            loaded = localizedDescription(error);
        }
        model_ = std::make_unique<ConfigurationWindowModel>(loaded);
        selection_ = std::make_unique<Selection>(*model_);
        executor_ = std::make_unique<NodeEditCommandExecutor>(*model_, *selection_,
                                                              ConfigurationWindowContentView::presenter([] {}));
        view_ = std::make_unique<ConfigurationWindowContentView>(*model_, *selection_,
                                                                 [this](CommandKind kind) { executor_->execute(kind); });
        view_->resize(700, 500);
        view_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    }

    DecisionTreeView& tree() { return *view_->treeView(); }
    DecisionTreeModel& rows() { return tree().treeModel(); }
    QModelIndex rowAt(std::initializer_list<int> path) {
        QModelIndex index;
        for (int row : path) index = rows().index(row, 0, index);
        return index;
    }
    QString textAt(std::initializer_list<int> path) { return rowAt(path).data().toString(); }
    QPoint centre(const QModelIndex& index) { return tree().visualRect(index).center(); }
    void click(const QModelIndex& index, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(tree().viewport(), button, {}, centre(index));
    }
    // Chooses a command of the node-edit menu as the menu bar would.
    void choose(const QString& title) {
        for (auto& entry : view_->nodeEditMenuEntries()) {
            if (!entry.isSeparator && entry.title == title) {
                ASSERT_TRUE(entry.enabled) << title.toStdString();
                entry.command();
                return;
            }
        }
        FAIL() << "no entry " << title.toStdString();
    }
    void triggerContextEntry(const QString& title) {
        std::unique_ptr<QMenu> menu(view_->makeContextMenu());
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions()) {
            if (action->text() == title) {
                action->trigger();
                return;
            }
        }
        FAIL() << "no context entry " << title.toStdString();
    }
    std::string fileText() { return fileContents(configurationFile()); }
    DecisionPtr stored() {
        return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->decision;
    }

    QtLoopQueue queue_;
    RecordingWorkspace workspace_;
    std::unique_ptr<ConfigurationWindowModel> model_;
    std::unique_ptr<Selection> selection_;
    std::unique_ptr<NodeEditCommandExecutor> executor_;
    std::unique_ptr<ConfigurationWindowContentView> view_;
};

} // namespace tavlin::test
