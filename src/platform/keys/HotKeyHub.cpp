#include "platform/keys/HotKeyHub.h"

#include <algorithm>

namespace tavlin {

class HotKeyHub::Client final : public HotKeyRegistrar {
public:
    explicit Client(HotKeyHub& hub) : hub_(hub) {}

    struct HotKey {
        Reference reference;
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        std::uint32_t identifier;
    };

    Registration registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t identifier) override {
        const auto registration = hub_.acquire(keyCode, modifiers);
        if (registration.status != 0) return {registration.status, 0};
        const Reference reference = ++lastReference_;
        hotKeys_.push_back({reference, keyCode, modifiers, identifier});
        return {0, reference};
    }

    void unregisterHotKey(Reference reference) override {
        const auto it = std::find_if(hotKeys_.begin(), hotKeys_.end(), [&](const HotKey& h) { return h.reference == reference; });
        if (it == hotKeys_.end()) return;
        const HotKey gone = *it;
        hotKeys_.erase(it);
        hub_.releaseIfUnused(gone.keyCode, gone.modifiers);
    }

    void setHandlers(Handler pressed, Handler released) override {
        pressed_ = std::move(pressed);
        released_ = std::move(released);
    }

    bool isHeldByAnotherProgram(std::uint32_t keyCode, std::uint32_t modifiers) override {
        return hub_.registrar_ && hub_.registrar_->isHeldByAnotherProgram(keyCode, modifiers);
    }

    bool holds(std::uint32_t keyCode, std::uint32_t modifiers) const { return oldest(keyCode, modifiers) != nullptr; }

    // The identifier of the oldest registration of the combination stands for it.
    const HotKey* oldest(std::uint32_t keyCode, std::uint32_t modifiers) const {
        const auto it = std::find_if(hotKeys_.begin(), hotKeys_.end(),
                                     [&](const HotKey& h) { return h.keyCode == keyCode && h.modifiers == modifiers; });
        return it == hotKeys_.end() ? nullptr : &*it;
    }

    void report(std::uint32_t keyCode, std::uint32_t modifiers, bool pressed) const {
        const HotKey* hotKey = oldest(keyCode, modifiers);
        if (!hotKey) return;
        // A copy: the handler may replace the handlers or the hot keys.
        const Handler handler = pressed ? pressed_ : released_;
        if (handler) handler(hotKey->identifier);
    }

    void forgetAll() { hotKeys_.clear(); }

private:
    HotKeyHub& hub_;
    std::vector<HotKey> hotKeys_; // in registration order
    Reference lastReference_ = 0;
    Handler pressed_;
    Handler released_;
};

HotKeyHub::HotKeyHub(HotKeyRegistrar* registrar) : registrar_(registrar) { installHandlers(); }

HotKeyHub::~HotKeyHub() { setRegistrar(nullptr); }

void HotKeyHub::installHandlers() {
    if (!registrar_) return;
    registrar_->setHandlers([this](std::uint32_t identifier) { dispatch(identifier, true); },
                            [this](std::uint32_t identifier) { dispatch(identifier, false); });
}

void HotKeyHub::setRegistrar(HotKeyRegistrar* registrar) {
    if (registrar == registrar_) return;
    for (auto& client : clients_) client->forgetAll();
    const auto grabs = std::move(grabs_);
    grabs_.clear();
    if (registrar_) {
        for (const auto& grab : grabs) registrar_->unregisterHotKey(grab.reference);
        registrar_->setHandlers(nullptr, nullptr);
    }
    registrar_ = registrar;
    installHandlers();
}

HotKeyRegistrar& HotKeyHub::addClient() {
    clients_.push_back(std::make_unique<Client>(*this));
    return *clients_.back();
}

HotKeyRegistrar::Registration HotKeyHub::acquire(std::uint32_t keyCode, std::uint32_t modifiers) {
    const bool grabbed = std::any_of(grabs_.begin(), grabs_.end(),
                                     [&](const Grab& g) { return g.keyCode == keyCode && g.modifiers == modifiers; });
    if (grabbed) return {0, 0};
    if (!registrar_) return {-1, 0};
    const std::uint32_t identifier = ++lastIdentifier_;
    const auto registration = registrar_->registerHotKey(keyCode, modifiers, identifier);
    if (registration.status != 0 || registration.reference == 0) return {registration.status ? registration.status : -1, 0};
    grabs_.push_back({keyCode, modifiers, identifier, registration.reference});
    return {0, 0};
}

void HotKeyHub::releaseIfUnused(std::uint32_t keyCode, std::uint32_t modifiers) {
    if (std::any_of(clients_.begin(), clients_.end(), [&](const auto& c) { return c->holds(keyCode, modifiers); })) return;
    const auto it = std::find_if(grabs_.begin(), grabs_.end(),
                                 [&](const Grab& g) { return g.keyCode == keyCode && g.modifiers == modifiers; });
    if (it == grabs_.end()) return;
    const auto reference = it->reference;
    grabs_.erase(it);
    if (registrar_) registrar_->unregisterHotKey(reference);
}

void HotKeyHub::dispatch(std::uint32_t identifier, bool pressed) {
    const auto it = std::find_if(grabs_.begin(), grabs_.end(), [&](const Grab& g) { return g.identifier == identifier; });
    if (it == grabs_.end()) return;
    const std::uint32_t keyCode = it->keyCode, modifiers = it->modifiers;
    // Clients are never removed, so indices stay valid while handlers change hot keys.
    for (std::size_t i = 0; i < clients_.size(); ++i) clients_[i]->report(keyCode, modifiers, pressed);
}

} // namespace tavlin
