// The test program: one single-threaded apartment, as in the program itself.
#include "core/win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv)
{
    wl::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
