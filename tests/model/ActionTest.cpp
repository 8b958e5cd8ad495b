#include <filesystem>
#include <limits>
#include <set>

#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/Action.h"
#include "model/SelectableInputSources.h"
#include "platform/text/PeopleWords.h"

namespace tavlin {
namespace {

using test::decode;
using test::decodingErrorOf;
using test::hasKind;
using K = Action::Kind;

K internal(bool newValue) {
    return K::internalMethod{InternalMethodInfo{InternalMethodInfo::MethodKind{
        InternalMethodInfo::MethodKind::setRequireReactivateOnce{SetRequireReactivateOnceParams{newValue}}}}};
}

struct Sample {
    std::string name;
    K kind;
};

void PrintTo(const Sample& sample, std::ostream* out) { *out << sample.name; }

// Every kind that survives a round trip, with all optional fields present and with none.
std::vector<Sample> roundTripSamples() {
    return {
        {"notification", K::notification{"Say \"hi\" / ✓\n"}},
        {"openURL_full", K::openURL{"https://example.org/a?b=c", "/Applications/Browser.app"}},
        {"openURL_minimal", K::openURL{"https://example.org", std::nullopt}},
        {"openApp_full", K::openApp{"/Applications/Safari.app", true, "--new-window \"x\"", false}},
        {"openApp_minimal", K::openApp{"/Applications/Safari.app", false, std::nullopt, std::nullopt}},
        {"openFinder", K::openFinder{}},
        {"openFile_full", K::openFile{"/tmp/a b.txt", "/usr/bin/editor"}},
        {"openFile_minimal", K::openFile{"/tmp/a.txt", std::nullopt}},
        {"openFolder_full", K::openFolder{"/home", ""}},
        {"openFolder_minimal", K::openFolder{"/home", std::nullopt}},
        {"runAppleScript", K::runAppleScript{"/scripts/run.scpt"}},
        {"toggleConfigurationWindow", K::toggleConfigurationWindow{}},
        {"menuCommand", K::menuCommand{MenuCommandInfo{"File->Save As…"}}},
        {"switchWindow", K::switchWindow{}},
        {"executeFile_full", K::executeFile{"/bin/run", "-a -b"}},
        {"executeFile_minimal", K::executeFile{"/bin/run", std::nullopt}},
        {"sleep", K::sleep{}},
        {"simulateKeystroke", K::simulateKeystroke{Keystroke{.mainKeyCode = 0, .cmd = true, .control = true}}},
        {"switchInputMethod", K::switchInputMethod{"org.example.keyboard.French"}},
        {"continueFromInterruption", K::continueFromInterruption{0.1}},
        {"stopKeySequenceAfterDelay_full", K::stopKeySequenceAfterDelay{2, true}},
        {"stopKeySequenceAfterDelay_minimal", K::stopKeySequenceAfterDelay{1e-7, std::nullopt}},
        {"reWaitTriggerKeys", K::reWaitTriggerKeys{}},
        {"internalMethod_true", internal(true)},
        {"internalMethod_false", internal(false)},
        {"getFrontmostApp_bundleURL", K::getFrontmostApp{GetFrontmostAppKind::bundleURL}},
        {"getFrontmostApp_localizedName", K::getFrontmostApp{GetFrontmostAppKind::localizedName}},
        {"getFrontmostApp_bundleIdentifier", K::getFrontmostApp{GetFrontmostAppKind::bundleIdentifier}},
        {"getLeaderKey_displayName", K::getLeaderKey{GetLeaderKeyKind::displayName}},
        {"getLeaderKey_keyCodeText", K::getLeaderKey{GetLeaderKeyKind::keyCodeText}},
        {"getLeaderKey_minimal", K::getLeaderKey{std::nullopt}},
    };
}

class ActionRoundTrip : public ::testing::TestWithParam<Sample> {};

TEST_P(ActionRoundTrip, EncodeThenDecodeKeepsKindDescriptionAndText) {
    for (const auto& description : {std::optional<std::string>(), std::optional<std::string>("my \"note\" / é")}) {
        const Action original(GetParam().kind, description);
        const std::string text = json::encode(original.toJson());
        const Action decoded = decode<Action>(text);
        EXPECT_EQ(decoded.kind, original.kind) << text;
        EXPECT_EQ(decoded.actionDescription, original.actionDescription) << text;
        EXPECT_NE(decoded.id, original.id);
        EXPECT_EQ(json::encode(decoded.toJson()), text);
        EXPECT_EQ(test::hashOf(decoded.kind), test::hashOf(original.kind));

        // One case key, and "description" only when there is one; never an identifier.
        std::set<std::string> keys;
        const json::Value object = original.toJson();
        for (const auto& [key, value] : object.items()) keys.insert(key);
        std::set<std::string> expected{std::string(original.kind.caseName())};
        if (description) expected.insert("description");
        EXPECT_EQ(keys, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ActionRoundTrip, ::testing::ValuesIn(roundTripSamples()),
                         [](const auto& info) { return info.param.name; });

TEST(ActionJson, SamplesCoverEveryKind) {
    std::set<std::size_t> covered{K(K::menu{}).index()}; // menu is covered by its own tests
    for (const auto& sample : roundTripSamples()) covered.insert(sample.kind.index());
    EXPECT_EQ(covered.size(), 21u);
    EXPECT_EQ(actionKindCaseNames().size(), 21u);
    EXPECT_EQ(std::variant_size_v<K::Value>, 21u);
}

TEST(ActionJson, CaseNamesInDeclarationOrder) {
    EXPECT_EQ(actionKindCaseNames(), (std::vector<std::string_view>{"notification",
                                                                    "openURL",
                                                                    "openApp",
                                                                    "openFinder",
                                                                    "openFile",
                                                                    "openFolder",
                                                                    "runAppleScript",
                                                                    "toggleConfigurationWindow",
                                                                    "menu",
                                                                    "menuCommand",
                                                                    "switchWindow",
                                                                    "executeFile",
                                                                    "sleep",
                                                                    "simulateKeystroke",
                                                                    "switchInputMethod",
                                                                    "continueFromInterruption",
                                                                    "stopKeySequenceAfterDelay",
                                                                    "reWaitTriggerKeys",
                                                                    "internalMethod",
                                                                    "getFrontmostApp",
                                                                    "getLeaderKey"}));
    for (const auto& sample : roundTripSamples()) EXPECT_EQ(sample.kind.caseName(), actionKindCaseNames()[sample.kind.index()]);
}

TEST(ActionJson, ExactForms) {
    EXPECT_EQ(Action(K::openApp{"/Applications/Safari.app", false, std::nullopt, std::nullopt}).toJson(),
              test::parsed(R"({"openApp": {"path": "/Applications/Safari.app", "hideAppIfRunning": false}})"));
    EXPECT_EQ(Action(K::openFinder{}).toJson(), test::parsed(R"({"openFinder": {}})"));
    EXPECT_EQ(
        Action(internal(false)).toJson(),
        test::parsed(R"({"internalMethod": {"info": {"kind": {"setRequireReactivateOnce": {"params": {"newValue": false}}}}}})"));
    EXPECT_EQ(Action(K::getLeaderKey{}).toJson(), test::parsed(R"({"getLeaderKey": {}})"));
    EXPECT_EQ(Action(K::openURL{"u", std::nullopt}, "d").toJson(),
              test::parsed(R"({"openURL": {"url": "u"}, "description": "d"})"));
    // Payload fields are written in their declared order.
    EXPECT_EQ(
        Action(K::openApp{"p", true, "a", true}).toJson(),
        test::parsed(
            R"({"openApp": {"path": "p", "hideAppIfRunning": true, "launchArgumentsText": "a", "switchToPreviousApp": true}})"));
    EXPECT_EQ(
        Action(K::simulateKeystroke{Keystroke{.mainKeyCode = 5, .shift = true}}).toJson(),
        test::parsed(
            R"({"simulateKeystroke": {"keystroke": {"mainKeyCode": 5, "cmd": false, "shift": true, "option": false, "control": false}}})"));
    EXPECT_EQ(Action(K::menuCommand{MenuCommandInfo{"A->B"}}).toJson(),
              test::parsed(R"({"menuCommand": {"info": {"menuTitle": "A->B"}}})"));
    EXPECT_EQ(Action(K::menu{{"A", "B"}}).toJson(), test::parsed(R"({"menu": {"menuItems": ["A", "B"]}})"));
    EXPECT_EQ(Action(K::getFrontmostApp{GetFrontmostAppKind::bundleIdentifier}).toJson(),
              test::parsed(R"({"getFrontmostApp": {"kind": "bundleIdentifier"}})"));
    EXPECT_EQ(Action(K::stopKeySequenceAfterDelay{0.5, false}).toJson(),
              test::parsed(R"({"stopKeySequenceAfterDelay": {"delay": 0.5, "ignoreIfNewActivityHappen": false}})"));
    EXPECT_EQ(Action(K::getLeaderKey{GetLeaderKeyKind::keyCodeText}).toJson(),
              test::parsed(R"({"getLeaderKey": {"kind": "keyCodeText"}})"));
}

TEST(ActionJson, GetLeaderKeyWithoutKindRoundTripsToTheSameObject) {
    const Action action = decode<Action>(R"({"getLeaderKey": {}})");
    EXPECT_EQ(action.kind, K(K::getLeaderKey{std::nullopt}));
    EXPECT_EQ(action.toJson(), test::parsed(R"({"getLeaderKey": {}})"));
}

TEST(ActionJson, OldMenuBecomesMenuCommand) {
    const Action action = decode<Action>(R"({"menu": {"menuItems": ["File", "", "Save"]}, "description": "save"})");
    EXPECT_EQ(action.kind, K(K::menuCommand{MenuCommandInfo{"File->Save"}}));
    EXPECT_EQ(action.actionDescription, "save");
    EXPECT_EQ(action.kind.description(), "Click Menu Items: File > Save");
    EXPECT_EQ(decode<Action>(R"({"menu": {"menuItems": []}})").kind, K(K::menuCommand{MenuCommandInfo{""}}));
    EXPECT_EQ(decode<Action>(R"({"menu": {"menuItems": ["", ""]}})").kind, K(K::menuCommand{MenuCommandInfo{""}}));
    EXPECT_EQ(decode<Action>(R"({"menu": {"menuItems": ["View"]}})").kind, K(K::menuCommand{MenuCommandInfo{"View"}}));

    // A menu value built in code is written as menu and read back as menuCommand.
    const Action old(K::menu{{"Edit", "Copy"}});
    const Action read = decode<Action>(json::encode(old.toJson()));
    EXPECT_EQ(read.kind, K(K::menuCommand{MenuCommandInfo{"Edit->Copy"}}));
    // The kind alone is decoded as it is written: the conversion belongs to the action.
    EXPECT_EQ(decode<K>(R"({"menu": {"menuItems": ["Edit", "Copy"]}})"), K(K::menu{{"Edit", "Copy"}}));
}

TEST(ActionJson, IgnoresIdKindAndUnknownTopLevelKeys) {
    const Action action = decode<Action>(
        R"({"id": "6F9619FF-8B86-D011-B42D-00C04FC964FF", "kind": "sleep", "openFinder": {}, "description": "x", "extra": [1]})");
    EXPECT_EQ(action.kind, K(K::openFinder{}));
    EXPECT_EQ(action.actionDescription, "x");
    EXPECT_NE(action.id.string(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    // A case without payload ignores what its object holds.
    EXPECT_EQ(decode<Action>(R"({"sleep": {"unknown": 1}})").kind, K(K::sleep{}));
}

TEST(ActionJson, NeedsExactlyOneCaseKey) {
    for (const char* text : {R"({"description": "only"})", R"({"openFinder": {}, "sleep": {}})", R"({"launchRocket": {}})",
                             R"({})", R"({"id": "x", "kind": "sleep"})"}) {
        EXPECT_TRUE(test::isInvalidNumberOfKeys(decodingErrorOf([&] { decode<Action>(text); }), "Action.Kind")) << text;
    }
    for (const char* text :
         {R"({"internalMethod": {"info": {"kind": {}}}})", R"({"internalMethod": {"info": {"kind": {"other": {}}}}})"}) {
        const auto error = decodingErrorOf([&] { decode<Action>(text); });
        ASSERT_TRUE(hasKind(error, DecodingError::Kind::typeMismatch)) << text;
        EXPECT_EQ(error->debugDescription(), invalidNumberOfKeysText) << text;
    }
}

TEST(ActionJson, MissingRequiredFields) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {R"({"notification": {}})", "title"},
        {R"({"openURL": {"applicationPath": "/a"}})", "url"},
        {R"({"openApp": {"path": "/Applications/Safari.app"}})", "hideAppIfRunning"},
        {R"({"openApp": {"hideAppIfRunning": true}})", "path"},
        {R"({"openFile": {}})", "filePath"},
        {R"({"openFolder": {"applicationPath": "/a"}})", "folderPath"},
        {R"({"runAppleScript": {}})", "path"},
        {R"({"menu": {}})", "menuItems"},
        {R"({"menuCommand": {}})", "info"},
        {R"({"menuCommand": {"info": {}}})", "menuTitle"},
        {R"({"executeFile": {"argumentsText": "x"}})", "path"},
        {R"({"simulateKeystroke": {}})", "keystroke"},
        {R"({"simulateKeystroke": {"keystroke": {"mainKeyCode": 0, "cmd": true, "shift": false, "option": false}}})", "control"},
        {R"({"switchInputMethod": {}})", "inputSourceID"},
        {R"({"continueFromInterruption": {}})", "delay"},
        {R"({"stopKeySequenceAfterDelay": {"ignoreIfNewActivityHappen": true}})", "delay"},
        {R"({"internalMethod": {}})", "info"},
        {R"({"internalMethod": {"info": {}}})", "kind"},
        {R"({"internalMethod": {"info": {"kind": {"setRequireReactivateOnce": {}}}}})", "params"},
        {R"({"internalMethod": {"info": {"kind": {"setRequireReactivateOnce": {"params": {}}}}}})", "newValue"},
        {R"({"getFrontmostApp": {}})", "kind"},
    };
    for (const auto& [text, key] : cases) {
        const std::string document = text;
        const auto error = decodingErrorOf([&document] { decode<Action>(document); });
        ASSERT_TRUE(hasKind(error, DecodingError::Kind::keyNotFound)) << text;
        EXPECT_EQ(error->key(), key) << text;
    }
}

TEST(ActionJson, OptionalFieldsMayBeMissingOrNull) {
    EXPECT_EQ(decode<Action>(R"({"openApp": {"path": "/A.app", "hideAppIfRunning": true}})").kind,
              K(K::openApp{"/A.app", true, std::nullopt, std::nullopt}));
    EXPECT_EQ(
        decode<Action>(
            R"({"openApp": {"path": "/A.app", "hideAppIfRunning": true, "launchArgumentsText": null, "switchToPreviousApp": null}})")
            .kind,
        K(K::openApp{"/A.app", true, std::nullopt, std::nullopt}));
    EXPECT_EQ(decode<Action>(R"({"openURL": {"url": "u", "applicationPath": null}})").kind, K(K::openURL{"u", std::nullopt}));
    EXPECT_EQ(decode<Action>(R"({"openFile": {"filePath": "f", "applicationPath": null}})").kind,
              K(K::openFile{"f", std::nullopt}));
    EXPECT_EQ(decode<Action>(R"({"openFolder": {"folderPath": "f", "applicationPath": null}})").kind,
              K(K::openFolder{"f", std::nullopt}));
    EXPECT_EQ(decode<Action>(R"({"executeFile": {"path": "p", "argumentsText": null}})").kind,
              K(K::executeFile{"p", std::nullopt}));
    EXPECT_EQ(decode<Action>(R"({"stopKeySequenceAfterDelay": {"delay": 3, "ignoreIfNewActivityHappen": null}})").kind,
              K(K::stopKeySequenceAfterDelay{3, std::nullopt}));
    EXPECT_EQ(decode<Action>(R"({"getLeaderKey": {"kind": null}})").kind, K(K::getLeaderKey{std::nullopt}));
    const Action noNote = decode<Action>(R"({"sleep": {}, "description": null})");
    EXPECT_EQ(noNote.actionDescription, std::nullopt);
    EXPECT_EQ(noNote.toJson(), test::parsed(R"({"sleep": {}})"));
    // An empty text is present, not absent.
    EXPECT_EQ(decode<Action>(R"({"openURL": {"url": "u", "applicationPath": ""}})").kind, K(K::openURL{"u", ""}));
    // A whole number is a valid delay.
    EXPECT_EQ(decode<Action>(R"({"continueFromInterruption": {"delay": 2}})").kind, K(K::continueFromInterruption{2.0}));
}

TEST(ActionJson, RequiredFieldsMustNotBeNull) {
    for (const char* text :
         {R"({"notification": {"title": null}})", R"({"openApp": {"path": "/A.app", "hideAppIfRunning": null}})",
          R"({"continueFromInterruption": {"delay": null}})", R"({"getFrontmostApp": {"kind": null}})"}) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<Action>(text); }), DecodingError::Kind::valueNotFound)) << text;
    }
    EXPECT_TRUE(decodingErrorOf([] { decode<Action>(R"({"sleep": null})"); }));
}

