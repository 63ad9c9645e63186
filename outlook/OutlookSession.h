// Everything the program asks of Outlook, behind one object the windows use:
// connecting and letting go, showing Outlook on a start folder, the overdue
// task scan and opening a listed task. It holds Outlook's Application with its
// events, the default Inbox, and a kept Word, and watches over them: Outlook may quit,
// crash or be ended while the program holds it; the connection notices (the
// Quit event, the end of Outlook's process, a call that finds the process
// gone) and tells its owner, then connects again after pauses that grow while
// Outlook cannot be started. Only where Outlook's process cannot be found is
// it asked now and then whether it is still there; otherwise nothing is done
// while nothing happens.
#pragma once

#include "core/Dispatch.h"
#include "outlook/OutlookEvents.h"
#include "outlook/OutlookItem.h"
#include "outlook/Reminders.h"
#include "outlook/StartFolder.h"
#include "outlook/TaskRow.h"

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class OutlookSession final : private IOutlookEventHandler, private IReminderEventHandler {
public:
    // The main window: it decides what a lost or regained connection means.
    class Owner {
    public:
        // Outlook raised Reminder. It may arrive while a call into Outlook
        // waits for its answer: the owner queues it.
        virtual void OutlookReminder(wl::OutlookItem item) = 0;
        // Which reminders Outlook shows may have changed (dismissed or
        // snoozed there): the owner asks VisibleReminders. Called from the
        // message loop, outside any call into Outlook.
        virtual void OutlookRemindersChanged() = 0;
        // Outlook went away: drop what depends on it, as UnloadOutlook does.
        virtual void OutlookLost() = 0;
        // Connect again, as LoadOutlook does, and catch up; throws wl::ComError.
        virtual void OutlookReconnect() = 0;

    protected:
        ~Owner() = default;
    };

    explicit OutlookSession(Owner& owner);
    OutlookSession(const OutlookSession&) = delete;
    OutlookSession& operator=(const OutlookSession&) = delete;
    // Lets go of everything quietly: Word is not told to quit.
    ~OutlookSession();

    // The session's messages and timers (core/AppMessages.h) go to the window
    // from Attach until Detach, which hands them to OnMessage; the watch runs
    // from Watch (the end of start-up) until Detach. outlookPath: OUTLOOK.EXE
    // as the registry names it, or empty, to find Outlook's process.
    void Attach(HWND window, std::wstring outlookPath);
    void Watch();
    void Detach() noexcept;
    // Whether the message or timer was the connection's (and is now handled).
    bool OnMessage(UINT message, WPARAM wParam);

    // Word as keepWord asks (a kept one is told to quit when not wanted any
    // more), then a new Outlook Application with its events, then its Inbox.
    // Throws wl::ComError at the step that fails, with what was reached held.
    void Open(bool keepWord);
    // Tells a kept Word to quit, then Reset. Word being gone is no failure.
    void Close() noexcept;
    // Releases the Inbox and then Outlook (its events first), without telling
    // Outlook to quit. Loaded() is false afterwards.
    void Reset() noexcept;

    // True from a completed Open until Close or Reset.
    bool Loaded() const noexcept { return m_blnOutlookLoaded; }
    // The process of the connected Outlook, to wait for its end; none when it
    // could not be found.
    wl::UniqueHandle ServerProcess() const;

    // Whether Outlook is to be kept loaded: a lost connection is made again
    // only then.
    void KeepLoaded(bool keep) noexcept;

    // What the windows ask of Outlook. Each throws wl::ComError unless it says otherwise.
    // Brings an Outlook window to the front on the folder; FrontWindow keeps
    // the folder of an open window, and without one is the configured folder.
    void ShowFolder(StartFolder folder, StartFolder configured) const;
    // The overdue tasks of the default Tasks folder (see ReadOverdueTasks);
    // std::nullopt when not connected or when Outlook fails to answer.
    std::optional<std::vector<wl::TaskRow>> ScanOverdueTasks() const noexcept;
    // Opens a task by its entry id; false when Outlook has no such item (any more).
    bool DisplayTask(const std::wstring& entryId) const;
    // Snoozes or dismisses the reminders of the items with these entry ids,
    // in one pass over Outlook's reminders however many there are. A reminder
    // Outlook no longer shows (dismissed or snoozed there meanwhile, its item
    // deleted) counts as done: there is nothing left to do. Returned: the
    // entry ids whose reminder Outlook refused otherwise, with the first such
    // failure. A busy or vanished Outlook throws wl::ComError.
    struct Refusals {
        std::set<std::wstring> entryIds;
        std::optional<wl::ComError> first;
    };
    Refusals SnoozeReminders(const std::set<std::wstring>& entryIds, long minutes) const;
    Refusals DismissReminders(const std::set<std::wstring>& entryIds) const;
    // Marks a task complete by its entry id; false when Outlook has no such item (any more).
    bool MarkTaskComplete(const std::wstring& entryId) const;
    // The entry ids of the items whose reminders Outlook shows now, from one
    // pass over its reminders; std::nullopt when not connected or when
    // Outlook fails to answer.
    std::optional<std::set<std::wstring>> VisibleReminders() const noexcept;

    // Tells Outlook to quit; false when it could not be told (not connected, gone).
    bool Quit() const noexcept;
    // The number of Outlook's open explorers; 0 when not connected.
    long ExplorerCount() const noexcept;

    // Classic Outlook is not installed (only the new Outlook, which no other
    // program can drive, or none): found by the last Open. Nothing retries
    // on its own then; the user's own requests still try.
    bool OutlookMissing() const noexcept { return m_outlookMissing; }
    static bool IsNotInstalled(HRESULT hr) noexcept;

    // While Outlook is quit on purpose (Clean Up), its Quit event and a dead
    // connection start no reconnect; a Quit event still on its way when this
    // ends is forgotten.
    void SetQuitting(bool quitting) noexcept;

    // Connects again after the current pause, when keeping Outlook loaded.
    void ScheduleReconnect();
    // How often a connected Outlook is asked whether it is still there, and
    // the pauses before connecting again (doubling from the first to the
    // longest while Outlook cannot be started).
    void SetWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs);

