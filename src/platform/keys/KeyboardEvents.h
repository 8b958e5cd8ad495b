#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// What the leader-key machinery needs of the window system, in the program's own terms:
// virtual key codes, the stored format's modifier flags and Carbon masks, seconds.
namespace tavlin {

// Device-independent modifier flags of keyboard events.
namespace eventFlags {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t numericPad = 0x200000;
inline constexpr std::uint64_t function = 0x800000;
// The four modifiers that make or break a leader key.
inline constexpr std::uint64_t leaderModifiers = shift | control | option | command;
} // namespace eventFlags

// Carbon modifier masks, as hot keys and recorded shortcuts store them.
namespace carbon {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
inline constexpr std::uint32_t all = command | shift | option | control;
} // namespace carbon

// A keyboard event as the event monitors report it.
struct KeyboardEvent {
    enum class Type { keyDown, flagsChanged };
    Type type = Type::keyDown;
    int keyCode = 0; // virtual key code
    std::uint64_t modifierFlags = 0;
    double timestamp = 0; // seconds, monotonic
};

// An event seen by the listen-only observer of all input.
struct ObservedInputEvent {
    enum class Type { keyDown, leftMouseDown, leftMouseUp };
    Type type = Type::keyDown;
    std::uint64_t modifierFlags = 0;
    int keyCode = -1; // of a key: its virtual key code; -1 when unknown or not a key
};

// System-wide hot keys: key combinations that reach this program whatever window has the
// keyboard. Registration is exclusive: a combination another program holds is refused.
class HotKeyRegistrar {
public:
    using Reference = std::uint64_t; // never 0 for a registered hot key
    // A result of the stored format's status codes: 0 success, or a refusal.
    struct Registration {
        static constexpr std::int32_t heldByAnotherProgram = -9878;
        std::int32_t status = 0;
        Reference reference = 0;
    };
    using Handler = std::function<void(std::uint32_t identifier)>;

    virtual ~HotKeyRegistrar() = default;
    // `identifier` comes back in the pressed and released callbacks.
    virtual Registration registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, std::uint32_t identifier) = 0;
    virtual void unregisterHotKey(Reference reference) = 0;
    // The handlers of pressed and released hot keys; empty handlers remove them.
    virtual void setHandlers(Handler pressed, Handler released) = 0;
    // Whether another program holds the combination, so registering it would be refused. A
    // combination this registrar holds itself is not another program's.
    virtual bool isHeldByAnotherProgram(std::uint32_t /*keyCode*/, std::uint32_t /*carbonModifiers*/) { return false; }
};

// Observation of keyboard input: events sent to this program (local) and to others (global),
// and the listen-only observer of key-downs and clicks everywhere.
class KeyboardEventMonitor {
public:
    // A local handler answers the event to pass on, or nothing to swallow it.
    using LocalHandler = std::function<std::optional<KeyboardEvent>(const KeyboardEvent&)>;
    using GlobalHandler = std::function<void(const KeyboardEvent&)>;
    using ObserverHandler = std::function<void(const ObservedInputEvent&)>;
    using Token = std::uint64_t;

    virtual ~KeyboardEventMonitor() = default;
    virtual Token addLocalMonitor(LocalHandler handler) = 0;
    virtual Token addGlobalMonitor(GlobalHandler handler) = 0;
    virtual void removeMonitor(Token token) = 0;
    // Whether input may be observed (always true on X11).
    virtual bool preflightListenEventAccess() = 0;
    // Starts the listen-only observer; false when it cannot be made.
    virtual bool startObserver(ObserverHandler handler) = 0;
    virtual void stopObserver() = 0;
};

} // namespace tavlin
