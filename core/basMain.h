// Start-up, the settings globals, the tray icon service and system helpers.
#pragma once

#include "core/SettingsRules.h"
#include "core/win32.h"

#include <cstdint>
#include <string>
#include <string_view>

// The program folder, always ending in a backslash.
extern std::wstring g_strAppPath;
// Full path of OUTLOOK.EXE from the App Paths registry entry, or empty.
extern std::wstring g_strOutlookPath;
// The five settings kept in memory and written back when the program ends.
extern wl::Flag g_blnKeepOutlookLoaded;
extern wl::Flag g_blnKeepWordLoaded;
extern std::int16_t g_intStartOutlookIn;
extern wl::Flag g_blnTrackReminders;
extern wl::Flag g_blnTrackOverdueTasks;

// The entry procedure: returns true when the main window was loaded and the
// program runs on; false when another copy runs (nothing was read or shown).
bool Main();

// The folder of an executable path as g_strAppPath holds it: a drive root
// keeps its one backslash, any other folder gets one appended.
std::wstring AppPathOf(std::wstring_view exePath);

// Reads the five settings of the settings file into the globals.
void ReadStartupSettings();

// The text of a registry value (empty name: the key's default value), or empty
// when the key cannot be opened or the value is missing.
std::wstring ReadRegistryString(HKEY root, std::wstring_view keyPath, std::wstring_view valueName);

// Tray icon service. Each owner window has at most one icon, identifier 1,
// whose mouse messages come back to it as WM_MOUSEMOVE with the message in lParam.
inline constexpr UINT kTrayCallbackMessage = WM_MOUSEMOVE;
inline constexpr UINT kTrayIconId = 1;

// Each returns what the shell answered; the program itself does not look.
bool ShowTrayIcon(HWND owner, const std::wstring& iconFile, const std::wstring& tip, bool modify = false);
bool RemoveTrayIcon(HWND owner);
bool ShowTrayBalloon(HWND owner, const std::wstring& text, const std::wstring& title, long timeout);
// Adds again every icon the program shows, after the shell restarted, and
// retries adds that failed because the shell was not ready.
void RestoreTrayIcons();
// Removes every icon of the program at once (session end); until OpenTray,
// new icons are not shown, so work that finishes after the session end
// cannot bring one back.
void RemoveAllTrayIcons();
void OpenTray();
// Whether the program shows an icon for the owner, and with which file and tip.
bool TrayIconShown(HWND owner, std::wstring* iconFile = nullptr, std::wstring* tip = nullptr);

// Returns a new icon handle, or nullptr; the caller owns it.
HICON LoadIconFromFile(const std::wstring& fileName, int iconIndex, bool small = false);

// Windows NT version as major + minor / 100 (10.0 on Windows 10), 0 elsewhere.
double GetWindowsVersion();

// The registered message the shell broadcasts when the taskbar is (re)created.
UINT TaskbarCreatedMessage();
