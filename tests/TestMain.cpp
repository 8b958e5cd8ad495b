#include <gtest/gtest.h>

#include "platform/KeyboardLayout.h"

// Key names and the order of key patterns follow the current layout; the suites expect the
// US layout whatever the machine's default is.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    tavlin::setCurrentKeyboardLayout(tavlin::KeyboardLayout::fromNames({.layout = "us"}));
    return RUN_ALL_TESTS();
}
