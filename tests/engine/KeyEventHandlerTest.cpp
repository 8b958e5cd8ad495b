#include <cmath>
#include <limits>

#include "LeaderKeyHarness.h"

namespace tavlin::test {
namespace {

using eventFlags::capsLock;
using eventFlags::command;
using eventFlags::option;
using eventFlags::shift;

const Call commandDown{55, 55, true};
const Call commandUp{55, 55, false};

class KeyEventHandlerTest : public LeaderKeyTest {
protected:
    void SetUp() override {
        LeaderKeyTest::SetUp();
        armRecording();
    }

    // A press and release with explicit timestamps, so that interval edges are exact.
    void tapAt(double pressedAt, double releasedAt) {
        monitor.sendLocal({KeyboardEvent::Type::flagsChanged, 55, command, pressedAt});
        monitor.sendLocal({KeyboardEvent::Type::flagsChanged, 55, 0, releasedAt});
        queue.advance(0.05);
    }

    void setInterval(DefaultsValue value) {
        settingsStore()->set(settings::keys::maximumSingleModifierPressAndReleaseInterval, value);
    }
};

TEST_F(KeyEventHandlerTest, TapPressesAtOnceReleasesLaterAndSwallowsTheRelease) {
    const auto press = monitor.sendLocal(flagsChanged(command));
    ASSERT_TRUE(press);
    queue.advance(0.1);
    const auto release = monitor.sendLocal(flagsChanged(0));
    EXPECT_FALSE(release) << "the release of a recognised tap is not passed on";
    EXPECT_EQ(calls, std::vector<Call>{commandDown});
    queue.advance(0.009);
    EXPECT_EQ(calls, std::vector<Call>{commandDown});
    queue.advance(0.002);
    EXPECT_EQ(calls, (std::vector<Call>{commandDown, commandUp}));
    EXPECT_FALSE(handlerManager().hasPendingRelease());
}

TEST_F(KeyEventHandlerTest, TapInAnotherApplicationIsRecognisedToo) {
    tapGlobally(option, 58, 0.05);
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{{58, 58, true}, {58, 58, false}}));
}

TEST_F(KeyEventHandlerTest, HoldIntervalEdges) {
    tapAt(100.0, 100.199);
    EXPECT_EQ(calls.size(), 2u) << "just under the default 0.2 s";
    calls.clear();
    tapAt(200.0, 200.201);
    EXPECT_TRUE(calls.empty()) << "just over the default 0.2 s";
    tapAt(300.0, 300.5);
    EXPECT_TRUE(calls.empty()) << "held long";
}

TEST_F(KeyEventHandlerTest, IntervalIsReadAtEveryEvent) {
    setInterval(0.5);
    tapAt(100.0, 100.3);
    EXPECT_EQ(calls.size(), 2u);
    calls.clear();
    setInterval(0.1);
    tapAt(200.0, 200.15);
    EXPECT_TRUE(calls.empty());
    setInterval(0);
    tapAt(300.0, 300.0);
    EXPECT_EQ(calls.size(), 2u) << "zero allows a press and release stamped together";
}

TEST_F(KeyEventHandlerTest, UnusableStoredIntervalsCountAsTheDefault) {
    for (const DefaultsValue& stored : {DefaultsValue(-1.0), DefaultsValue(std::numeric_limits<double>::infinity()),
                                        DefaultsValue(std::nan("")), DefaultsValue("0.5"), DefaultsValue(true)}) {
        setInterval(stored);
        calls.clear();
        tapAt(100.0, 100.15);
        EXPECT_EQ(calls.size(), 2u);
        calls.clear();
        tapAt(200.0, 200.25);
        EXPECT_TRUE(calls.empty());
    }
}

