#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/base/Diagnostics.h"
#include "platform/files/UserDefaults.h"
#include "platform/json/Json.h"
#include "support/TempHome.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using test::fileContents;
using test::folderEntries;
using test::writeFile;

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != line.npos; });
}

// Every test gets fresh HOME and XDG folders, and suites that read them anew.
class UserDefaultsTest : public test::TempHomeTest {
protected:
    fs::path folder() const { return root_ / "config" / "local.tavlin"; }
    fs::path file() const { return folder() / "test.json"; }

    // The suite as a new process would see it: read from the file.
    static std::shared_ptr<UserDefaults> reloaded() {
        UserDefaults::resetSharedSuites();
        return UserDefaults::suite("test");
    }
};

TEST_F(UserDefaultsTest, SuitesAreSharedPerNameAndLiveInTheConfigFolder) {
    const auto suite = UserDefaults::suite("test");
    EXPECT_EQ(UserDefaults::suite("test"), suite);
    EXPECT_NE(UserDefaults::suite("other"), suite);
    EXPECT_EQ(suite->filePath(), file());
    EXPECT_EQ(UserDefaults::standard()->name(), "local.tavlin");
    EXPECT_EQ(UserDefaults::standard()->filePath(), folder() / "local.tavlin.json");

    UserDefaults::resetSharedSuites();
    EXPECT_NE(UserDefaults::suite("test"), suite);
}

TEST_F(UserDefaultsTest, EveryKindSurvivesAReload) {
    DefaultsValue::Data allBytes;
    for (int byte = 0; byte < 256; ++byte) allBytes.push_back(static_cast<std::uint8_t>(byte));
    const DefaultsValue::Dictionary nested{
        {"list", DefaultsValue::Array{1, 2.5, "three", true, DefaultsValue::Data{7}}},
        {"inner", DefaultsValue::Dictionary{{"deep", DefaultsValue::Array{}}}},
        {"empty", DefaultsValue::Dictionary{}},
    };
    const std::map<std::string, DefaultsValue> stored{
        {"yes", true},
        {"no", false},
        {"integer", 42},
        {"smallest", std::numeric_limits<std::int64_t>::min()},
        {"largest", std::numeric_limits<std::int64_t>::max()},
        {"fraction", 0.2},
        {"whole double", 1.0},
        {"big double", 1e300},
        {"above int64", 18446744073709551616.0},
        {"tiny double", 5e-324},
        {"negative", -123.456},
        {"text", "Grüße \"quoted\" / back\\slash\nnew line 🚀"},
        {"empty text", ""},
        {"bytes", allBytes},
        {"one byte", DefaultsValue::Data{0xff}},
        {"two bytes", DefaultsValue::Data{0x00, 0x80}},
        {"no bytes", DefaultsValue::Data{}},
        {"array", DefaultsValue::Array{nested, "x", DefaultsValue::Array{false}}},
        {"dictionary", nested},
    };
    const auto suite = UserDefaults::suite("test");
    for (const auto& [key, value] : stored) ASSERT_EQ(suite->set(key, value), std::nullopt) << key;

    const diag::Capture capture;
    const auto again = reloaded();
    EXPECT_EQ(again->dictionaryRepresentation(), stored);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_EQ(again->integer("whole double"), std::nullopt);
    EXPECT_EQ(again->doubleValue("whole double"), 1.0);
}

