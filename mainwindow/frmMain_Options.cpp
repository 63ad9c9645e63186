// The Options dialog: the main window shown modally.
#include "frmMain.h"

#include "core/Conversions.h"
#include "core/Registry.h"
#include "core/Settings.h"
#include "core/SettingsRules.h"
#include "core/basINI.h"

void frmMain::UpdateSettingsView()
{
    // Filling the controls is not the user clicking them.
    FlagScope filling(m_fillingView);

    HWND list = Control(IDC_CMBSTARTIN);
    int n = static_cast<int>(::SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        if (StartFolderData(i) == g_intStartOutlookIn) {
            ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            break;
        }
    }
    SetChecked(IDC_CHKKEEPLOADED, g_blnKeepOutlookLoaded);
    SetChecked(IDC_CHKKEEPWORDLOADED, g_blnKeepWordLoaded);
    SetChecked(IDC_CHKDISPLAYOUTLOOK, wl::FlagFromKey(ReadIniSetting(L"DisplayOutlookAtStart")));
    SetChecked(IDC_CHKREMINDERS, g_blnTrackReminders);
    SetChecked(IDC_CHKOVERDUETASKS, g_blnTrackOverdueTasks);
    // An entry for every user is the installation's: the box shows it and cannot take it away.
    LogonStart logon = LogonStartOf(wl::ExecutablePath());
    SetChecked(IDC_CHKSTARTATLOGON, logon != LogonStart::Off);
    ::EnableWindow(Control(IDC_CHKSTARTATLOGON), logon != LogonStart::EveryUser);
    // The delay as start-up would use it, in seconds, with a full stop.
    std::wstring seconds = wl::DelaySecondsText(wl::LoadDelayFromKey(ReadIniSetting(L"LoadDelay")));
    ::SetWindowTextW(Control(IDC_TXTLOADDELAY), seconds.c_str());
}

void frmMain::chkKeepLoaded_Click()
{
    if (m_fillingView) return;
    if (!Checked(IDC_CHKKEEPLOADED)) MessageBox(wl::LoadStr(IDS_KEEP_LOADED_WARNING), MB_OK);
}

void frmMain::cmdOK_Click()
{
    // A delay start-up would not accept is refused before anything changes.
    HWND delayBox = Control(IDC_TXTLOADDELAY);
    std::wstring delayText(static_cast<size_t>(::GetWindowTextLengthW(delayBox)), L'\0');
    ::GetWindowTextW(delayBox, delayText.data(), static_cast<int>(delayText.size()) + 1);
    auto delayMs = wl::DelayMsFromSecondsText(delayText);
    if (!delayMs) {
        MessageBox(wl::LoadStr(IDS_DELAY_INVALID), MB_OK | MB_ICONEXCLAMATION);
        ::SetFocus(delayBox);
        ::SendMessageW(delayBox, EM_SETSEL, 0, -1);
        return;
    }

    WriteIniSetting(L"DisplayOutlookAtStart", Checked(IDC_CHKDISPLAYOUTLOOK) ? L"-1" : L"0");

    // Without a selection (a start folder the list does not know) the current one stays.
    auto selected = ::SendMessageW(Control(IDC_CMBSTARTIN), CB_GETCURSEL, 0, 0);
    if (selected != CB_ERR) g_intStartOutlookIn = StartFolderData(static_cast<int>(selected));

    g_blnKeepWordLoaded = Checked(IDC_CHKKEEPWORDLOADED);

    try {
        if (Checked(IDC_CHKKEEPLOADED)) {
            g_blnKeepOutlookLoaded = true;
            LoadOutlook();
        } else {
            g_blnKeepOutlookLoaded = false;
            UnloadOutlook();
        }
    } catch (const wl::ComError& error) {
        // The settings are taken; only the connection failed. The dialog
        // closes as confirmed, and the tray icon shows the disconnected look.
        MessageBox(ConnectFailedText(error), MB_OK | MB_ICONEXCLAMATION);
    }

    if (Checked(IDC_CHKREMINDERS)) {
        g_blnTrackReminders = true;
    } else {
        g_blnTrackReminders = false;
        UnloadRemindersWindow();
    }

    if (Checked(IDC_CHKOVERDUETASKS)) {
        g_blnTrackOverdueTasks = true;
        (void)ScanForOverdueTasks();
    } else {
        g_blnTrackOverdueTasks = false;
        UnloadOverdueTasksWindow();
    }

    WriteIniSetting(L"LoadDelay", *delayMs);
    (void)SetStartAtLogon(wl::ExecutablePath(), Checked(IDC_CHKSTARTATLOGON));
    cmdCancel_Click();
}

void frmMain::cmdCancel_Click()
{
    ::ShowWindow(Hwnd(), SW_HIDE);
    m_modal = false;
}
