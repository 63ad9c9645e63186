// The hang watch armed around each test of a test program.
#pragma once

#include "HangWatch.h"

#include <gtest/gtest.h>

#include <string>

namespace standin {

// Arms the watch at each test's start, disarms it at its end.
class HangWatchListener : public ::testing::EmptyTestEventListener {
public:
    explicit HangWatchListener(DWORD afterMs) : m_afterMs(afterMs) {}
    void OnTestStart(const ::testing::TestInfo& info) override
    {
        ArmHangWatch(std::string(info.test_suite_name()) + "." + info.name(), m_afterMs);
    }
    void OnTestEnd(const ::testing::TestInfo&) override { DisarmHangWatch(); }

private:
    DWORD m_afterMs;
};

}  // namespace standin
