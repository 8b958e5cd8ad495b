#include <gtest/gtest.h>

#include "flateditor/core/LeaderKeySuspension.h"
#include "flateditor/core/RowLeaderKey.h"
#include "flateditor/core/RowValidation.h"

namespace tavlin::flateditor {
namespace {

using Error = LeaderKeySettingError;

std::variant<std::int64_t, Error> parsed(std::int64_t value) { return value; }
std::variant<std::int64_t, Error> failed(Error error) { return error; }

TEST(CustomKeyCodeTest, DecimalWithOneOptionalSignWithinSixtyFourBits) {
    EXPECT_EQ(parseCustomKeyCode("36"), parsed(36));
    EXPECT_EQ(parseCustomKeyCode("+36"), parsed(36));
    EXPECT_EQ(parseCustomKeyCode("-1"), parsed(-1));
    EXPECT_EQ(parseCustomKeyCode("0"), parsed(0));
    EXPECT_EQ(parseCustomKeyCode("007"), parsed(7));
    EXPECT_EQ(parseCustomKeyCode("9223372036854775807"), parsed(INT64_MAX));
    EXPECT_EQ(parseCustomKeyCode("-9223372036854775808"), parsed(INT64_MIN));

    EXPECT_EQ(parseCustomKeyCode(""), failed(Error::emptyCustomKeyCode));
    for (const char* text : {" 36", "36 ", "0x24", "+", "-", "+-1", "-+1", "--1", "++1", "3.6", "1e3", "٣", "9223372036854775808",
                             "-9223372036854775809"}) {
        EXPECT_EQ(parseCustomKeyCode(text), failed(Error::invalidCustomKeyCode)) << text;
    }
}

} // namespace
} // namespace tavlin::flateditor

namespace tavlin::flateditor {
namespace {

using Option = HotKey::SingleTapModifier;
using RemoveCase = LeaderKeyViewState::OptionForHoldAndRemovePressFunction::Case;

LeaderKeyResult result(LeaderKey key) { return key; }

TEST(LeaderKeyViewStateTest, PressedKeyFollowsTheControlAndAClearedRecordingIsAnError) {
    LeaderKeyViewState view(LeaderKey::press(HotKey::combo(0, 0x100)));
    EXPECT_EQ(view.currentKind(), LeaderKey::Kind::press);
    EXPECT_EQ(view.optionForPress(), HotKey::combo(0, 0x100));
    EXPECT_EQ(view.currentResult(), result(LeaderKey::press(HotKey::combo(0, 0x100))));

    EXPECT_EQ(view.hotKeyChanged(HotKey::singleModifier(Option::option)),
              result(LeaderKey::press(HotKey::singleModifier(Option::option))));
    EXPECT_EQ(view.hotKeyChanged(std::nullopt), LeaderKeyResult(Error::noHotKeyRecorded));
    EXPECT_EQ(ValidationError(ValidationError::invalidLeaderKeySetting{Error::noHotKeyRecorded}).message(),
              "Invalid leader key settings: no hot key recorded.");
}

TEST(LeaderKeyViewStateTest, HeldKeysOpenWithTheirOptionsAndIgnoreRecordings) {
    LeaderKeyViewState space(LeaderKey::hold(true, 49));
    EXPECT_EQ(space.currentKind(), LeaderKey::Kind::hold);
    EXPECT_EQ(space.optionForHoldAndKeepPressFunction(), LeaderKeyViewState::OptionForHoldAndKeepPressFunction::space);
    EXPECT_FALSE(space.optionForPress());
    EXPECT_EQ(space.hotKeyChanged(HotKey::combo(1, 0x100)), result(LeaderKey::hold(true, 49)));

    LeaderKeyViewState keepCustom(LeaderKey::hold(true, -7));
    EXPECT_EQ(keepCustom.optionForHoldAndKeepPressFunction(), LeaderKeyViewState::OptionForHoldAndKeepPressFunction::custom);
    EXPECT_EQ(keepCustom.customKeyCodeTextForHoldAndKeepPressFunction(), "-7");
    EXPECT_EQ(keepCustom.currentResult(), result(LeaderKey::hold(true, -7)));

    LeaderKeyViewState f12(LeaderKey::hold(false, 111));
    EXPECT_FALSE(f12.keepPressFunctionForLeaderKeyHold());
    EXPECT_EQ(f12.optionForHoldAndRemovePressFunction().optionCase, RemoveCase::keyCode);
    EXPECT_EQ(f12.currentResult(), result(LeaderKey::hold(false, 111)));

    LeaderKeyViewState returnKey(LeaderKey::hold(false, 36));
    EXPECT_EQ(returnKey.optionForHoldAndRemovePressFunction().optionCase, RemoveCase::custom);
    EXPECT_EQ(returnKey.customKeyCodeTextForHoldAndRemovePressFunction(), "36");
    EXPECT_EQ(returnKey.hotKeyChanged(std::nullopt), result(LeaderKey::hold(false, 36)));
}

TEST(LeaderKeyViewStateTest, EverySettingTextReadsAsSpecified) {
    EXPECT_EQ(settingText(Error::unselectedKey), "no key selected");
    EXPECT_EQ(settingText(Error::emptyCustomKeyCode), "empty custom key code");
    EXPECT_EQ(settingText(Error::invalidCustomKeyCode), "invalid custom key code");
    EXPECT_EQ(settingText(Error::noHotKeyRecorded), "no hot key recorded");
    EXPECT_EQ(functionKeyCodes().size(), 20u);
}

struct SwitchCounts {
    int unregistered = 0;
    int reloaded = 0;
    LeaderKeySuspension::Switches switches() {
        return {[this] { ++unregistered; }, [this] { ++reloaded; }};
    }
};

TEST(LeaderKeySuspensionTest, FocusSwitchesTheKeysOffAndOnOnceEach) {
    SwitchCounts counts;
    LeaderKeySuspension suspension(counts.switches());
    suspension.recorderFocusChanged(false);
    EXPECT_EQ(counts.reloaded, 0);
    suspension.recorderFocusChanged(true);
    suspension.recorderFocusChanged(true);
    EXPECT_EQ(counts.unregistered, 1);
    EXPECT_TRUE(suspension.isSuspended());
    suspension.recorderFocusChanged(false);
    suspension.recorderFocusChanged(false);
    EXPECT_EQ(counts.reloaded, 1);
    suspension.sheetClosed();
    EXPECT_EQ(counts.reloaded, 1);
}

TEST(LeaderKeySuspensionTest, AnyCloseWhileSuspendedReloadsOnceAndLaterFocusIsIgnored) {
    SwitchCounts counts;
    LeaderKeySuspension suspension(counts.switches());
    suspension.recorderFocusChanged(true);
    suspension.sheetClosed();
    EXPECT_EQ(counts.reloaded, 1);
    // The recorder of a closing dialog loses its focus afterwards; the keys are already back.
    suspension.recorderFocusChanged(false);
    suspension.recorderFocusChanged(true);
    suspension.sheetClosed(true);
    EXPECT_EQ(counts.reloaded, 1);
    EXPECT_EQ(counts.unregistered, 1);

    SwitchCounts cancelled;
    LeaderKeySuspension cancel(cancelled.switches());
    cancel.recorderFocusChanged(true);
    cancel.sheetClosed(true);
    EXPECT_EQ(cancelled.reloaded, 1);
}

} // namespace
} // namespace tavlin::flateditor
