#include "X11TestSupport.h"

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "platform/keys/VirtualKeyCodes.h"
#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11KeyboardEventMonitor.h"

namespace tavlin {
namespace {

using testing::xCapsLock;
using testing::xKey;
using testing::xShiftL;
using testing::xShiftR;
using testing::xSuperL;
using testing::xSuperR;
using Type = KeyboardEvent::Type;
using Observed = ObservedInputEvent::Type;

constexpr int keyK = 40;

struct Seen {
    Type type;
    int keyCode;
    std::uint64_t flags;
    friend bool operator==(const Seen&, const Seen&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Seen& seen) {
        return out << (seen.type == Type::keyDown ? "keyDown " : "flagsChanged ") << seen.keyCode << " 0x" << std::hex
                   << seen.flags << std::dec;
    }
};

class X11KeyboardEventMonitorTest : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        monitor = X11KeyboardEventMonitor::open();
        ASSERT_TRUE(monitor);
        ASSERT_TRUE(monitor->preflightListenEventAccess());
        monitor->addGlobalMonitor([this](const KeyboardEvent& event) { events.push_back(event); });
    }

    void pump() { monitor->processPendingEvents(); }
    bool waitForEvents(std::size_t count) {
        return pumpUntil([this] { pump(); }, [&] { return events.size() >= count; });
    }
    std::vector<Seen> seen() const {
        std::vector<Seen> result;
        for (const auto& event : events) result.push_back({event.type, event.keyCode, event.modifierFlags});
        return result;
    }

    std::unique_ptr<X11KeyboardEventMonitor> monitor;
    std::vector<KeyboardEvent> events;
};

TEST_F(X11KeyboardEventMonitorTest, aLoneSuperPressAndReleaseAreFlagChangesInOrder) {
    press(xSuperL);
    settle([this] { pump(); }, std::chrono::milliseconds(20));
    release(xSuperL);
    ASSERT_TRUE(waitForEvents(2));
    settle([this] { pump(); });
    EXPECT_EQ(seen(), (std::vector<Seen>{{Type::flagsChanged, keycodes::command, eventFlags::command},
                                         {Type::flagsChanged, keycodes::command, 0}}));
    EXPECT_GE(events[1].timestamp - events[0].timestamp, 0.015);
    EXPECT_LT(events[1].timestamp - events[0].timestamp, 1.0);
}

TEST_F(X11KeyboardEventMonitorTest, aKeyTypedWithAModifierHeldCarriesItsFlag) {
    chord({xSuperL, xKey(keyK)});
    chord({xShiftL, xSuperL, xKey(0)});
    ASSERT_TRUE(waitForEvents(8));
    settle([this] { pump(); });
    const std::uint64_t both = eventFlags::shift | eventFlags::command;
    EXPECT_EQ(seen(), (std::vector<Seen>{{Type::flagsChanged, keycodes::command, eventFlags::command},
                                         {Type::keyDown, keyK, eventFlags::command},
                                         {Type::flagsChanged, keycodes::command, 0},
                                         {Type::flagsChanged, keycodes::shift, eventFlags::shift},
                                         {Type::flagsChanged, keycodes::command, both},
                                         {Type::keyDown, 0, both},
                                         {Type::flagsChanged, keycodes::command, eventFlags::shift},
                                         {Type::flagsChanged, keycodes::shift, 0}}));
}

TEST_F(X11KeyboardEventMonitorTest, rightHandKeysReportTheirOwnCodesAndPairsKeepTheFlag) {
    chord({xSuperR});
    press(xShiftL);
    press(xShiftR);
    release(xShiftL);
    release(xShiftR);
    ASSERT_TRUE(waitForEvents(6));
    settle([this] { pump(); });
    EXPECT_EQ(seen(), (std::vector<Seen>{{Type::flagsChanged, keycodes::rightCommand, eventFlags::command},
                                         {Type::flagsChanged, keycodes::rightCommand, 0},
                                         {Type::flagsChanged, keycodes::shift, eventFlags::shift},
                                         {Type::flagsChanged, keycodes::rightShift, eventFlags::shift},
                                         {Type::flagsChanged, keycodes::shift, eventFlags::shift},
                                         {Type::flagsChanged, keycodes::rightShift, 0}}));
}

TEST_F(X11KeyboardEventMonitorTest, capsLockTogglesItsFlag) {
    chord({xCapsLock});
    chord({xKey(keyK)});
    chord({xCapsLock});
    ASSERT_TRUE(waitForEvents(3));
    settle([this] { pump(); });
    EXPECT_EQ(seen(), (std::vector<Seen>{{Type::flagsChanged, keycodes::capsLock, eventFlags::capsLock},
                                         {Type::keyDown, keyK, eventFlags::capsLock},
                                         {Type::flagsChanged, keycodes::capsLock, 0}}));
}

