// The program's registry access: reading a text value, and its entry for starting at logon.
#pragma once

#include "core/win32.h"

#include <optional>
#include <string>
#include <string_view>

// The text of a registry value (empty name: the key's default value), or empty
// when the key cannot be opened or the value is missing.
// view: 0 for the caller's own, or KEY_WOW64_64KEY / KEY_WOW64_32KEY.
std::wstring ReadRegistryString(HKEY root, std::wstring_view keyPath, std::wstring_view valueName, REGSAM view = 0);

// Start at logon: the value "Wendlock" under the user's
// Software\Microsoft\Windows\CurrentVersion\Run, holding the program's full
// path in quotes, which the program writes; an installation for every user
// may write the same under HKEY_LOCAL_MACHINE. Task Manager and Settings turn
// an entry off without touching it, by a mark of their own under
// ...\Explorer\StartupApproved\Run beside it.
enum class LogonStart {
    Off,
    ThisUser,   // the user's own entry names this copy (exePath)
    EveryUser,  // the installation's entry for every user does: not the user's to remove
};
// How Windows starts this copy at logon, as Task Manager shows it.
LogonStart LogonStartOf(const std::wstring& exePath);
// Writes the user's entry for this copy (replacing one of another copy) and
// takes away an "off" mark, or removes the entry when it names this copy.
// Nothing to do to start a copy the entry for every user starts. Whether the
// registry took the change.
bool SetStartAtLogon(const std::wstring& exePath, bool start);
// Makes this copy's start at logon what the policy says, when one says.
void HoldStartAtLogonPolicy(const std::optional<bool>& policy, const std::wstring& exePath);