TEST(ActionJson, WrongJsonTypes) {
    for (const char* text : {
             R"({"sleep": 5})",
             R"({"openFinder": []})",
             R"({"notification": {"title": 5}})",
             R"({"openURL": {"url": "u", "applicationPath": 1}})",
             R"({"openApp": {"path": "/A.app", "hideAppIfRunning": "yes"}})",
             R"({"openApp": {"path": "/A.app", "hideAppIfRunning": false, "switchToPreviousApp": "true"}})",
             R"({"openApp": {"path": ["/A.app"], "hideAppIfRunning": false}})",
             R"({"menu": {"menuItems": "File"}})",
             R"({"menu": {"menuItems": ["File", 2]}})",
             R"({"menuCommand": {"info": "File->Save"}})",
             R"({"simulateKeystroke": {"keystroke": "cmd-A"}})",
             R"({"continueFromInterruption": {"delay": "2"}})",
             R"({"stopKeySequenceAfterDelay": {"delay": true}})",
             R"({"internalMethod": {"info": {"kind": []}}})",
             R"({"internalMethod": {"info": {"kind": {"setRequireReactivateOnce": {"params": {"newValue": 1}}}}}})",
             R"({"getFrontmostApp": {"kind": 0}})",
             R"({"getLeaderKey": {"kind": false}})",
             R"({"sleep": {}, "description": 7})",
             R"(["sleep"])",
             R"("sleep")",
         }) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<Action>(text); }), DecodingError::Kind::typeMismatch)) << text;
    }
}