TEST_F(X11KeyboardEventMonitorTest, keysFollowAKeymapChange) {
    // Caps Lock becomes a second left Control.
    setKeymap({"-option", "", "-option", "ctrl:nocaps"});
    settle([this] { pump(); });
    chord({xCapsLock});
    ASSERT_TRUE(waitForEvents(2));
    settle([this] { pump(); });
    EXPECT_EQ(seen(), (std::vector<Seen>{{Type::flagsChanged, keycodes::control, eventFlags::control},
                                         {Type::flagsChanged, keycodes::control, 0}}));
}

TEST_F(X11KeyboardEventMonitorTest, modifiersHeldBeforeOpeningCount) {
    press(xShiftL);
    auto late = X11KeyboardEventMonitor::open();
    ASSERT_TRUE(late);
    EXPECT_EQ(late->modifierFlags(), eventFlags::shift);
    std::vector<Seen> lateEvents;
    late->addGlobalMonitor([&](const KeyboardEvent& e) { lateEvents.push_back({e.type, e.keyCode, e.modifierFlags}); });
    release(xShiftL);
    ASSERT_TRUE(pumpUntil([&] { late->processPendingEvents(); }, [&] { return !lateEvents.empty(); }));
    EXPECT_EQ(lateEvents, (std::vector<Seen>{{Type::flagsChanged, keycodes::shift, 0}}));
}

TEST_F(X11KeyboardEventMonitorTest, eventsGoToLocalMonitorsOnlyWhileThisProgramHasTheKeyboard) {
    std::vector<Seen> local;
    monitor->addLocalMonitor([&](const KeyboardEvent& e) -> std::optional<KeyboardEvent> {
        local.push_back({e.type, e.keyCode, e.modifierFlags});
        return e;
    });
    bool focused = true;
    monitor->setHasKeyboardFocus([&] { return focused; });
    chord({xKey(keyK)});
    ASSERT_TRUE(pumpUntil([this] { pump(); }, [&] { return !local.empty(); }));
    focused = false;
    chord({xKey(0)});
    ASSERT_TRUE(waitForEvents(1));
    settle([this] { pump(); });
    EXPECT_EQ(local, (std::vector<Seen>{{Type::keyDown, keyK, 0}}));
    EXPECT_EQ(seen(), (std::vector<Seen>{{Type::keyDown, 0, 0}}));
}

TEST_F(X11KeyboardEventMonitorTest, aRemovedMonitorIsNotCalledEvenFromWithinADelivery) {
    std::vector<int> calls;
    KeyboardEventMonitor::Token second = 0;
    monitor->addGlobalMonitor([&](const KeyboardEvent&) {
        calls.push_back(1);
        monitor->removeMonitor(second);
    });
    second = monitor->addGlobalMonitor([&](const KeyboardEvent&) { calls.push_back(2); });
    chord({xKey(keyK)});
    chord({xKey(keyK)});
    ASSERT_TRUE(waitForEvents(2));
    settle([this] { pump(); });
    EXPECT_EQ(calls, (std::vector<int>{1, 1}));
}

TEST_F(X11KeyboardEventMonitorTest, theObserverSeesKeysAndLeftClicksWithTheirFlags) {
    std::vector<std::pair<Observed, std::uint64_t>> observed;
    ASSERT_TRUE(monitor->startObserver([&](const ObservedInputEvent& e) { observed.emplace_back(e.type, e.modifierFlags); }));
    click(1, true);
    click(1, false);
    click(3, true); // other buttons are not watched
    click(3, false);
    press(xShiftL);
    click(1, true);
    click(1, false);
    chord({xKey(keyK)});
    release(xShiftL);
    ASSERT_TRUE(pumpUntil([this] { pump(); }, [&] { return observed.size() >= 5; }));
    settle([this] { pump(); });
    EXPECT_EQ(observed, (std::vector<std::pair<Observed, std::uint64_t>>{{Observed::leftMouseDown, 0},
                                                                         {Observed::leftMouseUp, 0},
                                                                         {Observed::leftMouseDown, eventFlags::shift},
                                                                         {Observed::leftMouseUp, eventFlags::shift},
                                                                         {Observed::keyDown, eventFlags::shift}}));
    monitor->stopObserver();
    click(1, true);
    click(1, false);
    settle([this] { pump(); });
    EXPECT_EQ(observed.size(), 5u);
}

TEST_F(X11KeyboardEventMonitorTest, keysOfAHotKeyGrabbedByThisProgramAreSeenToo) {
    auto registrar = X11HotKeyRegistrar::open();
    ASSERT_TRUE(registrar);
    ASSERT_EQ(registrar->registerHotKey(keyK, 0x100, 1).status, 0);
    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(waitForEvents(3));
    settle([&] {
        pump();
        registrar->processPendingEvents();
    });
    EXPECT_EQ(seen(), (std::vector<Seen>{{Type::flagsChanged, keycodes::command, eventFlags::command},
                                         {Type::keyDown, keyK, eventFlags::command},
                                         {Type::flagsChanged, keycodes::command, 0}}));
}

} // namespace
} // namespace tavlin
