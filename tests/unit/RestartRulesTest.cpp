#include "core/RestartRules.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kCritical = 0x40000000;  // ENDSESSION_CRITICAL
constexpr std::uint32_t kLogoff = 0x80000000;    // ENDSESSION_LOGOFF

}  // namespace

// Registered for a restart only while an installer closes the program; an
// ordinary shutdown, restart or logoff would start it at the next sign-in.
TEST(RestartRules, OnlyAnInstallersCloseKeepsTheRestart)
{
    EXPECT_FALSE(wl::RestartWantedAfter(0));  // shutdown or restart from Start
    EXPECT_FALSE(wl::RestartWantedAfter(kLogoff));
    EXPECT_FALSE(wl::RestartWantedAfter(kCritical));
    EXPECT_FALSE(wl::RestartWantedAfter(kLogoff | kCritical));
    EXPECT_TRUE(wl::RestartWantedAfter(wl::kEndSessionCloseApp));
    EXPECT_TRUE(wl::RestartWantedAfter(wl::kEndSessionCloseApp | kCritical));
}
