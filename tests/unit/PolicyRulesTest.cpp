#include "core/PolicyRules.h"
#include "core/SettingsRules.h"

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
    // The warning: one of the Options choices, or all bits set for none.
    EXPECT_EQ(PolicyWarnMinutes(0xFFFFFFFFu, 5u), kWarnOff);
    EXPECT_EQ(PolicyWarnMinutes(3u, 15u), 15);
    EXPECT_EQ(PolicyWarnMinutes(0u, 5u), 0);
    EXPECT_EQ(PolicyWarnMinutes(0xFFFFFFFEu, std::nullopt), std::nullopt);
}
