#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "platform/dbus/SessionBusTestSupport.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

using test::ProcessResult;
using test::ReceivedSignal;

constexpr const char* actionOutcomeName = "local.tavlin.notification_names.action_outcome_event";
constexpr const char* externalEventName = "local.tavlin.notification_names.external_event";

std::vector<std::string> tavlinCommand(std::vector<std::string> words) {
    words.insert(words.begin(), TAVLIN_EXECUTABLE);
    return words;
}

// The real executable, on a bus of the test's own, with a throwaway home.
class CommandLineClientTest : public ::testing::Test {
protected:
    struct Run {
        ProcessResult process;
        std::vector<ReceivedSignal> posts;
    };

    // Runs a command form that posts: waits until the client has left the bus, which the bus
    // announces only after it has routed everything the client sent.
    Run runClient(const std::vector<std::string>& words) {
        Run run;
        run.process = test::runProcess(tavlinCommand(words));
        auto [posts, left] = watcher_.postsUntilAClientLeaves();
        EXPECT_TRUE(left) << "the client never connected to the bus";
        run.posts = std::move(posts);
        return run;
    }

    // Expects exactly one post, under `name`, whose object is the JSON `expected` (any layout).
    void expectPosted(const Run& run, const char* name, const char* expected) {
        EXPECT_EQ(run.process.exitStatus, 0) << run.process.standardError;
        EXPECT_EQ(run.process.standardOutput, "");
        EXPECT_EQ(run.process.standardError, "");
        ASSERT_EQ(run.posts.size(), 1u);
        EXPECT_EQ(run.posts[0].signature, "ss");
        ASSERT_EQ(run.posts[0].strings.size(), 2u);
        EXPECT_EQ(run.posts[0].strings[0], name);
        EXPECT_EQ(nlohmann::json::parse(run.posts[0].strings[1]), nlohmann::json::parse(expected)) << run.posts[0].strings[1];
    }

    test::TempHome home_;
    test::PrivateSessionBus bus_;
    test::RawBusClient watcher_{bus_.address()};

    void SetUp() override { watcher_.watchPosts(); }
};

TEST_F(CommandLineClientTest, MessagePostsAnActionOutcome) {
    expectPosted(runClient({"message", "hello"}), actionOutcomeName, R"({"message": {"text": "hello"}})");
}

TEST_F(CommandLineClientTest, MessageTextsArriveWhole) {
    expectPosted(runClient({"message", ""}), actionOutcomeName, R"({"message": {"text": ""}})");
    expectPosted(runClient({"message", " two words\nand a line / ä "}), actionOutcomeName,
                 R"({"message": {"text": " two words\nand a line / ä "}})");
    // Bytes that are not UTF-8 cannot travel as they are; they arrive replaced, never as a crash.
    expectPosted(runClient({"message", "a\xFF"}), actionOutcomeName, "{\"message\": {\"text\": \"a\xEF\xBF\xBD\"}}");
}

TEST_F(CommandLineClientTest, KeyboardSequenceFormsPostExternalEvents) {
    expectPosted(runClient({"ke", "start"}), externalEventName,
                 R"({"start_key_sequence": {"info": {"hotKeyCode": 49, "hotKeyModifiers": 0, "endAutomatically": true}}})");
    expectPosted(runClient({"ke", "end"}), externalEventName, R"({"end_key_sequence": {}})");
    expectPosted(runClient({"ke", "key", "7.9"}), externalEventName, R"({"type_key": {"info": {"keyCode": 7}}})");
    expectPosted(runClient({"ke", "key", "-0.5"}), externalEventName, R"({"type_key": {"info": {"keyCode": 0}}})");
    expectPosted(runClient({"ke", "key", "-9223372036854775808"}), externalEventName,
                 R"({"type_key": {"info": {"keyCode": -9223372036854775808}}})");
}

TEST_F(CommandLineClientTest, MalformedFormsPostNothing) {
    // These take the application's path, which is not the client's business here: only make
    // sure nothing is posted. Without a display the application says so and stops at once.
    test::SavedEnvironment saved{"DISPLAY", "QT_QPA_PLATFORM"};
    ::unsetenv("DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    for (const auto& words : std::vector<std::vector<std::string>>{{},
                                                                   {"message", "two", "words"},
                                                                   {"ke", "Start"},
                                                                   {"ke", "start", "extra"},
                                                                   {"ke", "key", " 5"},
                                                                   {"ke", "key", "5 "},
                                                                   {"ke", "key", ""},
                                                                   {"ke", "key", "five"},
                                                                   {"ke", "key", "inf"}}) {
        const auto process = test::runProcess(tavlinCommand(words), std::chrono::seconds(5));
        EXPECT_TRUE(watcher_.postsSoFar().empty()) << testing::PrintToString(words);
        EXPECT_EQ(process.exitStatus, 1) << "took the client's path: " << testing::PrintToString(words);
        EXPECT_TRUE(process.standardError.starts_with("tavlin: no X11 display")) << process.standardError;
    }
    EXPECT_TRUE(watcher_.isConnected());
}

TEST_F(CommandLineClientTest, WithoutABusTheClientSaysSoOnStandardErrorAndStillExitsZero) {
    test::SavedEnvironment saved{"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR"};
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (home_.root() / "no-bus").string()).c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home_.root().c_str(), 1);
    const auto unreachable = test::runProcess(tavlinCommand({"message", "x"}));
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    const auto noAddress = test::runProcess(tavlinCommand({"ke", "end"}));

    for (const auto& process : {unreachable, noAddress}) {
        EXPECT_EQ(process.exitStatus, 0);
        EXPECT_EQ(process.standardOutput, "");
        EXPECT_TRUE(process.standardError.starts_with("tavlin: the session bus is not reachable")) << process.standardError;
        EXPECT_EQ(std::count(process.standardError.begin(), process.standardError.end(), '\n'), 1);
    }
    EXPECT_TRUE(watcher_.postsSoFar().empty());
}

} // namespace
} // namespace tavlin
