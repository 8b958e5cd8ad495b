#include "engine/InputWindowManager.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <limits>

#include "engine/ActionOutcomeListener.h"
#include "engine/Notifications.h"
#include "engine/RunDecision.h"
#include "engine/ShellServices.h"
#include "model/Configuration.h"
#include "model/KeyNames.h"
#include "model/LeaderKey.h"
#include "model/Settings.h"
#include "platform/base/Diagnostics.h"
#include "platform/desktop/Alerts.h"

namespace tavlin {
namespace {

std::optional<int>& lastKeyDownKeyCode() {
    static std::optional<int> code;
    return code;
}

std::optional<DistributedNotificationCenter::Token>& externalEventToken() {
    static std::optional<DistributedNotificationCenter::Token> token;
    return token;
}

std::string frameText(const Rect& frame) {
    return "{{" + std::to_string(frame.x) + ", " + std::to_string(frame.y) + "}, {" + std::to_string(frame.width) + ", " +
           std::to_string(frame.height) + "}}";
}

// A stored width is used only when it is a sensible window width.
std::optional<double> usableWidth(std::optional<double> width) {
    if (!width || !std::isfinite(*width) || *width < 1 || *width > 100000) return std::nullopt;
    return width;
}

} // namespace

std::optional<HotKey>& currentLeaderKey() {
    static std::optional<HotKey> key;
    return key;
}

InputWindowManager& InputWindowManager::shared() {
    static InputWindowManager manager;
    return manager;
}

void InputWindowManager::setWindows(InputWindow* inputWindow, IndicatorWindow* indicatorWindow) {
    if (inputWindow_) inputWindow_->setDelegate(nullptr);
    inputWindow_ = inputWindow;
    indicatorWindow_ = indicatorWindow;
    if (inputWindow_) inputWindow_->setDelegate(this);
}

InputWindow& InputWindowManager::inputWindow() {
    assert(inputWindow_ && "the input window is installed at start-up");
    return *inputWindow_;
}

void InputWindowManager::announceChange() {
    std::vector<ChangeObserver> observers;
    for (const auto& [token, observer] : changeObservers_) observers.push_back(observer);
    for (const auto& observer : observers) observer();
}

void InputWindowManager::setCurrentStates(std::optional<CurrentStates> states) {
    announceChange();
    currentStates_ = std::move(states);
}

std::uint64_t InputWindowManager::addChangeObserver(ChangeObserver observer) {
    const auto token = nextObserverToken_++;
    changeObservers_.emplace(token, std::move(observer));
    return token;
}

void InputWindowManager::removeChangeObserver(std::uint64_t token) { changeObservers_.erase(token); }

std::string InputWindowManager::pointText(const Point& point) {
    const auto number = [](double value) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return std::string(buffer, result.ptr);
    };
    return "{" + number(point.x) + ", " + number(point.y) + "}";
}

std::optional<Point> InputWindowManager::pointFromText(const std::string& text) {
    // "{x, y}"; anything else, or coordinates that are not finite numbers, reads as no point.
    const auto open = text.find('{');
    const auto comma = text.find(',');
    const auto close = text.find('}');
    if (open == std::string::npos || comma == std::string::npos || close == std::string::npos ||
        !(open < comma && comma < close)) {
        return std::nullopt;
    }
    const auto parse = [](std::string_view part) -> std::optional<double> {
        while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
        double value = 0;
        const auto result = std::from_chars(part.data(), part.data() + part.size(), value);
        if (result.ec != std::errc() || result.ptr != part.data() + part.size() || !std::isfinite(value)) return std::nullopt;
        return value;
    };
    const std::string_view view(text);
    const auto x = parse(view.substr(open + 1, comma - open - 1));
    const auto y = parse(view.substr(comma + 1, close - comma - 1));
    if (!x || !y) return std::nullopt;
    return Point{*x, *y};
}

void InputWindowManager::inputWindowDidBecomeKey() {
    windowBecameKey();
    handle(WindowEvent::becomeKey());
}

