// The test program: one single-threaded apartment, as in the program itself.
#include "core/win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "client/HangWatchListener.h"

int wmain(int argc, wchar_t** argv)
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    // Well inside the test driver's limit, so a hang reports what it waited on.
    testing::UnitTest::GetInstance()->listeners().Append(new standin::HangWatchListener(120000));
    return RUN_ALL_TESTS();
}
