#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/keys/InputSources.h"

namespace tavlin {

// One input source a switch action can name. Two are equal when their identifiers are.
class InputSource {
public:
    // The icon to show: an image file, or a named icon of the desktop's theme.
    struct ImageFile {
        std::string path;
        friend bool operator==(const ImageFile&, const ImageFile&) = default;
    };
    struct NamedIcon {
        std::string name;
        friend bool operator==(const NamedIcon&, const NamedIcon&) = default;
    };
    using Icon = std::variant<ImageFile, NamedIcon>;

    std::optional<PlatformInputSource> tisInputSource;
    std::string id;
    std::string name;
    std::optional<Icon> icon;

    // `canLoadImage` tells whether an image file can be loaded.
    InputSource(PlatformInputSource source, const std::function<bool(const std::string&)>& canLoadImage);

    // The double-resolution variant of an icon file: "@2x" before the extension.
    static std::string iconURLCandidate(const std::string& path);

    friend bool operator==(const InputSource& a, const InputSource& b) { return a.id == b.id; }
};

// The input sources a user can switch to, as gathered at the last refresh. Main thread only.
class InputSourceManager {
public:
    // The desktop's sources; until one is installed a refresh finds none.
    static void setProvider(InputSourceProvider* provider);
    // Types one synthetic keystroke: a virtual key code with a Carbon modifier mask. Until one
    // is installed nothing is typed.
    using KeystrokePoster = std::function<void(int keyCode, std::uint32_t carbonModifiers)>;
    static void setKeystrokePoster(KeystrokePoster poster);

    // Empty until the first refresh.
    static const std::vector<InputSource>& selectableInputSources();
    // Gathers the enabled keyboard sources that can be selected, in the desktop's order, and
    // hands their names to the action descriptions.
    static void reloadSelectableInputSources();
    // Asks the desktop for the previous input source by typing its shortcut, Super+Shift+Space.
    static void selectPrevious();
};

} // namespace tavlin