void InputWindowManager::inputWindowDidResignKey() {
    windowResignedKey();
    handle(WindowEvent::resignKey());
}

void InputWindowManager::inputWindowKeyDown(int keyCode) { handle(WindowEvent::keyDown(keyCode)); }
void InputWindowManager::inputWindowKeyUp(int keyCode) { handle(WindowEvent::keyUp(keyCode)); }

void InputWindowManager::windowBecameKey() {
    // In a later turn: the window holds the keyboard and the session's first step has run by
    // then, so the check never delays what the user typed.
    MainQueue::shared().post([] {
        if (ShellServices::shared().openHelperApplication) ShellServices::shared().openHelperApplication();
    });
    std::optional<Point> topLeft;
    if (const auto text = settings::inputWindowTopLeftPositionString()) {
        topLeft = pointFromText(*text);
        if (topLeft && *topLeft == Point{0, 0}) topLeft.reset();
    }
    showIndicator();
    const auto width = usableWidth(settings::inputWindowWidthDouble());
    const double setting = settings::showHintAfterSeconds();
    const double delay = std::isfinite(setting) && setting >= 0.1 ? setting : 0.1;
    if (delayShowHintTimer_) MainQueue::shared().cancel(*delayShowHintTimer_);
    delayShowHintTimer_ = MainQueue::shared().postAfter(delay, [this, width, topLeft] {
        delayShowHintTimer_.reset();
        announceChange();
        showingHint_ = true;
        placeWindow(width, topLeft);
    });
}

void InputWindowManager::placeWindow(std::optional<double> width, std::optional<Point> topLeft) {
    if (width) {
        Rect frame = inputWindow().frame();
        frame.width = *width;
        inputWindow().setFrame(frame);
    }
    MainQueue::shared().postAfter(0.001, [this, topLeft] {
        if (topLeft) inputWindow().setFrameTopLeftPoint(*topLeft);
        else inputWindow().center();
        const auto screen = inputWindow().visibleScreenFrame();
        if (!screen) {
            diag::printLine(diag::Category::session, "");
            inputWindow().center();
        } else if (!screen->contains(inputWindow().frame())) {
            inputWindow().center();
        }
    });
}

void InputWindowManager::windowResignedKey() {
    // Whatever the setting says now: it may have changed while the indicator was shown.
    if (indicatorWindow_) indicatorWindow_->orderOut();
    if (delayShowHintTimer_) MainQueue::shared().cancel(*delayShowHintTimer_);
    delayShowHintTimer_.reset();
    announceChange();
    showingHint_ = false;

    const Rect frame = inputWindow().frame();
    if (frame.width == 0 && frame.height == 0) {
        diag::printLine(diag::Category::session, "zero size window, no position saved");
    } else {
        const Point topLeft{frame.x, frame.y + frame.height};
        auto store = settings::appGroupStore();
        store->set(settings::keys::inputWindowTopLeftPositionString, pointText(topLeft));
        store->set(settings::keys::inputWindowWidthDouble, frame.width);
        const auto saved = pointFromText(pointText(topLeft));
        diag::printLine(diag::Category::session,
                        "top leading position saved: " +
                            (saved && !(*saved == Point{0, 0}) ? pointText(*saved) : std::string("nil")));
        diag::printLine(diag::Category::session, "current frame: " + frameText(frame));
    }
    auto handler = std::move(didResignHandler);
    didResignHandler = nullptr;
    if (handler) handler();
}

void InputWindowManager::handle(const WindowEvent& event) {
    using Kind = WindowEvent::Kind;
    const double now = MainQueue::shared().now();
    switch (event.kind) {
    case Kind::didKeyDown:
    case Kind::didKeyUp: sessionLastActivityTimestamp = now; break;
    case Kind::didBecomeKey:
        sessionTimestamp = now;
        sessionLastActivityTimestamp = now;
        break;
    case Kind::didResignKey:
        sessionTimestamp.reset();
        sessionLastActivityTimestamp.reset();
        setCurrentStates(std::nullopt);
        if (requireReactivateOnce) {
            MainQueue::shared().post([this] {
                if (requireReactivateOnce) inputWindow().makeKeyAndOrderFront();
            });
        }
        break;
    }
    if (!windowEventHandler) {
        diag::printLine(diag::Category::session, "");
        return;
    }
    if (windowEventHandler(event) == EventResult::suggestResignWindow) inputWindow().orderOut();
}

