// The main tray icon: its mouse messages, the popup menu and its items, and
// the new-item links.
#include "frmMain.h"

#include "core/AppMessages.h"
#include "core/Conversions.h"
#include "core/Settings.h"
#include "core/basINI.h"
#include "mainwindow/LinkCommand.h"
#include "version.h"

namespace {

// Clean Up waits for the Outlook it quit to end, at most this long; when its
// process is not known, it waits a fixed pause, long enough for a quick Outlook.
constexpr ULONGLONG kCleanUpLongestWaitMs = 60'000;
constexpr ULONGLONG kCleanUpPauseMs = 6'000;
constexpr UINT kCleanUpPollMs = 250;

// Runs one step of a handler whose failures are ignored step by step.
template <class F>
void Step(F step) noexcept
{
    try {
        step();
    } catch (...) {
        // The menu reports nothing: the handler goes on with its next step.
    }
}

// The version the build gives every part of the program (major.minor.patch).
std::wstring VersionText()
{
    return wl::IntegerText(WENDLOCK_VERSION_MAJOR) + L"." + wl::IntegerText(WENDLOCK_VERSION_MINOR) + L"." +
           wl::IntegerText(WENDLOCK_VERSION_PATCH);
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

void frmMain::OnTrayMessage(long trayMessage)
{
    switch (trayMessage) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        mnuFile_Click(FileMenu::ShowOutlook);
        break;
    case WM_RBUTTONUP:
        tmnuFile_Click();
        ShowTrayPopup(IDM_FILE_SHOWOUTLOOK);
        break;
    default:
        break;
    }
}

void frmMain::tmnuFile_Click()
{
    ::CheckMenuItem(TrayPopup(), IDM_FILE_KEEPLOADED,
                    MF_BYCOMMAND | (g_blnKeepOutlookLoaded ? MF_CHECKED : MF_UNCHECKED));
    ::EnableMenuItem(TrayPopup(), IDM_FILE_KEEPLOADED,
                     MF_BYCOMMAND | (g_policy.keepOutlookLoaded ? MF_GRAYED : MF_ENABLED));
}

void frmMain::mnuFile_Click(FileMenu index)
{
    switch (index) {
    case FileMenu::ShowOutlook:
        Step([&] { DisplayOutlook(StartFolder::FrontWindow); });
        break;
    case FileMenu::KeepOutlookLoaded:
        if (g_policy.keepOutlookLoaded) break;  // set by the organization
        if (g_blnKeepOutlookLoaded) {
            KeepOutlookLoaded(false);
            UnloadOutlook();
        } else {
            KeepOutlookLoaded(true);
            Step([&] { LoadOutlook(); });
        }
        break;
    case FileMenu::CleanUp:
        CleanUp();
        break;
    case FileMenu::Options:
        Step([&] { UpdateSettingsView(); });
        ShowModal();
        break;
    case FileMenu::About:
        MessageBox(AboutText(), MB_OK);
        break;
    case FileMenu::Exit:
        (void)Unload(UnloadMode::FormCode);
        break;
    default:
        break;  // the separator and anything else
    }
}

void frmMain::CleanUp()
{
    // Outlook's Quit event that follows is the program's own doing.
    m_outlook.SetQuitting(true);
    wl::UniqueHandle outlook = m_outlook.ServerProcess();
    (void)m_outlook.Quit();
    if (!m_outlook.Loaded()) {
        FinishCleanUp();
        return;
    }
    UnloadOutlook();
    // Outlook may take far longer than a few seconds to close its data
    // file, and until its process has ended a new connection would be
    // to the dying one: wait for it on a timer, answering Windows
    // meanwhile; tray clicks are dropped until it is done.
    m_quittingOutlook = std::move(outlook);
    m_cleanUpStarted = ::GetTickCount64();
    m_cleanUpWaiting = true;
    ::SetTimer(Hwnd(), wl::kCleanUpTimer, kCleanUpPollMs, nullptr);
}

void frmMain::OnCleanUpTimer()
{
    ULONGLONG waited = ::GetTickCount64() - m_cleanUpStarted;
    bool ended = m_quittingOutlook ? ::WaitForSingleObject(m_quittingOutlook.get(), 0) == WAIT_OBJECT_0
                                   : waited >= kCleanUpPauseMs;
    if (ended || waited >= kCleanUpLongestWaitMs) FinishCleanUp();
}

void frmMain::FinishCleanUp()
{
    ::KillTimer(Hwnd(), wl::kCleanUpTimer);
    m_cleanUpWaiting = false;
    m_quittingOutlook.reset();
    m_outlook.SetQuitting(false);
    if (g_blnKeepOutlookLoaded) Step([&] { LoadOutlook(); });
}

std::wstring frmMain::AboutText() const
{
    const long explorers = m_outlook.ExplorerCount();
    return wl::LoadStr(IDS_APP_TITLE) + L"\r\n" + wl::LoadStr(IDS_AUTHOR) + L"\r\n" + wl::LoadStr(IDS_VERSION_PREFIX) +
           VersionText() + L"\r\n" + wl::LoadStr(IDS_COPYRIGHT) + L"\r\n\r\n" + wl::LoadStr(IDS_LOADED_EXPLORERS) +
           wl::IntegerText(explorers) + L"\r\n" + wl::LoadStr(IDS_SETTINGS_FILE) + SettingsFolder() + SettingsFileName();
}

void frmMain::mnuView_Click(std::int16_t index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= std::size(kStartFolders)) return;
    try {
        DisplayOutlook(kStartFolders[static_cast<std::size_t>(index)]);
    } catch (const wl::ComError& error) {
        // Outlook could not be started at all; DisplayOutlook reports only what happens after.
        MessageBox(ConnectFailedText(error), MB_OK | MB_ICONEXCLAMATION);
    }
}

