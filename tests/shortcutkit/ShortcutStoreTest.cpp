#include <gtest/gtest.h>

#include "ShortcutKitTestSupport.h"
#include "platform/files/UserDefaults.h"

namespace tavlin::shortcutkit {
namespace {

const Shortcut commandA(keys::a.rawValue, carbon::command);
const Shortcut controlOptionJ(keys::j.rawValue, carbon::control | carbon::option);

class ShortcutStoreTest : public test::ShortcutKitTest {
protected:
    std::optional<DefaultsValue> stored(const std::string& name) {
        return UserDefaults::standard()->object("ShortcutKit_" + name);
    }
};

TEST_F(ShortcutStoreTest, aNameWithoutDefaultGoesFromNothingToAShortcutAndBack) {
    const Name name("prefs-window");
    EXPECT_FALSE(stored("prefs-window"));
    EXPECT_TRUE(changes.empty()); // making a name without default writes and posts nothing

    setShortcut(commandA, name);
    EXPECT_EQ(getShortcut(name), commandA);
    EXPECT_EQ(name.shortcut(), commandA);
    // Compact, in this order, as a string of the suite's file.
    EXPECT_EQ(UserDefaults::standard()->string("ShortcutKit_prefs-window"), R"({"carbonKeyCode":0,"carbonModifiers":256})");
    EXPECT_NE(suiteFile().find(R"("string" : "{\"carbonKeyCode\":0,\"carbonModifiers\":256}")"), std::string::npos)
        << suiteFile();

    setShortcut(std::nullopt, name);
    EXPECT_FALSE(stored("prefs-window"));
    EXPECT_EQ(suiteFile().find("ShortcutKit_prefs-window"), std::string::npos);
    EXPECT_EQ(changes, (std::vector<std::string>{"prefs-window", "prefs-window"}));
}

TEST_F(ShortcutStoreTest, aNameWithDefaultStoresItOnceAndFalseWhenCleared) {
    const Name name("extra_hotkey", controlOptionJ);
    EXPECT_EQ(getShortcut(name), controlOptionJ);
    ASSERT_EQ(changes, std::vector<std::string>{"extra_hotkey"});
    ASSERT_EQ(changedDefaults.size(), 1u);
    EXPECT_EQ(changedDefaults[0], controlOptionJ); // the notification carries the default too

    setShortcut(std::nullopt, name);
    EXPECT_EQ(stored("extra_hotkey"), DefaultsValue(false));
    EXPECT_NE(suiteFile().find(R"("bool" : false)"), std::string::npos) << suiteFile();
    EXPECT_FALSE(getShortcut(name));

    // Made again, the name keeps the user's decision.
    const Name again("extra_hotkey", controlOptionJ);
    EXPECT_EQ(stored("extra_hotkey"), DefaultsValue(false));

    // Clearing what is already false writes nothing and still announces it.
    const auto before = suiteFile();
    setShortcut(std::nullopt, name);
    EXPECT_EQ(suiteFile(), before);
    EXPECT_EQ(changes, (std::vector<std::string>{"extra_hotkey", "extra_hotkey", "extra_hotkey"}));

    reset({name});
    EXPECT_EQ(getShortcut(name), controlOptionJ);
    EXPECT_EQ(changes.size(), 4u);
}

TEST_F(ShortcutStoreTest, resetGivesEachNameItsDefaultInOrder) {
    const Name withDefault("a", commandA);
    const Name without("b");
    setShortcut(controlOptionJ, withDefault);
    setShortcut(controlOptionJ, without);
    changes.clear();
    reset({without, withDefault});
    EXPECT_EQ(changes, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(getShortcut(withDefault), commandA);
    EXPECT_FALSE(stored("b"));
}

TEST_F(ShortcutStoreTest, namesAreEqualByTheirTextAlone) {
    EXPECT_EQ(Name("x"), Name("x", commandA));
    EXPECT_NE(Name("x"), Name("y"));
    EXPECT_EQ(NameHash{}(Name("x")), NameHash{}(Name("x", commandA)));
}

TEST_F(ShortcutStoreTest, storingKeepsTheBookkeepingAndGrabsNothing) {
    const Name name("n");
    setShortcut(commandA, name);
    EXPECT_TRUE(registeredShortcuts().count(commandA));
    setShortcut(controlOptionJ, name);
    EXPECT_FALSE(registeredShortcuts().count(commandA));
    EXPECT_TRUE(registeredShortcuts().count(controlOptionJ));
    EXPECT_TRUE(registrar.grabs.empty());
    EXPECT_TRUE(CarbonShortcutTable::hotKeys().empty());
}

TEST_F(ShortcutStoreTest, valuesThatAreNoShortcutReadAsNoneAndStayUntouched) {
    const std::vector<DefaultsValue> values{
        DefaultsValue(std::int64_t{5}),
        DefaultsValue(true),
        DefaultsValue(DefaultsValue::Array{}),
        DefaultsValue("not json"),
        DefaultsValue(""),
        DefaultsValue("[0, 256]"),
        DefaultsValue(R"({"carbonKeyCode": 0})"),
        DefaultsValue(R"({"carbonModifiers": 256})"),
        DefaultsValue(R"({"carbonKeyCode": 1.5, "carbonModifiers": 256})"),
        DefaultsValue(R"({"carbonKeyCode": "0", "carbonModifiers": 256})"),
        DefaultsValue(R"({"carbonKeyCode": 0, "carbonModifiers": null})"),
        DefaultsValue(R"({"carbonKeyCode": 18446744073709551615, "carbonModifiers": 0})"),
        DefaultsValue(R"({"carbonKeyCode": 0, "carbonModifiers": 256)"),
    };
    for (const auto& value : values) {
        UserDefaults::standard()->set("ShortcutKit_bad", value);
        const Name name("bad", commandA); // a default is not written over another value
        EXPECT_FALSE(getShortcut(name));
        onKeyDown(name, [] {});
        EXPECT_EQ(stored("bad"), value);
        // Clearing an unreadable value writes nothing.
        setShortcut(std::nullopt, name);
        EXPECT_EQ(stored("bad"), value);
        removeAllHandlers();
    }
    EXPECT_TRUE(registrar.grabs.empty());
}

TEST_F(ShortcutStoreTest, aValueTheStoreCannotReadKeepsTheDefaultFromBeingWritten) {
    // A hand edit without its kind: the store keeps it but cannot read it.
    const std::string edited = R"({"ShortcutKit_bad" : "{\"carbonKeyCode\":0,\"carbonModifiers\":256}"})";
    std::filesystem::create_directories(root_ / "config" / "local.tavlin");
    std::ofstream(root_ / "config" / "local.tavlin" / "local.tavlin.json") << edited;
    UserDefaults::resetSharedSuites();
    const Name name("bad", controlOptionJ);
    EXPECT_EQ(suiteFile(), edited);
    EXPECT_TRUE(changes.empty());
}

TEST_F(ShortcutStoreTest, readsTakeAnyOrderAndSpacingAndNormaliseTheMask) {
    UserDefaults::standard()->set("ShortcutKit_n", " { \"carbonModifiers\" : 7936 ,\n\"carbonKeyCode\":38, \"other\": 1 } ");
    EXPECT_EQ(getShortcut(Name("n")), Shortcut(38, 0x1B00));
    EXPECT_EQ(getShortcut(Name("n"))->carbonModifiers, 0x1B00);
    // Reading never rewrites.
    EXPECT_EQ(UserDefaults::standard()->string("ShortcutKit_n")->front(), ' ');

    EXPECT_EQ(encodeShortcut(Shortcut(38, 0x1800)), R"({"carbonKeyCode":38,"carbonModifiers":6144})");
    EXPECT_EQ(decodeShortcut(R"({"carbonKeyCode":-3,"carbonModifiers":256})"), Shortcut(-3, 256));
}

TEST_F(ShortcutStoreTest, keyCodesWithoutAKeyAreReadButNeverRegistered) {
    diag::Capture capture;
    for (const std::int64_t code : {std::int64_t{1} << 40, std::int64_t{-1}, std::int64_t{200}}) {
        const Name name("far-" + std::to_string(code));
        UserDefaults::standard()->set(storageKey(name), encodeShortcut(Shortcut(code, carbon::command)));
        capture.clear();
        onKeyDown(name, [] {});
        EXPECT_EQ(capture.lines().size(), 1u) << code;
        EXPECT_TRUE(CarbonShortcutTable::hotKeys().empty());
        removeAllHandlers();
    }
    // 2^40 was not cut down to a real key.
    EXPECT_TRUE(registrar.grabs.empty());
}

} // namespace
} // namespace tavlin::shortcutkit
