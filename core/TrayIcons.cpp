#include "TrayIcons.h"

#include "core/AppMessages.h"
#include "core/Conversions.h"

#include <shellapi.h>
#include <shellscalingapi.h>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace {

bool g_trayClosed = false;  // the session is ending: no new icons

// An add the shell refused (at logon it is often not ready, and no
// TaskbarCreated may follow) is tried again every 2 s for 2 minutes.
constexpr UINT kRetryEveryMs = 2'000;
constexpr ULONGLONG kRetryForMs = 120'000;
UINT_PTR g_retryTimer = 0;
ULONGLONG g_retryStarted = 0;

// What the program shows for one icon, kept so the icon can be added again
// unchanged after the shell restarts, and so its image can be released.
struct TrayEntry {
    wl::UniqueIcon image;
    int imageSize = 0;  // its width in pixels
    std::wstring iconFile;
    std::wstring tip;
    bool shown = false;  // false: the add failed and waits for the shell
};

using Key = std::pair<HWND, UINT>;

std::map<Key, TrayEntry>& Entries()
{
    static std::map<Key, TrayEntry> entries;
    return entries;
}

Key KeyOf(TrayIcon icon) { return {icon.owner, icon.id}; }

// The notification area is on the primary monitor's taskbar: its icons are
// drawn at that monitor's DPI (with per-monitor awareness, the system DPI
// taken at start would be wrong after a change of scale or of monitor).
UINT TrayDpi()
{
    HMONITOR primary = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    UINT x = 0, y = 0;
    if (primary && SUCCEEDED(::GetDpiForMonitor(primary, MDT_EFFECTIVE_DPI, &x, &y)) && x) return x;
    return ::GetDpiForSystem();
}

// The width of an icon's image in pixels; 0 for none.
int IconWidth(HICON icon)
{
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    (void)::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// A tray image from an .ico file, at the small icon size of the tray's DPI:
// LoadImage picks the file's image of that size (or scales the nearest).
// width: the image's width, 0 without one.
wl::UniqueIcon LoadTrayImage(const std::wstring& iconFile, int& width)
{
    const UINT dpi = TrayDpi();
    wl::UniqueIcon image(static_cast<HICON>(
        ::LoadImageW(nullptr, iconFile.c_str(), IMAGE_ICON, ::GetSystemMetricsForDpi(SM_CXSMICON, dpi),
                     ::GetSystemMetricsForDpi(SM_CYSMICON, dpi), LR_LOADFROMFILE)));
    width = IconWidth(image.get());
    return image;
}

// The record of the first tray interface: image, tip and callback.
NOTIFYICONDATAW IconRecord(TrayIcon icon, HICON image, const std::wstring& tip)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = icon.owner;
    data.uID = icon.id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = wl::kTrayCallback;
    data.hIcon = image;
    // 64 characters with the terminating NUL: a tip of up to 63 shows whole.
    std::wstring text = wl::CutText(tip, 63);
    text.copy(data.szTip, text.size());
    return data;
}

// Telling the shell is a sent message, during which this thread handles
// messages sent to it: a session end may take every icon down meanwhile.
// So no entry is held across a call to the shell; each is looked up again.
bool Notify(DWORD message, NOTIFYICONDATAW& data) { return ::Shell_NotifyIconW(message, &data) != FALSE; }

void StopRetrying()
{
    if (g_retryTimer) ::KillTimer(nullptr, g_retryTimer);
    g_retryTimer = 0;
}

void RetryLater();

// An add that timed out at a slow shell may still have shown the icon: the
// next add is then refused because the icon exists, and a modify that
// succeeds says the shell has it (and now with this look).
bool AddOrTakeOver(NOTIFYICONDATAW& data) { return Notify(NIM_ADD, data) || Notify(NIM_MODIFY, data); }

// Adds the icons again: the ones still waiting for the shell, or (after a
// restart of the shell) all of them, whether the shell still knows them or
// not. One the shell refuses is tried again later.
void AddAgain(bool onlyPending)
{
    std::vector<Key> keys;
    for (const auto& [key, entry] : Entries())
        if (!onlyPending || !entry.shown) keys.push_back(key);
    bool refused = false;
    for (const Key& key : keys) {
        auto found = Entries().find(key);
        if (found == Entries().end() || !::IsWindow(key.first)) continue;
        NOTIFYICONDATAW data = IconRecord({key.first, key.second}, found->second.image.get(), found->second.tip);
        bool shown = AddOrTakeOver(data);
        found = Entries().find(key);
        if (found == Entries().end()) continue;
        found->second.shown = shown;
        refused = refused || !shown;
    }
    if (refused && !onlyPending) RetryLater();
}

void CALLBACK RetryPendingIcons(HWND, UINT, UINT_PTR, DWORD)
{
    AddAgain(true);
    bool pending = false;
    for (const auto& [key, entry] : Entries()) pending = pending || (!entry.shown && ::IsWindow(key.first));
    if (!pending || ::GetTickCount64() - g_retryStarted >= kRetryForMs) StopRetrying();
}

void RetryLater()
{
    if (g_retryTimer) return;
    g_retryStarted = ::GetTickCount64();
    g_retryTimer = ::SetTimer(nullptr, 0, kRetryEveryMs, &RetryPendingIcons);
}

}  // namespace

