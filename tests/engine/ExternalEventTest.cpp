#include "engine/EngineHarness.h"

namespace tavlin::test {
namespace {

using K = Action::Kind;
using Event = tavlinNotifications::ExternalEvent;

Event startEvent(std::int64_t code, std::int64_t modifiers, bool endAutomatically) {
    return Event::startKeySequence{{code, modifiers, endAutomatically}};
}
Event typeKeyEvent(std::int64_t code) { return Event::typeKey{{code}}; }
Event endEvent() { return Event::endKeySequence{}; }

Notification externalNotification(std::string object) {
    return {std::string(notificationNames::externalEvent), std::move(object)};
}

// Decodes a received event's text; nothing for one that does not decode.
std::optional<Event> decoded(const std::string& text) { return Event::fromNotification(externalNotification(text)); }

class ExternalEventTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ExternalEventObserver::start();
        ShellServices::shared().toggleConfigurationWindow = [this] { ++rootRuns; };
    }

    // Root: counts its runs, then key 1 leads to a leaf and key 2 to a decision that waits.
    void writeCountingRoot() {
        writeConfiguration(Decision::make({act(K::toggleConfigurationWindow{})},
                                          {keyChance(1, {act(K::sleep{})}), keyChance(2, {}, {keyChance(3, {})})}));
    }

    void send(const Event& event) { postFromAnotherProcess(event.notification()); }

    InputWindowManager& manager = InputWindowManager::shared();
    int rootRuns = 0;
};

TEST_F(ExternalEventTest, StartOpensTheWindowAsTheGivenLeaderKey) {
    writeCountingRoot();
    diag::Capture capture;
    send(startEvent(49, 256, true));
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_EQ(rootRuns, 1);
    EXPECT_EQ(currentLeaderKey(), HotKey::combo(49, 256));
    EXPECT_FALSE(manager.requireReactivateOnce);
    EXPECT_TRUE(diagnosticsContain(
        capture.lines(), "Event received: startKeySequence(hotKeyCode: 49, hotKeyModifiers: 256, endAutomatically: true)"));
}

TEST_F(ExternalEventTest, StartDuringASessionOnlyUpdatesLeaderKeyAndReactivation) {
    writeCountingRoot();
    send(startEvent(49, 0, true));
    typeKey(2);
    const auto states = manager.currentStates();
    send(startEvent(12, 0, false));
    EXPECT_EQ(rootRuns, 1) << "the running session is not restarted";
    EXPECT_EQ(currentLeaderKey(), HotKey::combo(12, 0));
    EXPECT_TRUE(manager.requireReactivateOnce);
    ASSERT_TRUE(manager.currentStates());
    EXPECT_EQ(manager.currentStates()->decision, states->decision);

    // A later start that ends automatically leaves reactivation on.
    send(startEvent(12, 0, true));
    EXPECT_TRUE(manager.requireReactivateOnce);
}

TEST_F(ExternalEventTest, StartWithAnUnstorableHotKeyIsIgnored) {
    writeCountingRoot();
    currentLeaderKey() = HotKey::combo(1, 0);
    for (const auto& event : {startEvent(4294967296, 0, false), startEvent(-1, 0, false), startEvent(0, 4294967296, false),
                              startEvent(0, -256, false)}) {
        diag::Capture capture;
        send(event);
        EXPECT_FALSE(window.isKeyWindow());
        EXPECT_EQ(currentLeaderKey(), HotKey::combo(1, 0));
        EXPECT_FALSE(manager.requireReactivateOnce);
        const auto lines = capture.lines();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].rfind("Event received: ", 0), 0u);
        EXPECT_EQ(lines[1], "Ignored start event: the hot key lies outside 0...4294967295");
    }
    send(startEvent(4294967295, 4294967295, true));
    EXPECT_TRUE(window.isKeyWindow()) << "the bounds themselves are storable";
    EXPECT_EQ(currentLeaderKey(), HotKey::combo(4294967295u, 4294967295u));
}

TEST_F(ExternalEventTest, TypeKeyWhileClosedOpensTheWindowAndDeliversLater) {
    writeCountingRoot();
    send(typeKeyEvent(1));
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_EQ(rootRuns, 1);
    queue.advance(0.099);
    EXPECT_TRUE(helperRequests().empty());
    EXPECT_TRUE(window.isKeyWindow());
    queue.advance(0.002);
    EXPECT_EQ(helperRequests().size(), 1u) << "matched like a typed key";
    EXPECT_FALSE(window.isKeyWindow());
}

// A client typing two keys in quick succession: the second must not overtake the first, which
// waits for the window its event opened.
TEST_F(ExternalEventTest, KeysTypedWhileTheWindowOpensKeepTheirOrder) {
    writeCountingRoot();
    send(typeKeyEvent(2));
    queue.advance(0.01);
    send(typeKeyEvent(3)); // arrives while the window is key but before the first key went in
    EXPECT_TRUE(window.isKeyWindow());
    ASSERT_TRUE(manager.currentStates());
    EXPECT_TRUE(manager.currentStates()->history.empty()) << "nothing goes in before the first key";
    diag::Capture capture;
    queue.advance(0.1);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "chances empty, success end, current history: 3"))
        << "2 then 3 leads to the leaf; 3 first would not match";

    // Later keys go in at once again.
    send(startEvent(49, 0, true));
    send(typeKeyEvent(2));
    ASSERT_TRUE(manager.currentStates());
    EXPECT_EQ(manager.currentStates()->history.size(), 1u);
}