TEST(ActionJson, UnknownEnumerationTextsAreCorruptedData) {
    for (const char* text : {R"({"getFrontmostApp": {"kind": "bundleId"}})", R"({"getFrontmostApp": {"kind": ""}})",
                             R"({"getLeaderKey": {"kind": "name"}})", R"({"getLeaderKey": {"kind": "DisplayName"}})"}) {
        EXPECT_TRUE(hasKind(decodingErrorOf([&] { decode<Action>(text); }), DecodingError::Kind::dataCorrupted)) << text;
    }
}

TEST(ActionJson, NonFiniteDelayIsAnEncodingError) {
    const Action action(K::continueFromInterruption{std::numeric_limits<double>::infinity()});
    EXPECT_THROW(json::encode(action.toJson()), EncodingError);
}

TEST(ActionJson, DecodingTwiceGivesUnequalActionsWithEqualKindsAndText) {
    const char* text = R"({"notification": {"title": "t"}, "description": "d"})";
    const Action first = decode<Action>(text);
    const Action second = decode<Action>(text);
    EXPECT_NE(first, second);
    EXPECT_EQ(first.kind, second.kind);
    EXPECT_EQ(json::encode(first.toJson()), json::encode(second.toJson()));
}

class ActionDescriptions : public ::testing::Test {
protected:
    void SetUp() override {
        setSelectableInputSources({{"org.example.fr", "French"}, {"org.example.us", "U.S."}, {"org.example.fr", "Other"}});
    }
    void TearDown() override { setSelectableInputSources({}); }
};

