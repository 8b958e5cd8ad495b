#include <gtest/gtest.h>
#include "platform/Uuid.h"
TEST(Smoke, UuidIsUpperCase) { EXPECT_EQ(tavlin::Uuid::random().string().size(), 36u); }