bool ShowTrayIcon(TrayIcon icon, const std::wstring& iconFile, const std::wstring& tip, bool modify)
{
    if (g_trayClosed) return false;
    int imageSize = 0;
    wl::UniqueIcon image = LoadTrayImage(iconFile, imageSize);
    NOTIFYICONDATAW data = IconRecord(icon, image.get(), tip);
    auto found = Entries().find(KeyOf(icon));

    if (modify) {
        if (found == Entries().end()) return false;  // no icon: nothing to change
        // An icon still waiting for the shell is added with the new look (or
        // found to be there after all); otherwise the retry takes the new look.
        bool wasShown = found->second.shown;
        bool shown = wasShown ? Notify(NIM_MODIFY, data) : AddOrTakeOver(data);
        if (wasShown && !shown) return false;
        found = Entries().find(KeyOf(icon));
        if (found == Entries().end()) return false;  // taken down meanwhile
        found->second.shown = shown;
        found->second.image = std::move(image);
        found->second.imageSize = imageSize;
        found->second.iconFile = iconFile;
        found->second.tip = data.szTip;
        if (!shown) RetryLater();
        return shown;
    }

    if (found != Entries().end() && found->second.shown) return false;  // adding twice changes nothing
    bool shown = Notify(NIM_ADD, data);
    if (g_trayClosed) {
        // The session ended while the shell was told: no icon may outlive it.
        if (shown) (void)RemoveTrayIcon(icon);
        return false;
    }
    TrayEntry& entry = Entries()[KeyOf(icon)];
    entry.shown = shown;
    entry.image = std::move(image);
    entry.imageSize = imageSize;
    entry.iconFile = iconFile;
    entry.tip = data.szTip;  // as the shell was handed it
    if (!shown) RetryLater();
    return shown;
}

bool RemoveTrayIcon(TrayIcon icon)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = icon.owner;
    data.uID = icon.id;
    // The entry goes first; its image is released once the shell no longer
    // shows it. The delete goes out even for an icon counted as not shown: an
    // add that timed out may have shown it after all.
    std::optional<TrayEntry> entry;
    if (auto found = Entries().find(KeyOf(icon)); found != Entries().end()) {
        entry = std::move(found->second);
        Entries().erase(found);
    }
    return Notify(NIM_DELETE, data);
}

bool ShowTrayBalloon(TrayIcon icon, const std::wstring& text, const std::wstring& title, UINT timeoutMs)
{
    NOTIFYICONDATAW data{};
    // The Vista layout: the shell honours NIIF_RESPECT_QUIET_TIME only in a
    // record of that size. The icon keeps the first version's callback
    // messages, through which keyboard users reach the menu.
    data.cbSize = sizeof(NOTIFYICONDATAW);
    data.hWnd = icon.owner;
    data.uID = icon.id;
    data.uFlags = NIF_INFO;
    std::wstring info = wl::CutText(text, 255);
    info.copy(data.szInfo, info.size());
    std::wstring infoTitle = wl::CutText(title, 63);
    infoTitle.copy(data.szInfoTitle, infoTitle.size());
    data.uTimeout = timeoutMs;
    // No balloon during the user's first hour on a new machine, in presentation
    // mode or with notifications silenced (Windows 7 and later).
    data.dwInfoFlags = NIIF_NONE | NIIF_RESPECT_QUIET_TIME;
    return Notify(NIM_MODIFY, data);
}

void RestoreTrayIcons() { AddAgain(false); }

void RefreshTrayImages()
{
    std::vector<Key> keys;
    for (const auto& [key, entry] : Entries()) keys.push_back(key);
    for (const Key& key : keys) {
        auto found = Entries().find(key);
        if (found == Entries().end()) continue;
        int imageSize = 0;
        wl::UniqueIcon image = LoadTrayImage(found->second.iconFile, imageSize);
        if (imageSize == found->second.imageSize) continue;  // this DPI's size already
        NOTIFYICONDATAW data = IconRecord({key.first, key.second}, image.get(), found->second.tip);
        if (found->second.shown) (void)Notify(NIM_MODIFY, data);
        found = Entries().find(key);
        if (found == Entries().end()) continue;  // taken down meanwhile
        found->second.image = std::move(image);
        found->second.imageSize = imageSize;
    }
}

void RemoveAllTrayIcons()
{
    auto& entries = Entries();
    while (!entries.empty()) RemoveTrayIcon({entries.begin()->first.first, entries.begin()->first.second});
    StopRetrying();
    g_trayClosed = true;
}

void OpenTray() { g_trayClosed = false; }

bool TrayRecords::Find(TrayIcon icon, TrayIconRecord& record)
{
    auto found = Entries().find(KeyOf(icon));
    if (found == Entries().end()) return false;
    record = {found->second.shown, found->second.iconFile, found->second.tip, found->second.imageSize};
    return true;
}

UINT TaskbarCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

UINT TrackTrayPopup(HWND owner, HMENU menu, UINT defaultCommand)
{
    ::SetMenuDefaultItem(menu, defaultCommand, FALSE);
    ::SetForegroundWindow(owner);
    POINT at{};
    ::GetCursorPos(&at);
    UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    UINT chosen = static_cast<UINT>(
        ::TrackPopupMenuEx(menu, align | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
    return chosen;
}
