// The main tray icon: its mouse messages, the popup menu and its items, and
// the new-item links.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/basINI.h"
#include "core/basMain.h"
#include "mainwindow/LinkCommand.h"

#include <vector>

namespace {

constexpr long kTrayLeftUp = WM_LBUTTONUP;           // 514
constexpr long kTrayLeftDoubleClick = WM_LBUTTONDBLCLK;  // 515
constexpr long kTrayRightUp = WM_RBUTTONUP;          // 517

constexpr std::int16_t kShowOutlook = 0;
constexpr std::int16_t kKeepLoaded = 1;
constexpr std::int16_t kCleanUp = 2;
constexpr std::int16_t kOptions = 3;
constexpr std::int16_t kAbout = 15;
constexpr std::int16_t kExit = 20;
constexpr DWORD kCleanUpPauseMs = 6000;

// Runs one step of a handler whose failures are ignored step by step.
template <class F>
void Step(F step) noexcept
{
    try {
        step();
    } catch (...) {
    }
}

// The links file, beside the executable.
IniPlace LinksFile() { return IniPlace{L"settings", g_strAppPath, L"newlnks.ini"}; }

std::wstring VersionText()
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16));
    if (!resource) return L"0.0.0";
    DWORD size = ::SizeofResource(module, resource);
    const void* data = ::LockResource(::LoadResource(module, resource));
    if (!data || size == 0) return L"0.0.0";
    // VerQueryValue wants a copy it may write to.
    std::vector<char> copy(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
        return L"0.0.0";
    return wl::IntegerText(HIWORD(info->dwFileVersionMS)) + L"." + wl::IntegerText(LOWORD(info->dwFileVersionMS)) +
           L"." + wl::IntegerText(HIWORD(info->dwFileVersionLS));
}

// The full path of a program named without a folder, looked up on the
// search path only (never the program's own folder or the current one).
std::wstring FindOnPath(const std::wstring& name)
{
    DWORD needed = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring path(needed, L'\0');
    if (needed) path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), needed));
    std::wstring system(MAX_PATH, L'\0');
    system.resize(::GetSystemDirectoryW(system.data(), MAX_PATH));
    std::wstring search = system + L";" + path;
    std::wstring found(MAX_PATH, L'\0');
    DWORD n = ::SearchPathW(search.c_str(), name.c_str(), L".exe", MAX_PATH, found.data(), nullptr);
    if (n == 0 || n >= MAX_PATH) return {};
    found.resize(n);
    return found;
}

}  // namespace

// Tray messages

void frmMain::picTrayBox_MouseMove(long trayMessage)
{
    m_lngTrayMsg = trayMessage;
    if (m_blnInTrayEvent) return;  // an action, the popup or a dialog is running
    FlagScope busy(m_blnInTrayEvent);

    switch (m_lngTrayMsg) {
    case kTrayLeftUp:
    case kTrayLeftDoubleClick:
        mnuFile_Click(kShowOutlook);
        break;
    case kTrayRightUp: {
        tmnuFile_Click();
        ::SetMenuDefaultItem(m_tmnuFile, IDM_FILE_FIRST + kShowOutlook, FALSE);
        // Foreground first, or the menu stays open when the user clicks elsewhere.
        ::SetForegroundWindow(Hwnd());
        POINT at{};
        ::GetCursorPos(&at);
        UINT chosen = static_cast<UINT>(::TrackPopupMenuEx(
            m_tmnuFile, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, Hwnd(), nullptr));
        ::PostMessageW(Hwnd(), WM_NULL, 0, 0);  // lets the next menu open properly
        if (chosen >= IDM_VIEW_FIRST && chosen < IDM_VIEW_FIRST + static_cast<UINT>(m_viewCount))
            mnuView_Click(static_cast<std::int16_t>(chosen - IDM_VIEW_FIRST));
        else if (chosen >= IDM_LINK_FIRST && chosen < IDM_LINK_FIRST + static_cast<UINT>(m_linkCount))
            mnuNewLink_Click(static_cast<std::int16_t>(chosen - IDM_LINK_FIRST));
        else if (chosen >= IDM_FILE_FIRST && chosen <= IDM_FILE_FIRST + kExit)
            mnuFile_Click(static_cast<std::int16_t>(chosen - IDM_FILE_FIRST));
        break;
    }
    default:
        break;
    }
}

void frmMain::tmnuFile_Click()
{
    ::CheckMenuItem(m_tmnuFile, IDM_FILE_FIRST + kKeepLoaded,
                    MF_BYCOMMAND | (g_blnKeepOutlookLoaded ? MF_CHECKED : MF_UNCHECKED));
}

