// The test program's entry point (the build links with -municode: wmain).
#include "core/Dispatch.h"

#include <gtest/gtest.h>

#include "client/HangWatchListener.h"

int wmain(int argc, wchar_t** argv)
{
    // The contract is what the stand-in answers to each call: a rejected
    // call must reach the test as it is, not be tried again by the helper.
    wl::SetBusyRetry(0, 0);
    ::testing::InitGoogleTest(&argc, argv);
    // Well inside the test driver's limit, so a hang reports what it waited on.
    ::testing::UnitTest::GetInstance()->listeners().Append(new standin::HangWatchListener(100000));
    return RUN_ALL_TESTS();
}