TEST_F(KeyEventHandlerTest, KeyTypedWithTheModifierSpoilsTheTap) {
    monitor.sendLocal(flagsChanged(command));
    const auto typed = monitor.sendLocal(keyDown(8, command));
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->keyCode, 8);
    EXPECT_TRUE(handlerManager().giveUpOnce);
    queue.advance(0.05);
    const auto release = monitor.sendLocal(flagsChanged(0));
    EXPECT_TRUE(release) << "a release that is no tap passes on";
    EXPECT_FALSE(handlerManager().giveUpOnce);
    EXPECT_FALSE(handlerManager().latestModifierEvent());
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());

    // The next tap starts afresh: its press only records, its release fires.
    tapLocally(command, 55, 0.05);
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{commandDown, commandUp}));
}

TEST_F(KeyEventHandlerTest, KeyTypedInAnotherApplicationSpoilsTheTap) {
    monitor.sendGlobal(flagsChanged(command));
    monitor.sendGlobal(keyDown(8, command));
    monitor.sendGlobal(flagsChanged(0));
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());
}

TEST_F(KeyEventHandlerTest, KeyWithoutModifierDoesNotSpoilTheTap) {
    monitor.sendLocal(flagsChanged(command));
    monitor.sendLocal(keyDown(8, capsLock));
    monitor.sendLocal(flagsChanged(0));
    queue.advance(0.05);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(KeyEventHandlerTest, ModifiedClickOrKeyElsewhereKeepsOnlyThePress) {
    for (const auto type : {ObservedInputEvent::Type::leftMouseDown, ObservedInputEvent::Type::keyDown}) {
        calls.clear();
        monitor.sendLocal(flagsChanged(command));
        monitor.observe({type, command});
        EXPECT_TRUE(tapSawModifiedInput());
        queue.advance(0.05);
        monitor.sendLocal(flagsChanged(0));
        queue.advance(1);
        EXPECT_EQ(calls, std::vector<Call>{commandDown});
        EXPECT_FALSE(tapSawModifiedInput());
    }
}

TEST_F(KeyEventHandlerTest, ModifiedInputElsewhereBeforeASlowReleaseDoesNotSpoilTheNextTap) {
    monitor.sendLocal({KeyboardEvent::Type::flagsChanged, 55, command, 100.0});
    monitor.observe({ObservedInputEvent::Type::keyDown, command});
    monitor.sendLocal({KeyboardEvent::Type::flagsChanged, 55, 0, 101.0});
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty()) << "held too long for a tap";
    EXPECT_FALSE(tapSawModifiedInput());

    tapAt(200.0, 200.05);
    EXPECT_EQ(calls, (std::vector<Call>{commandDown, commandUp}));
}

TEST_F(KeyEventHandlerTest, PlainClickElsewhereDoesNotSpoilTheTap) {
    monitor.sendLocal(flagsChanged(command));
    monitor.observe({ObservedInputEvent::Type::leftMouseDown, 0});
    monitor.observe({ObservedInputEvent::Type::leftMouseUp, 0});
    monitor.sendLocal(flagsChanged(0));
    queue.advance(0.05);
    EXPECT_EQ(calls, (std::vector<Call>{commandDown, commandUp}));
}

TEST_F(KeyEventHandlerTest, ReleasingOneOfTwoModifiersSpoilsTheTap) {
    monitor.sendLocal(flagsChanged(command));
    monitor.sendLocal(flagsChanged(command | shift, 56));
    monitor.sendLocal(flagsChanged(command, 56));
    EXPECT_TRUE(handlerManager().giveUpOnce);
    monitor.sendLocal(flagsChanged(0));
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(handlerManager().giveUpOnce);
}

TEST_F(KeyEventHandlerTest, TwoModifiersReleasedTogetherAreNoTap) {
    monitor.sendLocal(flagsChanged(command));
    monitor.sendLocal(flagsChanged(command | shift, 56));
    monitor.sendLocal(flagsChanged(0));
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());
}