private:
    friend struct Inspector;  // the tests' one view inside the program

    void OnOutlookReminder(const wl::Dispatch& item) override;
    void OnOutlookQuit() override;
    void OnReminderFired(const wl::Dispatch& reminder) override;
    void OnRemindersChanged() override;
    void OnRemindersEvent();
    // Connects Reminders' events and lists the reminders Outlook shows already.
    void OpenReminders();
    Refusals ActOnReminders(const std::set<std::wstring>& entryIds,
                                    const std::function<void(const wl::Dispatch& reminder)>& act) const;
    // The reminders Outlook shows of the items with these entry ids, with the ids.
    std::vector<std::pair<wl::Dispatch, std::wstring>> ShownRemindersOf(const std::set<std::wstring>& entryIds) const;
    void OnQuit();
    void OnServerEnded();
    void WatchServerProcess();
    void StopWatchingServerProcess() noexcept;
    void UpdateProbe() noexcept;
    void CheckConnection();
    void Lost();
    void OnReconnectTimer();
    void OnQuitWaitTimer();

    Owner& m_owner;
    HWND m_window = nullptr;
    std::wstring m_outlookPath;
    bool m_keepLoaded = false;

    OutlookWithEvents m_objOutlook;
    wl::Dispatch m_objInbox;
    RemindersWithEvents m_reminders;
    // Reminders' events wait here for the message loop.
    std::deque<wl::Dispatch> m_firedReminders;
    bool m_remindersChanged = false;
    bool m_remindersEventPosted = false;
    wl::Dispatch m_objWord;
    bool m_blnOutlookLoaded = false;

    // Outlook's process and the thread pool's wait for its end.
    struct ProcessWait;
    wl::UniqueHandle m_process;
    std::unique_ptr<ProcessWait> m_processWait;
    bool m_serverEnded = false;

    bool m_outlookMissing = false;
    bool m_watching = false;
    bool m_probing = false;
    unsigned m_generation = 0;  // counts the connections made, to tell a stale Quit event
    bool m_pendingQuit = false;
    unsigned m_quitGeneration = 0;
    bool m_quitting = false;

    bool m_reconnectPending = false;
    // The Outlook that went away, until its process has ended (or the
    // longest wait has passed): only then is a new connection made.
    wl::UniqueHandle m_endingProcess;
    ULONGLONG m_endingSince = 0;
    UINT m_probeMs = 60'000;
    UINT m_firstPauseMs = 3'000;
    UINT m_longestPauseMs = 300'000;
    UINT m_reconnectPauseMs = 3'000;
};