TEST_F(ActionDescriptions, EveryKind) {
    const std::string cwd = std::filesystem::current_path().string();
    const std::vector<std::pair<K, std::string>> cases{
        {K::notification{"Hello"}, R"(Notification (title: "Hello"))"},
        {K::openURL{"https://example.org", std::nullopt}, "Open URL https://example.org"},
        {K::openURL{"https://example.org", "/Apps/B.app"}, "Open URL https://example.org with /Apps/B.app"},
        {K::openURL{"https://example.org", ""}, "Open URL https://example.org with "},
        {K::openApp{"/Applications/Safari.app", false, std::nullopt, std::nullopt}, "Open App Safari"},
        {K::openApp{"/Applications/Safari.app", true, std::nullopt, std::nullopt}, "Open App Safari (hide app if running)"},
        {K::openApp{"/Applications/Safari.app", true, std::nullopt, true}, "Open App Safari (switch to previous app)"},
        {K::openApp{"/Applications/Safari.app", true, std::nullopt, false}, "Open App Safari (hide app if running)"},
        {K::openApp{"/Applications/Safari.app", false, "", false}, "Open App Safari"},
        {K::openApp{"/opt/My.Tool.app/", false, "-x 1", true}, "Open App My.Tool with arguments -x 1 (switch to previous app)"},
        {K::openApp{"/usr/bin/gimp", false, std::nullopt, std::nullopt}, "Open App gimp"},
        {K::openFinder{}, "Open Finder"},
        {K::openFile{"/tmp/a.txt", std::nullopt}, "Open File /tmp/a.txt"},
        {K::openFile{"/tmp/a.txt", "/Apps/E.app"}, "Open File /tmp/a.txt with /Apps/E.app"},
        {K::openFolder{"/tmp", std::nullopt}, "Open Folder /tmp"},
        {K::openFolder{"/tmp", "/Apps/F.app"}, "Open Folder /tmp with /Apps/F.app"},
        {K::runAppleScript{"/a/./b/../c.scpt"}, "Run AppleScript /a/c.scpt"},
        {K::runAppleScript{"/../x//y/"}, "Run AppleScript /x/y"},
        {K::runAppleScript{"s/../run.scpt"}, "Run AppleScript " + (cwd == "/" ? std::string() : cwd) + "/run.scpt"},
        {K::toggleConfigurationWindow{}, "Show/Hide Configuration Window"},
        {K::menu{{"File", "Save"}}, "Click Menu Items: File -> Save"},
        {K::menu{{}}, "Click Menu Items: "},
        {K::menuCommand{MenuCommandInfo{"File->Export->PDF"}}, "Click Menu Items: File > Export > PDF"},
        {K::menuCommand{MenuCommandInfo{"A-B>C"}}, "Click Menu Items: A-B>C"},
        {K::switchWindow{}, "Switch To Recent Window"},
        {K::executeFile{"/bin/run", std::nullopt}, "Execute File /bin/run"},
        {K::executeFile{"/bin/run", ""}, "Execute File /bin/run"},
        {K::executeFile{"/bin/run", "-v"}, "Execute File /bin/run With Parameters -v"},
        {K::sleep{}, "Sleep"},
        {K::simulateKeystroke{Keystroke{.mainKeyCode = 0, .cmd = true, .shift = true}}, "Simulate Keystroke ⌘ ⇧ A"},
        {K::simulateKeystroke{Keystroke{.mainKeyCode = 49}}, "Simulate Keystroke 49"},
        {K::switchInputMethod{"org.example.fr"}, "Switch Input Method To French"},
        {K::switchInputMethod{"org.example.de"}, "Switch Input Method To Unknown"},
        {K::continueFromInterruption{0.5}, "Continue From Interruption After 0.5 Seconds"},
        {K::continueFromInterruption{3}, "Continue From Interruption After 3.0 Seconds"},
        {K::stopKeySequenceAfterDelay{2, std::nullopt}, "Stop Key Sequence After 2.0"},
        {K::stopKeySequenceAfterDelay{0.1, true}, "Stop Key Sequence After 0.1"},
        {K::reWaitTriggerKeys{}, "Re-Wait Trigger Key"},
        {K::getFrontmostApp{GetFrontmostAppKind::bundleURL}, "Get Frontmost App's Bundle URL"},
        {K::getFrontmostApp{GetFrontmostAppKind::localizedName}, "Get Frontmost App's Localized Name"},
        {K::getFrontmostApp{GetFrontmostAppKind::bundleIdentifier}, "Get Frontmost App's Bundle Identifier"},
        {K::getLeaderKey{std::nullopt}, "Get Leader Key"},
        {K::getLeaderKey{GetLeaderKeyKind::keyCodeText}, "Get Leader Key"},
    };
    for (const auto& [kind, text] : cases) EXPECT_EQ(kind.description(), text);
}

