#include "core/PolicyRules.h"

#include <gtest/gtest.h>

using namespace wl;

TEST(PolicyRules, TheComputersValueWinsAndABadValueCountsAsAbsent)
{
    EXPECT_EQ(PolicyFlag(0u, 1u), false);
    EXPECT_EQ(PolicyFlag(std::nullopt, 1u), true);
    EXPECT_EQ(PolicyFlag(2u, 0u), false);  // the computer's 2 is no flag: the user's applies
    EXPECT_EQ(PolicyFlag(2u, std::nullopt), std::nullopt);

    EXPECT_EQ(PolicyStartFolder(13u, 9u), 13);
    EXPECT_EQ(PolicyStartFolder(7u, 9u), 9);  // 7 is no start folder
    EXPECT_EQ(PolicyStartFolder(1u, std::nullopt), std::nullopt);
    EXPECT_EQ(PolicyStartFolder(0u, 9u), 0);  // Outlook Today is a folder like any other

    EXPECT_EQ(PolicyLoadDelayMs(600u, 5u), 600'000);
    EXPECT_EQ(PolicyLoadDelayMs(601u, 5u), 5'000);
    EXPECT_EQ(PolicyLoadDelayMs(0xFFFFFFFFu, std::nullopt), std::nullopt);
    EXPECT_EQ(PolicyLoadDelayMs(std::nullopt, 0u), 0);
}
