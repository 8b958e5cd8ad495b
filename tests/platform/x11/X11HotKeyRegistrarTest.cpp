#include "X11TestSupport.h"

#include <memory>
#include <string>
#include <vector>

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>

#include "platform/x11/X11HotKeyRegistrar.h"

namespace tavlin {
namespace {

using testing::xKey;
using testing::xShiftL;
using testing::xSuperL;

constexpr std::uint32_t carbonCommand = 0x100;
constexpr int keyK = 40;

class X11HotKeyRegistrarTest : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        registrar = openRegistrar();
        ASSERT_TRUE(registrar);
    }

    std::unique_ptr<X11HotKeyRegistrar> openRegistrar() {
        auto opened = X11HotKeyRegistrar::open();
        if (opened) {
            opened->setHandlers([this](std::uint32_t id) { log.push_back("pressed " + std::to_string(id)); },
                                [this](std::uint32_t id) { log.push_back("released " + std::to_string(id)); });
        }
        return opened;
    }

    void pump() { registrar->processPendingEvents(); }
    bool waitForLog(std::size_t count) {
        return pumpUntil([this] { pump(); }, [&] { return log.size() >= count; });
    }
    // Whether another client can take the grab now (the server refuses a grab someone holds).
    bool canGrab(unsigned int keycode, unsigned int modifiers) {
        auto other = x11::openDisplay(nullptr);
        x11::ErrorTrap trap(other.get());
        XGrabKey(other.get(), keycode, modifiers, DefaultRootWindow(other.get()), False, GrabModeAsync, GrabModeAsync);
        return trap.sync() == Success;
    }

    // Whether another client can take an XInput2 grab of it now.
    static bool canGrabXInput2(unsigned int keycode, unsigned int modifiers) {
        auto other = x11::openDisplay(nullptr);
        return grabXInput2(other.get(), keycode, modifiers);
    }
    // An XInput2 passive grab on all master devices, as desktop window managers take them.
    static bool grabXInput2(Display* display, unsigned int keycode, unsigned int modifiers) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_KeyPress);
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        XIGrabModifiers grabbed{static_cast<int>(modifiers), 0};
        const int failed = XIGrabKeycode(display, XIAllMasterDevices, static_cast<int>(keycode), DefaultRootWindow(display),
                                         XIGrabModeAsync, XIGrabModeAsync, False, &mask, 1, &grabbed);
        XSync(display, False);
        return failed == 0;
    }

    std::unique_ptr<X11HotKeyRegistrar> registrar;
    std::vector<std::string> log;
};

TEST_F(X11HotKeyRegistrarTest, pressAndReleaseReachTheHandlersWithTheIdentifier) {
    const auto registration = registrar->registerHotKey(keyK, carbonCommand, 7);
    ASSERT_EQ(registration.status, 0);
    EXPECT_NE(registration.reference, 0u);

    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 7", "released 7"}));

    // Modifiers let go before the key: the release still belongs to the hot key.
    log.clear();
    press(xSuperL);
    press(xKey(keyK));
    release(xSuperL);
    release(xKey(keyK));
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 7", "released 7"}));
}

TEST_F(X11HotKeyRegistrarTest, locksDoNotStopAHotKey) {
    ASSERT_EQ(registrar->registerHotKey(keyK, carbonCommand, 3).status, 0);
    const unsigned int numLock = x11::numLockMask(display());
    ASSERT_NE(numLock, 0u);
    for (unsigned int locks : {unsigned(LockMask), numLock, LockMask | numLock}) {
        SCOPED_TRACE(locks);
        lockModifiers(locks, true);
        log.clear();
        chord({xSuperL, xKey(keyK)});
        ASSERT_TRUE(waitForLog(2));
        EXPECT_EQ(log, (std::vector<std::string>{"pressed 3", "released 3"}));
        lockModifiers(locks, false);
    }
}

TEST_F(X11HotKeyRegistrarTest, onlyTheExactModifiersTrigger) {
    ASSERT_EQ(registrar->registerHotKey(keyK, carbonCommand, 1).status, 0);
    chord({xSuperL, xShiftL, xKey(keyK)});
    chord({xKey(keyK)});
    settle([this] { pump(); });
    EXPECT_TRUE(log.empty());
}

TEST_F(X11HotKeyRegistrarTest, aHeldKeyIsPressedOnceAndReleasedOnce) {
    // Fast auto-repeat, so that a short hold repeats several times.
    unsigned int delay = 0, interval = 0;
    XkbGetAutoRepeatRate(display(), XkbUseCoreKbd, &delay, &interval);
    struct RestoreRate {
        Display* display;
        unsigned int delay, interval;
        ~RestoreRate() {
            XkbSetAutoRepeatRate(display, XkbUseCoreKbd, delay, interval);
            XSync(display, False);
        }
    } restore{display(), delay, interval};
    XkbChangeEnabledControls(display(), XkbUseCoreKbd, XkbRepeatKeysMask, XkbRepeatKeysMask);
    XkbSetAutoRepeatRate(display(), XkbUseCoreKbd, 20, 10);
    XSync(display(), False);
    ASSERT_EQ(registrar->registerHotKey(keyK, carbonCommand, 5).status, 0);
    press(xSuperL);
    press(xKey(keyK));
    settle([this] { pump(); }, std::chrono::milliseconds(200));
    release(xKey(keyK));
    release(xSuperL);
    ASSERT_TRUE(waitForLog(2));
    settle([this] { pump(); });
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 5", "released 5"}));
}

