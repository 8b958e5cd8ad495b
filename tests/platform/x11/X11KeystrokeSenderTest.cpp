#include "X11TestSupport.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <X11/extensions/XTest.h>

#include "platform/x11/X11HotKeyRegistrar.h"
#include "platform/x11/X11KeystrokeSender.h"

namespace tavlin {
namespace {

using namespace std::chrono_literals;
using testing::xControlL;

constexpr int keyK = 40;

// The keystrokes arrive at hot keys of this test: a grab receives them whatever window has
// the keyboard.
class X11KeystrokeSenderTest : public testing::XServerTest {
protected:
    void SetUp() override {
        XServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        sender = X11KeystrokeSender::open();
        registrar = X11HotKeyRegistrar::open();
        ASSERT_TRUE(sender);
        ASSERT_TRUE(registrar);
        registrar->setHandlers([this](std::uint32_t id) { log.push_back("pressed " + std::to_string(id)); },
                               [this](std::uint32_t id) { log.push_back("released " + std::to_string(id)); });
    }

    bool waitForLog(std::size_t count) {
        return pumpUntil([this] { registrar->processPendingEvents(); }, [&] { return log.size() >= count; });
    }

    std::unique_ptr<X11KeystrokeSender> sender;
    std::unique_ptr<X11HotKeyRegistrar> registrar;
    std::vector<std::string> log;
};

TEST_F(X11KeystrokeSenderTest, typesTheKeyWithItsModifiersAndLeavesNoKeyDown) {
    ASSERT_EQ(registrar->registerHotKey(keyK, 0x100 | 0x200, 1).status, 0);  // command shift
    ASSERT_EQ(registrar->registerHotKey(keyK, 0x800 | 0x1000, 2).status, 0); // option control
    ASSERT_EQ(registrar->registerHotKey(keyK, 0, 3).status, 0);

    EXPECT_TRUE(sender->typeKey(keyK, 0x100 | 0x200));
    EXPECT_TRUE(sender->typeKey(keyK, 0x800 | 0x1000));
    EXPECT_TRUE(sender->typeKey(keyK, 0));
    ASSERT_TRUE(waitForLog(6));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 1", "released 1", "pressed 2", "released 2", "pressed 3", "released 3"}));
    EXPECT_FALSE(anyKeyDown());
}

TEST_F(X11KeystrokeSenderTest, waitsForTheUserToLetGoOfAModifier) {
    ASSERT_EQ(registrar->registerHotKey(keyK, 0x100, 1).status, 0);
    press(xControlL);
    // The user lets go a little later; until then the keystroke would carry Control too.
    std::thread user([] {
        std::this_thread::sleep_for(100ms);
        auto display = x11::openDisplay(nullptr);
        XTestFakeKeyEvent(display.get(), xControlL, False, CurrentTime);
        XSync(display.get(), False);
    });
    const auto start = std::chrono::steady_clock::now();
    const bool typed = sender->typeKey(keyK, 0x100, 2s);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    user.join();
    EXPECT_TRUE(typed);
    EXPECT_GE(elapsed, 90ms);
    EXPECT_LT(elapsed, 1500ms);
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 1", "released 1"}));
    EXPECT_FALSE(anyKeyDown());
}

TEST_F(X11KeystrokeSenderTest, typesAnywayAfterTheWaitAndLeavesTheUsersKeyAlone) {
    ASSERT_EQ(registrar->registerHotKey(keyK, 0x100 | 0x1000, 1).status, 0); // command control
    press(xControlL);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(sender->typeKey(keyK, 0x100, 100ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    ASSERT_TRUE(waitForLog(2));
    EXPECT_EQ(log, (std::vector<std::string>{"pressed 1", "released 1"}));
    // Control is the user's: still down.
    char keys[32] = {};
    XQueryKeymap(display(), keys);
    EXPECT_TRUE((keys[xControlL / 8] >> (xControlL % 8)) & 1);
    release(xControlL);
    EXPECT_FALSE(anyKeyDown());
}

TEST_F(X11KeystrokeSenderTest, refusesKeysWithoutAKeyAndUnknownModifiers) {
    EXPECT_FALSE(sender->typeKey(52, 0)); // no key has code 52
    EXPECT_FALSE(sender->typeKey(-1, 0));
    EXPECT_FALSE(sender->typeKey(keyK, 0x400)); // not one of the four modifiers
    settle([this] { registrar->processPendingEvents(); });
    EXPECT_FALSE(anyKeyDown());
}

} // namespace
} // namespace tavlin
