// The main tray icon: its mouse messages, the popup menu and its items, and
// the new-item links.
#include "frmMain.h"

#include "core/AppMessages.h"
#include "core/Processes.h"
#include "core/Conversions.h"
#include "core/Settings.h"
#include "core/basINI.h"
#include "mainwindow/LinkCommand.h"
#include "version.h"

namespace {

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
    BuildTodayMenu();
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
        Step([&] { m_outlook.Restart(); });
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

std::wstring frmMain::AboutText() const
{
    const long explorers = m_outlook.ExplorerCount();
    return wl::LoadStr(IDS_APP_TITLE) + L"\r\n" + wl::LoadStr(IDS_AUTHOR) + L"\r\n" + wl::LoadStr(IDS_VERSION_PREFIX) +
           VersionText() + L"\r\n" + wl::LoadStr(IDS_COPYRIGHT) + L"\r\n\r\n" + wl::LoadStr(IDS_LOADED_EXPLORERS) +
           wl::IntegerText(explorers) + L"\r\n" + wl::LoadStr(IDS_SETTINGS_FILE) + SettingsFolder() + SettingsFileName() +
           StoresNotReadText();
}

std::wstring frmMain::StoresNotReadText() const
{
    // The stores the last scan of the overdue tasks had to pass over, if any.
    std::wstring names;
    for (const std::wstring& name : m_outlook.StoresNotRead()) names += (names.empty() ? L"" : L", ") + name;
    return names.empty() ? std::wstring() : L"\r\n" + wl::LoadStr(IDS_STORES_NOT_READ) + names;
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
    // The link items follow the start folders and their separator.
    m_linkCount = m_links.BuildMenu(TrayPopup(), static_cast<UINT>(std::size(kStartFolders)) + 1, IDM_LINK_FIRST,
                                    m_linkCount, wl::LoadStr(IDS_NO_LINKS), !g_strOutlookPath.empty());
}

void frmMain::mnuNewLink_Click(std::int16_t index)
{
    Step([&] {
        // A command edited since is taken at once; the captions stay as built.
        (void)m_links.Refresh();
        const std::vector<Link>& links = m_links.Items();
        if (index >= 0 && static_cast<std::size_t>(index) < links.size())
            (void)StartLinkCommand(links[static_cast<std::size_t>(index)].command, g_strOutlookPath);
    });
}
