#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "ShortcutKitTestSupport.h"
#include "shortcutkit/EventStream.h"

namespace tavlin::shortcutkit {
namespace {

const Shortcut controlOptionJ(keys::j.rawValue, carbon::control | carbon::option);
constexpr std::uint32_t j = 38, controlOption = 0x1800;

class EventStreamTest : public test::ShortcutKitTest {
protected:
    void SetUp() override {
        ShortcutKitTest::SetUp();
        setShortcut(controlOptionJ, name);
    }
    const Name name{"streamed"};
};

TEST_F(EventStreamTest, eventsSubscribeInALaterTurnAndBufferForNext) {
    auto stream = events(name);
    EXPECT_TRUE(registrar.grabs.empty());
    queue.runUntilIdle();
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 1u);

    registrar.press(j, controlOption);
    registrar.release(j, controlOption);
    EXPECT_EQ(stream.tryNext(), EventType::keyDown);
    EXPECT_EQ(stream.next(), EventType::keyUp);
    EXPECT_EQ(stream.tryNext(), std::nullopt);

    auto onlyUp = events(EventType::keyUp, name);
    queue.runUntilIdle();
    registrar.press(j, controlOption);
    registrar.release(j, controlOption);
    EXPECT_EQ(onlyUp.tryNext(), EventType::keyUp);
    EXPECT_EQ(onlyUp.tryNext(), std::nullopt);
}

TEST_F(EventStreamTest, aConsumerOnAnotherThreadReceivesAndSeesTheEnd) {
    auto stream = events(name);
    queue.runUntilIdle();
    auto consumer = std::async(std::launch::async, [&stream] {
        std::vector<EventType> seen;
        while (const auto event = stream.next()) {
            seen.push_back(*event);
            if (seen.size() == 2) break;
        }
        return seen;
    });
    registrar.press(j, controlOption);
    registrar.release(j, controlOption);
    EXPECT_EQ(consumer.get(), (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
}

TEST_F(EventStreamTest, endingOneOfTwoStreamsKeepsTheShortcutRegistered) {
    std::vector<std::string> log;
    auto first = events(name, [&](EventType) { log.push_back("first"); });
    auto second = events(name, [&](EventType) { log.push_back("second"); });
    queue.runUntilIdle();
    first.end();
    queue.runUntilIdle();
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 1u);
    EXPECT_TRUE(registeredShortcuts().count(controlOptionJ));
    registrar.press(j, controlOption);
    EXPECT_EQ(log, std::vector<std::string>{"second"});

    // The last live stream gone, the grab goes; the bookkeeping still counts the name's entry.
    { const EventStream gone = std::move(second); }
    queue.runUntilIdle();
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_TRUE(registeredShortcuts().count(controlOptionJ));
}

TEST_F(EventStreamTest, aStreamEndedBeforeItsSetUpRanNeverSubscribes) {
    {
        auto stream = events(name, [](EventType) { FAIL(); });
    }
    queue.runUntilIdle();
    EXPECT_TRUE(registrar.grabs.empty());
    registrar.press(j, controlOption);
}

TEST_F(EventStreamTest, eventStreamSubscribesAndEndsAtOnce) {
    int downs = 0;
    auto stream = eventStream(EventType::keyDown, name, [&](EventType) { ++downs; });
    EXPECT_EQ(registrar.grabsOf(j, controlOption), 1u);
    registrar.press(j, controlOption);
    registrar.release(j, controlOption);
    EXPECT_EQ(downs, 1);

    EventStream moved = std::move(stream);
    EXPECT_FALSE(stream.isLive());
    EXPECT_TRUE(moved.isLive());
    moved = EventStream();
    EXPECT_TRUE(registrar.grabs.empty());
}

TEST_F(EventStreamTest, aCallbackMayEndItsOwnStream) {
    std::optional<EventStream> stream;
    int calls = 0;
    stream = eventStream(EventType::keyDown, name, [&](EventType) {
        ++calls;
        stream.reset();
    });
    registrar.press(j, controlOption);
    registrar.press(j, controlOption);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(registrar.grabs.empty());
}

} // namespace
} // namespace tavlin::shortcutkit
