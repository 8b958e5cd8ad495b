#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavlin {

// An input source as the desktop lists it (on X11: one keyboard layout of the XKB keymap).
struct PlatformInputSource {
    std::string id;                           // stable identifier, the value a switch action stores
    std::string localizedName;                // what the user reads
    bool isKeyboardInputSource = true;        // not a palette or another kind of input method
    bool isSelectCapable = true;              // can be made the current source
    std::optional<std::string> iconImagePath; // the file of the source's icon image, if any
    std::optional<std::string> iconName;      // a named (themed) icon, when there is no image file
};

// The desktop's input sources: listing, the current one, switching.
class InputSourceProvider {
public:
    virtual ~InputSourceProvider() = default;
    // The enabled sources, in the desktop's order.
    virtual std::vector<PlatformInputSource> enabledInputSources() = 0;
    virtual std::optional<std::string> currentInputSourceID() = 0;
    // False when no enabled source has this identifier.
    virtual bool selectInputSource(const std::string& id) = 0;
    // Whether an image can be loaded from the file (it exists and is an image).
    virtual bool canLoadImage(const std::string& path) = 0;
};

} // namespace tavlin
