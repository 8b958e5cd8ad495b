#include "engine/ActionRunner.h"

#include <cmath>
#include <functional>
#include <limits>

#include "engine/InputWindowManager.h"
#include "engine/Notifications.h"
#include "engine/Opening.h"
#include "engine/ShellServices.h"
#include "model/KeyNames.h"
#include "model/LeaderKey.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/UserNotifications.h"
#include "platform/desktop/Workspace.h"

namespace tavlin {
namespace {

using K = Action::Kind;

// The shortest wait that lets the input window resign before the session resumes.
constexpr double minimumInterruption = 0.05;

// What an action leaves for a later turn, once its text is handled.
using AfterText = std::function<void()>;

std::optional<std::string> performDeferring(const Action& action, const DecisionPtr& remaining,
                                            const std::vector<ActionResult>& history, AfterText& afterText);

std::string frontmostApplicationText(GetFrontmostAppKind kind, AfterText& afterText) {
    static const std::string failure = "get_frontmost_app_failure";
    const auto application = Workspace::shared().frontmostApplication();
    if (!application) {
        diag::printLine(diag::Category::actions, "");
        return failure;
    }
    if (!application->bundlePath) diag::printLine(diag::Category::actions, "");
    // The suite it goes to also holds the flat rows: writing it must not come between the leader
    // key and the first trigger key.
    afterText = [path = application->bundlePath] { settings::addSuggestedDisabledApplicationPath(path); };
    std::optional<std::string> value;
    switch (kind) {
    case GetFrontmostAppKind::bundleURL: value = application->bundlePath; break;
    case GetFrontmostAppKind::localizedName: value = application->localizedName; break;
    case GetFrontmostAppKind::bundleIdentifier: value = application->bundleIdentifier; break;
    }
    return value.value_or(failure);
}

std::string leaderKeyText(std::optional<GetLeaderKeyKind> kind) {
    const auto& key = currentLeaderKey();
    if (!key) {
        diag::printLine(diag::Category::actions, "");
        return "";
    }
    if (kind == GetLeaderKeyKind::keyCodeText) return key->keyCodeText();
    return modifierKeyName(LeaderKey::press(*key));
}

void simulateKeystroke(const Keystroke& keystroke) {
    auto& manager = InputWindowManager::shared();
    const auto handOff = [keystroke] {
        performSimulatedKeystroke(keystroke.mainKeyCode, keystroke.cmd, keystroke.shift, keystroke.option, keystroke.control);
    };
    if (manager.inputWindow().isKeyWindow()) {
        manager.didResignHandler = handOff;
        manager.inputWindow().orderOut();
    } else {
        handOff();
    }
}

void continueFromInterruption(const K::continueFromInterruption& payload, const DecisionPtr& remaining,
                              const std::vector<ActionResult>& history) {
    std::vector<Action> rest;
    if (!remaining->actions.empty()) rest.assign(remaining->actions.begin() + 1, remaining->actions.end());
    auto decision = Decision::make(std::move(rest), remaining->chances);
    const auto snapshot = InputWindowManager::shared().sessionTimestamp;
    // The action's own delay is what the user set and sees; it never drops below the time the
    // window needs to resign.
    const double wait = std::isfinite(payload.delay) && payload.delay > minimumInterruption ? payload.delay : minimumInterruption;
    MainQueue::shared().postAfter(wait, [history, decision, snapshot] { resumeSequence(history, decision, snapshot); });
}

void stopKeySequenceAfterDelay(const K::stopKeySequenceAfterDelay& payload) {
    const bool comparingLastActivity = payload.ignoreIfNewActivityHappen.value_or(true);
    const auto& manager = InputWindowManager::shared();
    const auto snapshot = comparingLastActivity ? manager.sessionLastActivityTimestamp : manager.sessionTimestamp;
    const double delay = std::isfinite(payload.delay) && payload.delay > 0 ? payload.delay : 0;
    MainQueue::shared().postAfter(delay,
                                  [comparingLastActivity, snapshot] { stopSequenceIfIdle(comparingLastActivity, snapshot); });
}

} // namespace

void postUserNotification(const std::string& title, const std::optional<std::string>& subtitle) {
    auto& center = UserNotificationCenter::current();
    center.requestAuthorization([title, subtitle](bool) {
        UserNotificationCenter::current().add({Uuid::random().string(), title, subtitle, true});
    });
}

void run(const Action& action, const DecisionPtr& remaining, const std::vector<ActionResult>& history) {
    // Handled at once: the wait is armed, and a later turn would only let keys typed meanwhile
    // (held until then) and other work wait longer.
    AfterText afterText;
    if (auto text = performDeferring(action, remaining, history, afterText))
        post(ActionOutcome(ActionOutcome::message{std::move(*text)}));
    if (afterText) MainQueue::shared().post(std::move(afterText));
}

bool reportsText(const Action& action) { return action.kind.is<K::getFrontmostApp>() || action.kind.is<K::getLeaderKey>(); }

std::optional<std::string> perform(const Action& action, const DecisionPtr& remaining, const std::vector<ActionResult>& history) {
    AfterText afterText;
    auto text = performDeferring(action, remaining, history, afterText);
    if (afterText) afterText();
    return text;
}

namespace {

std::optional<std::string> performDeferring(const Action& action, const DecisionPtr& remaining,
                                            const std::vector<ActionResult>& history, AfterText& afterText) {
    return std::visit(
        [&](const auto& c) -> std::optional<std::string> {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, K::notification>) {
                postUserNotification(c.title);
            } else if constexpr (std::is_same_v<T, K::openURL>) {
                openURL(c.url, c.applicationPath);
            } else if constexpr (std::is_same_v<T, K::openApp>) {
                openApp(c.path, c.hideAppIfRunning, c.launchArgumentsText, c.switchToPreviousApp);
            } else if constexpr (std::is_same_v<T, K::openFile>) {
                openFileOrFolder(c.filePath, c.applicationPath, false);
            } else if constexpr (std::is_same_v<T, K::openFolder>) {
                openFileOrFolder(c.folderPath, c.applicationPath, true);
            } else if constexpr (std::is_same_v<T, K::runAppleScript>) {
                runAppleScript(c.path);
            } else if constexpr (std::is_same_v<T, K::menu>) {
                std::vector<std::string> items;
                for (const auto& item : c.menuItems) {
                    if (!item.empty()) items.push_back(item);
                }
                postToHelper(HelperAction::menu{std::move(items)});
            } else if constexpr (std::is_same_v<T, K::menuCommand>) {
                postToHelper(HelperAction::menuCommand{{c.info.menuTitle}});
            } else if constexpr (std::is_same_v<T, K::executeFile>) {
                postToHelper(HelperAction::executeFile{c.path, c.argumentsText});
            } else if constexpr (std::is_same_v<T, K::simulateKeystroke>) {
                simulateKeystroke(c.keystroke);
            } else if constexpr (std::is_same_v<T, K::switchInputMethod>) {
                postToHelper(HelperAction::switchInputMethod{c.inputSourceID});
            } else if constexpr (std::is_same_v<T, K::continueFromInterruption>) {
                continueFromInterruption(c, remaining, history);
            } else if constexpr (std::is_same_v<T, K::stopKeySequenceAfterDelay>) {
                stopKeySequenceAfterDelay(c);
            } else if constexpr (std::is_same_v<T, K::internalMethod>) {
                InputWindowManager::shared().requireReactivateOnce = std::get<0>(c.info.kind.value).params.newValue;
            } else if constexpr (std::is_same_v<T, K::getFrontmostApp>) {
                return frontmostApplicationText(c.kind, afterText);
            } else if constexpr (std::is_same_v<T, K::getLeaderKey>) {
                return leaderKeyText(c.kind);
            } else if constexpr (std::is_same_v<T, K::openFinder>) {
                activateFinder();
            } else if constexpr (std::is_same_v<T, K::toggleConfigurationWindow>) {
                if (const auto& toggle = ShellServices::shared().toggleConfigurationWindow) toggle();
            } else if constexpr (std::is_same_v<T, K::switchWindow>) {
                postToHelper(HelperAction::switchWindow{});
            } else if constexpr (std::is_same_v<T, K::sleep>) {
                postToHelper(HelperAction::sleep{});
            } else {
                static_assert(std::is_same_v<T, K::reWaitTriggerKeys>);
            }
            return std::nullopt;
        },
        action.kind.value());
}

} // namespace

