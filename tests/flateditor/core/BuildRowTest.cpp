#include <cmath>

#include "flateditor/core/SheetTestSupport.h"
#include "platform/base/Diagnostics.h"

namespace tavlin::flateditor::test {
namespace {

using K = ActionConfigurationKind;
using P = ValidationError::Plain;
namespace rp = actionparams;

class BuildRowTest : public SheetTest {
protected:
    std::string builtKind(K kind, std::optional<ActionParams> params = std::nullopt) {
        auto state = sheet(newRow());
        state.setCurrentKind(kind);
        if (params) state.setParams(*params, kind);
        return builtRow(state.buildRow()).action.kind.toJson().dump();
    }
    std::optional<std::string> failure(K kind, std::optional<ActionParams> params) {
        auto state = sheet(newRow());
        state.setCurrentKind(kind);
        if (params) state.setParams(*params, kind);
        return errorText(state.buildRow());
    }
};

TEST_F(BuildRowTest, EachKindBuildsItsStoredForm) {
    EXPECT_EQ(builtKind(K::notification, rp::notification{"Hi"}), R"({"notification":{"title":"Hi"}})");
    EXPECT_EQ(builtKind(K::openURL, rp::openURL{"x:y", ""}), R"({"openURL":{"url":"x:y"}})");
    EXPECT_EQ(builtKind(K::openURL, rp::openURL{"x:y", "/b"}), R"({"openURL":{"url":"x:y","applicationPath":"/b"}})");
    EXPECT_EQ(builtKind(K::openApp, rp::openApp{"/a", false, false, ""}),
              R"({"openApp":{"path":"/a","hideAppIfRunning":false,"launchArgumentsText":"","switchToPreviousApp":false}})");
    EXPECT_EQ(builtKind(K::openApp, rp::openApp{"/a", true, false, "-n"}),
              R"({"openApp":{"path":"/a","hideAppIfRunning":true,"launchArgumentsText":"-n","switchToPreviousApp":false}})");
    EXPECT_EQ(builtKind(K::openFinder), R"({"openFinder":{}})");
    EXPECT_EQ(builtKind(K::openFile, rp::openFile{"/f", std::nullopt}), R"({"openFile":{"filePath":"/f"}})");
    EXPECT_EQ(builtKind(K::openFolder, rp::openFolder{"/d", "/b"}),
              R"({"openFolder":{"folderPath":"/d","applicationPath":"/b"}})");
    EXPECT_EQ(builtKind(K::runAppleScript, rp::runAppleScript{"/s"}), R"({"runAppleScript":{"path":"/s"}})");
    EXPECT_EQ(builtKind(K::toggleConfigurationWindow), R"({"toggleConfigurationWindow":{}})");
    EXPECT_EQ(builtKind(K::menuCommand, rp::menuCommand{"File->Save"}), R"({"menuCommand":{"info":{"menuTitle":"File->Save"}}})");
    EXPECT_EQ(builtKind(K::switchWindow), R"({"switchWindow":{}})");
    EXPECT_EQ(builtKind(K::executeFile, rp::executeFile{"/e", ""}), R"({"executeFile":{"path":"/e","argumentsText":""}})");
    EXPECT_EQ(builtKind(K::executeFile, rp::executeFile{"/e", std::nullopt}), R"({"executeFile":{"path":"/e"}})");
    EXPECT_EQ(builtKind(K::openFile, rp::openFile{"/f", ""}), R"({"openFile":{"filePath":"/f"}})");
    EXPECT_EQ(builtKind(K::sleep), R"({"sleep":{}})");
    EXPECT_EQ(builtKind(K::simulateKeystroke, rp::simulateKeystroke{5, true, false, false, true}),
              R"({"simulateKeystroke":{"keystroke":{"mainKeyCode":5,"cmd":true,"shift":false,"option":false,"control":true}}})");
    EXPECT_EQ(builtKind(K::switchInputMethod, rp::switchInputMethod{""}), R"({"switchInputMethod":{"inputSourceID":""}})");
    EXPECT_EQ(builtKind(K::continueFromInterruption, rp::continueFromInterruption{-1.5}),
              R"({"continueFromInterruption":{"delay":-1.5}})");
    EXPECT_EQ(builtKind(K::stopKeySequenceAfterDelay), R"({"stopKeySequenceAfterDelay":{"delay":0.5}})");
    EXPECT_EQ(builtKind(K::getFrontmostApp), R"({"getFrontmostApp":{"kind":"localizedName"}})");
    EXPECT_EQ(builtKind(K::getLeaderKey), R"({"getLeaderKey":{"kind":"displayName"}})");
}

TEST_F(BuildRowTest, EmptyTextsAndURLsTheActionRefusesFailButNothingIsTrimmed) {
    EXPECT_EQ(failure(K::notification, rp::notification{""}), "Empty notification title.");
    EXPECT_EQ(failure(K::notification, rp::notification{" "}), std::nullopt);
    EXPECT_EQ(failure(K::openURL, rp::openURL{}), "Invalid URL.");
    // What the action would refuse each time it runs, and what xdg-open would read as an option.
    for (const char* url : {"https://sp.example/a b", "https://sp.example/\t", "--version", "-x", "example.org"})
        EXPECT_EQ(failure(K::openURL, rp::openURL{url, std::nullopt}), "Invalid URL.") << url;
    for (const auto& [kind, params] : std::vector<std::pair<K, ActionParams>>{{K::openApp, rp::openApp{}},
                                                                              {K::openFile, rp::openFile{}},
                                                                              {K::openFolder, rp::openFolder{}},
                                                                              {K::runAppleScript, rp::runAppleScript{}},
                                                                              {K::executeFile, rp::executeFile{}}})
        EXPECT_EQ(failure(kind, params), "Invalid path.");
    EXPECT_EQ(failure(K::menuCommand, rp::menuCommand{}), "Invalid menu title.");
    EXPECT_EQ(failure(K::switchInputMethod, rp::switchInputMethod{}), "Input method not selected.");
    // A missing entry or one of another case: the menu title, or an unknown error with one empty line.
    EXPECT_EQ(failure(K::menuCommand, rp::notification{"x"}), "Invalid menu title.");
    diag::Capture capture;
    EXPECT_EQ(failure(K::notification, rp::openURL{"x", std::nullopt}), "Unknown error.");
    EXPECT_EQ(capture.lines(), std::vector<std::string>{""});
}

TEST_F(BuildRowTest, ErrorsNameTheirFocusTargets) {
    EXPECT_EQ(field(ValidationError(ValidationError::invalidLeaderKeySetting{LeaderKeySettingError::unselectedKey})),
              RowSheetField::leaderKeySetting);
    EXPECT_EQ(field(ValidationError(ValidationError::keyBindingConflict{})), RowSheetField::keyBindingConflictMessage);
    EXPECT_EQ(field(P::emptyNotificationTitle), RowSheetField::notificationTitle);
    EXPECT_EQ(field(P::openURLInvalidURL), RowSheetField::openURLURLField);
    EXPECT_EQ(field(P::openAppInvalidPath), RowSheetField::openAppPathField);
    EXPECT_EQ(field(P::openFileInvalidPath), RowSheetField::openFilePathField);
    EXPECT_EQ(field(P::openFolderInvalidPath), RowSheetField::openFolderPathField);
    EXPECT_EQ(field(P::runAppleScriptInvalidPath), RowSheetField::runApplieScriptPathField);
    EXPECT_EQ(field(P::invalidMenuTitle), RowSheetField::menuTitleFields);
    EXPECT_EQ(field(P::executeFileInvalidPath), RowSheetField::executeFilePathField);
    EXPECT_EQ(field(P::inputMethodNotSelected), RowSheetField::inputMethodsList);
    EXPECT_EQ(field(P::unknown), std::nullopt);
}

TEST_F(BuildRowTest, LeaderKeyFailsBeforeConflictAndConflictBeforeParameters) {
    store({flatRow({0})});
    auto state = sheet(newRow());
    state.appendKey(0);
    state.setCurrentKind(K::notification);
    EXPECT_EQ(errorText(state.buildRow()), "Conflict with existing key bindings.");
    state.leaderKeyHotKeyChanged(std::nullopt);
    EXPECT_EQ(errorText(state.buildRow()), "Invalid leader key settings: no hot key recorded.");
    state.leaderKeyHotKeyChanged(HotKey::combo(1, 0x100));
    EXPECT_EQ(errorText(state.buildRow()), "Empty notification title.");
}

TEST_F(BuildRowTest, TheRowIsNewEnabledAndTakesEveryValueEvenBehindHiddenViews) {
    auto old = flatRow({0}, commandTap(), Scope::allBut(), "https://a/", "old", false);
    store({old});
    auto state = sheet(edit(old));
    state.setComplexMode(false);
    state.scopeEditor().setKind(ApplicationScopeKind::only);
    state.scopeEditor().addApplication("/x.desktop");
    state.setActionDescription("new");
    state.leaderKeyHotKeyChanged(HotKey::singleModifier(HotKey::SingleTapModifier::shift));
    const auto row = builtRow(state.buildRow());
    EXPECT_NE(row.id, old.id);
    EXPECT_NE(row.action.id, old.action.id);
    EXPECT_TRUE(row.enabled);
    EXPECT_EQ(row.applicationScope, Scope::only({"/x.desktop"}));
    EXPECT_EQ(row.action.actionDescription, "new");
    EXPECT_EQ(row.leaderKey, LeaderKey::press(HotKey::singleModifier(HotKey::SingleTapModifier::shift)));
    EXPECT_EQ(row.action.kind, Action::Kind(Action::Kind::openURL{"https://a/", std::nullopt}));

    state.setActionDescription("");
    EXPECT_EQ(builtRow(state.buildRow()).action.actionDescription, std::nullopt);
    state.setCurrentKind(K::switchInputMethod);
    state.setParams(rp::switchInputMethod{"us"}, K::switchInputMethod);
    EXPECT_TRUE(builtRow(state.buildRow()).endLeaderKeyStatusAfterActionExecution);
}

TEST_F(BuildRowTest, AListTheStoreCannotEncodeKeepsTheSheetOpenWithTheStoresText) {
    store({flatRow({0})});
    auto state = sheet(newRow());
    state.appendKey(1);
    state.setCurrentKind(K::continueFromInterruption);
    state.setParams(rp::continueFromInterruption{std::nan("")}, K::continueFromInterruption);
    const auto result = state.save();
    EXPECT_FALSE(result.closes);
    ASSERT_TRUE(state.visibleValidationText());
    EXPECT_NE(state.visibleValidationText()->find("NaN"), std::string::npos) << *state.visibleValidationText();
    EXPECT_TRUE(savedRows.empty());
    EXPECT_EQ(stored().size(), 1u);
    EXPECT_FALSE(settings::appGroupStore()->contains(settings::keys::previousCheckedComplexMode));
}

} // namespace
} // namespace tavlin::flateditor::test