TEST_F(UserDefaultsTest, DoublesThatJsonNumbersCannotCarrySurviveAReload) {
    const auto suite = UserDefaults::suite("test");
    suite->set("minus zero", -0.0);
    suite->set("nan", std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(suite->set("infinity", std::numeric_limits<double>::infinity()), std::nullopt);
    suite->set("minus infinity", -std::numeric_limits<double>::infinity());

    const auto again = reloaded();
    ASSERT_TRUE(again->doubleValue("minus zero"));
    EXPECT_TRUE(std::signbit(*again->doubleValue("minus zero")));
    EXPECT_TRUE(std::isnan(again->doubleValue("nan").value_or(0)));
    EXPECT_EQ(again->doubleValue("infinity"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(again->doubleValue("minus infinity"), -std::numeric_limits<double>::infinity());
}

TEST_F(UserDefaultsTest, FileHoldsOneTaggedObjectPerKey) {
    const auto suite = UserDefaults::suite("test");
    suite->set("flag", true);
    suite->set("count", 5);
    suite->set("ratio", 1.0);
    suite->set("blob", DefaultsValue::Data{'h', 'i'});

    const json::Value document = json::parse(fileContents(file()));
    EXPECT_EQ(document, json::Value::parse(R"({"blob": {"data": "aGk="}, "count": {"integer": 5},
                                              "flag": {"bool": true}, "ratio": {"double": 1}})"));
}

TEST_F(UserDefaultsTest, TypedReadsKeepKindsApart) {
    const auto suite = UserDefaults::suite("test");
    suite->set("bool", true);
    suite->set("text one", "1");
    suite->set("integer", 3);
    suite->set("double", 2.5);
    suite->set("data", DefaultsValue::Data{'a'});
    suite->set("array", DefaultsValue::Array{1});
    suite->set("dictionary", DefaultsValue::Dictionary{{"a", 1}});

    EXPECT_EQ(suite->boolean("bool"), true);
    EXPECT_EQ(suite->integer("bool"), std::nullopt);
    EXPECT_EQ(suite->doubleValue("bool"), std::nullopt);
    EXPECT_EQ(suite->integer("text one"), std::nullopt);
    EXPECT_EQ(suite->boolean("text one"), std::nullopt);
    EXPECT_EQ(suite->boolean("integer"), std::nullopt);
    EXPECT_EQ(suite->string("integer"), std::nullopt);
    EXPECT_EQ(suite->doubleValue("integer"), 3.0);
    EXPECT_EQ(suite->integer("double"), std::nullopt);
    EXPECT_EQ(suite->string("data"), std::nullopt);
    EXPECT_EQ(suite->data("text one"), std::nullopt);
    EXPECT_EQ(suite->array("dictionary"), std::nullopt);
    EXPECT_EQ(suite->dictionary("array"), std::nullopt);
    EXPECT_EQ(suite->object("missing"), std::nullopt);
    EXPECT_EQ(suite->boolean("missing"), std::nullopt);
}

TEST_F(UserDefaultsTest, RemovedKeysStayRemovedAfterAReload) {
    const auto suite = UserDefaults::suite("test");
    suite->set("gone", "soon");
    suite->set("kept", 1);
    EXPECT_EQ(suite->remove("gone"), std::nullopt);
    EXPECT_EQ(suite->object("gone"), std::nullopt);

    const auto again = reloaded();
    EXPECT_EQ(again->object("gone"), std::nullopt);
    EXPECT_EQ(again->integer("kept"), 1);
}

TEST_F(UserDefaultsTest, KeysMayHoldSlashesColonsAndAnyText) {
    const std::vector<std::string> keys{"a/b/c", "scope:name", "/:", "ключ", "e\u0301", "🔑 key", "\"quoted\\"};
    const auto suite = UserDefaults::suite("test");
    for (const auto& key : keys) suite->set(key, key + " value");

    const auto again = reloaded();
    for (const auto& key : keys) EXPECT_EQ(again->string(key), key + " value") << key;
    EXPECT_EQ(again->dictionaryRepresentation().size(), keys.size());
}

TEST_F(UserDefaultsTest, ObserversHearEachChangeOnceUntilRemoved) {
    const auto suite = UserDefaults::suite("test");
    int calls = 0;
    const auto token = suite->addObserver([&] {
        ++calls;
        // The value is stored before anyone hears of the change.
        EXPECT_TRUE(suite->object("k").has_value() || calls == 3);
    });
    suite->set("k", 1);
    EXPECT_EQ(calls, 1);
    suite->set("k", 2);
    EXPECT_EQ(calls, 2);
    suite->remove("k");
    EXPECT_EQ(calls, 3);
    suite->remove("k"); // nothing to remove: no change
    EXPECT_EQ(calls, 3);

    suite->removeObserver(token);
    suite->set("k", 3);
    EXPECT_EQ(calls, 3);
}

TEST_F(UserDefaultsTest, ObserversMayChangeTheSuiteAndTheObserverListWhileBeingCalled) {
    const auto suite = UserDefaults::suite("test");
    int selfRemoving = 0;
    int added = 0;
    int removedByOther = 0;
    UserDefaults::ObserverToken selfToken = 0;
    UserDefaults::ObserverToken victim = 0;
    bool addedOnce = false;

    selfToken = suite->addObserver([&] {
        ++selfRemoving;
        suite->removeObserver(selfToken);
    });
    suite->addObserver([&] {
        suite->removeObserver(victim);
        if (!addedOnce) {
            addedOnce = true;
            suite->addObserver([&] { ++added; });
        }
    });
    victim = suite->addObserver([&] { ++removedByOther; });
    suite->addObserver([&] {
        // Re-entrant change: must neither deadlock nor recurse forever.
        if (!suite->boolean("echo")) suite->set("echo", true);
    });

    suite->set("k", 1);
    EXPECT_EQ(selfRemoving, 1);
    EXPECT_EQ(removedByOther, 0);
    EXPECT_EQ(added, 1); // not for "k", but for the "echo" set made during the same round
    EXPECT_EQ(suite->boolean("echo"), true);
    EXPECT_EQ(reloaded()->boolean("echo"), true);
}

TEST_F(UserDefaultsTest, ConcurrentWritersAllReachTheFile) {
    const auto suite = UserDefaults::suite("test");
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([suite, t] {
            for (int i = 0; i < 5; ++i) suite->set("w" + std::to_string(t) + "." + std::to_string(i), i);
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(reloaded()->dictionaryRepresentation().size(), 20u);
}

TEST_F(UserDefaultsTest, WritesLeaveNoTemporaryFiles) {
    const auto suite = UserDefaults::suite("test");
    for (int i = 0; i < 5; ++i) suite->set("k" + std::to_string(i), i);
    suite->remove("k0");
    EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{"test.json"});
}

TEST_F(UserDefaultsTest, DamagedFilesAreMovedAsideIntactAndTheSuiteStartsEmpty) {
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"truncated", R"({"a": {"integer": 1}, "b": {"str)"},
        {"not UTF-8", "{\"a\": {\"string\": \"\xff\xfe\"}}"},
        {"array at top", R"([{"integer": 1}])"},
        {"empty", ""},
    };
    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        fs::remove_all(folder());
        writeFile(file(), bytes);

        const diag::Capture capture;
        const auto suite = reloaded();
        EXPECT_TRUE(suite->dictionaryRepresentation().empty());

        std::vector<std::string> names = folderEntries(folder());
        ASSERT_EQ(names.size(), 1u);
        EXPECT_EQ(names[0].rfind("test.json.corrupt-", 0), 0u) << names[0];
        const fs::path aside = folder() / names[0];
        EXPECT_EQ(fileContents(aside), bytes);

        ASSERT_EQ(capture.lines().size(), 1u);
        EXPECT_TRUE(mentions(capture.lines(), file().string()));
        EXPECT_TRUE(mentions(capture.lines(), aside.string()));

        // The next write starts a new file and leaves the damaged one where it was put.
        EXPECT_EQ(suite->set("fresh", 1), std::nullopt);
        EXPECT_EQ(fileContents(aside), bytes);
        EXPECT_EQ(reloaded()->integer("fresh"), 1);
    }
}

TEST_F(UserDefaultsTest, MalformedMembersAreSkippedAndTheOthersKept) {
    writeFile(file(), R"({
      "good" : {"integer" : 1},
      "wrong content" : {"integer" : "1"},
      "fraction as integer" : {"integer" : 1.5},
      "two tags" : {"bool" : true, "integer" : 1},
      "unknown tag" : {"date" : 0},
      "bad base64" : {"data" : "a!=="},
      "padding bits after one byte" : {"data" : "QR=="},
      "padding bits after two bytes" : {"data" : "QUJ="},
      "two bytes" : {"data" : "QUI="},
      "bad element" : {"array" : [{"bool" : true}, {"bool" : 1}]},
      "bare" : 3,
      "also good" : {"dictionary" : {"x" : {"string" : "y"}}}
    })");

    const diag::Capture capture;
    const auto suite = reloaded();
    const std::map<std::string, DefaultsValue> expected{
        {"good", 1},
        {"two bytes", DefaultsValue::Data{'A', 'B'}},
        {"also good", DefaultsValue::Dictionary{{"x", "y"}}},
    };
    EXPECT_EQ(suite->dictionaryRepresentation(), expected);
    EXPECT_EQ(capture.lines().size(), 9u);
    for (const char* key : {"wrong content", "fraction as integer", "two tags", "unknown tag", "bad base64",
                            "padding bits after one byte", "padding bits after two bytes", "bad element", "bare"}) {
        EXPECT_TRUE(mentions(capture.lines(), std::string("\"") + key + "\"")) << key;
    }
    EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{"test.json"});
}