void InputWindowManager::deliver(int keyCode) {
    if (!windowEventHandler) {
        diag::printLine(diag::Category::session, "");
        return;
    }
    windowEventHandler(WindowEvent::keyDown(keyCode));
    if (windowEventHandler(WindowEvent::keyUp(keyCode)) == EventResult::suggestResignWindow) inputWindow().orderOut();
}

void InputWindowManager::scheduleEvent(std::optional<int> keyCode) {
    // A key that arrives while an earlier one still waits for the window goes in after it.
    if (inputWindow().isKeyWindow() && keysAwaitingWindow_.empty()) {
        if (keyCode) deliver(*keyCode);
        return;
    }
    if (!inputWindow().isKeyWindow()) inputWindow().makeKeyAndOrderFront();
    if (!keyCode) return;
    keysAwaitingWindow_.push_back(*keyCode);
    if (keysAwaitingWindow_.size() == 1) MainQueue::shared().postAfter(0.1, [this] { deliverAwaitingKey(); });
}

// One key per turn, as separate events come, each after the actions the previous key queued.
void InputWindowManager::deliverAwaitingKey() {
    if (keysAwaitingWindow_.empty()) return;
    const int code = keysAwaitingWindow_.front();
    keysAwaitingWindow_.pop_front();
    deliver(code);
    if (!keysAwaitingWindow_.empty()) MainQueue::shared().post([this] { deliverAwaitingKey(); });
}

void InputWindowManager::resume(std::vector<ActionResult> history, DecisionPtr decision, std::optional<double> timestamp) {
    announceChange();
    currentStates_ = CurrentStates{history, decision};
    if (inputWindow().isKeyWindow()) {
        // Nothing interrupted the session, so the window will not become key again: continue
        // here, or the actions after the interruption would never run.
        runDecision(std::move(history), std::move(decision));
    } else {
        inputWindow().makeKeyAndOrderFront();
    }
    sessionTimestamp = timestamp;
    sessionLastActivityTimestamp = MainQueue::shared().now();
}

void InputWindowManager::showIndicator() {
    if (settings::hideLeaderKeyIndicator() || !indicatorWindow_) return;
    const auto& key = currentLeaderKey();
    std::string text;
    if (!key) {
        diag::printLine(diag::Category::session, "");
        text = "No Value";
    } else {
        text = shownText(*key);
    }
    indicatorWindow_->show(text);
}

void InputWindowManager::reset() {
    requireReactivateOnce = false;
    didResignHandler = nullptr;
    sessionTimestamp.reset();
    sessionLastActivityTimestamp.reset();
    windowEventHandler = nullptr;
    currentStates_.reset();
    showingHint_ = false;
    delayShowHintTimer_.reset();
    keysAwaitingWindow_.clear();
    lastKeyDownKeyCode().reset();
}

