// The hidden main window: it holds the Outlook session, the main tray icon
// and the two alert windows, and shows itself only as the Options dialog.
#pragma once

#include "alerts/frmCard.h"
#include "alerts/frmReminders.h"
#include "core/Clock.h"
#include "core/TrayWindow.h"
#include "mainwindow/Links.h"
#include "mainwindow/TodayRules.h"
#include "outlook/OutlookSession.h"
#include "outlook/StartFolder.h"
#include "resources/resource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class frmMain final : public TrayWindow, private OutlookSession::Owner {
public:
    // The fixed items of the tray popup, by their mnuFile index.
    enum class FileMenu : std::int16_t {
        ShowOutlook = IDM_FILE_SHOWOUTLOOK - IDM_FILE_FIRST,
        KeepOutlookLoaded = IDM_FILE_KEEPLOADED - IDM_FILE_FIRST,
        CleanUp = IDM_FILE_CLEANUP - IDM_FILE_FIRST,
        Options = IDM_FILE_OPTIONS - IDM_FILE_FIRST,
        About = IDM_FILE_ABOUT - IDM_FILE_FIRST,
        Exit = IDM_FILE_EXIT - IDM_FILE_FIRST,
    };

    frmMain();
    ~frmMain() override;

    // Shows the tray icon, creates the hidden window and runs Form_Load.
    void Load();
    bool Unload(UnloadMode unloadMode = UnloadMode::FormCode) override;
    // Ends the message loop when the window unloads (the program's instance).
    void SetQuitOnUnload(bool quit) noexcept { m_quitOnUnload = quit; }

private:
    friend struct Inspector;  // the tests' one view inside the program

    // Outlook connection
    void LoadOutlook();
    void UnloadOutlook() noexcept;
    void UnloadRemindersWindow() noexcept;
    void UnloadOverdueTasksWindow() noexcept;
    void DisplayOutlook(StartFolder iStartOutlookIn);
    // Reads the overdue tasks and makes the overdue list exactly them (see
    // frmReminders::ReplaceTasks); a scan that fails changes nothing. Returns
    // whether it found overdue tasks.
    bool ScanForOverdueTasks();

    // Options dialog
    void UpdateSettingsView();
    // Group Policy was refreshed: the policies are read again and followed.
    void OnPolicyChanged();
    void ShowModal();

    // Event handlers, named after the control and the event
    void tmnuFile_Click();
    void mnuFile_Click(FileMenu index);
    void mnuView_Click(std::int16_t index);
    void mnuNewLink_Click(std::int16_t index);


    void Form_Load();
    bool Form_QueryUnload(UnloadMode unloadMode);  // true: cancel the unload
    void cmdOK_Click();
    void cmdCancel_Click();
    void chkKeepLoaded_Click();
    void m_objOutlook_Reminder(const std::vector<wl::Reminder>& items);
    void m_objReminders_Change(const std::vector<wl::Reminder>& shown);
    void m_frmReminders_RemindersClear();
    void m_frmReminders_ShowOutlook();
    void m_frmCard_ShowAllReminders();
    void ShowReminderCard(const std::vector<wl::Reminder>& items);
    void m_frmOverdueTasks_RefreshTimerFired();
    void m_frmOverdueTasks_RemindersClear();
    void m_frmOverdueTasks_ShowOutlook();

    // TrayWindow
    void OnTrayMessage(long trayMessage) override;
    bool TrayClicksHeld() const noexcept override { return m_outlook.Restarting(); }
    void OnCommand(int id, int notification) override;
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // OutlookSession::Owner
    void OutlookConnected(bool reconnected) override;
    void OutlookDisconnected() override;
    void OutlookRemindersFired(const std::vector<wl::Reminder>& fired) override;
    void OutlookRemindersShown(const std::vector<wl::Reminder>& shown) override;
    void OutlookStoresChanged() override;

    // The day's meetings (frmMain_Today.cpp): read from Outlook only when
    // they may have changed; the tip, the Today section and the warnings
    // follow the clock from the values held.
    void OutlookCalendarChanged() override;
    void ReadToday();
    void UpdateToday();
    void ForgetToday() noexcept;
    void OnTodayTimer();
    std::wstring TodayTip() const;
    void BuildTodayMenu();
    void mnuToday_Click(UINT command);
    void OwnWarningDone(const std::wstring& entryId, std::optional<long> snoozeMinutes);

    void OnInitDialog();
    void OnStartUpTimer();
    // Woken, unlocked or the clock changed: what was read may be stale. The
    // signals of a few seconds give one read.
    void OnReadAgainTimer();
    void OnMidnightTimer();
    void ArmMidnightTimer();
    void OnEndSession();
    // Keeping Outlook loaded, in the setting and in the session.
    void KeepOutlookLoaded(bool keep);
    void ShowTrayConnected(bool connected);
    TrayIcon TrayBox() const noexcept;
    // What the user is told when Outlook cannot be connected.
    static std::wstring ConnectFailedText(const wl::ComError& error);
    std::wstring AboutText() const;
    std::wstring StoresNotReadText() const;
    // Options' list of stores: filled from Outlook, and the user's choice taken at OK.
    void ShowStores();
    void TakeStoreChoice();
    // The caption of a start folder, by its place in kStartFolders.
    static UINT StartFolderCaption(std::size_t listIndex) noexcept
    {
        return IDS_START_FOLDER_FIRST + static_cast<UINT>(listIndex);
    }
    void BuildStartFolderMenu();
    // The link items of the popup, as the links file reads now.
    void BuildLinkMenu();
    std::shared_ptr<frmReminders> NewAlertWindow(wl::AlertMode mode);

    OutlookSession m_outlook{*this};

    // Alert windows, created on first need
    std::shared_ptr<frmReminders> m_frmReminders;
    std::shared_ptr<frmReminders> m_frmOverdueTasks;
    frmCard m_card{m_outlook};  // the reminder card, created on first need

    // The meetings read from now to the end of the day, whether they were,
    // the rows of the Today section as last built, and the own warnings given.
    std::vector<wl::Meeting> m_todayRead;
    bool m_todayKnown = false;
    bool m_todayReadFailed = false;  // the last read of the day failed: the hourly timer tries again
    double m_todayDayEnd = 0;
    std::vector<wl::Meeting> m_todayMenu;
    double m_todayTimerAt = 0;  // when the Today timer is set for (0: not set)
    wl::OwnWarnings m_ownWarnings;

    SessionNotifications m_sessionSignals;
    unsigned m_midnightArmedOn = 0;  // the local day the midnight timer was set on
    LinkList m_links;       // the links file, as last read
    int m_linkCount = 0;  // items of mnuNewLink
    std::vector<std::wstring> m_listedStores;  // the store ids of Options' list, in its order

    // Options dialog
    bool m_modal = false;
    bool m_fillingView = false;  // the check box warning is for the user's clicks only

    // Start-up: the delay runs on a timer, so the icon is there and the
    // program answers meanwhile.
    bool m_startUpPending = false;
    bool m_displayAtStart = false;

    bool m_quitOnUnload = false;
    bool m_unloading = false;
    bool m_unloaded = false;
};