TEST_F(X11HotKeyRegistrarTest, aCombinationHeldByAnotherClientIsRefusedUntilReleased) {
    auto other = openRegistrar();
    ASSERT_TRUE(other);
    const auto first = registrar->registerHotKey(keyK, carbonCommand, 1);
    ASSERT_EQ(first.status, 0);

    const auto refused = other->registerHotKey(keyK, carbonCommand, 2);
    EXPECT_EQ(refused.status, X11HotKeyRegistrar::statusHeldByAnotherProgram);
    EXPECT_EQ(refused.reference, 0u);
    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 1", "released 1"}));

    registrar->unregisterHotKey(first.reference);
    const auto second = other->registerHotKey(keyK, carbonCommand, 2);
    EXPECT_EQ(second.status, 0);
    log.clear();
    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(pumpUntil(
        [&] {
            pump();
            other->processPendingEvents();
        },
        [&] { return log.size() >= 2; }));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 2", "released 2"}));
}

TEST_F(X11HotKeyRegistrarTest, aRefusedRegistrationLeavesNoGrabBehind) {
    // Another client holds the combination only with Caps Lock on: the grab without it
    // succeeds first and must be undone.
    auto other = x11::openDisplay(nullptr);
    {
        x11::ErrorTrap trap(other.get());
        XGrabKey(other.get(), xKey(keyK), Mod4Mask | LockMask, DefaultRootWindow(other.get()), False, GrabModeAsync,
                 GrabModeAsync);
        ASSERT_EQ(trap.sync(), Success);
    }
    EXPECT_EQ(registrar->registerHotKey(keyK, carbonCommand, 1).status, X11HotKeyRegistrar::statusHeldByAnotherProgram);
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
    EXPECT_FALSE(canGrab(xKey(keyK), Mod4Mask | LockMask)); // the other client's grab is untouched
}

TEST_F(X11HotKeyRegistrarTest, aCombinationRegisteredTwiceStaysGrabbedUntilBothAreGone) {
    const auto first = registrar->registerHotKey(keyK, carbonCommand, 1);
    const auto second = registrar->registerHotKey(keyK, carbonCommand, 2);
    ASSERT_EQ(first.status, 0);
    ASSERT_EQ(second.status, 0);
    EXPECT_NE(first.reference, second.reference);

    // One press is one hot key: the older registration's.
    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 1", "released 1"}));

    registrar->unregisterHotKey(first.reference);
    EXPECT_FALSE(canGrab(xKey(keyK), Mod4Mask));
    log.clear();
    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 2", "released 2"}));

    registrar->unregisterHotKey(second.reference);
    registrar->unregisterHotKey(second.reference); // unknown by now: nothing happens
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask | LockMask));
}

TEST_F(X11HotKeyRegistrarTest, combinationsWithoutAKeyOrWithOtherModifierBitsAreRefused) {
    const auto noKey = registrar->registerHotKey(52, carbonCommand, 1); // 52 has no key
    EXPECT_EQ(noKey.status, X11HotKeyRegistrar::statusInvalidCombination);
    EXPECT_EQ(noKey.reference, 0u);
    EXPECT_EQ(registrar->registerHotKey(0xffffffffu, 0, 1).status, X11HotKeyRegistrar::statusInvalidCombination);
    // 0x400 is Caps Lock in the stored masks: not one of the four modifiers.
    EXPECT_EQ(registrar->registerHotKey(keyK, carbonCommand | 0x400, 1).status, X11HotKeyRegistrar::statusInvalidCombination);
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
}

TEST_F(X11HotKeyRegistrarTest, aModifierMapChangeMovesTheNumLockGrab) {
    ASSERT_EQ(registrar->registerHotKey(keyK, carbonCommand, 9).status, 0);
    // Num Lock moves from its modifier to Mod3.
    XModifierKeymap* map = XGetModifierMapping(display());
    const unsigned int oldNumLock = x11::numLockMask(display());
    ASSERT_NE(oldNumLock, Mod3Mask);
    for (int modifier = 0; modifier < 8; ++modifier) {
        if (!(oldNumLock & (1u << modifier))) continue;
        for (int i = 0; i < map->max_keypermod; ++i) map->modifiermap[modifier * map->max_keypermod + i] = 0;
    }
    map = XInsertModifiermapEntry(map, testing::xNumLock, Mod3MapIndex);
    ASSERT_EQ(XSetModifierMapping(display(), map), MappingSuccess);
    XFreeModifiermap(map);
    XSync(display(), False);
    ASSERT_EQ(x11::numLockMask(display()), unsigned(Mod3Mask));
    settle([this] { pump(); });

    lockModifiers(Mod3Mask, true);
    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 9", "released 9"}));
}

} // namespace
} // namespace tavlin