// What a person reads names this desktop's programs and keys; every other kind reads as its
// description, which diagnostic lines keep.
TEST_F(ActionDescriptions, ShownTextsUseTheDesktopsWords) {
    const std::vector<std::pair<K, std::string>> cases{
        {K::openFinder{}, "Open File Manager"},
        {K::runAppleScript{"/a/./b/../c.sh"}, "Run Script /a/c.sh"},
        {K::simulateKeystroke{Keystroke{.mainKeyCode = 0, .cmd = true, .shift = true, .option = true, .control = true}},
         "Simulate Keystroke Super+Ctrl+Alt+Shift+A"},
        {K::openApp{std::string(placeholderBrowserPath), true, "-x", std::nullopt},
         "Open Web Browser with arguments -x (hide app if running)"},
        {K::openApp{"/usr/share/applications/firefox.desktop", true, std::nullopt, std::nullopt},
         "Open App firefox (hide app if running)"},
        {K::openURL{"https://example.org", std::nullopt}, "Open URL https://example.org"},
        {K::getFrontmostApp{GetFrontmostAppKind::bundleURL}, "Get Frontmost App's Desktop Entry Path"},
        {K::getFrontmostApp{GetFrontmostAppKind::localizedName}, "Get Frontmost App's Application Name"},
        {K::getFrontmostApp{GetFrontmostAppKind::bundleIdentifier}, "Get Frontmost App's Desktop Entry ID"},
        {internal(false), "Stop Reopening the Input Window"},
        {internal(true), "Reopen the Input Window After Each Sequence"},
    };
    for (const auto& [kind, text] : cases) EXPECT_EQ(kind.shownText(), text);
    EXPECT_EQ(K(K::openFinder{}).description(), "Open Finder");
}

