#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/keys/KeyboardEvents.h"

namespace tavlin {

// Shares the one hot-key registrar of the process among several owners of hot keys (the leader
// keys, recorded shortcuts), each through a client of its own. A client is a registrar with its
// own identifiers, references and handlers. The hub grabs each combination once, however many
// clients hold it, and reports a press or release to every client holding it, once per client
// (with the identifier of that client's oldest registration), so no client silences another.
// A client clearing its handlers or hot keys leaves the others alone. Main thread only.
class HotKeyHub {
public:
    // Clients made before a registrar is set refuse registrations (status -1).
    explicit HotKeyHub(HotKeyRegistrar* registrar = nullptr);
    // Ungrabs what the clients still hold; the clients go with the hub.
    ~HotKeyHub();
    HotKeyHub(const HotKeyHub&) = delete;
    HotKeyHub& operator=(const HotKeyHub&) = delete;

    // Drops every client's hot keys (ungrabbing them from the old registrar), then uses the new
    // one. The owners of the clients are expected to have emptied them first.
    void setRegistrar(HotKeyRegistrar* registrar);
    HotKeyRegistrar* registrar() const { return registrar_; }

    // A new client, owned by the hub and valid as long as it.
    HotKeyRegistrar& addClient();

    // How many combinations the registrar holds for the clients.
    std::size_t grabCount() const { return grabs_.size(); }

private:
    class Client;
    struct Grab {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        std::uint32_t identifier; // ours, given to the registrar
        HotKeyRegistrar::Reference reference;
    };

    HotKeyRegistrar::Registration acquire(std::uint32_t keyCode, std::uint32_t modifiers);
    void releaseIfUnused(std::uint32_t keyCode, std::uint32_t modifiers);
    void dispatch(std::uint32_t identifier, bool pressed);
    void installHandlers();

    HotKeyRegistrar* registrar_ = nullptr;
    std::vector<std::unique_ptr<Client>> clients_;
    std::vector<Grab> grabs_;
    std::uint32_t lastIdentifier_ = 0;
};

} // namespace tavlin
