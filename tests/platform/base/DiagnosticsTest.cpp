#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/base/Diagnostics.h"

namespace tavlin::diag {
namespace {

using Lines = std::vector<std::string>;

TEST(Diagnostics, CaptureCollectsEveryLineIncludingEmptyOnes) {
    Capture capture;
    printLine("first");
    printLine("");
    printLine(std::string("with\0nul", 8));
    EXPECT_EQ(capture.lines(), (Lines{"first", "", std::string("with\0nul", 8)}));
    capture.clear();
    EXPECT_TRUE(capture.lines().empty());
    printLine("after clear");
    EXPECT_EQ(capture.lines(), Lines{"after clear"});
}

TEST(Diagnostics, CaptureRestoresThePreviousSink) {
    Lines outer;
    const Sink before = setSink([&](std::string_view line) { outer.emplace_back(line); });
    {
        Capture capture;
        printLine("inside");
        EXPECT_EQ(capture.lines(), Lines{"inside"});
    }
    printLine("outside");
    EXPECT_EQ(outer, Lines{"outside"});
    // setSink answers the sink it replaced: ours, which still works.
    const Sink ours = setSink(before);
    ASSERT_TRUE(ours);
    ours("direct");
    EXPECT_EQ(outer, (Lines{"outside", "direct"}));
}

TEST(Diagnostics, SilencedCategoriesAloneAreLeftOut) {
    Capture capture;
    silence("keys, unknown ,session");
    printLine(Category::keys, "key");
    printLimited(Category::session, "kind", "session");
    printLine(Category::bus, "bus");
    printLine("general");
    silence("");
    printLine(Category::keys, "key again");
    EXPECT_EQ(capture.lines(), (Lines{"bus", "general", "key again"}));
}

TEST(Diagnostics, NestedCapturesEachSeeTheirOwnLines) {
    Capture outer;
    printLine("a");
    {
        Capture inner;
        printLine("b");
        {
            Capture innermost;
            printLine("c");
            EXPECT_EQ(innermost.lines(), Lines{"c"});
        }
        printLine("d");
        EXPECT_EQ(inner.lines(), (Lines{"b", "d"}));
    }
    printLine("e");
    EXPECT_EQ(outer.lines(), (Lines{"a", "e"}));
}

TEST(Diagnostics, WithoutASinkLinesGoToStandardOutput) {
    const Sink previous = setSink({});
    testing::internal::CaptureStdout();
    printLine("to stdout");
    printLine("");
    const std::string printed = testing::internal::GetCapturedStdout();
    setSink(previous);
    EXPECT_EQ(printed, "to stdout\n\n");
}

TEST(Diagnostics, CaptureCollectsLinesFromOtherThreads) {
    Capture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 250; ++i) printLine("line");
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(capture.lines().size(), 1000u);
}

// Lines another process can provoke at will (100,000 undecodable posts) must not become 100,000
// lines: a burst of each kind is cut short and summed up once.
TEST(Diagnostics, RepeatedLinesOfAKindAreLimitedPerSecondAndSummedUp) {
    Capture capture;
    double now = 100;
    resetLimits([&] { return now; });
    for (int i = 0; i < 25; ++i) printLimited("undecodable", "bad " + std::to_string(i));
    printLimited("other kind", "other");
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(burstLines) + 1);
    EXPECT_EQ(lines.front(), "bad 0");
    EXPECT_EQ(lines[burstLines - 1], "bad " + std::to_string(burstLines - 1));
    EXPECT_EQ(lines.back(), "other");

    capture.clear();
    now += 0.5; // the same second: still left out
    printLimited("undecodable", "late");
    EXPECT_TRUE(capture.lines().empty());
    now += 1;
    printLimited("undecodable", "next second");
    EXPECT_EQ(capture.lines(), (Lines{"16 more lines of the kind \"undecodable\" were left out", "next second"}));
    resetLimits();
}

} // namespace
} // namespace tavlin::diag