// A hand edit the store cannot read is still the user's text: it stays in the file through
// other writes, and is copied aside before anything replaces it.
TEST_F(UserDefaultsTest, UnreadableValuesStayInTheFileAndAreCopiedAsideBeforeTheyAreReplaced) {
    const std::string original = R"({
      "rows" : "[{\"keys\" : [1]}]",
      "good" : {"integer" : 1}
    })";
    writeFile(file(), original);
    auto suite = reloaded();
    EXPECT_FALSE(suite->object("rows").has_value());
    EXPECT_TRUE(suite->contains("rows"));
    EXPECT_TRUE(suite->contains("good"));
    EXPECT_FALSE(suite->contains("missing"));

    EXPECT_EQ(suite->set("other", 2), std::nullopt);
    EXPECT_EQ(json::parse(fileContents(file()))["rows"], "[{\"keys\" : [1]}]");
    EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{"test.json"});
    const std::string beforeReplacing = fileContents(file());

    const diag::Capture capture;
    suite = reloaded();
    EXPECT_EQ(suite->set("rows", "[]"), std::nullopt);
    EXPECT_EQ(reloaded()->string("rows"), "[]");
    std::vector<std::string> names = folderEntries(folder());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "test.json");
    EXPECT_EQ(names[1].rfind("test.json.corrupt-", 0), 0u) << names[1];
    EXPECT_EQ(fileContents(folder() / names[1]), beforeReplacing);
    EXPECT_TRUE(mentions(capture.lines(), names[1]));

    // Removing one replaces it too.
    fs::remove(folder() / names[1]);
    writeFile(file(), R"({"rows" : 5})");
    suite = reloaded();
    EXPECT_EQ(suite->remove("rows"), std::nullopt);
    EXPECT_FALSE(reloaded()->contains("rows"));
    names = folderEntries(folder());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(fileContents(folder() / names[1]), R"({"rows" : 5})");

    // So does a write of several values at once.
    fs::remove(folder() / names[1]);
    writeFile(file(), R"({"rows" : 6})");
    suite = reloaded();
    EXPECT_EQ(suite->set(std::map<std::string, DefaultsValue>{{"rows", "[]"}, {"other", 1}}), std::nullopt);
    EXPECT_EQ(reloaded()->string("rows"), "[]");
    names = folderEntries(folder());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(fileContents(folder() / names[1]), R"({"rows" : 6})");
}

