#include "TestSupport.h"

#include "core/AppMessages.h"

#include "core/Registry.h"
#include "outlook/OutlookPath.h"
#include "core/Settings.h"
#include "core/TrayWindow.h"
#include "core/basINI.h"
#include "resources/resource.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>

namespace test {

std::wstring BinFolder()
{
    std::wstring path = wl::ExecutablePath();
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    for (;;) {
        m_path = std::wstring(temp) + L"wltest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter) + L"\\";
        if (::CreateDirectoryW(m_path.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

TempFolder::~TempFolder()
{
    // SHFileOperation wants a double-NUL-terminated list.
    std::wstring from = m_path.substr(0, m_path.size() - 1);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NO_UI;
    ::SHFileOperationW(&op);
}

ProgramFolder::ProgramFolder()
    : m_previousAppPath(g_strAppPath), m_previousOutlookPath(g_strOutlookPath), m_previousSettings(SettingsFolder())
{
    for (const wchar_t* icon : {L"olico.ico", L"olicod.ico", L"bell.ico", L"task.ico"})
        ::CopyFileW((BinFolder() + icon).c_str(), (Path() + icon).c_str(), FALSE);
    g_strAppPath = Path();
    g_strOutlookPath = ReadOutlookPath();  // as start-up reads it
    SetSettingsFolder(Path());
}

ProgramFolder::~ProgramFolder()
{
    g_strAppPath = m_previousAppPath;
    g_strOutlookPath = m_previousOutlookPath;
    SetSettingsFolder(m_previousSettings);
}

std::wstring ProgramFolder::SettingsFile() const { return SettingsFolder() + SettingsFileName(); }

ScopedRegistryValue::ScopedRegistryValue(HKEY root, std::wstring key, std::wstring name, REGSAM view)
    : m_root(root), m_key(std::move(key)), m_name(std::move(name)), m_view(view)
{
    HKEY opened = nullptr;
    m_keyExisted = ::RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_QUERY_VALUE | m_view, &opened) == ERROR_SUCCESS;
    if (!m_keyExisted) {
        // The keys above it that a change would make go too.
        m_firstMade = m_key;
        for (auto cut = m_firstMade.find_last_of(L'\\'); cut != std::wstring::npos; cut = m_firstMade.find_last_of(L'\\')) {
            HKEY parent = nullptr;
            if (::RegOpenKeyExW(m_root, m_firstMade.substr(0, cut).c_str(), 0, KEY_QUERY_VALUE | m_view, &parent) ==
                ERROR_SUCCESS) {
                ::RegCloseKey(parent);
                break;
            }
            m_firstMade.resize(cut);
        }
        return;
    }
    wl::UniqueHkey keyHandle(opened);
    DWORD size = 0;
    if (::RegQueryValueExW(opened, Name(), nullptr, &m_type, nullptr, &size) != ERROR_SUCCESS) return;
    m_data.resize(size);
    m_existed = ::RegQueryValueExW(opened, Name(), nullptr, &m_type, m_data.data(), &size) == ERROR_SUCCESS;
    m_data.resize(size);
}

ScopedRegistryValue::~ScopedRegistryValue()
{
    if (m_existed) Set(m_type, m_data.data(), m_data.size());
    else Delete();
    if (m_keyExisted) return;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(m_root, m_key.c_str(), 0, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | m_view,
                        &opened) != ERROR_SUCCESS)
        return;
    {
        wl::UniqueHkey keyHandle(opened);
        (void)::RegDeleteTreeW(opened, nullptr);  // what is under it
    }
    // Then the keys made above it, up to the first that was there, unless
    // something else is under them now.
    for (std::wstring key = m_key;;) {
        if (::RegDeleteKeyExW(m_root, key.c_str(), m_view, 0) != ERROR_SUCCESS || key.size() <= m_firstMade.size()) break;
        key.resize(key.find_last_of(L'\\'));
    }
}

void ScopedRegistryValue::Set(DWORD type, const void* data, size_t size) const
{
    HKEY opened = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(m_root, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | m_view, nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    wl::UniqueHkey keyHandle(opened);
    ASSERT_EQ(::RegSetValueExW(opened, Name(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
              ERROR_SUCCESS);
}

void ScopedRegistryValue::SetText(const std::wstring& text) const
{
    Set(REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void ScopedRegistryValue::SetNumber(DWORD value) const { Set(REG_DWORD, &value, sizeof value); }

void ScopedRegistryValue::Delete() const
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_SET_VALUE | m_view, &opened) != ERROR_SUCCESS) return;
    wl::UniqueHkey keyHandle(opened);
    (void)::RegDeleteValueW(opened, Name());
}

std::vector<BYTE> ScopedRegistryValue::Bytes() const
{
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_QUERY_VALUE | m_view, &opened) != ERROR_SUCCESS) return {};
    wl::UniqueHkey keyHandle(opened);
    DWORD size = 0;
    if (::RegQueryValueExW(opened, Name(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
    std::vector<BYTE> data(size);
    if (::RegQueryValueExW(opened, Name(), nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) return {};
    data.resize(size);
    return data;
}

void WriteTextFile(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadTextFile(const std::wstring& path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Pump(std::chrono::milliseconds duration)
{
    PumpUntil([] { return false; }, duration);
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpQueued()
{
    (void)PumpUntil([] { return true; }, std::chrono::milliseconds(0));
}

namespace {

std::map<UINT_PTR, std::function<void()>>& PendingActions()
{
    static std::map<UINT_PTR, std::function<void()>> actions;
    return actions;
}

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    auto found = PendingActions().find(id);
    if (found == PendingActions().end()) return;
    auto action = std::move(found->second);
    PendingActions().erase(found);
    action();
}

}  // namespace

// The first top-level window of the process that passes the test, or null.
HWND FindTopLevel(DWORD pid, const std::function<bool(HWND)>& test)
{
    struct Search {
        DWORD pid;
        const std::function<bool(HWND)>& test;
        HWND found = nullptr;
    } search{pid, test};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner != s->pid || !s->test(hwnd)) return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool HasClass(HWND hwnd, std::wstring_view name)
{
    wchar_t cls[64] = {};
    ::GetClassNameW(hwnd, cls, 64);
    return name == cls;
}

void RunLater(std::chrono::milliseconds delay, std::function<void()> action)
{
    UINT_PTR id = ::SetTimer(nullptr, 0, static_cast<UINT>(delay.count()), RunPendingAction);
    PendingActions()[id] = std::move(action);
}

HWND OpenPopupMenu()
{
    const DWORD thread = ::GetCurrentThreadId();
    return FindTopLevel(::GetCurrentProcessId(), [&](HWND hwnd) {
        return HasClass(hwnd, L"#32768") && ::IsWindowVisible(hwnd) && ::GetWindowThreadProcessId(hwnd, nullptr) == thread;
    });
}

namespace {

std::map<UINT_PTR, PopupMenuDriver*>& MenuDrivers()
{
    static std::map<UINT_PTR, PopupMenuDriver*> drivers;
    return drivers;
}

}  // namespace

PopupMenuDriver::PopupMenuDriver(std::function<void(HWND menu)> action, std::chrono::milliseconds limit)
    : m_action(std::move(action)), m_limit(limit)
{
    m_timer = ::SetTimer(nullptr, 0, 50, &PopupMenuDriver::Tick);
    if (m_timer) MenuDrivers()[m_timer] = this;
}

PopupMenuDriver::~PopupMenuDriver()
{
    if (!m_timer) return;
    ::KillTimer(nullptr, m_timer);
    MenuDrivers().erase(m_timer);
}

void CALLBACK PopupMenuDriver::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    auto found = MenuDrivers().find(id);
    if (found != MenuDrivers().end()) found->second->Look();
}

void PopupMenuDriver::Look()
{
    HWND menu = OpenPopupMenu();
    if (!menu) {
        m_menu = nullptr;  // gone: the next one is new, whatever its handle
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (menu != m_menu) {
        // A menu seen for the first time: its loop runs, as this tick runs inside it.
        m_menu = menu;
        m_seen = now;
        ++m_menus;
        if (m_action) m_action(menu);
        return;
    }
    if (now - m_seen < m_limit) return;
    m_closed = true;
    ::EndMenu();  // again at every tick while it stays
}

MessageBoxWatcher::MessageBoxWatcher() : m_thread([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::wstring> MessageBoxWatcher::Texts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

HWND FindMessageBox()
{
    // A message box: a dialog with the static text control 0xFFFF.
    return FindTopLevel(::GetCurrentProcessId(), [](HWND hwnd) {
        return HasClass(hwnd, L"#32770") && ::IsWindowVisible(hwnd) && ::GetDlgItem(hwnd, 0xFFFF);
    });
}

void MessageBoxWatcher::Run()
{
    while (!m_stop) {
        if (HWND box = FindMessageBox()) {
            wchar_t text[4096] = {};
            ::GetDlgItemTextW(box, 0xFFFF, text, 4096);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_texts.emplace_back(text);
            }
            // The default button (OK) closes it.
            ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            for (int i = 0; i < 200 && ::IsWindow(box) && ::IsWindowVisible(box); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

WindowInFront::WindowInFront()
{
    m_hwnd = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"other work", WS_POPUP | WS_VISIBLE | WS_BORDER, 100, 100, 300,
                               200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetForegroundWindow(m_hwnd);
    PumpUntil([&] { return ::GetForegroundWindow() == m_hwnd; }, std::chrono::seconds(2));
}

WindowInFront::~WindowInFront() { ::DestroyWindow(m_hwnd); }

HWND FindMainWindow(DWORD pid)
{
    return FindTopLevel(pid, [](HWND hwnd) { return HasClass(hwnd, L"#32770") && ::GetDlgItem(hwnd, IDC_CMBSTARTIN); });
}

TrayIcon FindMainTrayIcon(DWORD pid)
{
    HWND box = FindTopLevel(pid, [](HWND hwnd) {
        return HasClass(hwnd, wl::kTrayBoxClass) && ShellHasIcon({hwnd, wl::kMainIconId});
    });
    return {box, wl::kMainIconId};
}

bool ShellNotify(DWORD message, TrayIcon icon)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = icon.owner;
    data.uID = icon.id;
    return ::Shell_NotifyIconW(message, &data) != FALSE;
}

void SendTrayMessage(TrayIcon icon, long mouseMessage)
{
    ::SendMessageW(icon.owner, wl::kTrayCallback, icon.id, mouseMessage);
}

bool EndSession(DWORD pid, LPARAM reason, bool ending)
{
    // The program's windows: the tray boxes and the dialogs that are not
    // message boxes; the main window goes last.
    HWND main = FindMainWindow(pid);
    std::vector<HWND> windows;
    (void)FindTopLevel(pid, [&](HWND hwnd) {
        bool dialog = HasClass(hwnd, L"#32770") && !::GetDlgItem(hwnd, 0xFFFF);
        if (hwnd != main && (HasClass(hwnd, wl::kTrayBoxClass) || dialog)) windows.push_back(hwnd);
        return false;
    });
    if (main) windows.push_back(main);
    bool agreed = true;
    for (HWND hwnd : windows) {
        DWORD_PTR answer = FALSE;
        if (::IsWindow(hwnd) &&
            (!::SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, reason, SMTO_NORMAL, 10000, &answer) || !answer))
            agreed = false;
    }
    for (HWND hwnd : windows) {
        DWORD_PTR answer = 0;
        if (::IsWindow(hwnd)) (void)::SendMessageTimeoutW(hwnd, WM_ENDSESSION, ending, reason, SMTO_NORMAL, 10000, &answer);
    }
    return agreed;
}

std::string Narrow(const std::wstring& text) { return wl::ToUtf8(text); }

}  // namespace test
