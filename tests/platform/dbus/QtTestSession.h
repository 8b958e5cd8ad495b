#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace tavlin::test {

// The address of the private bus that this test program's QCoreApplication talks to.
const std::string& qtTestBusAddress();

// Turns the Qt event loop until `done` answers true or the time is up; answers `done()`.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Turns the Qt event loop for a while, for checks that something does not happen.
void spinFor(std::chrono::milliseconds duration);

} // namespace tavlin::test
