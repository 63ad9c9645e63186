// The program's folders and the six settings it keeps in memory, read from
// the settings file at start-up and written back when the program ends.
#pragma once

#include "core/Policies.h"
#include "core/basINI.h"

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
// A card for each reminder, besides the icon, balloon and list.
extern bool g_blnShowReminderCard;
// The program's own warning before every meeting: how many minutes before
// its start, or wl::kWarnOff (-1); and whether meetings shown as free or
// tentative are left out of the tip, the Today list and the warning.
extern int g_intWarnMinutesBefore;
extern bool g_blnLeaveOutFreeMeetings;

// The folder of an executable path as g_strAppPath holds it: a drive root
// keeps its one backslash, any other folder gets one appended.
std::wstring AppPathOf(std::wstring_view exePath);

// Where the settings file belongs: the program folder when the user may write
// there (a portable copy), else the per-user folder %APPDATA%\Wendlock\,
// created when it is chosen. A standard user cannot write beside a program in
// Program Files, and nothing redirects the write (the manifest turns UAC's
// file virtualization off), so settings kept there would be lost; so would
// those of a settings file that is read-only or locked in a folder the user
// may write. The per-user copy starts as a copy of such a file.
std::wstring ChooseSettingsFolder(const std::wstring& programFolder);
// Whether the user may create files in the folder: found by creating one,
// since access rights count, not the read-only attribute.
bool FolderIsWritable(const std::wstring& folder);
// Whether the program may write the file (true when there is none yet):
// found by opening it for writing, which a read-only mark, the access rights
// and another program holding it locked all refuse.
bool FileIsWritable(const std::wstring& path);
// The per-user folder of the program's files, ending in a backslash.
std::wstring PerUserFolder();
// The links file is the user's: "newlnks.ini", which no installer knows and
// so no update or removal touches. The release carries an example under a
// name of its own, which an update may replace at will.
inline constexpr wchar_t kLinksFileName[] = L"newlnks.ini";
inline constexpr wchar_t kLinksExampleName[] = L"newlnks.example.ini";
// Gives the user a links file to edit: when neither the settings folder nor
// the program folder holds one, the example beside the program is copied
// into the settings folder. An existing file is never replaced.
void ProvideLinksFile();
// Section "settings" of the links file: the settings folder's, else one
// beside the program, else the example itself (no copy could be made).
IniPlace LinksFile();

// The settings set by Group Policy, read with the settings at start-up.
extern SettingsPolicy g_policy;

// Reads the six settings from the settings file into the globals, and the
// policies over them.
void ReadStartupSettings();
// Reads the policies again, after Group Policy refreshed them while the
// program ran. A setting that became managed takes the policy's value (the
// user's own choice is written to the settings file first, which keeps it);
// one no longer managed gets the user's choice back from the file. Returns
// whether any policy changed.
bool RereadSettingsPolicy();
// The two settings read where they are used: "DisplayOutlookAtStart", and
// "LoadDelay" in milliseconds as start-up takes it; a policy wins over both.
bool DisplayOutlookAtStart();
std::int32_t LoadDelayMs();
// Writes them back (but those a policy sets: the file keeps the user's own
// choice), in a fixed order: DontKeepOlLoaded, KeepWordLoaded,
// StartOutlookIn, DontTrackReminders, DontTrackOverdueTasks, DontShowReminderCard. When the file
// cannot be written, they go to the per-user folder (a copy of the file),
// which becomes the settings folder.
void SaveStartupSettings();
