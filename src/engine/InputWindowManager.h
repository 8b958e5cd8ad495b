#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/Decision.h"
#include "model/HotKey.h"
#include "platform/base/MainQueue.h"
#include "platform/desktop/InputWindow.h"
#include "platform/desktop/NotificationCenter.h"

namespace tavlin {

// Owns the session: it lasts exactly as long as the input window is key. Everything that opens,
// closes or feeds the input window passes through here. Main thread only.
class InputWindowManager : public InputWindowDelegate {
public:
    struct WindowEvent {
        enum class Kind { didKeyDown, didKeyUp, didBecomeKey, didResignKey };
        Kind kind;
        int keyCode = 0; // for key events

        static WindowEvent keyDown(int keyCode) { return {Kind::didKeyDown, keyCode}; }
        static WindowEvent keyUp(int keyCode) { return {Kind::didKeyUp, keyCode}; }
        static WindowEvent becomeKey() { return {Kind::didBecomeKey, 0}; }
        static WindowEvent resignKey() { return {Kind::didResignKey, 0}; }
    };
    enum class EventResult { none, suggestResignWindow };

    // Where the engine waits for the next outcome.
    struct CurrentStates {
        std::vector<ActionResult> history;
        DecisionPtr decision;
    };

    using ChangeObserver = std::function<void()>;

    static InputWindowManager& shared();

    // The windows are made by the desktop layer (or a test) and installed before first use.
    void setWindows(InputWindow* inputWindow, IndicatorWindow* indicatorWindow);
    InputWindow& inputWindow();
    IndicatorWindow* indicatorWindow() { return indicatorWindow_; }

    bool requireReactivateOnce = false;
    // Runs once after the next resignation of the input window, then is cleared.
    std::function<void()> didResignHandler;
    std::optional<double> sessionTimestamp;
    std::optional<double> sessionLastActivityTimestamp;
    std::function<EventResult(const WindowEvent&)> windowEventHandler;

    const std::optional<CurrentStates>& currentStates() const { return currentStates_; }
    // Announces the change to the observers before storing it.
    void setCurrentStates(std::optional<CurrentStates> states);
    bool showingHint() const { return showingHint_; }
    bool hasPendingHintTimer() const { return delayShowHintTimer_.has_value(); }

    // The window content watches the manager through these.
    std::uint64_t addChangeObserver(ChangeObserver observer);
    void removeChangeObserver(std::uint64_t token);

    void handle(const WindowEvent& event);
    // Delivers a key typed by another process, opening the window first when needed.
    void scheduleEvent(std::optional<int> keyCode);
    // Continues an interrupted session at `decision`, keeping its start time.
    void resume(std::vector<ActionResult> history, DecisionPtr decision, std::optional<double> sessionTimestamp);
    void showIndicator();
    // Back to the state of a fresh process (no session, no pending timers, no handlers); used
    // when the queue or the windows are replaced.
    void reset();

    // InputWindowDelegate
    void inputWindowDidBecomeKey() override;
    void inputWindowDidResignKey() override;
    void inputWindowKeyDown(int keyCode) override;
    void inputWindowKeyUp(int keyCode) override;

    // The stored top-left point: "{x, y}", as points are written in the settings.
    static std::string pointText(const Point& point);
    static std::optional<Point> pointFromText(const std::string& text);

private:
    void announceChange();
    void windowBecameKey();
    void windowResignedKey();
    void placeWindow(std::optional<double> width, std::optional<Point> topLeft);
    void deliver(int keyCode);
    void deliverAwaitingKey();

    InputWindow* inputWindow_ = nullptr;
    IndicatorWindow* indicatorWindow_ = nullptr;
    std::optional<CurrentStates> currentStates_;
    bool showingHint_ = false;
    std::optional<MainQueue::TimerID> delayShowHintTimer_;
    std::deque<int> keysAwaitingWindow_; // typed by other processes before the window was ready
    std::map<std::uint64_t, ChangeObserver> changeObservers_;
    std::uint64_t nextObserverToken_ = 1;
};

// The leader key pressed last; absent until one is.
std::optional<HotKey>& currentLeaderKey();

// The session logic installed as the window's event handler by the leader-key registration.
InputWindowManager::EventResult handleInputWindowEvent(const InputWindowManager::WindowEvent& event);

// Starts, feeds and ends sessions for other processes.
namespace ExternalEventObserver {
// A start or key event that reaches us later than this after it arrived is ignored.
inline constexpr double maximumExternalEventDelay = 1.0;
void start();
void stop();
void handle(const Notification& notification);
} // namespace ExternalEventObserver

} // namespace tavlin