TEST_F(KeyEventHandlerTest, CapsLockToggledDuringTheTapSpoilsIt) {
    // Seen only in the flags of the release.
    monitor.sendLocal(flagsChanged(command));
    monitor.sendLocal(flagsChanged(capsLock));
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(handlerManager().giveUpOnce);

    // Reported as an event of its own while the modifier is held, on and off.
    for (const std::uint64_t before : {std::uint64_t{0}, capsLock}) {
        monitor.sendLocal(flagsChanged(command | before));
        monitor.sendLocal(flagsChanged(command | (before ^ capsLock), 57));
        monitor.sendLocal(flagsChanged(before ^ capsLock));
        queue.advance(0.05);
        EXPECT_TRUE(calls.empty());
        EXPECT_FALSE(handlerManager().giveUpOnce);
    }

    // Caps Lock on all along is no change: the tap counts.
    monitor.sendLocal(flagsChanged(command | capsLock));
    monitor.sendLocal(flagsChanged(capsLock));
    queue.advance(0.05);
    EXPECT_EQ(calls, (std::vector<Call>{commandDown, commandUp}));
}

TEST_F(KeyEventHandlerTest, FirstEventAfterArmingOnlyRecords) {
    tapSawModifiedInput() = true;
    // The modifier was already down when the handler was armed: its release is the first event.
    monitor.sendLocal(flagsChanged(0));
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());
    EXPECT_FALSE(tapSawModifiedInput());
    ASSERT_TRUE(handlerManager().latestModifierEvent());
    EXPECT_EQ(handlerManager().latestModifierEvent()->modifierFlags, 0u);
}

TEST_F(KeyEventHandlerTest, ActivityWithinTheDelayCancelsTheRelease) {
    const auto tapThen = [&](const std::function<void()>& activity) {
        calls.clear();
        tapLocally(command, 55, 0.05);
        queue.advance(0.005);
        activity();
        queue.advance(0.05);
        EXPECT_EQ(calls, std::vector<Call>{commandDown});
        EXPECT_FALSE(handlerManager().hasPendingRelease());
    };
    tapThen([&] { monitor.observe({ObservedInputEvent::Type::keyDown, 0}); });
    tapThen([&] { monitor.observe({ObservedInputEvent::Type::leftMouseDown, 0}); });
    tapThen([&] { monitor.observe({ObservedInputEvent::Type::leftMouseUp, 0}); });
    tapThen([&] { monitor.sendGlobal(keyDown(0, 0)); });
}

TEST_F(KeyEventHandlerTest, HotKeyPressedAtOnceReleasedAfterTheDelay) {
    auto& hotKeys = HotKeyManager::shared();
    hotKeys.registerHotKey(0, 0x900);
    EXPECT_TRUE(registrar.press(0, 0x900));
    EXPECT_EQ(calls, (std::vector<Call>{{0, 0x900, true}}));
    EXPECT_TRUE(registrar.release(0, 0x900));
    queue.advance(0.009);
    EXPECT_EQ(calls.size(), 1u);
    queue.advance(0.002);
    EXPECT_EQ(calls, (std::vector<Call>{{0, 0x900, true}, {0, 0x900, false}}));
}

