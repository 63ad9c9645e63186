// The program's folders and the five settings it keeps in memory, read from
// the settings file at start-up and written back when the program ends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The program folder, always ending in a backslash: the icon files and the
// example links file lie here.
extern std::wstring g_strAppPath;
// Full path of OUTLOOK.EXE from the App Paths registry entry, or empty.
extern std::wstring g_strOutlookPath;

extern bool g_blnKeepOutlookLoaded;
extern bool g_blnKeepWordLoaded;
// An Outlook default-folder number (0: Outlook Today), as the file holds it.
extern std::int16_t g_intStartOutlookIn;
extern bool g_blnTrackReminders;
extern bool g_blnTrackOverdueTasks;

// The folder of an executable path as g_strAppPath holds it: a drive root
// keeps its one backslash, any other folder gets one appended.
std::wstring AppPathOf(std::wstring_view exePath);

// Reads the five settings from the settings file into the globals.
void ReadStartupSettings();
// Writes them back, in the order the file has always had them.
void SaveStartupSettings();
