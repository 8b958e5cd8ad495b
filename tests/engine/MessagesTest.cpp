#include "engine/EngineHarness.h"

namespace tavlin::test {
namespace {

Notification outcomeNotification(std::optional<std::string> object) {
    return {std::string(notificationNames::actionOutcomeEvent), std::move(object)};
}

std::optional<ActionOutcome> received(const std::string& text) { return actionOutcome(outcomeNotification(text)); }

TEST(ActionOutcomeMessage, NotificationCarriesTheJsonText) {
    const auto key = notification(keyOutcome(5));
    EXPECT_EQ(key.name, "local.tavlin.notification_names.action_outcome_event");
    ASSERT_TRUE(key.object);
    EXPECT_EQ(unorderedJson(*key.object), unorderedJson(R"({"key": {"keyCode": 5}})"));
    EXPECT_NE(key.object->find('\n'), std::string::npos) << "written by the pretty-printing encoder";

    const auto message = notification(messageOutcome("a \"quoted\" / path\n"));
    EXPECT_EQ(unorderedJson(*message.object), unorderedJson(R"({"message": {"text": "a \"quoted\" / path\n"}})"));
}

TEST(ActionOutcomeMessage, RoundTripsKeepEqualityAndIdentity) {
    for (const auto& outcome : {keyOutcome(49), keyOutcome(-1), messageOutcome(""), messageOutcome("abc"),
                                messageOutcome("naïve 😀"), messageOutcome(std::string("nul\0inside", 10))}) {
        const auto back = actionOutcome(notification(outcome));
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, outcome);
        EXPECT_EQ(back->id(), outcome.id());
    }
    EXPECT_NE(keyOutcome(1).id(), messageOutcome("1").id());
}

TEST(ActionOutcomeMessage, Descriptions) {
    EXPECT_EQ(keyOutcome(49).description(), "\"Space\" typed");
    EXPECT_EQ(messageOutcome("").description(), "\"\" received");
    EXPECT_EQ(messageOutcome("hi").description(), "\"hi\" received");
}

TEST(ActionOutcomeMessage, AnyLayoutAndUnknownKeysAreAccepted) {
    EXPECT_EQ(received(R"({"key":{"keyCode":3}})"), keyOutcome(3));
    // Key codes are 64-bit integers: one beyond 32 bits is a key, if one no keyboard has.
    EXPECT_EQ(received(R"({"key":{"keyCode":4294967296}})"), keyOutcome(4294967296));
    EXPECT_EQ(keyOutcome(4294967296).description(), "\"Unknow(4294967296)\" typed");
    EXPECT_EQ(received("{\n\t\"message\" : { \"text\" : \"x\", \"lang\": \"en\" },\n \"from\": \"helper\"\n}"),
              messageOutcome("x"));
    EXPECT_EQ(received(R"({"message": {"text": "\u00e9\ud83d\ude00"}})"), messageOutcome("é😀"));
}

TEST(ActionOutcomeMessage, MalformedMessagesGiveNothingAndOneEmptyLine) {
    const std::vector<std::string> texts{
        "{}",
        R"({"unknown": {"keyCode": 1}})",
        R"({"key": {"keyCode": 1}, "message": {"text": "x"}})",
        R"({"key": {}})",
        R"({"key": {"keyCode": "1"}})",
        R"({"key": {"keyCode": 1.5}})",
        R"({"key": {"keyCode": 9223372036854775808}})",
        R"({"key": {"keyCode": 1e400}})",
        R"({"message": {"text": 5}})",
        R"({"message": "x"})",
        "[1]",
        "\"text\"",
        "",
        "{\"message\": {\"text\": \"\xc3\x28\"}}", // ill-formed UTF-8
        std::string(1000, '[') + std::string(1000, ']'),
    };
    for (const auto& text : texts) {
        SCOPED_TRACE(text.substr(0, 60));
        diag::Capture capture;
        EXPECT_FALSE(received(text));
        EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
    }
}

TEST(ActionOutcomeMessage, WrongNameOrMissingTextGivesNothing) {
    diag::Capture capture;
    EXPECT_FALSE(actionOutcome({std::string(notificationNames::externalEvent), R"({"key": {"keyCode": 1}})"}));
    EXPECT_FALSE(actionOutcome({"", R"({"key": {"keyCode": 1}})"}));
    EXPECT_FALSE(actionOutcome(outcomeNotification(std::nullopt)));
    EXPECT_EQ(capture.lines(), std::vector<std::string>(3, ""));
}

TEST(ActionOutcomeMessage, DecodingErrorNamesTheKeyCount) {
    for (const std::string text : {"{}", R"({"other": {}})", R"({"key": {"keyCode": 1}, "message": {"text": "x"}})"}) {
        try {
            decodeJson(text, [](const JsonReader& reader) { return ActionOutcome::fromJson(reader); });
            ADD_FAILURE() << text;
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
            EXPECT_EQ(error.debugDescription(), "Invalid number of keys found, expected one.");
        }
    }
}

TEST(ActionOutcomeMessage, LongTextSurvivesTheTrip) {
    const std::string text(512 * 1024, 'x');
    const auto back = actionOutcome(notification(messageOutcome(text)));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->get<ActionOutcome::message>()->text.size(), text.size());
}

class PostedOutcomeTest : public EngineTest {};

TEST_F(PostedOutcomeTest, PostTracesAndDeliversBeforeReturning) {
    OutcomeRecorder recorder;
    diag::Capture capture;
    post(keyOutcome(49));
    EXPECT_EQ(recorder.outcomes, std::vector<ActionOutcome>{keyOutcome(49)});
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"Post action outcome: \"Space\" typed"});
    EXPECT_TRUE(distributed.posted().empty()) << "outcomes of this process stay local";
}

} // namespace
} // namespace tavlin::test
