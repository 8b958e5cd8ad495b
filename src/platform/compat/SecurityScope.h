#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/FileUrl.h"

// Starting and stopping access to a granted item. Linux has no sandbox, so nothing is opened or
// closed here: each scope is a counter per granted path, kept so that callers balance their
// starts and stops exactly as a sandboxed build must, and so that tests can check it.
namespace tavlin::securityScope {

// Opens one access through the URL's security scope. False, and nothing opened, when the URL
// carries no scope (it did not come from a bookmark or the open panel).
bool startAccessing(const FileUrl& url);
// Closes one access opened through the URL's scope. A stop that matches no open access does
// nothing.
void stopAccessing(const FileUrl& url);

// Open accesses per scope path; scopes with none are absent.
std::map<std::string, int> openAccesses();
int openAccessCount(const std::string& scopePath);

// Every start and stop call made while it lives, in order, whatever its effect.
class Recording {
public:
    struct Call {
        enum class Kind { start, stop } kind;
        std::string path;                 // the URL's path
        std::optional<std::string> scope; // the scope it went through, if any
        bool started = false;             // a start's answer; false for stops
    };

    Recording();
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    std::vector<Call> calls() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

} // namespace tavlin::securityScope