InputWindowManager::EventResult handleInputWindowEvent(const InputWindowManager::WindowEvent& event) {
    using Kind = InputWindowManager::WindowEvent::Kind;
    using Result = InputWindowManager::EventResult;
    auto& manager = InputWindowManager::shared();
    switch (event.kind) {
    case Kind::didKeyDown: lastKeyDownKeyCode() = event.keyCode; return Result::none;
    case Kind::didKeyUp: {
        const auto down = lastKeyDownKeyCode();
        lastKeyDownKeyCode().reset();
        if (!down || *down != event.keyCode) return Result::suggestResignWindow;
        // The bare leader key itself (an external start's key without modifiers) is no outcome.
        const auto& leader = currentLeaderKey();
        const auto* combo = leader ? leader->comboInfo() : nullptr;
        const bool isBareLeaderKey = combo && combo->modifiersCode == 0 &&
                                     static_cast<std::int64_t>(combo->keyCode) == event.keyCode;
        if (!isBareLeaderKey) post(ActionOutcome(ActionOutcome::key{event.keyCode}));
        return Result::none;
    }
    case Kind::didBecomeKey: {
        lastKeyDownKeyCode().reset();
        if (const auto& states = manager.currentStates()) {
            const auto copy = *states;
            runDecision(copy.history, copy.decision);
            return Result::none;
        }
        std::shared_ptr<Configuration> configuration;
        try {
            configuration = loadConfiguration(SearchPathDirectory::applicationSupport, Configuration::relativePath());
        } catch (const std::exception& error) {
            showAlert("Invalid configuration file", localizedDescription(error));
            return Result::none;
        }
        if (configuration->decision->actions.empty() && configuration->decision->chances.empty()) {
            showAlert("Empty actions and chances in configuration", "");
            return Result::none;
        }
        runDecision({}, configuration->decision);
        return Result::none;
    }
    case Kind::didResignKey:
        lastKeyDownKeyCode().reset();
        ActionOutcomeListener::shared().cancel();
        return Result::none;
    }
    return Result::none;
}

namespace ExternalEventObserver {

void start() {
    auto& center = DistributedNotificationCenter::shared();
    if (externalEventToken()) {
        diag::printLine(diag::Category::session, "");
        center.removeObserver(*externalEventToken());
    }
    externalEventToken() = center.addObserver(std::string(notificationNames::externalEvent), handle);
}

void stop() {
    if (externalEventToken()) DistributedNotificationCenter::shared().removeObserver(*externalEventToken());
    externalEventToken().reset();
}

void handle(const Notification& notification) {
    using Event = tavlinNotifications::ExternalEvent;
    const auto event = Event::fromNotification(notification);
    if (!event) {
        diag::printLimited(diag::Category::session, "undecodable notification", "");
        return;
    }
    diag::printLimited(diag::Category::session, "Event received", "Event received: " + event->description());
    auto& manager = InputWindowManager::shared();
    // Events that waited long behind others (a flood) no longer stand for what their sender
    // wants now: they must not open sessions that take the keyboard from the user.
    if (!event->get<Event::endKeySequence>() && notification.receivedAt &&
        MainQueue::shared().now() - *notification.receivedAt > maximumExternalEventDelay) {
        diag::printLimited(diag::Category::session, "stale external event",
                           "Ignored an external event that waited more than 1 s");
        return;
    }
    if (const auto* start = event->get<Event::startKeySequence>()) {
        constexpr std::int64_t highest = std::numeric_limits<std::uint32_t>::max();
        const auto& info = start->info;
        // A leader key that cannot be stored as a key combination is refused whole.
        if (info.hotKeyCode < 0 || info.hotKeyCode > highest || info.hotKeyModifiers < 0 || info.hotKeyModifiers > highest) {
            diag::printLine(diag::Category::session, "Ignored start event: the hot key lies outside 0...4294967295");
            return;
        }
        currentLeaderKey() = HotKey::combo(static_cast<std::uint32_t>(info.hotKeyCode),
                                           static_cast<std::uint32_t>(info.hotKeyModifiers));
        if (!info.endAutomatically) manager.requireReactivateOnce = true;
        if (!manager.inputWindow().isKeyWindow()) manager.inputWindow().makeKeyAndOrderFront();
    } else if (const auto* type = event->get<Event::typeKey>()) {
        const auto code = type->info.keyCode;
        if (code < std::numeric_limits<int>::min() || code > std::numeric_limits<int>::max()) {
            diag::printLine(diag::Category::session, "Ignored key event: the key code is out of range");
            return;
        }
        manager.scheduleEvent(static_cast<int>(code));
    } else {
        manager.requireReactivateOnce = false;
        manager.inputWindow().orderOut();
    }
}

} // namespace ExternalEventObserver
} // namespace tavlin
