#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "engine/Notifications.h"

namespace tavlin {
namespace {

using Command = CommandLineCommand;

std::optional<Command> parse(std::vector<std::string> words) {
    words.insert(words.begin(), "/usr/bin/tavlin");
    return parseCommandLine(words);
}

std::optional<Command> keyCommand(const std::string& number) { return parse({"ke", "key", number}); }

std::optional<Command> key(std::int64_t code) { return Command(Command::key{code}); }

TEST(ParseCommandLineTest, MessageTakesItsOneArgumentWhole) {
    EXPECT_EQ(parse({"message", "hello"}), Command(Command::message{"hello"}));
    EXPECT_EQ(parse({"message", ""}), Command(Command::message{""}));
    EXPECT_EQ(parse({"message", " two words\nand a line "}), Command(Command::message{" two words\nand a line "}));
    // The text is not looked at: keywords and bytes that are not UTF-8 are texts like any other.
    EXPECT_EQ(parse({"message", "ke"}), Command(Command::message{"ke"}));
    EXPECT_EQ(parse({"message", "\xFF"}), Command(Command::message{"\xFF"}));
}

TEST(ParseCommandLineTest, KeyboardSequenceWords) {
    EXPECT_EQ(parse({"ke", "start"}), Command(Command::start{}));
    EXPECT_EQ(parse({"ke", "end"}), Command(Command::end{}));
    EXPECT_EQ(keyCommand("5"), key(5));
}

TEST(ParseCommandLineTest, ElementZeroIsOnlyCounted) {
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{"message", "ke", "start"}), Command(Command::start{}));
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{"", "message", "x"}), Command(Command::message{"x"}));
}

TEST(ParseCommandLineTest, OtherCountsAreNoCommand) {
    EXPECT_EQ(parseCommandLine(std::vector<std::string>{}), std::nullopt);
    EXPECT_EQ(parse({}), std::nullopt);
    EXPECT_EQ(parse({"message"}), std::nullopt);
    EXPECT_EQ(parse({"message", "two", "words"}), std::nullopt);
    EXPECT_EQ(parse({"ke"}), std::nullopt);
    EXPECT_EQ(parse({"ke", "start", "extra"}), std::nullopt);
    EXPECT_EQ(parse({"ke", "end", "extra"}), std::nullopt);
    EXPECT_EQ(parse({"ke", "key"}), std::nullopt);
    EXPECT_EQ(parse({"ke", "key", "5", "6"}), std::nullopt);
}

TEST(ParseCommandLineTest, WordsMatchExactly) {
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"Message", "x"},        {"MESSAGE", "x"},    {" message", "x"},   {"message ", "x"},
             {"messages", "x"},       {"mess", "x"},       {"KE", "start"},     {"ke", "Start"},
             {"ke", "END"},           {"ke ", "start"},    {" ke", "end"},      {"ke", "start "},
             {"ke", " end"},          {"k", "start"},      {"ke", "st"},        {"", ""},
             {"ke", "Key", "5"},      {"KE", "key", "5"},  {"ke", "key ", "5"}, {"ke ", "key", "5"},
             {"message", "key", "5"}, {"ke", "start", "5"}}) {
        EXPECT_EQ(parse(words), std::nullopt) << testing::PrintToString(words);
    }
}

TEST(ParseCommandLineTest, KeyCodesAreReadAsStrtodReadsThemAndTruncatedTowardZero) {
    EXPECT_EQ(keyCommand("0"), key(0));
    EXPECT_EQ(keyCommand("49"), key(49));
    EXPECT_EQ(keyCommand("7.9"), key(7));
    EXPECT_EQ(keyCommand("-3.5"), key(-3));
    EXPECT_EQ(keyCommand("-0.5"), key(0));
    EXPECT_EQ(keyCommand("1e2"), key(100));
    EXPECT_EQ(keyCommand("+4"), key(4));
    EXPECT_EQ(keyCommand(".5"), key(0));
    EXPECT_EQ(keyCommand("5."), key(5));
    EXPECT_EQ(keyCommand("0x1A"), key(26));
    EXPECT_EQ(keyCommand("007"), key(7));
    EXPECT_EQ(keyCommand("1e-400"), key(0)); // underflows to zero, still a number
}

TEST(ParseCommandLineTest, TextsThatAreNoNumberAreNoCommand) {
    for (const std::string text :
         {"", " 5", "\t5", "\n5", "\v5", "\f5", "\r5", "5 ", "5\n", "5\t", "abc", "5abc", "1,5", "--5", "e5", ".", "-", "0x"}) {
        EXPECT_EQ(keyCommand(text), std::nullopt) << testing::PrintToString(text);
    }
    EXPECT_EQ(keyCommand(std::string("5\0", 2)), std::nullopt);
}

TEST(ParseCommandLineTest, NumbersWithoutAKeyCodeAreNoCommand) {
    for (const std::string text : {"inf", "-inf", "INF", "infinity", "nan", "-nan", "NAN(1)", "1e400", "-1e400",
                                   "9223372036854775808", "-9223372036854777856", "1e19"}) {
        EXPECT_EQ(keyCommand(text), std::nullopt) << text;
    }
    // The extremes that still fit. 2^63 - 1 is not a double: it reads as 2^63, which does not.
    EXPECT_EQ(keyCommand("-9223372036854775808"), key(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(keyCommand("-9223372036854775808.9"), key(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(keyCommand("9223372036854774784"), key(9223372036854774784));
    EXPECT_EQ(keyCommand("9223372036854775807"), std::nullopt);
}

TEST(ParseCommandLineTest, ArgcArgvFormAgrees) {
    const char* argv[] = {"tavlin", "ke", "key", "7.9", nullptr};
    EXPECT_EQ(parseCommandLine(4, argv), key(7));
    EXPECT_EQ(parseCommandLine(3, argv), std::nullopt); // "ke" "key" alone
    EXPECT_EQ(parseCommandLine(0, argv), std::nullopt);
}

// The client writes its texts itself; the running instance decodes what the engine writes.
TEST(CommandNotificationTest, PostsWhatTheEngineEncodesByteForByte) {
    using tavlinNotifications::ExternalEvent;
    const auto same = [](const Command& command, const Notification& engine) {
        const Notification client = commandNotification(command);
        EXPECT_EQ(client.name, engine.name);
        EXPECT_EQ(client.object, engine.object);
    };
    for (const std::string& text :
         {std::string(), std::string("x"), std::string(" two words\nand a line / ä "),
          std::string("\"quoted\" \\ back\tslash\b\f\r\x01\x1f\x7f"), std::string("a\0b", 3),
          std::string("bad \xFF, cut \xE2\x82, overlong \xC0\xAF, surrogate \xED\xA0\x80 \xF0\x9F\x98\x80")}) {
        same(Command::message{text}, notification(ActionOutcome(ActionOutcome::message{text})));
    }
    for (const std::int64_t code : {std::int64_t{0}, std::int64_t{7}, std::int64_t{-3}, std::numeric_limits<std::int64_t>::min(),
                                    std::numeric_limits<std::int64_t>::max()}) {
        same(Command::key{code}, ExternalEvent(ExternalEvent::typeKey{{code}}).notification());
    }
    same(Command::start{}, ExternalEvent(ExternalEvent::startKeySequence{{49, 0, true}}).notification());
    same(Command::end{}, ExternalEvent(ExternalEvent::endKeySequence{}).notification());
}

} // namespace
} // namespace tavlin