TEST_F(KeyEventHandlerTest, LettingGoOfTheCombinationsModifiersKeepsItsRelease) {
    HotKeyManager::shared().registerHotKey(17, 0x1800); // control-option-T
    const auto pressAndRelease = [&] {
        calls.clear();
        // What the monitor sees of the combination before the hot key fires.
        monitor.sendGlobal(flagsChanged(eventFlags::control, 59));
        monitor.sendGlobal(flagsChanged(eventFlags::control | eventFlags::option, 58));
        monitor.sendGlobal(keyDown(17, eventFlags::control | eventFlags::option));
        registrar.press(17, 0x1800);
        registrar.release(17, 0x1800);
        queue.advance(0.002);
    };
    // Control and option go up a moment after T, while another application has the keyboard.
    pressAndRelease();
    monitor.sendGlobal(flagsChanged(eventFlags::option, 59));
    monitor.sendGlobal(flagsChanged(0, 58));
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{{17, 0x1800, true}, {17, 0x1800, false}}));

    // The raw press of T itself, read only after the hot key's release, is no typing either.
    pressAndRelease();
    monitor.observe({ObservedInputEvent::Type::keyDown, eventFlags::control | eventFlags::option, 17});
    monitor.sendGlobal(keyDown(17, eventFlags::control | eventFlags::option));
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{{17, 0x1800, true}, {17, 0x1800, false}}));

    // The whole combination's raw presses may come only after the hot key's release too.
    calls.clear();
    registrar.press(17, 0x1800);
    registrar.release(17, 0x1800);
    monitor.sendGlobal(flagsChanged(eventFlags::control, 59));
    monitor.sendGlobal(flagsChanged(eventFlags::control | eventFlags::option, 58));
    monitor.sendGlobal(keyDown(17, eventFlags::control | eventFlags::option));
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{{17, 0x1800, true}, {17, 0x1800, false}}));

    // Pressing a modifier or typing a key there still cancels it.
    pressAndRelease();
    monitor.sendGlobal(flagsChanged(eventFlags::control | eventFlags::option | eventFlags::shift, 56));
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{{17, 0x1800, true}}));
    monitor.sendGlobal(flagsChanged(0, 56));
    pressAndRelease();
    monitor.sendGlobal(keyDown(0, eventFlags::control | eventFlags::option));
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{{17, 0x1800, true}}));
}

// The start-up grabs the leader keys before the monitor watches: a combination typed then is
// reported with its modifiers already down, and letting go of them one by one must not read
// as a tap of the last one, whose release would replace the combination's.
TEST_F(KeyEventHandlerTest, ModifiersHeldBeforeTheMonitorWatchedAreNoTapAfterAHotKey) {
    HotKeyManager::shared().registerHotKey(17, 0x1800); // control-option-T
    registrar.press(17, 0x1800);
    registrar.release(17, 0x1800);
    monitor.sendGlobal(flagsChanged(eventFlags::control, 58));
    monitor.sendGlobal(flagsChanged(0, 59));
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{{17, 0x1800, true}, {17, 0x1800, false}}));
    calls.clear();
    tapLocally(command, 55, 0.05);
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{commandDown, commandUp})) << "the next tap works";
}

TEST_F(KeyEventHandlerTest, UnknownHotKeyIdentifierIsPrintedAndNotDelivered) {
    diag::Capture capture;
    handlerManager().hotKeyPressed(987654);
    handlerManager().hotKeyReleased(987654);
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"987654 not found", "987654 not found"}));
}

TEST_F(KeyEventHandlerTest, ANewerReleaseReplacesAndCancelsThePendingOne) {
    HotKeyManager::shared().registerHotKey(0, 0x900);
    tapLocally(option, 58, 0.05);
    queue.advance(0.005);
    registrar.press(0, 0x900);
    registrar.release(0, 0x900);
    queue.advance(0.1);
    EXPECT_EQ(calls, (std::vector<Call>{{58, 58, true}, {0, 0x900, true}, {0, 0x900, false}}))
        << "the earlier release must not also fire";
    EXPECT_EQ(queue.pendingTimerCount(), 0u);

    calls.clear();
    registrar.release(0, 0x900);
    registrar.release(0, 0x900);
    queue.advance(0.1);
    EXPECT_EQ(calls, (std::vector<Call>{{0, 0x900, false}}));
}

TEST_F(KeyEventHandlerTest, RemovingTheHandlerCancelsAPendingRelease) {
    tapLocally(command, 55, 0.05);
    ASSERT_TRUE(handlerManager().hasPendingRelease());
    handlerManager().removeKeyEventHanlder();
    queue.advance(0.1);
    EXPECT_EQ(calls, std::vector<Call>{commandDown});
    EXPECT_EQ(queue.pendingTimerCount(), 0u);
}

