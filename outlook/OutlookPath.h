// Where Outlook is installed, as the registry says.
#pragma once

#include <string>

// The full path of OUTLOOK.EXE from its App Paths entry, in the 64-bit view
// and then the 32-bit one (where a 32-bit Office registers it), without
// quotes; empty when Outlook is not registered.
std::wstring ReadOutlookPath();
