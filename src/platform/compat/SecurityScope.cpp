#include "platform/compat/SecurityScope.h"

#include <mutex>

namespace tavlin::securityScope {
namespace {

std::mutex& scopesMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, int>& scopes() {
    static std::map<std::string, int> counts;
    return counts;
}

std::vector<std::shared_ptr<Recording::State>>& recordings() {
    static std::vector<std::shared_ptr<Recording::State>> all;
    return all;
}

} // namespace

struct Recording::State {
    std::vector<Call> calls;
};

namespace {

// Callers hold scopesMutex().
void record(Recording::Call::Kind kind, const FileUrl& url, bool started) {
    for (auto& state : recordings()) state->calls.push_back({kind, url.path(), url.securityScope(), started});
}

} // namespace

bool startAccessing(const FileUrl& url) {
    std::lock_guard lock(scopesMutex());
    bool started = url.securityScope().has_value();
    if (started) ++scopes()[*url.securityScope()];
    record(Recording::Call::Kind::start, url, started);
    return started;
}

void stopAccessing(const FileUrl& url) {
    std::lock_guard lock(scopesMutex());
    record(Recording::Call::Kind::stop, url, false);
    if (!url.securityScope()) return;
    auto found = scopes().find(*url.securityScope());
    if (found == scopes().end()) return;
    if (--found->second == 0) scopes().erase(found);
}

std::map<std::string, int> openAccesses() {
    std::lock_guard lock(scopesMutex());
    return scopes();
}

int openAccessCount(const std::string& scopePath) {
    std::lock_guard lock(scopesMutex());
    auto found = scopes().find(scopePath);
    return found == scopes().end() ? 0 : found->second;
}

Recording::Recording() : state_(std::make_shared<State>()) {
    std::lock_guard lock(scopesMutex());
    recordings().push_back(state_);
}

Recording::~Recording() {
    std::lock_guard lock(scopesMutex());
    std::erase(recordings(), state_);
}

std::vector<Recording::Call> Recording::calls() const {
    std::lock_guard lock(scopesMutex());
    return state_->calls;
}

} // namespace tavlin::securityScope
