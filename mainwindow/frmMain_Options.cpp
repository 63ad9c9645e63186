// The Options dialog: the main window shown modally.
#include "frmMain.h"

#include "core/AppMessages.h"
#include "core/Conversions.h"
#include "core/Registry.h"
#include "core/RemoteWork.h"
#include "core/Settings.h"
#include "core/SettingsRules.h"
#include "core/basINI.h"
#include "outlook/StoreChoice.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <string>

#include <utility>

void frmMain::UpdateSettingsView()
{
    // Filling the controls is not the user clicking them.
    FlagScope filling(m_fillingView);

    for (std::size_t i = 0; i < std::size(kStartFolders); ++i) {
        if (static_cast<std::int16_t>(kStartFolders[i]) == g_intStartOutlookIn) {
            ::SendMessageW(Control(IDC_CMBSTARTIN), CB_SETCURSEL, i, 0);
            break;
        }
    }
    SetChecked(IDC_CHKKEEPLOADED, g_blnKeepOutlookLoaded);
    SetChecked(IDC_CHKKEEPWORDLOADED, g_blnKeepWordLoaded);
    SetChecked(IDC_CHKDISPLAYOUTLOOK, DisplayOutlookAtStart());
    SetChecked(IDC_CHKREMINDERS, g_blnTrackReminders);
    SetChecked(IDC_CHKOVERDUETASKS, g_blnTrackOverdueTasks);
    SetChecked(IDC_CHKREMINDERCARD, g_blnShowReminderCard);
    // The warning before every meeting: on, and its minutes (5 when off).
    HWND warn = Control(IDC_CMBWARN);
    if (::SendMessageW(warn, CB_GETCOUNT, 0, 0) == 0)
        for (int minutes : wl::kWarnChoices)
            ::SendMessageW(warn, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(minutes).c_str()));
    const auto choice = std::find(std::begin(wl::kWarnChoices), std::end(wl::kWarnChoices),
                                  g_intWarnMinutesBefore == wl::kWarnOff ? 5 : g_intWarnMinutesBefore);
    ::SendMessageW(warn, CB_SETCURSEL, static_cast<WPARAM>(choice - std::begin(wl::kWarnChoices)), 0);
    SetChecked(IDC_CHKWARN, g_intWarnMinutesBefore != wl::kWarnOff);
    // An entry for every user is the installation's: the box shows it and cannot take it away.
    const LogonStart logon = LogonStartOf(wl::ExecutablePath());
    SetChecked(IDC_CHKSTARTATLOGON, g_policy.startAtLogon.value_or(logon != LogonStart::Off));
    // The delay as start-up would use it, in seconds, with a full stop.
    std::wstring seconds = wl::DelaySecondsText(LoadDelayMs());
    ::SetWindowTextW(Control(IDC_TXTLOADDELAY), seconds.c_str());

    // What a policy sets shows its value, greyed, and one line says why.
    const std::pair<int, bool> managed[] = {  // the control, and whether it is fixed
        {IDC_CMBSTARTIN, g_policy.startOutlookIn.has_value()},
        {IDC_CHKKEEPLOADED, g_policy.keepOutlookLoaded.has_value()},
        {IDC_TXTLOADDELAY, g_policy.loadDelayMs.has_value()},
        {IDC_CHKKEEPWORDLOADED, g_policy.keepWordLoaded.has_value()},
        {IDC_CHKDISPLAYOUTLOOK, g_policy.displayOutlookAtStart.has_value()},
        {IDC_CHKREMINDERS, g_policy.trackReminders.has_value()},
        {IDC_CHKOVERDUETASKS, g_policy.trackOverdueTasks.has_value()},
        {IDC_CHKREMINDERCARD, g_policy.showReminderCard.has_value()},
        {IDC_CHKWARN, g_policy.warnMinutesBefore.has_value()},
        {IDC_CMBWARN, g_policy.warnMinutesBefore.has_value()},
        {IDC_CHKSTARTATLOGON, g_policy.startAtLogon.has_value() || logon == LogonStart::EveryUser},
    };
    for (auto [id, fixed] : managed) ::EnableWindow(Control(id), !fixed);
    ShowStores();
    ::ShowWindow(Control(IDC_LBLMANAGED), g_policy.Any() ? SW_SHOW : SW_HIDE);
}

void frmMain::ShowStores()
{
    // Every store Outlook has now, checked unless the user left it out.
    HWND list = Control(IDC_LSTSTORES);
    ListView_DeleteAllItems(list);
    m_listedStores.clear();
    const auto stores = m_outlook.ListStores();
    const std::vector<std::wstring>& leftOut = m_outlook.StoresLeftOut();
    for (const OutlookSession::StoreEntry& store : stores.value_or(std::vector<OutlookSession::StoreEntry>{})) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(m_listedStores.size());
        item.pszText = const_cast<wchar_t*>(store.name.c_str());
        const int index = ListView_InsertItem(list, &item);
        if (index < 0) continue;
        ListView_SetCheckState(list, index,
                               std::find(leftOut.begin(), leftOut.end(), store.storeId) == leftOut.end());
        m_listedStores.push_back(store.storeId);
    }
    ::EnableWindow(list, !g_policy.overdueTasksDefaultStoreOnly.value_or(false));
}

