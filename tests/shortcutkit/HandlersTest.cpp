#include <gtest/gtest.h>

#include "ShortcutKitTestSupport.h"
#include "shortcutkit/EventStream.h"

namespace tavlin::shortcutkit {
namespace {

const Shortcut controlOptionJ(keys::j.rawValue, carbon::control | carbon::option);
const Shortcut commandK(keys::k.rawValue, carbon::command);
constexpr std::uint32_t j = 38, k = 40, controlOption = 0x1800, command = 0x100;

class HandlersTest : public test::ShortcutKitTest {
protected:
    std::vector<std::string> log;
    std::function<void()> note(std::string text) {
        return [this, text] { log.push_back(text); };
    }
};

TEST_F(HandlersTest, aHandlerGrabsTheStoredShortcutAndHearsEachPressAndRelease) {
    const Name name("h");
    setShortcut(controlOptionJ, name);
    onKeyDown(name, note("down"));
    onKeyUp(name, note("up"));
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 1u);
    EXPECT_EQ(CarbonShortcutTable::hotKeys().size(), 1u);

    registrar.press(j, controlOption);
    registrar.release(j, controlOption);
    registrar.press(j, controlOption);
    EXPECT_EQ(log, (std::vector<std::string>{"down", "up", "down"}));
}

TEST_F(HandlersTest, changingTheShortcutMovesTheGrabAndIdentifiersAreNeverReused) {
    const Name name("h");
    setShortcut(controlOptionJ, name);
    onKeyDown(name, note("down"));
    const auto firstId = CarbonShortcutTable::hotKeys().begin()->first;
    setShortcut(commandK, name);
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 0u);
    EXPECT_EQ(registrar.grabsOf(k, command), 1u);
    ASSERT_EQ(CarbonShortcutTable::hotKeys().size(), 1u);
    EXPECT_GT(CarbonShortcutTable::hotKeys().begin()->first, firstId);
    registrar.press(k, command);
    EXPECT_EQ(log, std::vector<std::string>{"down"});

    setShortcut(std::nullopt, name);
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_TRUE(CarbonShortcutTable::hotKeys().empty());
}

TEST_F(HandlersTest, anotherNamesChangeDoesNotDeafenAName) {
    const Name listening("listening"), other("other");
    setShortcut(controlOptionJ, listening);
    onKeyDown(listening, note("listening"));
    // The other name takes the same shortcut and lets it go: the old shortcut's hot key is
    // unregistered, and must come back for the name still listening.
    setShortcut(controlOptionJ, other);
    setShortcut(commandK, other);
    unregisterName(other);
    registrar.press(j, controlOption);
    EXPECT_EQ(log, std::vector<std::string>{"listening"});
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 1u);
    EXPECT_EQ(registrar.grabsOf(k, command), 0u);
}

TEST_F(HandlersTest, aPressRunsHandlersThenStreamsInTheOrderAdded) {
    const Name first("first"), second("second");
    setShortcut(controlOptionJ, first);
    setShortcut(controlOptionJ, second);
    onKeyDown(second, note("second handler"));
    auto stream = eventStream(EventType::keyDown, first, [this](EventType) { log.push_back("first stream"); });
    onKeyDown(first, note("first handler"));
    auto later = eventStream(EventType::keyDown, second, [this](EventType) { log.push_back("second stream"); });
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 1u);
    registrar.press(j, controlOption);
    EXPECT_EQ(log, (std::vector<std::string>{"second handler", "first handler", "first stream", "second stream"}));
}

TEST_F(HandlersTest, removeAllHandlersFreesTheGrabUnlessAStreamStillListens) {
    const Name handled("handled"), streamed("streamed");
    setShortcut(controlOptionJ, handled);
    setShortcut(commandK, streamed);
    onKeyDown(handled, note("handled"));
    onKeyDown(streamed, note("streamed handler"));
    auto stream = eventStream(EventType::keyDown, streamed, [this](EventType) { log.push_back("stream"); });

    removeAllHandlers();
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 0u);
    EXPECT_FALSE(registeredShortcuts().count(controlOptionJ));
    EXPECT_EQ(registrar.grabsOf(k, command), 1u);
    EXPECT_TRUE(registeredShortcuts().count(commandK));
    registrar.press(k, command);
    EXPECT_EQ(log, std::vector<std::string>{"stream"});

    // With nothing left listening, another client can take the combination alone.
    stream.end();
    EXPECT_TRUE(registrar.grabs.empty());
    auto& other = hub.addClient();
    EXPECT_EQ(other.registerHotKey(j, controlOption, 1).status, 0);
}

TEST_F(HandlersTest, aRefusedShortcutPrintsOneLineAndLeavesNoEntry) {
    registrar.heldElsewhere.insert({j, controlOption});
    const Name name("taken");
    setShortcut(controlOptionJ, name);
    diag::Capture capture;
    onKeyDown(name, note("never"));
    EXPECT_EQ(capture.lines().size(), 1u);
    EXPECT_TRUE(CarbonShortcutTable::hotKeys().empty());
    EXPECT_TRUE(CarbonShortcutTable::isHeldByAnotherProgram(controlOptionJ));
    EXPECT_FALSE(CarbonShortcutTable::isHeldByAnotherProgram(commandK));
}

TEST_F(HandlersTest, aHandlerMayChangeShortcutsWhileItRuns) {
    const Name name("h");
    setShortcut(controlOptionJ, name);
    onKeyDown(name, [&] {
        log.push_back("down");
        setShortcut(commandK, name);
        removeAllHandlers();
    });
    registrar.press(j, controlOption);
    registrar.press(k, command);
    EXPECT_EQ(log, std::vector<std::string>{"down"});
    EXPECT_TRUE(registrar.grabs.empty());
}

TEST_F(HandlersTest, theTableEmptiesBeforeItsRegistrarGoes) {
    const Name name("h");
    setShortcut(controlOptionJ, name);
    onKeyDown(name, note("down"));
    CarbonShortcutTable::setRegistrar(nullptr);
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_TRUE(CarbonShortcutTable::hotKeys().empty());
    // Set again, the handlers' shortcuts are registered again.
    CarbonShortcutTable::setRegistrar(&tableClient);
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 1u);
}

} // namespace
} // namespace tavlin::shortcutkit
