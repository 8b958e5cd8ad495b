#include "X11TestSupport.h"

#include <optional>

#include "configwindow/WindowTestSupport.h"
#include "configwindow/core/LeaderKeyOperations.h"
#include "engine/HotKeyManager.h"
#include "platform/x11/X11HotKeyRegistrar.h"

namespace tavlin {
namespace {

constexpr std::uint32_t command = 0x100;
// Virtual key codes and the X key codes of the same keys.
constexpr std::uint32_t keyA = 0, keyB = 11, keyN = 45;
constexpr unsigned int xA = 38, xB = 56, xN = 57;

class LeaderKeysX11Test : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        home_.emplace();
        registrar_ = X11HotKeyRegistrar::open();
        ASSERT_TRUE(registrar_);
        manager_.setRegistrar(registrar_.get());
    }
    void TearDown() override {
        manager_.setRegistrar(nullptr);
        registrar_.reset();
        home_.reset();
        XServerTest::TearDown();
    }
    // Whether another client can take the grab now: the server refuses a grab someone holds.
    static bool canGrab(unsigned int keycode) {
        auto other = x11::openDisplay(nullptr);
        x11::ErrorTrap trap(other.get());
        XGrabKey(other.get(), keycode, Mod4Mask, DefaultRootWindow(other.get()), False, GrabModeAsync, GrabModeAsync);
        return trap.sync() == Success;
    }
    std::vector<HotKey> storedHotKeys() {
        return loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath())->hotKeys;
    }

    std::optional<test::TempHome> home_;
    std::unique_ptr<X11HotKeyRegistrar> registrar_;
    HotKeyManager manager_;
};

TEST_F(LeaderKeysX11Test, AReplacedThenRemovedLeaderKeyIsReleasedAndAnotherProgramsGrabIsReported) {
    ConfigurationWindowModel model(test::writeAndLoad(R"({"hotKeys":[{"combo":{"info":{"keyCode":0,"modifiersCode":256}}}],
        "decision":{"actions":[],"chances":[]}})"));
    manager_.registerHotKey(keyA, command); // as the application does at launch
    replaceLeaderHotKey(model, manager_, HotKey::combo(keyB, command));
    addHotKey(model, manager_, HotKey::combo(keyA, command));
    EXPECT_FALSE(canGrab(xA));
    removeHotKey(model, manager_, 1, HotKey::combo(keyA, command));
    EXPECT_TRUE(canGrab(xA));
    EXPECT_FALSE(canGrab(xB));

    // Held by another client: still added and saved; the manager says why it does not work.
    auto other = x11::openDisplay(nullptr);
    XGrabKey(other.get(), xN, Mod4Mask, DefaultRootWindow(other.get()), False, GrabModeAsync, GrabModeAsync);
    XSync(other.get(), False);
    diag::Capture capture;
    addHotKey(model, manager_, HotKey::combo(keyN, command));
    EXPECT_EQ(storedHotKeys(), (std::vector<HotKey>{HotKey::combo(keyB, command), HotKey::combo(keyN, command)}));
    ASSERT_FALSE(capture.lines().empty());
    EXPECT_EQ(capture.lines()[0], "failed to register (45)");
    other.reset();

    replaceLeaderHotKey(model, manager_, std::nullopt);
    EXPECT_TRUE(canGrab(xB));
    EXPECT_TRUE(storedHotKeys().empty());
}

} // namespace
} // namespace tavlin
