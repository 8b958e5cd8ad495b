#include "flateditor/core/LeaderKeySuspension.h"

#include "engine/ShellServices.h"

namespace tavlin::flateditor {

LeaderKeySuspension::LeaderKeySuspension()
    : LeaderKeySuspension(Switches{[] {
                                       if (const auto& unregister = ShellServices::shared().unregisterAllLeaderKeys) unregister();
                                   },
                                   [] {
                                       if (const auto& reload = ShellServices::shared().reloadLeaderKeys) reload(false);
                                   }}) {}

LeaderKeySuspension::LeaderKeySuspension(Switches switches) : switches_(std::move(switches)) {}

void LeaderKeySuspension::recorderFocusChanged(bool focused) {
    if (closed_ || focused == suspended_) return;
    suspended_ = focused;
    if (focused) {
        if (switches_.unregisterAll) switches_.unregisterAll();
    } else if (switches_.reload) {
        switches_.reload();
    }
}

void LeaderKeySuspension::sheetClosed(bool reload) {
    if (closed_) return;
    closed_ = true;
    const bool reloadNow = reload || suspended_;
    suspended_ = false;
    if (reloadNow && switches_.reload) switches_.reload();
}

} // namespace tavlin::flateditor
