#include <gtest/gtest.h>

#include <string>

#include "configwindow/core/DragPayload.h"
#include "platform/base/Diagnostics.h"
#include "platform/json/Decoding.h"

namespace tavlin {
namespace {

namespace dp = DragPayload;

ChancePtr threeLevels() {
    auto leaf = Chance::make(Pattern(Pattern::Kind::key{{11}}), Decision::make({Action(Action::Kind::sleep{})}));
    auto middle = Chance::make(Pattern(Pattern::Kind::message{"m"}),
                               Decision::make({Action(Action::Kind::notification{"n"}, "note")}, {leaf}));
    return Chance::make(Pattern(Pattern::Kind::alwaysMatch{}), Decision::make({}, {middle}));
}

std::vector<std::string> keysOf(const std::string& text) {
    const json::Value document = json::parse(text);
    std::vector<std::string> keys;
    for (auto member = document.begin(); member != document.end(); ++member) keys.push_back(member.key());
    return keys;
}

TEST(DragPayloadTest, ActionTravelsWithItsIdentifier) {
    const Action action(Action::Kind::notification{"hi"}, "greet");
    const std::string data = dp::writeAction(action, dp::actionType);
    EXPECT_EQ(keysOf(data), (std::vector<std::string>{"_action", "_id"}));
    EXPECT_EQ(json::parse(data)["_id"], action.id.string());
    EXPECT_NE(data.find("\n  \"_action\" : "), std::string::npos); // the shared pretty encoder

    const Action read = dp::readAction(data, dp::actionType);
    EXPECT_EQ(read, action);
}

TEST(DragPayloadTest, ChanceSubtreeRoundTripsAsANewTreeWithTheSameIdentifier) {
    const ChancePtr chance = threeLevels();
    const std::string data = dp::writeChance(*chance, dp::chanceType);
    EXPECT_EQ(keysOf(data), (std::vector<std::string>{"_chance", "_id"}));

    const ChancePtr read = dp::readChance(data, dp::chanceType);
    EXPECT_EQ(read->id, chance->id);
    EXPECT_EQ(read->toJson(), chance->toJson());
    EXPECT_NE(read->decision, chance->decision);
    EXPECT_NE(read->decision->chances[0], chance->decision->chances[0]);
}

TEST(DragPayloadTest, OuterIdentifierWinsAndIsReadInAnyCase) {
    const Uuid id = Uuid::random();
    std::string lower = id.string();
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string data = R"({"_action": {"sleep": {}, "id": ")" + Uuid::random().string() + R"("}, "_id": ")" + lower +
                             R"("})";
    EXPECT_EQ(dp::readAction(data, dp::actionType).id, id);
}

TEST(DragPayloadTest, TheOtherFormatFailsBothWaysWithOneEmptyLine) {
    const Action action(Action::Kind::sleep{});
    const ChancePtr chance = threeLevels();
    diag::Capture capture;
    EXPECT_THROW(dp::writeAction(action, dp::chanceType), dp::TypeMismatchError);
    EXPECT_THROW(dp::writeChance(*chance, dp::actionType), dp::TypeMismatchError);
    EXPECT_THROW(dp::readAction(dp::writeAction(action, dp::actionType), dp::chanceType), dp::TypeMismatchError);
    EXPECT_THROW(dp::readChance(dp::writeChance(*chance, dp::chanceType), dp::actionType), dp::TypeMismatchError);
    EXPECT_EQ(capture.lines(), std::vector<std::string>(4, ""));
    // Bytes of the other kind under the right format do not decode either.
    EXPECT_THROW(dp::readAction(dp::writeChance(*chance, dp::chanceType), dp::actionType), DecodingError);
    EXPECT_THROW(dp::readChance(dp::writeAction(action, dp::actionType), dp::chanceType), DecodingError);
}

TEST(DragPayloadTest, LoaderWithoutDataOfItsFormatAnswersFalse) {
    diag::Capture capture;
    int calls = 0;
    const Action action(Action::Kind::sleep{});
    const std::string actionData = dp::writeAction(action, dp::actionType);
    const dp::DataForType onlyActions = [&](std::string_view type) -> std::optional<std::string> {
        if (type == dp::actionType) return actionData;
        return std::nullopt;
    };
    EXPECT_FALSE(dp::loadChance(onlyActions, [&](ChancePtr) { ++calls; }));
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
    EXPECT_TRUE(dp::loadAction(onlyActions, [&](Action read) {
        ++calls;
        EXPECT_EQ(read.id, action.id);
    }));
    EXPECT_EQ(calls, 1);
}

TEST(DragPayloadTest, ForeignPayloadsPrintOneLineAndDeliverNothing) {
    const std::string deep = std::string(10'000, '[') + std::string(10'000, ']');
    std::string huge = R"({"_id": ")" + Uuid::random().string() + R"(", "_action": {"sleep": {}, "description": ")";
    huge.append(100u << 20, 'x');
    huge += "\"}}";
    const std::vector<std::string> payloads = {
        "",
        "not json",
        "[1, 2]",
        R"({"_action": {"sleep": {}}})",
        R"({"_action": {"nonsense": {}}, "_id": "00000000-0000-4000-8000-000000000000"})",
        R"({"_action": {"sleep": {}}, "_id": "not a uuid"})",
        R"({"_action": {"sleep": {}}, "_id": 7})",
        deep,
        R"({"_action": )" + deep + R"(, "_id": "00000000-0000-4000-8000-000000000000"})",
        huge,
    };
    for (const auto& payload : payloads) {
        diag::Capture capture;
        bool delivered = false;
        const auto given = [&](std::string_view) -> std::optional<std::string> { return payload; };
        EXPECT_TRUE(dp::loadAction(given, [&](Action) { delivered = true; }));
        EXPECT_TRUE(dp::loadChance(given, [&](ChancePtr) { delivered = true; }));
        EXPECT_FALSE(delivered) << payload.substr(0, 80);
        EXPECT_EQ(capture.lines().size(), 2u) << payload.substr(0, 80);
    }
}

} // namespace
} // namespace tavlin