void performSimulatedKeystroke(std::int64_t keyCode, bool command, bool shift, bool option, bool control) {
    // The modifier bits are added to the code: a code so large that the sum overflows is no key.
    if (keyCode > std::numeric_limits<std::int64_t>::max() - 0x1B00) {
        diag::printLine(diag::Category::actions,
                        "cannot simulate the keystroke: the key code " + std::to_string(keyCode) + " is out of range");
        return;
    }
    const auto& services = ShellServices::shared();
    if (services.unregisterAllLeaderKeys) services.unregisterAllLeaderKeys();
    std::int64_t code = keyCode;
    if (command) code += 0x100;
    if (shift) code += 0x200;
    if (option) code += 0x800;
    if (control) code += 0x1000;
    postToHelper(HelperAction::simulateKeystroke{code});
    if (services.reloadLeaderKeys) services.reloadLeaderKeys(false);
}

void resumeSequence(std::vector<ActionResult> history, DecisionPtr decision, std::optional<double> sessionTimestamp) {
    InputWindowManager::shared().resume(std::move(history), std::move(decision), sessionTimestamp);
}

void stopSequenceIfIdle(bool comparingLastActivity, std::optional<double> snapshot) {
    auto& manager = InputWindowManager::shared();
    const auto current = comparingLastActivity ? manager.sessionLastActivityTimestamp : manager.sessionTimestamp;
    if (current == snapshot) manager.inputWindow().orderOut();
}

} // namespace tavlin
