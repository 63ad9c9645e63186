// The tray icon service: the program's icons in the notification area, their
// balloons, and the popup menu a right click opens.
#pragma once

#include "core/win32.h"

#include <optional>
#include <string>

// An icon of the program: the window its mouse messages go to, and its
// identifier among that window's icons.
struct TrayIcon {
    HWND owner = nullptr;
    UINT id = 0;
    friend bool operator==(const TrayIcon&, const TrayIcon&) = default;
};

// Each returns what the shell answered; the program itself does not look.
// Adding an icon that exists changes nothing; changing one that does not
// exist changes nothing either. An add the shell refuses is tried again on a
// timer for a while (the shell is often not ready at logon, and a slow one may
// add the icon after it answered no: the retry then takes that icon over).
bool ShowTrayIcon(TrayIcon icon, const std::wstring& iconFile, const std::wstring& tip, bool modify = false);
bool RemoveTrayIcon(TrayIcon icon);
bool ShowTrayBalloon(TrayIcon icon, const std::wstring& text, const std::wstring& title, UINT timeoutMs);

// Adds again every icon the program shows, after the shell restarted, and
// retries adds that failed because the shell was not ready.
void RestoreTrayIcons();
// Loads every icon's image again at the size for the tray's DPI, after a
// change of scale (WM_DPICHANGED).
void RefreshTrayImages();
// Removes every icon of the program at once (session end); until OpenTray,
// new icons are not shown, so work that finishes after the session end
// cannot bring one back.
void RemoveAllTrayIcons();
void OpenTray();
// What the program last told the shell of one of its icons, the texts as the
// shell was handed them, as the service keeps it to add the icon again unchanged.
struct TrayIconRecord {
    bool shown = false;  // false: the add failed and waits for the shell
    std::wstring iconFile;
    std::wstring tip;
    int imageSize = 0;  // the width of the image handed to the shell
};
class TrayRecords {
    friend struct Inspector;  // the tests' one view inside the program
    static bool Find(TrayIcon icon, TrayIconRecord& record);
};

// The registered message the shell broadcasts when the taskbar is (re)created.
UINT TaskbarCreatedMessage();

// Opens a popup menu at the pointer for a click on an icon of the owner and
// returns the command chosen, 0 for none. The owner comes to the foreground
// first and a WM_NULL follows, or the menu would stay open when the user
// clicks elsewhere, and the next one might not open. The menu drops the way
// the user's menus drop (left or right handed).
UINT TrackTrayPopup(HWND owner, HMENU menu, UINT defaultCommand);