void frmMain::TakeStoreChoice()
{
    if (g_policy.overdueTasksDefaultStoreOnly.value_or(false)) return;  // the list is greyed
    HWND list = Control(IDC_LSTSTORES);
    std::vector<std::wstring> unchecked;
    for (std::size_t i = 0; i < m_listedStores.size(); ++i)
        if (!ListView_GetCheckState(list, static_cast<int>(i))) unchecked.push_back(m_listedStores[i]);
    std::vector<std::wstring> leftOut = wl::StoresLeftOut(m_outlook.StoresLeftOut(), m_listedStores, unchecked);
    if (leftOut == m_outlook.StoresLeftOut()) return;
    WriteIniSetting(L"StoresLeftOut", wl::StoreIdsText(leftOut));
    m_outlook.LeaveOutStores(std::move(leftOut));
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

    // What a policy sets is not written: the file keeps the user's own choice.
    if (!g_policy.displayOutlookAtStart)
        WriteIniSetting(L"DisplayOutlookAtStart", Checked(IDC_CHKDISPLAYOUTLOOK) ? L"-1" : L"0");

    // Without a selection (a start folder the list does not know) the current one stays.
    auto selected = ::SendMessageW(Control(IDC_CMBSTARTIN), CB_GETCURSEL, 0, 0);
    if (selected >= 0 && static_cast<std::size_t>(selected) < std::size(kStartFolders))
        g_intStartOutlookIn = static_cast<std::int16_t>(kStartFolders[static_cast<std::size_t>(selected)]);

    g_blnKeepWordLoaded = Checked(IDC_CHKKEEPWORDLOADED);

    try {
        if (Checked(IDC_CHKKEEPLOADED)) {
            KeepOutlookLoaded(true);
            LoadOutlook();
        } else {
            KeepOutlookLoaded(false);
            UnloadOutlook();
        }
    } catch (const wl::ComError& error) {
        // The settings are taken; only the connection failed. The dialog
        // closes as confirmed, and the tray icon shows the disconnected look.
        MessageBox(ConnectFailedText(error), MB_OK | MB_ICONEXCLAMATION);
    }

    g_blnTrackReminders = Checked(IDC_CHKREMINDERS);
    m_outlook.TrackReminders(g_blnTrackReminders);
    if (!g_blnTrackReminders) UnloadRemindersWindow();
    g_blnShowReminderCard = Checked(IDC_CHKREMINDERCARD);
    m_outlook.ReadMeetingBodies(g_blnShowReminderCard);
    if (!g_blnTrackReminders || !g_blnShowReminderCard) m_card.Clear();

    const auto warnAt = ::SendMessageW(Control(IDC_CMBWARN), CB_GETCURSEL, 0, 0);
    const bool warnChosen = warnAt >= 0 && static_cast<std::size_t>(warnAt) < std::size(wl::kWarnChoices);
    const int warnMinutes =
        Checked(IDC_CHKWARN) && warnChosen ? wl::kWarnChoices[static_cast<std::size_t>(warnAt)] : wl::kWarnOff;
    // Outlook's own reminders of the meetings are read only while the warning is wanted.
    if (std::exchange(g_intWarnMinutesBefore, warnMinutes) != warnMinutes) ReadToday();

    TakeStoreChoice();
    g_blnTrackOverdueTasks = Checked(IDC_CHKOVERDUETASKS);
    if (g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
    else UnloadOverdueTasksWindow();

    if (!g_policy.loadDelayMs) WriteIniSetting(L"LoadDelay", *delayMs);
    if (!g_policy.startAtLogon) (void)SetStartAtLogon(wl::ExecutablePath(), Checked(IDC_CHKSTARTATLOGON));
    cmdCancel_Click();
}

void frmMain::cmdCancel_Click()
{
    ::ShowWindow(Hwnd(), SW_HIDE);
    m_modal = false;
}

void frmMain::OnPolicyChanged()
{
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(Hwnd(), wl::kPolicyChanged);  // after the call in progress
        return;
    }
    const bool keptLoaded = g_blnKeepOutlookLoaded, trackedReminders = g_blnTrackReminders,
               trackedOverdue = g_blnTrackOverdueTasks;
    const int warnedMinutes = g_intWarnMinutesBefore;
    if (!RereadSettingsPolicy()) return;  // a refresh that changed nothing of the program's
    m_outlook.TrackReminders(g_blnTrackReminders);
    m_outlook.ReadMeetingBodies(g_blnShowReminderCard);
    HoldStartAtLogonPolicy(g_policy.startAtLogon, wl::ExecutablePath());
    // The open dialog shows the new state at once; the tray menu reads it when it opens.
    if (m_modal) UpdateSettingsView();

    if (trackedReminders && !g_blnTrackReminders) UnloadRemindersWindow();
    if (!g_blnTrackReminders || !g_blnShowReminderCard) m_card.Clear();
    if (trackedOverdue && !g_blnTrackOverdueTasks) UnloadOverdueTasksWindow();
    if (warnedMinutes != g_intWarnMinutesBefore) ReadToday();
    if (keptLoaded != g_blnKeepOutlookLoaded) {
        KeepOutlookLoaded(g_blnKeepOutlookLoaded);
        if (!g_blnKeepOutlookLoaded) {
            UnloadOutlook();
        } else {
            try {
                LoadOutlook();
            } catch (const wl::ComError&) {
                // Outlook cannot be started now: the session tries again later.
            }
        }
    }
    if (!trackedOverdue && g_blnTrackOverdueTasks) (void)ScanForOverdueTasks();
}
