// The alert window, used twice: for items whose Outlook reminder fired and
// for overdue tasks. It lists the items, shows its own tray icon with a
// balloon, and repeats the alert every 30 minutes while items remain.
#pragma once

#include "alerts/AlertList.h"
#include "core/Dispatch.h"
#include "core/IFormWithTimer.h"
#include "core/TrayIcons.h"
#include "core/Window.h"
#include "resources/resource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class frmReminders final : public DialogWindow,
                           public IFormWithTimer,
                           public std::enable_shared_from_this<frmReminders> {
public:
    // The items of the tray popup, by their mnuFile index.
    enum class FileMenu : std::int16_t {
        ShowWindow = IDM_ALERT_SHOW - IDM_ALERT_FILE_FIRST,
        ClearAll = IDM_ALERT_CLEAR - IDM_ALERT_FILE_FIRST,
    };

    // Alert windows are shared: a handler of the window keeps it alive while
    // its owner drops it.
    static std::shared_ptr<frmReminders> Create();
    ~frmReminders() override;

    // Creates the hidden window and runs Form_Load.
    void Load();
    // Runs Form_QueryUnload; unless cancelled, stops the timer, removes the
    // icon and destroys the window. Returns whether it unloaded.
    bool Unload(UnloadMode unloadMode = UnloadMode::FormCode);

    // The item list
    void AddReminder(const wl::Dispatch& oItem);
    void RefreshList();
    void ClearReminders();
    // Makes the list exactly these overdue tasks (AlertList::Replace). The
    // alert is raised again only when one of them is new; with none left the
    // window clears itself as Clear All does.
    void ReplaceTasks(std::vector<wl::TaskRow> tasks);
    wl::AlertMode Mode() const noexcept { return m_intMode; }
    void Mode(wl::AlertMode iNewValue);

    // Events raised to the owner, synchronously.
    std::function<void()> RemindersClear;
    std::function<void()> ShowOutlook;
    std::function<void()> RefreshTimerFired;
    // Outlook's NameSpace, asked for when a listed task is opened by its
    // entry id. Throws wl::ComError.
    std::function<wl::Dispatch()> Session;

    // Handlers
    void Form_Load();
    bool Form_QueryUnload(UnloadMode unloadMode);  // true: cancel the unload
    void UpdateTrayAlert();
    void cmdDisplay_Click();
    void cmdClear_Click();
    void cmdClearAll_Click();
    void cmdOutlook_Click();
    void cmdClose_Click();
    void lstReminders_DblClick();
    void mnuFile_Click(FileMenu index);
    void picTrayBox_MouseMove(long trayMessage);

    // IFormWithTimer
    std::int16_t TimersCount() override;
    std::int32_t TimerID(std::int16_t index) override;
    void TimerFired(std::int32_t timerId) override;

    // State, for tests
    std::vector<std::wstring> Lines() const;
    std::size_t ItemCount() const noexcept { return m_colItems.Count(); }
    std::int32_t CurrentTimerID() const noexcept { return m_lngTimerID; }
    unsigned AlertsRaised() const noexcept { return m_alertsRaised; }
    // The window's icon; each kind of alert has an identifier of its own.
    TrayIcon TrayBox() const noexcept;
    HMENU TrayMenu() const noexcept { return m_tmnuFile; }
    const std::wstring& LastBalloonText() const noexcept { return m_lastBalloon; }
    bool InTrayEvent() const noexcept { return m_blnInTrayEvent; }

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    std::shared_ptr<void> KeepAlive() override { return weak_from_this().lock(); }

private:
    frmReminders() = default;
    void OnCommand(int id, int notification);
    // Fills the list box; alerts when asked, and clears the window when the
    // list is empty.
    void ShowItems(bool alert);
    void ShowWindowModeless();
    void Raise(const std::function<void()>& event);
    std::wstring Title() const;
    std::wstring IconFile() const;

    wl::AlertMode m_intMode = wl::ModeReminders;
    wl::AlertList m_colItems;
    std::int32_t m_lngTimerID = 0;
    unsigned m_alertsRaised = 0;  // balloons shown, so a tick does not repeat one just raised
    long m_lngTrayMsg = 0;
    bool m_blnInTrayEvent = false;
    bool m_timerDeferred = false;
    HMENU m_tmnuFile = nullptr;
    wl::UniqueMenu m_menu;  // the menu resource; m_tmnuFile is its popup
    std::wstring m_lastBalloon;
};
