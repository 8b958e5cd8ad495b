#include "model/ActionOutcome.h"

#include "model/KeyNames.h"

// Apart from the rest of the type: naming a key needs the keyboard layout, which the
// command-line client, which only encodes outcomes, must not load.
namespace tavlin {

std::string ActionOutcome::description() const {
    if (const auto* k = get<key>()) return "\"" + keyName(k->keyCode) + "\" typed";
    return "\"" + get<message>()->text + "\" received";
}

std::string ActionOutcome::shownText() const {
    if (const auto* k = get<key>()) return "\"" + shownKeyName(k->keyCode) + "\" typed";
    return description();
}

} // namespace tavlin