// A number beyond the range of a double has no JSON text of ours: a value holding one is kept as
// it stands in the file.
TEST_F(UserDefaultsTest, ValuesBeyondTheRangeOfADoubleAreKeptAsWritten) {
    for (const std::string value :
         {R"({"integer": 4e580})", R"({"bool" : -4E+580})", "4e580", "{\"array\": [\n  {\"double\": 1},\n  1e999\n]}"}) {
        SCOPED_TRACE(value);
        fs::remove_all(folder());
        // The name is written with an escape, as another program may write it.
        writeFile(file(), "{\"good\": {\"integer\": 1}, \"b\\u0061d\":" + value + "}");
        auto suite = reloaded();
        EXPECT_FALSE(suite->object("bad").has_value());
        EXPECT_TRUE(suite->contains("bad"));

        EXPECT_EQ(suite->set("other", 2), std::nullopt);
        const std::string text = fileContents(file());
        EXPECT_NE(text.find("\"bad\" : " + value + ",\n"), text.npos) << text;
        suite = reloaded();
        EXPECT_EQ(suite->integer("good"), 1);
        EXPECT_EQ(suite->integer("other"), 2);
        EXPECT_TRUE(suite->contains("bad"));
        EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{"test.json"});
    }
}

// Another program rewrites the file in place (truncate, then write): a read that lands between
// the two waits for the rest instead of setting the file aside.
TEST_F(UserDefaultsTest, AReadAmidAnInPlaceWriteTakesInTheWholeFile) {
    const auto suite = UserDefaults::suite("test");
    suite->set("a", 1);
    const UserDefaults::SettleTime settle(std::chrono::seconds(60)); // never reached: the write ends first
    const std::string full = R"({"a": {"integer": 2}})";
    const int fd = ::open(file().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, full.data(), 5), 5);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, file().c_str(), IN_CLOSE_NOWRITE), 0);
    std::thread writer([&] {
        // The rest goes in once the suite has read the part.
        pollfd read{watch, POLLIN, 0};
        ::poll(&read, 1, 60'000);
        EXPECT_EQ(::write(fd, full.data() + 5, full.size() - 5), static_cast<ssize_t>(full.size() - 5));
    });
    suite->refresh();
    writer.join();
    ::close(fd);
    ::close(watch);
    EXPECT_EQ(suite->integer("a"), 2);
    EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{"test.json"});
}