// Ctrl+S saves, and the save registers the leader keys again while Control is still down.
TEST_F(KeyEventHandlerTest, ACombinationHeldAcrossARegistrationLeavesTheNextTapWorking) {
    monitor.sendLocal(flagsChanged(eventFlags::control, 59));
    monitor.sendLocal(keyDown(1, eventFlags::control));
    queue.advance(0.1);
    armRecording(); // as reloadLeaderKeys does: removed, then installed
    queue.advance(0.2);
    monitor.sendLocal(flagsChanged(0, 59));
    tapLocally(command, 55, 0.05);
    queue.advance(0.02);
    EXPECT_EQ(calls, (std::vector<Call>{commandDown, commandUp}));
}

TEST_F(KeyEventHandlerTest, ArmingInstallsEverySourceOnceAndRemovingTakesThemAway) {
    EXPECT_EQ(monitor.locals.size(), 1u);
    EXPECT_EQ(monitor.globals.size(), 1u);
    EXPECT_TRUE(monitor.observer);
    EXPECT_TRUE(registrar.handlersInstalled());

    // Arming again without removing first must not double every event.
    handlerManager().addKeyEventHandler(false, [this](std::uint32_t k, std::uint32_t m, bool d) { calls.emplace_back(k, m, d); });
    EXPECT_EQ(monitor.locals.size(), 1u);
    EXPECT_EQ(monitor.globals.size(), 1u);
    tapLocally(command, 55, 0.05);
    queue.advance(0.05);
    EXPECT_EQ(calls.size(), 2u);

    diag::Capture capture;
    handlerManager().removeKeyEventHanlder();
    EXPECT_TRUE(monitor.locals.empty());
    EXPECT_TRUE(monitor.globals.empty());
    EXPECT_FALSE(monitor.observer);
    EXPECT_FALSE(registrar.handlersInstalled());
    EXPECT_FALSE(handlerManager().latestModifierEvent());
    EXPECT_EQ(monitor.unknownRemovals, 0);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"[[ removeKeyEventHanlder()", "latestModifierEvent changed to nil",
                                                         "]] removeKeyEventHanlder()"}));
    EXPECT_TRUE(handlerManager().hasKeyHandler()) << "the callback stays";
}

TEST_F(KeyEventHandlerTest, SkippedHotKeysAndMissingAccessLeaveThoseSourcesOut) {
    handlerManager().removeKeyEventHanlder();
    monitor.accessGranted = false;
    diag::Capture capture;
    handlerManager().addKeyEventHandler(true, [this](std::uint32_t k, std::uint32_t m, bool d) { calls.emplace_back(k, m, d); });
    EXPECT_FALSE(registrar.handlersInstalled());
    EXPECT_FALSE(monitor.observer);
    EXPECT_TRUE(capture.lines().empty());
    // The monitors alone still recognise taps.
    tapLocally(command, 55, 0.05);
    queue.advance(0.05);
    EXPECT_EQ(calls.size(), 2u);

    handlerManager().removeKeyEventHanlder();
    monitor.accessGranted = true;
    capture.clear();
    handlerManager().addKeyEventHandler(false, [](std::uint32_t, std::uint32_t, bool) {});
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"key press event handler install result: 0",
                                                         "key release event handler install result: 0"}));
}

TEST_F(KeyEventHandlerTest, FiringPicksTheFirstModifierInFixedOrder) {
    handlerManager().fireSingleModifierLeaderKey(eventFlags::control | option | shift);
    handlerManager().fireSingleModifierLeaderKey(eventFlags::control | command);
    handlerManager().fireSingleModifierLeaderKey(eventFlags::control);
    queue.advance(0.05);
    EXPECT_EQ(calls, (std::vector<Call>{{56, 56, true}, {55, 55, true}, {59, 59, true}, {59, 59, false}}));

    diag::Capture capture;
    calls.clear();
    handlerManager().fireSingleModifierLeaderKey(capsLock);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
}

