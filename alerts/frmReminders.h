// The alert window, used twice: for items whose Outlook reminder fired and
// for overdue tasks. It lists the items, shows its own tray icon with a
// balloon, and repeats the alert every 30 minutes while items remain.
#pragma once

#include "alerts/AlertList.h"
#include "core/IFormWithTimer.h"
#include "core/TrayWindow.h"
#include "outlook/OutlookSession.h"
#include "outlook/Reminder.h"
#include "outlook/TaskRow.h"
#include "resources/resource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class frmReminders final : public TrayWindow,
                           public IFormWithTimer,
                           public std::enable_shared_from_this<frmReminders> {
public:
    // The items of the tray popup, by their mnuFile index.
    enum class FileMenu : std::int16_t {
        ShowWindow = IDM_ALERT_SHOW - IDM_ALERT_FILE_FIRST,
        ClearAll = IDM_ALERT_CLEAR - IDM_ALERT_FILE_FIRST,
    };

    // Alert windows are shared: a handler of the window keeps it alive while
    // its owner drops it. What the user does to a listed item goes to Outlook
    // through the session, which outlives the window.
    static std::shared_ptr<frmReminders> Create(OutlookSession& outlook);
    ~frmReminders() override;

    // Creates the hidden window and runs Form_Load.
    void Load();
    // Runs Form_QueryUnload; unless cancelled, stops the timer, removes the
    // icon and destroys the window. Returns whether it unloaded.
    bool Unload(UnloadMode unloadMode = UnloadMode::FormCode) override;

    // The item list
    void AddReminder(const wl::Reminder& oItem);
    void RefreshList();
    void ClearReminders();
    // Makes the list exactly these overdue tasks (AlertList::Replace). The
    // alert is raised again only when one of them is new; with none left the
    // window clears itself as Clear All does.
    void ReplaceTasks(std::vector<wl::TaskRow> tasks);
    // Follows the reminders Outlook shows now: the lines of the others
    // (dismissed or snoozed there) go, those whose item changed are drawn
    // again, without a new alert; with none left the window clears itself
    // as Clear All does.
    void KeepShown(const std::vector<wl::Reminder>& shown);
    // After a sleep: the alert is repeated once now when its repeat fell
    // due meanwhile by the wall clock.
    void CatchUp();
    wl::AlertMode Mode() const noexcept { return m_intMode; }
    // Shows the window in front, as the tray menu's Show does.
    void ShowWindowModeless();
    void Mode(wl::AlertMode iNewValue);

    // Events raised to the owner, synchronously.
    std::function<void()> RemindersClear;
    std::function<void()> ShowOutlook;
    std::function<void()> RefreshTimerFired;

    // IFormWithTimer
    std::int16_t TimersCount() override;
    std::int32_t TimerID(std::int16_t index) override;
    void TimerFired(std::int32_t timerId) override;

protected:
    std::shared_ptr<void> KeepAlive() override { return weak_from_this().lock(); }

private:
    friend struct Inspector;  // the tests' one view inside the program

    explicit frmReminders(OutlookSession& outlook) : m_outlook(outlook) {}

    // Handlers, named after the control and the event
    void Form_Load();
    bool Form_QueryUnload(UnloadMode unloadMode);  // true: cancel the unload
    void UpdateTrayAlert();
    void cmdDisplay_Click();
    void cmdClear_Click();
    void cmdClearAll_Click();
    void cmdOutlook_Click();
    void cmdClose_Click();
    void lstReminders_DblClick();
    void lstReminders_Click();  // the selection moved
    void lstReminders_KeyDown(UINT key);
    void cmdSnooze_Click();
    void cmdDismiss_Click();
    void cmdDismissAll_Click();
    void cmdMarkComplete_Click();
    void cmdJoin_Click();
    void mnuFile_Click(FileMenu index);

    // TrayWindow
    void OnTrayMessage(long trayMessage) override;
    void OnCommand(int id, int notification) override;
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // The window's icon; each kind of alert has an identifier of its own.
    TrayIcon TrayBox() const noexcept;
    // Fills the list box; alerts when asked, and clears the window when the
    // list is empty.
    void ShowItems(bool alert);
    // Acts in Outlook on the items of these lines, all in one go; the lines
    // acted on leave the list, and a refusal is told once.
    using LinesAction = std::function<OutlookSession::Refusals(const std::set<std::wstring>& entryIds)>;
    void ActOnLines(const std::vector<std::size_t>& lines, const LinesAction& act, UINT failedText);
    std::optional<std::size_t> SelectedLine() const;
    // Join is offered for a selected meeting reminder with a join link.
    void EnableJoin();
    // Stops the 30-minute repeat, if it runs.
    void StopRepeat() noexcept;
    void Raise(const std::function<void()>& event);

    OutlookSession& m_outlook;
    wl::AlertMode m_intMode = wl::ModeReminders;
    wl::AlertList m_colItems;
    std::vector<std::wstring> m_lines;    // the list box's lines, as the list gave them
    std::vector<std::wstring> m_lineIds;  // the entry id of each line's item
    std::int32_t m_lngTimerID = 0;
    ULONGLONG m_repeatDueMs = 0;  // by the wall clock
    unsigned m_alertsRaised = 0;  // balloons shown, so a tick does not repeat one just raised
};
