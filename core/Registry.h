// The program's only registry access: reading one text value.
#pragma once

#include "core/win32.h"

#include <string>
#include <string_view>

// The text of a registry value (empty name: the key's default value), or empty
// when the key cannot be opened or the value is missing.
// view: 0 for the caller's own, or KEY_WOW64_64KEY / KEY_WOW64_32KEY.
std::wstring ReadRegistryString(HKEY root, std::wstring_view keyPath, std::wstring_view valueName, REGSAM view = 0);

// The full path of OUTLOOK.EXE from its App Paths entry, in the 64-bit view
// and then the 32-bit one (where a 32-bit Office registers it), without
// quotes; empty when Outlook is not registered.
std::wstring ReadOutlookPath();

// Start at logon: the value "Wendlock" under the user's
// Software\Microsoft\Windows\CurrentVersion\Run, holding the program's full
// path in quotes. The only registry value the program ever writes.
// Whether it is there and names this copy of the program (exePath).
bool StartsAtLogon(const std::wstring& exePath);
// Writes it for this copy (replacing one of another copy), or removes it
// when it names this copy. Whether the registry took the change.
bool SetStartAtLogon(const std::wstring& exePath, bool start);
