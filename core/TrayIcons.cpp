#include "TrayIcons.h"

#include "core/Conversions.h"

#include <shellapi.h>

#include <map>
#include <utility>

namespace {

bool g_trayClosed = false;  // the session is ending: no new icons

// What the program shows for one icon, kept so the icon can be added again
// unchanged after the shell restarts, and so its image can be released.
struct TrayEntry {
    wl::UniqueIcon image;
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

// The record of the first tray interface: image, tip and callback.
NOTIFYICONDATAW IconRecord(TrayIcon icon, HICON image, const std::wstring& tip)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = icon.owner;
    data.uID = icon.id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = image;
    // 64 characters with the terminating NUL: a tip of up to 63 shows whole.
    std::wstring text = wl::CutText(tip, 63);
    text.copy(data.szTip, text.size());
    return data;
}

bool Notify(DWORD message, NOTIFYICONDATAW& data) { return ::Shell_NotifyIconW(message, &data) != FALSE; }

}  // namespace

bool ShowTrayIcon(TrayIcon icon, const std::wstring& iconFile, const std::wstring& tip, bool modify)
{
    if (g_trayClosed) return false;
    wl::UniqueIcon image(LoadIconFromFile(iconFile, 0, true));
    NOTIFYICONDATAW data = IconRecord(icon, image.get(), tip);
    auto& entries = Entries();
    auto found = entries.find(KeyOf(icon));

    if (modify) {
        if (found == entries.end()) return false;  // no icon: nothing to change
        TrayEntry& entry = found->second;
        if (entry.shown && !Notify(NIM_MODIFY, data)) return false;
        // A pending add takes the new look when it is retried.
        entry.image = std::move(image);
        entry.iconFile = iconFile;
        entry.tip = tip;
        return entry.shown;
    }

    if (found != entries.end() && found->second.shown) return false;  // adding twice changes nothing
    TrayEntry& entry = entries[KeyOf(icon)];
    entry.shown = Notify(NIM_ADD, data);
    entry.image = std::move(image);
    entry.iconFile = iconFile;
    entry.tip = tip;
    return entry.shown;
}

bool RemoveTrayIcon(TrayIcon icon)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = icon.owner;
    data.uID = icon.id;
    auto& entries = Entries();
    auto found = entries.find(KeyOf(icon));
    bool shown = found != entries.end() && found->second.shown;
    bool deleted = (shown || found == entries.end()) && Notify(NIM_DELETE, data);
    // The image goes once the shell no longer shows it.
    if (found != entries.end()) entries.erase(found);
    return deleted;
}

bool ShowTrayBalloon(TrayIcon icon, const std::wstring& text, const std::wstring& title, UINT timeoutMs)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;  // the layout that brought balloons
    data.hWnd = icon.owner;
    data.uID = icon.id;
    data.uFlags = NIF_INFO;
    std::wstring info = wl::CutText(text, 255);
    info.copy(data.szInfo, info.size());
    std::wstring infoTitle = wl::CutText(title, 63);
    infoTitle.copy(data.szInfoTitle, infoTitle.size());
    data.uTimeout = timeoutMs;
    data.dwInfoFlags = NIIF_NONE;
    return Notify(NIM_MODIFY, data);
}

void RestoreTrayIcons()
{
    for (auto& [key, entry] : Entries()) {
        if (!::IsWindow(key.first)) continue;
        NOTIFYICONDATAW data = IconRecord({key.first, key.second}, entry.image.get(), entry.tip);
        entry.shown = Notify(NIM_ADD, data) || Notify(NIM_MODIFY, data);
    }
}

void RemoveAllTrayIcons()
{
    auto& entries = Entries();
    while (!entries.empty()) RemoveTrayIcon({entries.begin()->first.first, entries.begin()->first.second});
    g_trayClosed = true;
}

void OpenTray() { g_trayClosed = false; }

bool TrayIconShown(TrayIcon icon, std::wstring* iconFile, std::wstring* tip)
{
    auto& entries = Entries();
    auto found = entries.find(KeyOf(icon));
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
