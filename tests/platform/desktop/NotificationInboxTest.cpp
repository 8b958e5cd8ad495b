#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/NotificationInbox.h"

namespace tavlin {
namespace {

std::vector<std::string> drain(NotificationInbox& inbox) {
    std::vector<std::string> objects;
    while (auto received = inbox.pop()) objects.push_back(received->notification.object.value_or("-"));
    return objects;
}

TEST(NotificationInbox, HandsOutInArrivalOrderAndSaysWhenItWasEmpty) {
    NotificationInbox inbox;
    EXPECT_TRUE(inbox.push({"n", "1"}));
    EXPECT_FALSE(inbox.push({"n", "2"}));
    EXPECT_FALSE(inbox.push({"n", std::nullopt}));
    EXPECT_EQ(drain(inbox), (std::vector<std::string>{"1", "2", "-"}));
    EXPECT_TRUE(inbox.empty());
    EXPECT_TRUE(inbox.push({"n", "3"})) << "empty again";
    EXPECT_EQ(inbox.takeDropped(), 0u);
}

TEST(NotificationInbox, DropsTheOldestBeyondItsLimitsAndCountsThem) {
    NotificationInbox byCount({.messages = 3, .bytes = 1 << 20});
    for (int i = 0; i < 10; ++i) byCount.push({"n", std::to_string(i)});
    EXPECT_EQ(byCount.takeDropped(), 7u);
    EXPECT_EQ(byCount.takeDropped(), 0u) << "counted once";
    EXPECT_EQ(drain(byCount), (std::vector<std::string>{"7", "8", "9"}));

    // Names and objects count; the newest stays even when it alone is over the limit.
    NotificationInbox byBytes({.messages = 100, .bytes = 10});
    byBytes.push({"n", "1234"});
    byBytes.push({"n", "5678"});
    byBytes.push({"n", "abcd"});
    EXPECT_EQ(drain(byBytes), (std::vector<std::string>{"5678", "abcd"}));
    byBytes.push({"n", std::string(50, 'x')});
    EXPECT_EQ(drain(byBytes), (std::vector<std::string>{std::string(50, 'x')}));
    // The bytes of what was handed out are given back: a later burst within the limit stays whole.
    byBytes.push({"n", "1"});
    byBytes.push({"n", "2"});
    EXPECT_EQ(drain(byBytes), (std::vector<std::string>{"1", "2"}));
}

TEST(NotificationInbox, KeepsTheOrderOfOneWriterWhileAnotherThreadReads) {
    NotificationInbox inbox({.messages = 1'000'000, .bytes = 1u << 30});
    constexpr int count = 20'000;
    std::thread writer([&] {
        for (int i = 0; i < count; ++i) inbox.push({"n", std::to_string(i)});
    });
    std::vector<int> seen;
    while (seen.size() < static_cast<std::size_t>(count)) {
        if (auto received = inbox.pop()) seen.push_back(std::stoi(*received->notification.object));
        else std::this_thread::yield();
    }
    writer.join();
    for (int i = 0; i < count; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], i);
}

} // namespace
} // namespace tavlin