TEST_F(KeyEventHandlerTest, TracesOfATap) {
    diag::Capture capture;
    monitor.sendLocal(flagsChanged(command));
    monitor.sendLocal(keyDown(8, 0));
    monitor.sendLocal(flagsChanged(0));
    const std::vector<std::string> expected{
        "[[ handleModifierFlagsChangedEvent(_:)\n-- event keyCode: 55\n-- event modifiers: \u2318\n-- event type: flagsChanged\n"
        "-- latestModifierEvent: nil",
        "latestModifierEvent changed to keyCode: 55; modifiers: \u2318; type: flagsChanged;",
        "]] handleModifierFlagsChangedEvent(_:) returned with keyCode: 55; modifiers: \u2318; type: flagsChanged;",
        "[[ handleKeyDownEvent(_:)\n-- event keyCode: 8\n-- event modifiers: \n-- event type: keyDown\n"
        "-- latestModifierEvent: keyCode: 55; modifiers: \u2318; type: flagsChanged;",
        "]] handleKeyDownEvent(_:)",
        "[[ handleModifierFlagsChangedEvent(_:)\n-- event keyCode: 55\n-- event modifiers: \n-- event type: flagsChanged\n"
        "-- latestModifierEvent: keyCode: 55; modifiers: \u2318; type: flagsChanged;",
        "latestModifierEvent changed to keyCode: 55; modifiers: ; type: flagsChanged;",
        "]] handleModifierFlagsChangedEvent(_:) returned with nil",
    };
    EXPECT_EQ(capture.lines(), expected);
}

// Keys typed into other programs may be a password, and standard output ends up in the journal.
TEST_F(KeyEventHandlerTest, InputTypedElsewhereLeavesNoKeyCodeInTheTraces) {
    diag::Capture capture;
    monitor.sendGlobal(flagsChanged(shift, 56));
    monitor.sendGlobal(keyDown(12, shift));
    monitor.sendGlobal(keyDown(13, 0));
    monitor.sendGlobal(flagsChanged(0, 56));
    const std::vector<std::string> expected{
        "[[ handleModifierFlagsChangedEvent(_:)\n-- event modifiers: \u21e7\n-- event type: flagsChanged\n"
        "-- latestModifierEvent: nil",
        "latestModifierEvent changed to modifiers: \u21e7; type: flagsChanged;",
        "]] handleModifierFlagsChangedEvent(_:) returned with modifiers: \u21e7; type: flagsChanged;",
        "[[ handleModifierFlagsChangedEvent(_:)\n-- event modifiers: \n-- event type: flagsChanged\n"
        "-- latestModifierEvent: modifiers: \u21e7; type: flagsChanged;",
        "latestModifierEvent changed to nil", // the typed key spoilt the tap
    };
    EXPECT_EQ(capture.lines(), expected);

    // Still noted: a key typed with the modifier held spoils the tap.
    calls.clear();
    monitor.sendGlobal(flagsChanged(command));
    monitor.sendGlobal(keyDown(8, command));
    monitor.sendGlobal(flagsChanged(0));
    queue.advance(0.05);
    EXPECT_TRUE(calls.empty());

    // A modifier seen elsewhere and then a key typed here: only the latter's code shows.
    capture.clear();
    monitor.sendGlobal(flagsChanged(command));
    monitor.sendLocal(keyDown(8, command));
    ASSERT_EQ(capture.lines().size(), 5u);
    EXPECT_EQ(capture.lines()[3],
              "[[ handleKeyDownEvent(_:)\n-- event keyCode: 8\n-- event modifiers: \u2318\n"
              "-- event type: keyDown\n-- latestModifierEvent: modifiers: \u2318; type: flagsChanged;");
}

} // namespace
} // namespace tavlin::test
