#pragma once

// Tests that need an X display or a session bus skip themselves when there is none, so a bare
// `ctest` on a machine without them still runs the rest. scripts/test.sh provides both and sets
// TAVLIN_TEST_REQUIRE_DESKTOP=1: then a missing display or bus is a failure, and a broken Xvfb
// or bus set-up cannot let CI pass with those tests skipped.

#include <cstdlib>
#include <string_view>

#include <gtest/gtest.h>

namespace tavlin::test {

inline bool desktopRequired() {
    const char* value = std::getenv("TAVLIN_TEST_REQUIRE_DESKTOP");
    return value != nullptr && std::string_view(value) == "1";
}

} // namespace tavlin::test

// Skips the current test (from the test or its SetUp) for want of a display or bus, or fails it
// when the run requires them. `reason` may be a chain of `<<` operands.
#define TAVLIN_SKIP_WITHOUT_DESKTOP(reason)                                                                                      \
    do {                                                                                                                         \
        if (::tavlin::test::desktopRequired()) {                                                                                 \
            GTEST_FAIL() << reason << " (required: TAVLIN_TEST_REQUIRE_DESKTOP=1)";                                              \
        }                                                                                                                        \
        GTEST_SKIP() << reason;                                                                                                  \
    } while (false)
