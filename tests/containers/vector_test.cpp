#include "qxbase.h"

#include <gtest/gtest.h>

TEST(Vector, Smoke) {
    qx::vector<int> v;
    for (int i = 0; i < 100; ++i) v.push_back(i);
    EXPECT_EQ(v.size(), 100);
    EXPECT_EQ(v.capacity(), 128);
    v.insert(v.begin(), 5);
    EXPECT_EQ(v[0], 5);
}
