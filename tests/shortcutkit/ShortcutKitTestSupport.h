#pragma once

// Fresh settings, notifications and hot keys for every shortcut-library test: a temporary home,
// a virtual main queue, the table registering through a hub over a recording registrar.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/NotificationCenter.h"
#include "platform/keys/HotKeyHub.h"
#include "platform/keys/KeyboardLayout.h"
#include "shortcutkit/CarbonShortcutTable.h"
#include "shortcutkit/Handlers.h"
#include "shortcutkit/ShortcutStore.h"
#include "support/RecordingHotKeyRegistrar.h"
#include "support/TempHome.h"

namespace tavlin::shortcutkit::test {

class ShortcutKitTest : public tavlin::test::TempHomeTest {
protected:
    void SetUp() override {
        TempHomeTest::SetUp();
        setCurrentKeyboardLayout(KeyboardLayout::fromNames({.layout = "us"}));
        MainQueue::setShared(&queue);
        removeAllHandlers();
        registeredShortcuts().clear();
        CarbonShortcutTable::setRegistrar(&tableClient);
        observer = NotificationCenter::local().addObserver(shortcutByNameDidChange, [this](const Notification& n) {
            const Name* name = changedName(n);
            changes.push_back(name ? name->rawValue : "?");
            if (name) changedDefaults.push_back(name->defaultShortcut);
        });
    }
    void TearDown() override {
        NotificationCenter::local().removeObserver(observer);
        removeAllHandlers();
        queue.runUntilIdle();
        CarbonShortcutTable::setRegistrar(nullptr);
        registeredShortcuts().clear();
        MainQueue::setShared(nullptr);
        TempHomeTest::TearDown();
    }

    // The standard suite's file as written.
    std::string suiteFile() const {
        std::ifstream in(root_ / "config" / "local.tavlin" / "local.tavlin.json");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    VirtualMainQueue queue;
    tavlin::test::RecordingHotKeyRegistrar registrar;
    HotKeyHub hub{&registrar};
    HotKeyRegistrar& tableClient = hub.addClient();
    NotificationCenter::Token observer = 0;
    std::vector<std::string> changes;
    std::vector<std::optional<Shortcut>> changedDefaults;
};

} // namespace tavlin::shortcutkit::test
