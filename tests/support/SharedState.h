#pragma once

// A test program runs all its tests in one process, in any order (CTest runs one per process):
// every test starts from the same process-wide state, whatever ran before it. tests/TestMain.cpp
// gives each test a home of its own, puts the environment back, uninstalls the shared services
// a test installed and forgets the user-defaults suites; state that only some programs have
// registers its own reset here.

#include <functional>

namespace tavlin::test {

// Runs `reset` after every later test, once the test's fixture is gone, in registration order.
void resetAfterEachTest(std::function<void()> reset);

} // namespace tavlin::test
