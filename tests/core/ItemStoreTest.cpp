// Item store: sorted insertion, record ownership, deletion and sorting of children.
#include <gtest/gtest.h>

#include "ui/ItemStore.h"

TEST(CompareLabels, IgnoresAsciiCaseThenUsesBytes) {
    EXPECT_LT(CompareLabels("alpha", "Beta"), 0);
    EXPECT_GT(CompareLabels("beta", "Alpha"), 0);
    EXPECT_LT(CompareLabels("Data", "data"), 0);  // equal ignoring case: byte order decides
    EXPECT_LT(CompareLabels("abc", "abcd"), 0);
    EXPECT_EQ(CompareLabels("same", "same"), 0);
}