namespace tavlin {
namespace {

TEST_F(X11HotKeyRegistrarTest, aCombinationAnotherClientHoldsThroughXInput2IsRefused) {
    auto holder = x11::openDisplay(nullptr);
    ASSERT_TRUE(grabXInput2(holder.get(), xKey(keyK), Mod4Mask));
    const auto refused = registrar->registerHotKey(keyK, carbonCommand, 1);
    EXPECT_EQ(refused.status, X11HotKeyRegistrar::statusHeldByAnotherProgram);
    EXPECT_EQ(refused.reference, 0u);
    // Nothing of ours stays behind, and the holder keeps its grab.
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
    EXPECT_FALSE(canGrabXInput2(xKey(keyK), Mod4Mask));
    holder.reset();
    EXPECT_EQ(registrar->registerHotKey(keyK, carbonCommand, 1).status, 0);
}

TEST_F(X11HotKeyRegistrarTest, theProbeFindsCoreAndXInput2HoldersAndLeavesEveryGrabAsItWas) {
    EXPECT_FALSE(registrar->isHeldByAnotherProgram(keyK, carbonCommand));
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask | LockMask));
    EXPECT_TRUE(canGrabXInput2(xKey(keyK), Mod4Mask));

    {
        // A core holder, only with Caps Lock on: still a conflict.
        auto holder = x11::openDisplay(nullptr);
        x11::ErrorTrap trap(holder.get());
        XGrabKey(holder.get(), xKey(keyK), Mod4Mask | LockMask, DefaultRootWindow(holder.get()), False, GrabModeAsync,
                 GrabModeAsync);
        ASSERT_EQ(trap.sync(), Success);
        EXPECT_TRUE(registrar->isHeldByAnotherProgram(keyK, carbonCommand));
        EXPECT_FALSE(canGrab(xKey(keyK), Mod4Mask | LockMask));
        EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
    }
    {
        auto holder = x11::openDisplay(nullptr);
        ASSERT_TRUE(grabXInput2(holder.get(), xKey(keyK), Mod4Mask));
        EXPECT_TRUE(registrar->isHeldByAnotherProgram(keyK, carbonCommand));
        EXPECT_FALSE(canGrabXInput2(xKey(keyK), Mod4Mask));
        EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
    }
    // Combinations without a key are nobody's.
    EXPECT_FALSE(registrar->isHeldByAnotherProgram(52, carbonCommand));
}

TEST_F(X11HotKeyRegistrarTest, theProbeCallsTheRegistrarsOwnHotKeysFreeAndLeavesThemWorking) {
    ASSERT_EQ(registrar->registerHotKey(keyK, carbonCommand, 3).status, 0);
    EXPECT_FALSE(registrar->isHeldByAnotherProgram(keyK, carbonCommand));
    EXPECT_FALSE(canGrab(xKey(keyK), Mod4Mask));
    chord({xSuperL, xKey(keyK)});
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 3", "released 3"}));
    // Another registrar sees it held by another program.
    auto other = openRegistrar();
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->isHeldByAnotherProgram(keyK, carbonCommand));
}

// The start-up grabs the leader keys on a connection that the application's registrar takes over
// later: the grabs stay in force throughout, a press made meanwhile reaches the new owner, and
// only the grabs no registration claimed are let go.
TEST_F(X11HotKeyRegistrarTest, anAdoptedConnectionKeepsItsGrabsAndThePressesMadeMeanwhile) {
    constexpr std::uint32_t carbonShift = 0x200;
    ASSERT_EQ(registrar->registerHotKey(keyK, carbonCommand, 1).status, 0);
    ASSERT_EQ(registrar->registerHotKey(keyK, carbonCommand | carbonShift, 2).status, 0);
    auto held = X11HotKeyRegistrar::detach(std::move(registrar));
    ASSERT_TRUE(held.display);
    chord({xSuperL, xKey(keyK)});
    EXPECT_FALSE(canGrab(xKey(keyK), Mod4Mask));

    registrar = X11HotKeyRegistrar::adopt(std::move(held));
    ASSERT_TRUE(registrar);
    registrar->setHandlers([this](std::uint32_t id) { log.push_back("pressed " + std::to_string(id)); },
                           [this](std::uint32_t id) { log.push_back("released " + std::to_string(id)); });
    // An adopted grab is this registrar's own, not another program's.
    EXPECT_FALSE(registrar->isHeldByAnotherProgram(keyK, carbonCommand | carbonShift));
    const auto claimed = registrar->registerHotKey(keyK, carbonCommand, 9);
    ASSERT_EQ(claimed.status, 0);
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 9", "released 9"}));

    EXPECT_FALSE(canGrab(xKey(keyK), Mod4Mask | ShiftMask));
    registrar->releaseUnclaimedGrabs();
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask | ShiftMask));
    EXPECT_FALSE(canGrab(xKey(keyK), Mod4Mask));
    // The claimed grab is an ordinary registration from then on.
    registrar->unregisterHotKey(claimed.reference);
    EXPECT_TRUE(canGrab(xKey(keyK), Mod4Mask));
}

} // namespace
} // namespace tavlin