TEST_F(ExternalEventTest, TypeKeyWhileOpenIsDeliveredAtOnceWithoutCountingAsActivity) {
    writeCountingRoot();
    send(startEvent(49, 0, true));
    const auto activity = manager.sessionLastActivityTimestamp;
    queue.advance(1);
    distributed.post(typeKeyEvent(2).notification());
    queue.runUntilIdle();
    ASSERT_TRUE(manager.currentStates());
    EXPECT_EQ(manager.currentStates()->history.size(), 1u);
    EXPECT_EQ(manager.sessionLastActivityTimestamp, activity);
}

TEST_F(ExternalEventTest, TypedBareLeaderKeyIsNoOutcome) {
    writeCountingRoot();
    send(startEvent(1, 0, true));
    send(typeKeyEvent(1));
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_TRUE(helperRequests().empty());
}

TEST_F(ExternalEventTest, StartThatDoesNotEndAutomaticallyReactivatesUntilEnded) {
    writeCountingRoot();
    send(startEvent(49, 0, false));
    typeKey(1); // a finished leaf
    EXPECT_TRUE(window.isKeyWindow()) << "a new session opens at once";
    EXPECT_EQ(rootRuns, 2);
    typeKey(7); // no match
    EXPECT_TRUE(window.isKeyWindow());
    EXPECT_EQ(rootRuns, 3);

    send(endEvent());
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_FALSE(manager.requireReactivateOnce);
    queue.advance(1);
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_EQ(rootRuns, 3);
}

TEST_F(ExternalEventTest, EndWhileClosedOnlyClearsReactivation) {
    manager.requireReactivateOnce = true;
    send(endEvent());
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_FALSE(manager.requireReactivateOnce);
}

TEST_F(ExternalEventTest, MalformedEventsAreDroppedWithADiagnosticLine) {
    writeCountingRoot();
    const std::vector<Notification> malformed{
        externalNotification("{"),
        externalNotification(R"({"type_key": {"info": {}}})"),
        externalNotification(R"({"start_key_sequence": {"info": {"hotKeyCode": 49, "hotKeyModifiers": 0}}})"),
        externalNotification(R"({"type_key": {"info": {"keyCode": 1}}, "end_key_sequence": {}})"),
        externalNotification("[]"),
        externalNotification("\xff\xfe"),
        {std::string(notificationNames::externalEvent), std::nullopt},
    };
    for (const auto& received : malformed) {
        diag::Capture capture;
        ExternalEventObserver::handle(received);
        queue.runUntilIdle();
        EXPECT_FALSE(window.isKeyWindow());
        EXPECT_FALSE(capture.lines().empty());
        for (const auto& line : capture.lines()) EXPECT_EQ(line, "");
    }
    EXPECT_EQ(rootRuns, 0);
}

TEST_F(ExternalEventTest, KeyCodeBeyondTheKeyRangeIsIgnored) {
    writeCountingRoot();
    diag::Capture capture;
    send(typeKeyEvent(std::int64_t{1} << 40));
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "Ignored key event: the key code is out of range"));
}

TEST_F(ExternalEventTest, CompactTextFromAnotherProgramDrivesASession) {
    writeCountingRoot();
    postFromAnotherProcess(
        externalNotification(R"({"start_key_sequence":{"info":{"hotKeyCode":49,"hotKeyModifiers":0,"endAutomatically":true}}})"));
    EXPECT_TRUE(window.isKeyWindow());
    postFromAnotherProcess(externalNotification(R"({"type_key":{"info":{"keyCode":2}}})"));
    postFromAnotherProcess(externalNotification(R"({"type_key":{"info":{"keyCode":3}}})"));
    EXPECT_FALSE(window.isKeyWindow()) << "the leaf behind keys 2 and 3 was reached";
    postFromAnotherProcess(externalNotification(R"({"end_key_sequence":{}})"));
    EXPECT_FALSE(window.isKeyWindow());
}