// The popup's menu arrays

void frmMain::BuildStartFolderMenu()
{
    // The resource holds mnuView(0); the others follow it, one per start folder.
    HMENU popup = TrayPopup();
    for (std::size_t i = 0; i < std::size(kStartFolders); ++i) {
        const UINT id = IDM_VIEW_FIRST + static_cast<UINT>(i);
        std::wstring caption = wl::LoadStr(StartFolderCaption(i));
        if (i == 0) ::ModifyMenuW(popup, id, MF_BYCOMMAND | MF_STRING, id, caption.c_str());
        else ::InsertMenuW(popup, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, id, caption.c_str());
    }
}

void frmMain::BuildLinkMenu()
{
    // Link item 0 follows the start folders and their separator.
    HMENU popup = TrayPopup();
    const UINT first = static_cast<UINT>(std::size(kStartFolders)) + 1;
    std::int16_t count = wl::LinkCount(ReadIniSetting(L"count", LinksFile()));
    for (int n = 2; n <= count; ++n)
        ::InsertMenuW(popup, first + static_cast<UINT>(n - 1), MF_BYPOSITION | MF_STRING,
                      IDM_LINK_FIRST + static_cast<UINT>(n - 1), L"0");
    m_linkCount = count > 0 ? count : 1;

    if (count < 1) {
        // Without links the popup says so, rather than showing a bare "0".
        ::ModifyMenuW(popup, IDM_LINK_FIRST, MF_BYCOMMAND | MF_STRING | MF_GRAYED, IDM_LINK_FIRST,
                      wl::LoadStr(IDS_NO_LINKS).c_str());
        m_linkCount = 0;
        return;
    }
    for (int n = 1; n <= count; ++n) {
        std::wstring caption = ReadIniSetting(L"new" + wl::IntegerText(n), LinksFile());
        // Without Outlook's path a link that needs it could only fail: it is shown disabled.
        bool needsOutlook = wl::UsesOutlookPath(ReadIniSetting(L"newcmd" + wl::IntegerText(n), LinksFile()));
        UINT state = needsOutlook && g_strOutlookPath.empty() ? MF_GRAYED : MF_ENABLED;
        ::ModifyMenuW(popup, IDM_LINK_FIRST + static_cast<UINT>(n - 1), MF_BYCOMMAND | MF_STRING | state,
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
    if (wl::UsesOutlookPath(command) && g_strOutlookPath.empty()) return;  // Outlook's path is not known
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
