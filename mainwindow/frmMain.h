// The hidden main window: it holds the Outlook connection, the main tray icon
// and the two alert windows, and shows itself only as the Options dialog.
#pragma once

#include "alerts/frmReminders.h"
#include "core/TrayIcons.h"
#include "core/Window.h"
#include "mainwindow/OutlookConnection.h"
#include "mainwindow/StartFolder.h"
#include "resources/resource.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class frmMain final : public DialogWindow, private OutlookConnection::Owner {
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
    // The identifier of the main tray icon.
    static constexpr UINT kTrayIconId = 1;

    frmMain();
    ~frmMain() override;

    // Creates the hidden window and runs Form_Load.
    void Load();
    // Runs Form_QueryUnload; unless cancelled, destroys the window. Returns
    // whether it unloaded.
    bool Unload(UnloadMode unloadMode = UnloadMode::FormCode);
    // Ends the message loop when the window unloads (the program's instance).
    void SetQuitOnUnload(bool quit) noexcept { m_quitOnUnload = quit; }

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
    void ShowModal();

    // Event handlers, named after the control and the event
    void Form_Load();
    bool Form_QueryUnload(UnloadMode unloadMode);  // true: cancel the unload
    void picTrayBox_MouseMove(long trayMessage);
    void tmnuFile_Click();
    void mnuFile_Click(FileMenu index);
    void mnuView_Click(std::int16_t index);
    void mnuNewLink_Click(std::int16_t index);
    void cmdOK_Click();
    void cmdCancel_Click();
    void chkKeepLoaded_Click();
    void m_objOutlook_Reminder(const wl::Dispatch& item);
    void m_frmReminders_RemindersClear();
    void m_frmReminders_ShowOutlook();
    void m_frmOverdueTasks_RefreshTimerFired();
    void m_frmOverdueTasks_RemindersClear();
    void m_frmOverdueTasks_ShowOutlook();

    // The connection and its watch (see OutlookConnection).
    OutlookConnection& Connection() noexcept { return m_connection; }
    const OutlookConnection& Connection() const noexcept { return m_connection; }
    void SetConnectionWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs)
    {
        m_connection.SetWatch(probeMs, firstPauseMs, longestPauseMs);
    }
    bool ReconnectPending() const noexcept { return m_connection.ReconnectPending(); }
    UINT ReconnectPauseMs() const noexcept { return m_connection.ReconnectPauseMs(); }

    // Whether the work that follows the start-up delay is still to come, and
    // whether Clean Up waits for Outlook to end.
    bool StartUpPending() const noexcept { return m_startUpPending; }
    bool CleaningUp() const noexcept { return m_cleanUpWaiting; }

    // State, for the tray menu and for tests
    bool OutlookLoaded() const noexcept { return m_connection.Loaded(); }
    bool OutlookEventsConnected() const noexcept { return m_connection.EventsConnected(); }
    bool WordLoaded() const noexcept { return m_connection.WordLoaded(); }
    const std::shared_ptr<frmReminders>& RemindersWindow() const noexcept { return m_frmReminders; }
    const std::shared_ptr<frmReminders>& OverdueTasksWindow() const noexcept { return m_frmOverdueTasks; }
    TrayIcon TrayBox() const noexcept { return {Hwnd(), kTrayIconId}; }
    HMENU TrayMenu() const noexcept { return m_tmnuFile; }
    bool InTrayEvent() const noexcept { return m_blnInTrayEvent; }
    bool ModalShowing() const noexcept { return m_modal; }
    // The About box's text.
    std::wstring AboutText();

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    // The window's own timers, besides the connection's.
    static constexpr UINT_PTR kStartUpTimer = OutlookConnection::kReconnectTimer + 1;
    static constexpr UINT_PTR kCleanUpTimer = OutlookConnection::kReconnectTimer + 2;

    // OutlookConnection::Owner
    void OutlookReminder(const wl::Dispatch& item) override;
    void OutlookLost() override;
    void OutlookReconnect() override;

    void OnInitDialog();
    void OnStartUpTimer();
    void OnCleanUpTimer();
    void FinishCleanUp();
    void OnCommand(int id, int notification);
    void OnEndSession();
    void ProcessReminders();
    void ShowTrayConnected(bool connected);
    // What the user is told when Outlook cannot be connected.
    std::wstring ConnectFailedText(const wl::ComError& error) const;
    void BuildStartFolderMenu();
    void BuildLinkMenu();
    void StartLink(std::int16_t index);
    std::shared_ptr<frmReminders> NewAlertWindow(wl::AlertMode mode);
    std::int16_t StartFolderData(int listIndex) const;
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    int MessageBox(const std::wstring& text, UINT flags);

    OutlookConnection m_connection{*this};

    // Alert windows, created on first need
    std::shared_ptr<frmReminders> m_frmReminders;
    std::shared_ptr<frmReminders> m_frmOverdueTasks;

    // Tray handling
    long m_lngTrayMsg = 0;
    bool m_blnInTrayEvent = false;
    wl::UniqueMenu m_menu;  // the menu resource; m_tmnuFile is its popup
    HMENU m_tmnuFile = nullptr;
    int m_viewCount = 0;  // items of mnuView
    int m_linkCount = 0;  // items of mnuNewLink

    // Options dialog
    bool m_modal = false;
    bool m_fillingView = false;  // the check box warning is for the user's clicks only

    // Reminders wait here for the message loop (see OutlookWork)
    std::deque<wl::Dispatch> m_pendingReminders;

    // Start-up: the delay runs on a timer, so the icon is there and the
    // program answers meanwhile.
    bool m_startUpPending = false;
    bool m_displayAtStart = false;

    // Clean Up waits for the Outlook it quit to end before it starts one.
    bool m_cleanUpWaiting = false;
    wl::UniqueHandle m_quittingOutlook;
    ULONGLONG m_cleanUpStarted = 0;

    bool m_quitOnUnload = false;
    bool m_unloading = false;
    bool m_unloaded = false;
};
