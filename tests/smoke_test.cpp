#include <gtest/gtest.h>
#include <zlib.h>
TEST(Smoke, Zlib) { EXPECT_NE(zlibVersion()[0], 0); }
