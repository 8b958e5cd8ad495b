#include "platform/x11/X11InputSources.h"

#include <cstdlib>
#include <optional>
#include <utility>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include "platform/x11/X11Connection.h"

namespace tavlin {
namespace {

struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;

std::vector<std::string> splitAtCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

// The rule names the keymap was made from (rules, model, layout, variant, options), as the
// tools that set keymaps record them on the root window; empty when none are recorded.
std::vector<std::string> ruleNames(Display* display) {
    const Atom property = XInternAtom(display, "_XKB_RULES_NAMES", True);
    if (property == None) return {};
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, DefaultRootWindow(display), property, 0, 4096, False, XA_STRING, &type, &format, &count,
                           &remaining, &data) != Success) {
        return {};
    }
    std::vector<std::string> names;
    if (data && format == 8) {
        // Texts separated by NULs.
        const std::string all(reinterpret_cast<const char*>(data), count);
        std::size_t start = 0;
        while (start <= all.size() && names.size() < 5) {
            const std::size_t end = all.find('\0', start);
            names.push_back(all.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    if (data) XFree(data);
    names.resize(5);
    return names;
}

} // namespace

namespace {

// XKB on the Xlib connection and, for xkbcommon, on the XCB one: the keyboard's device and its
// event base, nothing without XKB.
std::optional<std::pair<std::int32_t, int>> setUpXkb(Display* display, xcb_connection_t* xcb) {
    int opcode = 0, eventBase = 0, errorBase = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &eventBase, &errorBase, &major, &minor)) return std::nullopt;
    if (!xkb_x11_setup_xkb_extension(xcb, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        return std::nullopt;
    const std::int32_t deviceId = xkb_x11_get_core_keyboard_device_id(xcb);
    if (deviceId < 0) return std::nullopt;
    return std::pair{deviceId, eventBase};
}

} // namespace

std::unique_ptr<X11InputSources> X11InputSources::open(const char* displayName) {
    auto display = x11::openDisplay(displayName);
    if (!display) return nullptr;
    // xkbcommon reads keymaps over XCB: a second, XCB connection to the same display.
    xcb_connection_t* xcb = xcb_connect(displayName, nullptr);
    const auto xkb = xcb_connection_has_error(xcb) ? std::nullopt : setUpXkb(display.get(), xcb);
    xkb_context* context = xkb ? xkb_context_new(XKB_CONTEXT_NO_FLAGS) : nullptr;
    if (!context) {
        xcb_disconnect(xcb);
        return nullptr;
    }
    Display* d = display.get();
    return std::unique_ptr<X11InputSources>(
        new X11InputSources(std::move(display), d, xcb, true, context, xkb->first, xkb->second));
}

std::unique_ptr<X11InputSources> X11InputSources::onSharedConnections(Display* display, xcb_connection_t* xcb) {
    if (!display || !xcb || xcb_connection_has_error(xcb)) return nullptr;
    const auto xkb = setUpXkb(display, xcb);
    xkb_context* context = xkb ? xkb_context_new(XKB_CONTEXT_NO_FLAGS) : nullptr;
    if (!context) return nullptr;
    return std::unique_ptr<X11InputSources>(new X11InputSources(nullptr, display, xcb, false, context, xkb->first, xkb->second));
}

X11InputSources::X11InputSources(x11::DisplayPtr owned, Display* display, xcb_connection_t* xcb, bool ownsXcb,
                                 xkb_context* context, std::int32_t deviceId, int xkbEventBase)
    : ownDisplay_(std::move(owned)), display_(display), xcb_(xcb), ownsXcb_(ownsXcb), context_(context), deviceId_(deviceId),
      xkbEventBase_(xkbEventBase) {
    Display* d = display_;
    XkbSelectEvents(d, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask, XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XkbSelectEventDetails(d, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask, XkbGroupStateMask);
    XSync(d, False);
}

X11InputSources::~X11InputSources() {
    xkb_context_unref(context_);
    if (ownsXcb_) xcb_disconnect(xcb_);
}

xkb_keymap* X11InputSources::fetchKeymap() {
    return xkb_x11_keymap_new_from_device(context_, xcb_, deviceId_, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

std::vector<X11InputSource> X11InputSources::list() {
    const KeymapPtr keymap(fetchKeymap());
    if (!keymap) return {};
    const xkb_layout_index_t count = xkb_keymap_num_layouts(keymap.get());
    const auto names = ruleNames(display_);
    std::vector<std::string> layouts, variants;
    if (!names.empty() && !names[2].empty()) {
        layouts = splitAtCommas(names[2]);
        variants = splitAtCommas(names[3]);
    }
    std::vector<X11InputSource> sources;
    for (xkb_layout_index_t group = 0; group < count; ++group) {
        const char* name = xkb_keymap_layout_get_name(keymap.get(), group);
        X11InputSource source{{}, name ? name : ""};
        // The rule names tell the layouts only when they agree with the keymap; a keymap
        // loaded whole has none, and its group names stand in.
        if (layouts.size() == count && !layouts[group].empty()) {
            source.id = layouts[group];
            if (group < variants.size() && !variants[group].empty()) source.id += "(" + variants[group] + ")";
        } else {
            source.id = source.name;
        }
        if (source.name.empty()) source.name = source.id;
        sources.push_back(std::move(source));
    }
    return sources;
}

std::optional<std::size_t> X11InputSources::currentIndex() {
    XkbStateRec state{};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return std::nullopt;
    return static_cast<std::size_t>(state.group);
}

bool X11InputSources::selectGroup(std::size_t index) {
    const KeymapPtr keymap(fetchKeymap());
    if (!keymap || index >= xkb_keymap_num_layouts(keymap.get())) return false;
    x11::ErrorTrap trap(display_);
    if (!XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned int>(index))) return false;
    return trap.sync() == Success;
}

bool X11InputSources::select(const std::string& id) {
    const auto sources = list();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        if (sources[i].id == id) return selectGroup(i);
    }
    return false;
}

std::shared_ptr<const KeyboardLayout> X11InputSources::currentLayout() {
    const KeymapPtr keymap(fetchKeymap());
    const auto group = currentIndex();
    if (!keymap || !group) return nullptr;
    char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) return nullptr;
    const std::string keymapText(text);
    free(text);
    return KeyboardLayout::fromKeymapText(keymapText, static_cast<std::uint32_t>(*group));
}

bool X11InputSources::updateCurrentKeyboardLayout() {
    auto layout = currentLayout();
    if (!layout) return false;
    setCurrentKeyboardLayout(std::move(layout));
    return true;
}

void X11InputSources::setChangeHandler(std::function<void()> handler) { changeHandler_ = std::move(handler); }

int X11InputSources::fileDescriptor() const { return ownDisplay_ ? ConnectionNumber(display_) : -1; }

void X11InputSources::processPendingEvents() {
    if (!ownDisplay_) return;
    Display* d = display_;
    while (XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        handleEvent(event);
    }
    finishBatch();
}

void X11InputSources::handleEvent(XEvent& event) {
    // On a shared connection its owner has applied a mapping change to Xlib's tables already.
    if (event.type == MappingNotify && ownDisplay_) {
        XRefreshKeyboardMapping(&event.xmapping);
    } else if (event.type == xkbEventBase_) {
        changed_ = true;
    }
}

// One call for a burst: setting a keymap sends several notifications.
void X11InputSources::finishBatch() {
    const std::function<void()> handler = changeHandler_;
    if (std::exchange(changed_, false) && handler) handler();
}

} // namespace tavlin
