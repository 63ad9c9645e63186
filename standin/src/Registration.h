#pragma once

#include <windows.h>

namespace standin {

// Registers Outlook.Application and Word.Application as served by this exe
// (HKLM\Software\Classes: Wine ignores HKCU\Software\Classes), and Outlook's
// App Paths entry. Returns S_OK or the first registry error.
HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace standin
