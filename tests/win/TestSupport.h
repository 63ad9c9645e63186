// Helpers of the tests that run against the real Windows API.
#pragma once

#include "core/TrayIcons.h"
#include "core/win32.h"

#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace test {

// The folder of the test executable, where the build puts every program
// and the files that go beside wendlock.exe. Ends in a backslash.
std::wstring BinFolder();

// A fresh folder under %TEMP%, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::wstring& Path() const noexcept { return m_path; }  // ends in a backslash

private:
    std::wstring m_path;
};

// The program folder of the code under test, for the life of the object:
// a temporary folder holding the icon files, which is also the folder of the
// settings file (g_strAppPath and the settings folder point at it); Outlook's
// path is read from the registry, as start-up reads it.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    const std::wstring& Path() const noexcept { return m_folder.Path(); }
    std::wstring SettingsFile() const;  // full path of the settings file the code reads

private:
    TempFolder m_folder;
    std::wstring m_previousAppPath;
    std::wstring m_previousOutlookPath;
    std::wstring m_previousSettings;
};

// A registry value a test changes (the key's default value when the name is
// empty), put back as it was when the object goes: its old data, or no value;
// and the key goes too if it was not there before. view: KEY_WOW64_32KEY or
// KEY_WOW64_64KEY for one view of the registry, 0 for the program's own.
class ScopedRegistryValue {
public:
    ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name = {}, REGSAM view = 0);
    ScopedRegistryValue(const ScopedRegistryValue&) = delete;
    ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;
    ~ScopedRegistryValue();

    void Set(DWORD type, const void* data, size_t size) const;
    void SetText(const std::wstring& text) const;
    void SetNumber(DWORD value) const;
    void Delete() const;
    // The value's bytes; empty when it is missing.
    std::vector<BYTE> Bytes() const;

private:
    const wchar_t* Name() const noexcept { return m_name.empty() ? nullptr : m_name.c_str(); }

    HKEY m_root;
    std::wstring m_key, m_name;
    REGSAM m_view;
    std::wstring m_firstMade;  // the uppermost of the key's path that was missing
    bool m_keyExisted = false, m_existed = false;
    DWORD m_type = REG_NONE;
    std::vector<BYTE> m_data;
};

void WriteTextFile(const std::wstring& path, const std::string& bytes);
std::string ReadTextFile(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Handles this thread's messages for a while, or until the condition holds.
void Pump(std::chrono::milliseconds duration);
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Handles the messages queued for this thread now, and those they queue in turn.
void PumpQueued();

// Runs the action once on this thread after the delay, from a thread timer,
// so it also runs inside a modal loop (a popup menu, a dialog, a message box).
void RunLater(std::chrono::milliseconds delay, std::function<void()> action);

// The visible popup menu window of this thread, or null.
HWND OpenPopupMenu();

// Drives the popup menus this thread opens while the object lives, from a
// thread timer that also ticks inside the menu's own loop. Once a menu's
// window is up, `action` gets it, once per menu (it posts the keys that choose
// an item: the menu's loop takes them). A menu still up `limit` after it was
// seen is ended (EndMenu), so a test whose keys went astray fails instead of
// hanging in TrackPopupMenu; Closed() then tells it.
class PopupMenuDriver {
public:
    explicit PopupMenuDriver(std::function<void(HWND menu)> action,
                             std::chrono::milliseconds limit = std::chrono::seconds(10));
    PopupMenuDriver(const PopupMenuDriver&) = delete;
    PopupMenuDriver& operator=(const PopupMenuDriver&) = delete;
    ~PopupMenuDriver();
    int Menus() const noexcept { return m_menus; }  // menus the action was given
    bool Closed() const noexcept { return m_closed; }  // one was ended for being up too long

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    void Look();

    std::function<void(HWND)> m_action;
    std::chrono::milliseconds m_limit;
    UINT_PTR m_timer = 0;
    HWND m_menu = nullptr;  // the menu window given to the action last
    std::chrono::steady_clock::time_point m_seen;
    int m_menus = 0;
    bool m_closed = false;
};

// The message box of this process that is up now, or null.
HWND FindMessageBox();

// Answers the message boxes of this process from a second thread: records
// each box's text and presses its default button.
class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    ~MessageBoxWatcher();
    std::vector<std::wstring> Texts() const;

private:
    void Run();
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::wstring> m_texts;
    std::thread m_thread;
};

// A visible window of the test's own, in front of everything, as the user's
// other work is when they click the tray.
class WindowInFront {
public:
    WindowInFront();
    WindowInFront(const WindowInFront&) = delete;
    WindowInFront& operator=(const WindowInFront&) = delete;
    ~WindowInFront();
    HWND Hwnd() const noexcept { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

// The first top-level window of the process that passes the test, or null.
HWND FindTopLevel(DWORD pid, const std::function<bool(HWND)>& test);
bool HasClass(HWND hwnd, std::wstring_view name);

// The hidden main window of a running copy of the program (the dialog with
// the start-folder list), or null.
HWND FindMainWindow(DWORD pid);
// The main tray icon of a running copy, as the shell shows it: it belongs to
// one of the copy's tray boxes (each window has one). Its owner is null while
// the shell does not show it.
TrayIcon FindMainTrayIcon(DWORD pid);

// Tells the shell of the icon by its owner and id alone, as another program
// could (NIM_ADD adds it without image or tip); returns what the shell answered.
bool ShellNotify(DWORD message, TrayIcon icon);
// Whether the shell shows the icon: only an existing icon can be modified.
inline bool ShellHasIcon(TrayIcon icon) { return ShellNotify(NIM_MODIFY, icon); }

// What the shell sends the icon's owner for a mouse message on the icon.
void SendTrayMessage(TrayIcon icon, long mouseMessage);

// Windows ends the session (ending false: the end was called off) as it does
// for every top-level window: WM_QUERYENDSESSION to each window of the
// program in the process (its tray boxes, its dialogs), then WM_ENDSESSION
// to each that is still there; the main window last. Returns whether every
// window agreed to end.
bool EndSession(DWORD pid, LPARAM reason = ENDSESSION_LOGOFF, bool ending = true);

std::string Narrow(const std::wstring& text);

}  // namespace test
