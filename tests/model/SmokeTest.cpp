#include <gtest/gtest.h>
#include "model/KeyNames.h"
TEST(Smoke, KeyNameOfA) { EXPECT_EQ(tavlin::keyName(0), "A"); }