void frmMain::mnuFile_Click(std::int16_t index)
{
    switch (index) {
    case kShowOutlook:
        Step([&] {
            std::int16_t selector = -100, findDelay = 0;
            DisplayOutlook(selector, findDelay);
        });
        break;
    case kKeepLoaded:
        if (g_blnKeepOutlookLoaded) {
            g_blnKeepOutlookLoaded = wl::kOff;
            Step([&] { UnloadOutlook(); });
        } else {
            g_blnKeepOutlookLoaded = wl::kOn;
            Step([&] { LoadOutlook(); });
        }
        break;
    case kCleanUp: {
        // Outlook's Quit event that follows is the program's own doing.
        FlagScope cleaning(m_blnCleaningUp);
        Step([&] { (void)m_objOutlook->Call(L"Quit"); });
        m_pendingQuit = false;
        if (m_blnOutlookLoaded) {
            Step([&] { UnloadOutlook(); });
            ::Sleep(kCleanUpPauseMs);  // Outlook needs the time to end before it is started again
        }
        if (g_blnKeepOutlookLoaded) Step([&] { LoadOutlook(); });
        break;
    }
    case kOptions:
        Step([&] { UpdateSettingsView(); });
        ShowModal();
        break;
    case kAbout:
        MessageBox(AboutText(), MB_OK);
        break;
    case kExit:
        (void)Unload(vbFormCode);
        break;
    default:
        break;  // the separator and anything else
    }
}

std::wstring frmMain::AboutText()
{
    long explorers = 0;
    try {
        explorers = m_objOutlook->Get(L"Explorers").Call(L"Count").Long();
    } catch (const wl::ComError&) {
        // Not connected: no explorers to count.
    }
    return wl::LoadStr(IDS_APP_TITLE) + L"\r\n" + wl::LoadStr(IDS_AUTHOR) + L"\r\n" + wl::LoadStr(IDS_VERSION_PREFIX) +
           VersionText() + L"\r\n" + wl::LoadStr(IDS_COPYRIGHT) + L"\r\n\r\n" + wl::LoadStr(IDS_LOADED_EXPLORERS) +
           wl::IntegerText(explorers);
}

void frmMain::mnuView_Click(std::int16_t index)
{
    std::int16_t selector = StartFolderData(index), findDelay = 0;
    try {
        DisplayOutlook(selector, findDelay);
    } catch (const wl::ComError&) {
        // Outlook could not be started at all; DisplayOutlook reports only what happens after.
        MessageBox(wl::LoadStr(IDS_OUTLOOK_START_FAILED), MB_OK | MB_ICONEXCLAMATION);
    }
}

// The popup's menu arrays

void frmMain::BuildStartFolderMenu()
{
    HWND list = Control(IDC_CMBSTARTIN);
    int n = static_cast<int>(::SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = m_viewCount; i < n; ++i) {
        ::InsertMenuW(m_tmnuFile, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, IDM_VIEW_FIRST + static_cast<UINT>(i),
                      L"0");
    }
    m_viewCount = n > 0 ? n : 1;
    for (int i = 0; i < n; ++i) {
        std::wstring caption(static_cast<size_t>(::SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)),
                             L'\0');
        ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(caption.data()));
        ::ModifyMenuW(m_tmnuFile, IDM_VIEW_FIRST + static_cast<UINT>(i), MF_BYCOMMAND | MF_STRING,
                      IDM_VIEW_FIRST + static_cast<UINT>(i), caption.c_str());
    }
}

void frmMain::BuildLinkMenu()
{
    // Link item 0 follows the start folders and their separator.
    const UINT first = static_cast<UINT>(m_viewCount) + 1;
    std::int16_t count = wl::LinkCount(ReadIniSetting(L"count", LinksFile()));
    for (int n = 2; n <= count; ++n)
        ::InsertMenuW(m_tmnuFile, first + static_cast<UINT>(n - 1), MF_BYPOSITION | MF_STRING,
                      IDM_LINK_FIRST + static_cast<UINT>(n - 1), L"0");
    m_linkCount = count > 0 ? count : 1;

    if (count < 1) {
        // Without links the popup says so, rather than showing a bare "0".
        ::ModifyMenuW(m_tmnuFile, IDM_LINK_FIRST, MF_BYCOMMAND | MF_STRING | MF_GRAYED, IDM_LINK_FIRST,
                      wl::LoadStr(IDS_NO_LINKS).c_str());
        m_linkCount = 0;
        return;
    }
    for (int n = 1; n <= count; ++n) {
        std::wstring caption = ReadIniSetting(L"new" + wl::IntegerText(n), LinksFile());
        ::ModifyMenuW(m_tmnuFile, IDM_LINK_FIRST + static_cast<UINT>(n - 1), MF_BYCOMMAND | MF_STRING,
                      IDM_LINK_FIRST + static_cast<UINT>(n - 1), caption.c_str());
    }
}

void frmMain::mnuNewLink_Click(std::int16_t index)
{
    Step([&] { StartLink(index); });
}

void frmMain::StartLink(std::int16_t index)
{
    std::wstring command = ReadIniSetting(L"newcmd" + wl::IntegerText(index + 1), LinksFile());
    std::wstring expanded = wl::ExpandLinkCommand(command, g_strOutlookPath);
    wl::ProgramAndArguments split = wl::SplitCommandLine(expanded);
    if (!wl::IsUnambiguousProgram(split)) return;

    bool isPath = split.program.find_first_of(L"\\/:") != std::wstring::npos;
    std::wstring program = isPath ? split.program : FindOnPath(split.program);
    if (program.empty()) return;

    // The program is named exactly: the system guesses nothing.
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!split.arguments.empty()) commandLine += L" " + split.arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINIMIZED;  // minimized, with the focus
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &process)) {
        wl::UniqueHandle thread(process.hThread), started(process.hProcess);  // not waited for
    }
}
