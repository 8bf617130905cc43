// Host identification from the host's product string.
#include "host/IPlugVST.h"

#include <gtest/gtest.h>

TEST(HostKind, ProductStringsInAnyCapitalisation) {
    EXPECT_EQ(HostKindOfProduct("REAPER"), 1);
    EXPECT_EQ(HostKindOfProduct("Steinberg Cubase 12"), 3);
    EXPECT_EQ(HostKindOfProduct("Live"), 9);
    EXPECT_EQ(HostKindOfProduct("Ardour"), 28);
    EXPECT_EQ(HostKindOfProduct("FL Studio (Fruity Wrapper)"), 7);
    EXPECT_EQ(HostKindOfProduct(""), 0);
    EXPECT_EQ(HostKindOfProduct(nullptr), 0);
    EXPECT_EQ(HostKindOfProduct("Some Other Host"), 0);
    // The table's order decides when a name holds two known words.
    EXPECT_EQ(HostKindOfProduct("cubase reaper bridge"), 3);
    EXPECT_EQ(HostKindOfProduct("Reaper Live"), 1);
}
