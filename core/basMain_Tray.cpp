// The tray icon service: one icon per owner window, identifier 1.
#include "basMain.h"

#include "core/Conversions.h"

#include <shellapi.h>

#include <map>

namespace {

bool g_trayClosed = false;  // the session is ending: no new icons

// What the program shows for one owner, kept so the icon can be added again
// unchanged after the shell restarts, and so its image can be released.
struct TrayEntry {
    wl::UniqueIcon icon;
    std::wstring iconFile;
    std::wstring tip;
    bool shown = false;  // false: the add failed and waits for the shell
};

std::map<HWND, TrayEntry>& Entries()
{
    static std::map<HWND, TrayEntry> entries;
    return entries;
}

// The record of the first tray interface: image, tip and callback.
NOTIFYICONDATAW IconRecord(HWND owner, HICON icon, const std::wstring& tip)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = icon;
    // 64 characters with the terminating NUL: a tip of up to 63 shows whole.
    std::wstring text = wl::CutText(tip, 63);
    text.copy(data.szTip, text.size());
    return data;
}

bool Notify(DWORD message, NOTIFYICONDATAW& data) { return ::Shell_NotifyIconW(message, &data) != FALSE; }

}  // namespace

bool ShowTrayIcon(HWND owner, const std::wstring& iconFile, const std::wstring& tip, bool modify)
{
    if (g_trayClosed) return false;
    wl::UniqueIcon icon(LoadIconFromFile(iconFile, 0, true));
    NOTIFYICONDATAW data = IconRecord(owner, icon.get(), tip);
    auto& entries = Entries();
    auto found = entries.find(owner);

    if (modify) {
        if (found == entries.end()) return false;  // no icon: nothing to change
        TrayEntry& entry = found->second;
        if (entry.shown && !Notify(NIM_MODIFY, data)) return false;
        // A pending add takes the new look when it is retried.
        entry.icon = std::move(icon);
        entry.iconFile = iconFile;
        entry.tip = tip;
        return entry.shown;
    }

    if (found != entries.end() && found->second.shown) return false;  // adding twice changes nothing
    TrayEntry& entry = entries[owner];
    entry.shown = Notify(NIM_ADD, data);
    entry.icon = std::move(icon);
    entry.iconFile = iconFile;
    entry.tip = tip;
    return entry.shown;
}

bool RemoveTrayIcon(HWND owner)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner;
    data.uID = kTrayIconId;
    auto& entries = Entries();
    auto found = entries.find(owner);
    bool shown = found != entries.end() && found->second.shown;
    bool deleted = (shown || found == entries.end()) && Notify(NIM_DELETE, data);
    // The image goes once the shell no longer shows it.
    if (found != entries.end()) entries.erase(found);
    return deleted;
}

bool ShowTrayBalloon(HWND owner, const std::wstring& text, const std::wstring& title, long timeout)
{
    if (GetWindowsVersion() < 5.0) return false;
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;  // the layout that brought balloons
    data.hWnd = owner;
    data.uID = kTrayIconId;
    data.uFlags = NIF_INFO;
    std::wstring info = wl::CutText(text, 255);
    info.copy(data.szInfo, info.size());
    std::wstring infoTitle = wl::CutText(title, 63);
    infoTitle.copy(data.szInfoTitle, infoTitle.size());
    data.uTimeout = static_cast<UINT>(timeout);
    data.dwInfoFlags = NIIF_NONE;
    return Notify(NIM_MODIFY, data);
}

void RestoreTrayIcons()
{
    for (auto& [owner, entry] : Entries()) {
        if (!::IsWindow(owner)) continue;
        NOTIFYICONDATAW data = IconRecord(owner, entry.icon.get(), entry.tip);
        entry.shown = Notify(NIM_ADD, data) || Notify(NIM_MODIFY, data);
    }
}

void RemoveAllTrayIcons()
{
    auto& entries = Entries();
    while (!entries.empty()) RemoveTrayIcon(entries.begin()->first);
    g_trayClosed = true;
}

void OpenTray() { g_trayClosed = false; }

bool TrayIconShown(HWND owner, std::wstring* iconFile, std::wstring* tip)
{
    auto& entries = Entries();
    auto found = entries.find(owner);
    if (found == entries.end()) return false;
    if (iconFile) *iconFile = found->second.iconFile;
    if (tip) *tip = found->second.tip;
    return found->second.shown;
}

HICON LoadIconFromFile(const std::wstring& fileName, int iconIndex, bool small)
{
    UINT count = ::ExtractIconExW(fileName.c_str(), -1, nullptr, nullptr, 0);
    if (count == 0 || count == UINT_MAX) return nullptr;
    HICON large = nullptr;
    HICON smallIcon = nullptr;
    if (::ExtractIconExW(fileName.c_str(), iconIndex, &large, &smallIcon, 1) == 0) return nullptr;
    // Only one of the two is handed out; the other is released here.
    wl::UniqueIcon keepLarge(large), keepSmall(smallIcon);
    return small ? keepSmall.release() : keepLarge.release();
}

double GetWindowsVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    (void)::GetVersionExW(&info);
    if (info.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0.0;
    return info.dwMajorVersion + info.dwMinorVersion / 100.0;
}