// Applications read by the names their entries give, where one is known; stored and printed texts keep the path's.
TEST_F(ActionDescriptions, ShownTextsNameApplicationsByTheirEntries) {
    const std::string uxterm = "/usr/share/applications/debian-uxterm.desktop", gone = "/gone/app.desktop";
    words::setApplicationNameSource(
        [&](const std::string& path) { return path == uxterm ? std::optional<std::string>("UXTerm") : std::nullopt; });
    const std::vector<std::pair<K, std::string>> cases{
        {K::openApp{uxterm, true, std::nullopt, std::nullopt}, "Open App UXTerm (hide app if running)"},
        {K::openApp{gone, false, std::nullopt, std::nullopt}, "Open App app"},
        {K::openURL{"https://example.org", uxterm}, "Open URL https://example.org with UXTerm"},
        {K::openFile{"/tmp/a.txt", gone}, "Open File /tmp/a.txt with " + gone},
        {K::openFolder{"/tmp", uxterm}, "Open Folder /tmp with UXTerm"},
    };
    for (const auto& [kind, text] : cases) EXPECT_EQ(kind.shownText(), text);
    EXPECT_EQ(K(K::openApp{uxterm, false, std::nullopt, std::nullopt}).description(), "Open App debian-uxterm");
    EXPECT_EQ(K(K::openFolder{"/tmp", uxterm}).applicationPath(), uxterm);
    EXPECT_EQ(K(K::openFinder{}).applicationPath(), std::nullopt);
}

