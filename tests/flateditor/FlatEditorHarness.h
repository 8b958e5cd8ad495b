#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "app/AppDelegate.h"
#include "flateditor/ListenEventAccess.h"
#include "flateditor/RowComposeSheet.h"
#include "model/Configuration.h"
#include "model/Settings.h"
#include "support/QtTestApplication.h"
#include "support/TempHome.h"

namespace tavlin::test {

// A temporary home with the shell's observer of the settings installed, as the running
// application has it: every write regenerates configuration.json on a later turn of the loop.
class FlatEditorTest : public TempHomeTest {
protected:
    static void SetUpTestSuite() { offscreenApplication(); }

    void SetUp() override {
        TempHomeTest::SetUp();
        store_ = settings::appGroupStore();
        observer_ = store_->addObserver([this] {
            if (regenerationPending_) return;
            regenerationPending_ = true;
            QTimer::singleShot(0, &context_, [this] {
                regenerationPending_ = false;
                AppDelegate::reloadConfigurationIfGeneratedFromRows();
                ++regenerations_;
            });
        });
        previousPresenter_ = flateditor::RowComposeSheet::setPresenter(
            [this](const flateditor::RowComposeSheet::ChangeKind& change, flateditor::RowComposeSheet::RowSaved saved) {
                presented_.push_back(change);
                rowSaved_ = std::move(saved);
            });
        savedAccess_ = flateditor::ListenEventAccess::shared();
    }

    void TearDown() override {
        flateditor::ListenEventAccess::shared() = savedAccess_;
        flateditor::RowComposeSheet::setPresenter(std::move(previousPresenter_));
        store_->removeObserver(observer_);
        // Let queued regenerations run while their home still exists.
        QTest::qWait(0);
        QCoreApplication::processEvents();
        store_.reset();
        TempHomeTest::TearDown();
    }

    static void store(const std::vector<FlatKeysAndActionRow>& rows) { ASSERT_FALSE(settings::setFlatKeysAndActionRows(rows)); }
    static std::string storedText() {
        return settings::appGroupStore()->string(settings::keys::flatKeysAndActionRows).value_or("");
    }
    static std::string configurationText() { return fileContents(*Configuration::fileURL()); }

    // Turns the loop until the shell has regenerated the file after the last write.
    void waitForRegeneration() {
        const int before = regenerations_;
        QTRY_VERIFY_WITH_TIMEOUT(regenerations_ > before || !regenerationPending_, 20000);
        QCoreApplication::processEvents();
    }

    QObject context_; // what the queued regenerations go with
    std::shared_ptr<UserDefaults> store_;
    UserDefaults::ObserverToken observer_ = 0;
    bool regenerationPending_ = false;
    int regenerations_ = 0;
    std::vector<flateditor::RowComposeSheet::ChangeKind> presented_;
    flateditor::RowComposeSheet::RowSaved rowSaved_;
    flateditor::RowComposeSheet::Presenter previousPresenter_;
    flateditor::ListenEventAccess savedAccess_;
};

} // namespace tavlin::test