// Another program edits the file while the suite is in use: our next write keeps what it added,
// readable or not; a refresh, never a read, takes a change in, announced only when a value
// changed; a damaged file is set aside and the values in use stay.
TEST_F(UserDefaultsTest, ChangesOfAnotherWriterAreTakenInAnnouncedAndKept) {
    const auto suite = UserDefaults::suite("test");
    suite->set("ours", 1);
    int calls = 0;
    suite->addObserver([&] { ++calls; });
    const std::string theirs = R"({"bare": 5, "ours": {"integer": 2}, "theirs": {"string": "row"}})";
    writeFile(file(), R"({"ours": {"integer": 1}, "theirs": {"string": "row"}, "bare": 5})");
    suite->set("ours", 2);
    EXPECT_EQ(json::parse(fileContents(file())), json::Value::parse(theirs));

    calls = 0;
    writeFile(file(), " " + theirs);
    UserDefaults::refreshSharedSuites();
    EXPECT_EQ(calls, 0);
    writeFile(file(), R"({"ours": {"integer": 3}})");
    EXPECT_EQ(suite->integer("ours"), 2); // a read never looks, nor announces
    EXPECT_EQ(calls, 0);
    UserDefaults::refreshSharedSuites();
    EXPECT_EQ(suite->integer("ours"), 3);
    EXPECT_EQ(calls, 1);

    writeFile(file(), "{");
    suite->refresh();
    EXPECT_EQ(suite->integer("ours"), 3);
    EXPECT_EQ(folderEntries(folder()).size(), 1u); // test.json.corrupt-…
}

TEST_F(UserDefaultsTest, FailedWritesAreReportedAndTheValueIsKeptInMemory) {
    const auto suite = UserDefaults::suite("test");
    int calls = 0;
    suite->addObserver([&] { ++calls; });
    fs::create_directories(file()); // a folder in the way of the rename

    const auto failure = suite->set("k", 1);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(*failure, "The file “test.json” couldn’t be saved because it is a folder.");
    EXPECT_EQ(suite->integer("k"), 1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(folderEntries(folder()), std::vector<std::string>{"test.json"});

    fs::remove(file());
    EXPECT_EQ(suite->set("k", 2), std::nullopt);
    EXPECT_EQ(reloaded()->integer("k"), 2);
}

TEST_F(UserDefaultsTest, WritesUnderARegularFileAreReported) {
    writeFile(root_ / "plain", "");
    setenv("XDG_CONFIG_HOME", (root_ / "plain" / "config").c_str(), 1);
    const diag::Capture capture;
    const auto suite = reloaded();
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_TRUE(suite->set("k", 1).has_value());
    EXPECT_EQ(suite->integer("k"), 1);
}

TEST_F(UserDefaultsTest, AFileThatCannotBeReadIsNeverReplaced) {
    // Tests run as root, where permission bits do not stop reads. A socket cannot be opened
    // either, yet a rename would replace it.
    fs::create_directories(folder());
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socketFd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(file().string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, file().c_str());
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    const diag::Capture capture;
    const auto suite = reloaded();
    EXPECT_EQ(capture.lines().size(), 1u);
    EXPECT_TRUE(mentions(capture.lines(), file().string()));

    const auto failure = suite->set("k", 1);
    ::close(socketFd);
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("“test.json”"), std::string::npos) << *failure;
    EXPECT_TRUE(fs::is_socket(file()));
    EXPECT_EQ(suite->integer("k"), 1);
}

} // namespace
} // namespace tavlin