TEST_F(ActionDescriptions, InternalMethodNamesTheMethodAndItsValue) {
    for (const bool value : {true, false}) {
        const std::string text = internal(value).description();
        EXPECT_EQ(text.rfind("Internal Method (", 0), 0u) << text;
        EXPECT_EQ(text.back(), ')') << text;
        EXPECT_NE(text.find("InternalMethodInfo"), std::string::npos) << text;
        EXPECT_NE(text.find("setRequireReactivateOnce"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("newValue: ") + (value ? "true" : "false")), std::string::npos) << text;
    }
}

TEST(ActionDescriptionsWithoutSources, EveryInputSourceIsUnknown) {
    setSelectableInputSources({});
    EXPECT_EQ(K(K::switchInputMethod{"org.example.fr"}).description(), "Switch Input Method To Unknown");
}

TEST(ActionEnumerations, TextsAndOrder) {
    std::vector<std::string_view> raw;
    std::vector<std::string_view> shown;
    for (const auto kind : allGetFrontmostAppKinds) {
        raw.push_back(rawValue(kind));
        shown.push_back(displayText(kind));
    }
    EXPECT_EQ(raw, (std::vector<std::string_view>{"bundleURL", "localizedName", "bundleIdentifier"}));
    EXPECT_EQ(shown, (std::vector<std::string_view>{"Bundle URL", "Localized Name", "Bundle Identifier"}));
    raw.clear();
    shown.clear();
    for (const auto kind : allGetLeaderKeyKinds) {
        raw.push_back(rawValue(kind));
        shown.push_back(displayText(kind));
    }
    EXPECT_EQ(raw, (std::vector<std::string_view>{"displayName", "keyCodeText"}));
    EXPECT_EQ(shown, (std::vector<std::string_view>{"Display Name", "Key Code Text"}));
}