// After a flood, what waited long behind it no longer stands for what its sender wants: it must
// not open a session that takes the keyboard from the user. An end still ends.
TEST_F(ExternalEventTest, StartAndKeyEventsThatWaitedTooLongOpenNoSession) {
    writeCountingRoot();
    const auto receivedAgo = [&](const Event& event, double seconds) {
        Notification notification = event.notification();
        notification.receivedAt = queue.now() - seconds;
        return notification;
    };
    diag::Capture capture;
    ExternalEventObserver::handle(receivedAgo(startEvent(49, 0, false), 2));
    ExternalEventObserver::handle(receivedAgo(typeKeyEvent(1), 2));
    queue.runUntilIdle();
    EXPECT_FALSE(window.isKeyWindow());
    EXPECT_EQ(rootRuns, 0);
    EXPECT_FALSE(manager.requireReactivateOnce);
    EXPECT_TRUE(diagnosticsContain(capture.lines(), "Ignored an external event that waited more than 1 s"));

    ExternalEventObserver::handle(receivedAgo(startEvent(49, 0, true), 0.5));
    EXPECT_TRUE(window.isKeyWindow()) << "a recent one still starts";
    ExternalEventObserver::handle(receivedAgo(endEvent(), 60));
    EXPECT_FALSE(window.isKeyWindow()) << "an end ends, however late";
}

TEST_F(ExternalEventTest, ObserverIsRegisteredOnce) {
    diag::Capture capture;
    ExternalEventObserver::start(); // a second start replaces the first observer
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
    writeCountingRoot();
    send(startEvent(49, 0, true));
    EXPECT_EQ(rootRuns, 1);
    ExternalEventObserver::stop();
    window.orderOut();
    send(startEvent(49, 0, true));
    EXPECT_FALSE(window.isKeyWindow());
}

TEST(ExternalEventJson, Forms) {
    EXPECT_EQ(
        unorderedJson(*startEvent(49, 0, true).notification().object),
        unorderedJson(R"({"start_key_sequence": {"info": {"hotKeyCode": 49, "hotKeyModifiers": 0, "endAutomatically": true}}})"));
    EXPECT_EQ(unorderedJson(*typeKeyEvent(5).notification().object), unorderedJson(R"({"type_key": {"info": {"keyCode": 5}}})"));
    EXPECT_EQ(unorderedJson(*endEvent().notification().object), unorderedJson(R"({"end_key_sequence": {}})"));
    EXPECT_EQ(endEvent().notification().name, "local.tavlin.notification_names.external_event");
}

TEST(ExternalEventJson, RoundTrip) {
    const auto start = decoded(*startEvent(49, 0, true).notification().object);
    ASSERT_TRUE(start);
    const auto* info = start->get<Event::startKeySequence>();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->info.hotKeyCode, 49);
    EXPECT_EQ(info->info.hotKeyModifiers, 0);
    EXPECT_TRUE(info->info.endAutomatically);

    const auto type = decoded(*typeKeyEvent(-3).notification().object);
    ASSERT_TRUE(type && type->get<Event::typeKey>());
    EXPECT_EQ(type->get<Event::typeKey>()->info.keyCode, -3);
}

TEST(ExternalEventJson, ExtraKeysAreIgnored) {
    const auto end = decoded(R"({"end_key_sequence": {"why": "done", "info": 3}, "sender": "cli"})");
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->get<Event::endKeySequence>());
    const auto type = decoded(R"({"type_key": {"info": {"keyCode": 7, "extra": true}, "more": []}})");
    ASSERT_TRUE(type && type->get<Event::typeKey>());
    EXPECT_EQ(type->get<Event::typeKey>()->info.keyCode, 7);
}

TEST(ExternalEventJson, Failures) {
    diag::Capture capture;
    for (const std::string text : {
             R"({"type_key": {"info": {}}})",
             R"({"type_key": {}})",
             R"({"type_key": {"info": {"keyCode": "7"}}})",
             R"({"type_key": {"info": {"keyCode": 7.5}}})",
             R"({"start_key_sequence": {"info": {"hotKeyCode": 49, "hotKeyModifiers": 0}}})",
             R"({"start_key_sequence": {"info": {"hotKeyCode": 49, "hotKeyModifiers": 0, "endAutomatically": 1}}})",
             R"({"start_key_sequence": {"info": {"hotKeyCode": 1e30, "hotKeyModifiers": 0, "endAutomatically": true}}})",
             R"({"type_key": {"info": {"keyCode": 1}}, "end_key_sequence": {}})",
             R"({"unknown": {}})",
             R"({})",
             R"({"end_key_sequence": []})",
             R"({"end_key_sequence": null})",
             "",
         }) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(decoded(text));
    }
    EXPECT_FALSE(
        Event::fromNotification({"local.tavlin.notification_names.action_outcome_event", R"({"end_key_sequence": {}})"}));
    EXPECT_FALSE(Event::fromNotification({std::string(notificationNames::externalEvent), std::nullopt}));
    for (const auto& line : capture.lines()) EXPECT_EQ(line, "");
}

TEST(ExternalEventJson, CountingCaseKeysGivesTheTypeMismatch) {
    for (const std::string text : {R"({"type_key": {"info": {"keyCode": 1}}, "end_key_sequence": {}})", R"({"other": 1})"}) {
        try {
            decodeJson(text, [](const JsonReader& reader) { return Event::fromJson(reader); });
            ADD_FAILURE() << text;
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
            EXPECT_EQ(error.debugDescription(), "Invalid number of keys found, expected one.");
        }
    }
}

} // namespace
} // namespace tavlin::test
