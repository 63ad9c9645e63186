// The hidden main window: it holds the Outlook connection, the main tray icon
// and the two alert windows, and shows itself only as the Options dialog.
#pragma once

#include "alerts/frmReminders.h"
#include "core/Window.h"
#include "mainwindow/OutlookEvents.h"
#include "resources/resource.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class frmMain final : public DialogWindow, public IOutlookEventHandler {
public:
    // How an unload was asked for.
    enum UnloadMode : std::int16_t {
        vbFormControlMenu = 0,  // the close box or the system menu
        vbFormCode = 1,         // the program's own code
        vbAppWindows = 2,       // Windows ends the session
        vbAppTaskManager = 3,
    };

    frmMain();
    ~frmMain() override;

    // Start-up: creates the program's main window and loads it.
    static void LoadMainWindow();
    // The program's main window while it runs (start-up's instance), or null.
    static frmMain* Program() noexcept;

    // Creates the hidden window and runs Form_Load.
    void Load();
    // Runs Form_QueryUnload; unless cancelled, destroys the window. Returns
    // whether it unloaded.
    bool Unload(std::int16_t unloadMode = vbFormCode);
    // Ends the message loop when the window unloads (the program's instance).
    void SetQuitOnUnload(bool quit) noexcept { m_quitOnUnload = quit; }

    // Outlook connection
    void LoadOutlook();
    void UnloadOutlook();
    void UnloadRemindersWindow();
    void UnloadOverdueTasksWindow();
    void DisplayOutlook(std::int16_t& iStartOutlookIn, std::int16_t& bFindDelay);
    bool ScanForOverdueTasks();

    // Options dialog
    void UpdateSettingsView();
    void ShowModal();

    // Event handlers, named after the control and the event
    void Form_Load();
    void Form_QueryUnload(std::int16_t& cancel, std::int16_t unloadMode);
    void picTrayBox_MouseMove(long trayMessage);
    void tmnuFile_Click();
    void mnuFile_Click(std::int16_t index);
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

    // Watching the connection: how often a connected Outlook is asked whether
    // it is still there, and the pauses before connecting again after it went
    // away (doubling from the first to the longest while it cannot be started).
    void SetConnectionWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs);
    bool ReconnectPending() const noexcept { return m_reconnectPending; }
    UINT ReconnectPauseMs() const noexcept { return m_reconnectPauseMs; }

    // State, for the tray menu and for tests
    bool OutlookLoaded() const noexcept { return m_blnOutlookLoaded; }
    const wl::Dispatch& Outlook() const noexcept { return m_objOutlook.Get(); }
    bool OutlookEventsConnected() const noexcept { return m_objOutlook.EventsConnected(); }
    bool WordLoaded() const noexcept { return static_cast<bool>(m_objWord); }
    const std::shared_ptr<frmReminders>& RemindersWindow() const noexcept { return m_frmReminders; }
    const std::shared_ptr<frmReminders>& OverdueTasksWindow() const noexcept { return m_frmOverdueTasks; }
    HWND TrayBox() const noexcept { return Control(IDC_PICTRAYBOX); }
    HMENU TrayMenu() const noexcept { return m_tmnuFile; }
    bool InTrayEvent() const noexcept { return m_blnInTrayEvent; }
    long LastTrayMessage() const noexcept { return m_lngTrayMsg; }
    bool ModalShowing() const noexcept { return m_modal; }
    // The About box's text.
    std::wstring AboutText();
    // The start folders of the Options dialog's list: caption and folder number.
    static const std::vector<std::int16_t>& StartFolderNumbers();

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:

    void OnInitDialog();
    void OnCommand(int id, int notification);
    void OnEndSession();
    void SaveSettings();
    void OnOutlookReminder(const wl::Dispatch& item) override;
    void OnOutlookQuit() override;
    void ProcessOutlookEvents();
    void CheckConnection();
    void ConnectionLost();
    void DropConnection() noexcept;
    void ScheduleReconnect();
    void OnReconnectTimer();
    void BuildStartFolderMenu();
    void BuildLinkMenu();
    void StartLink(std::int16_t index);
    std::shared_ptr<frmReminders> NewAlertWindow(wl::AlertMode mode);
    std::int16_t StartFolderData(int listIndex) const;
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    int MessageBox(const std::wstring& text, UINT flags);

    // Outlook connection
    OutlookWithEvents m_objOutlook;
    wl::Dispatch m_objInbox;
    wl::Dispatch m_objWord;
    bool m_blnOutlookLoaded = false;

    // Alert windows, created on first need
    std::shared_ptr<frmReminders> m_frmReminders;
    std::shared_ptr<frmReminders> m_frmOverdueTasks;

    // Tray handling
    long m_lngTrayMsg = 0;
    bool m_blnInTrayEvent = false;
    wl::UniqueMenu m_menu;       // the menu resource; m_tmnuFile is its popup
    HMENU m_tmnuFile = nullptr;
    int m_viewCount = 0;         // items of mnuView
    int m_linkCount = 0;         // items of mnuNewLink

    // Options dialog
    bool m_modal = false;
    bool m_fillingView = false;  // the check box warning is for the user's clicks only

    // Outlook events wait here for the main loop (see OutlookWork)
    std::deque<wl::Dispatch> m_pendingReminders;
    bool m_pendingQuit = false;
    unsigned m_quitGeneration = 0;

    // Connection watch
    unsigned m_generation = 0;   // counts the connections made, to tell a stale Quit event
    bool m_blnCleaningUp = false;  // Clean Up quits Outlook itself: no reconnect meanwhile
    bool m_reconnectPending = false;
    UINT m_probeMs = 60'000;
    UINT m_firstPauseMs = 3'000;
    UINT m_longestPauseMs = 300'000;
    UINT m_reconnectPauseMs = 3'000;

    bool m_quitOnUnload = false;
    bool m_unloaded = false;
};