TEST(ActionEquality, KindsCompareEveryFieldAndAbsenceMatters) {
    EXPECT_EQ(K(K::openURL{"u", std::nullopt}), K(K::openURL{"u", std::nullopt}));
    EXPECT_NE(K(K::openURL{"u", std::nullopt}), K(K::openURL{"u", ""}));
    EXPECT_NE(K(K::openApp{"p", false, std::nullopt, std::nullopt}), K(K::openApp{"p", false, std::nullopt, false}));
    EXPECT_NE(K(K::menu{{"a", "b"}}), K(K::menu{{"b", "a"}}));
    EXPECT_NE(K(K::menu{{"a->b"}}), K(K::menuCommand{MenuCommandInfo{"a->b"}}));
    EXPECT_NE(K(K::simulateKeystroke{Keystroke{.control = true}}), K(K::simulateKeystroke{Keystroke{}}));
    EXPECT_NE(internal(true), internal(false));
    EXPECT_NE(K(K::getLeaderKey{std::nullopt}), K(K::getLeaderKey{GetLeaderKeyKind::displayName}));
    EXPECT_NE(K(K::openFinder{}), K(K::sleep{}));
}

TEST(ActionEquality, HashAgreesWithEquality) {
    EXPECT_EQ(test::hashOf(K(K::continueFromInterruption{0.0})), test::hashOf(K(K::continueFromInterruption{-0.0})));
    EXPECT_EQ(K(K::continueFromInterruption{0.0}), K(K::continueFromInterruption{-0.0}));
    EXPECT_NE(test::hashOf(K(K::openURL{"u", std::nullopt})), test::hashOf(K(K::openURL{"u", ""})));
    EXPECT_NE(test::hashOf(K(K::openFinder{})), test::hashOf(K(K::sleep{})));
    EXPECT_NE(test::hashOf(K(K::menu{{"ab", "c"}})), test::hashOf(K(K::menu{{"a", "bc"}})));
    EXPECT_NE(test::hashOf(K(K::stopKeySequenceAfterDelay{1, std::nullopt})),
              test::hashOf(K(K::stopKeySequenceAfterDelay{1, false})));
    EXPECT_NE(test::hashOf(internal(true)), test::hashOf(internal(false)));
}

TEST(ActionEquality, ActionsCompareIdentifierKindAndDescription) {
    const Action action(K::sleep{}, "nap");
    Action copy = action;
    EXPECT_EQ(copy, action);
    EXPECT_EQ(test::hashOf(copy), test::hashOf(action));
    copy.actionDescription = std::nullopt;
    EXPECT_NE(copy, action);
    EXPECT_NE(test::hashOf(copy), test::hashOf(action));
    Action emptyNote = copy;
    emptyNote.actionDescription = "";
    EXPECT_NE(emptyNote, copy);
    EXPECT_NE(test::hashOf(emptyNote), test::hashOf(copy));
    EXPECT_NE(Action(K::sleep{}, "nap"), action); // a new identifier
}

} // namespace
} // namespace tavlin
