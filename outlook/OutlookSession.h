// Everything the program asks of Outlook, behind one object the windows use.
// It holds Outlook's Application with its events, the default Inbox, the
// reminders and a kept Word, and runs itself: a message-only window of its own
// takes its timers, its posted messages and the events it puts off. It
// watches over the connection (Outlook may quit, crash or be ended while the
// program holds it: the Quit event, the end of Outlook's process, a call that
// finds the process gone), connects again after pauses that grow while
// Outlook cannot be started, and tells its owner what happened as values.
// Only where Outlook's process cannot be found is it asked now and then
// whether it is still there; otherwise nothing is done while nothing happens.
#pragma once

#include "core/Dispatch.h"
#include "core/EventSink.h"
#include "core/MessageWindow.h"
#include "outlook/Meeting.h"
#include "outlook/Reminder.h"
#include "outlook/StartFolder.h"
#include "outlook/TaskRow.h"

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class OutlookSession final : private wl::MessageWindow::Receiver {
public:
    // The main window. Each call comes from the message loop, outside any call
    // into Outlook, except where Open and Close tell it of their own outcome.
    class Owner {
    public:
        // Connected; reconnected: by the session itself, after a loss or a restart.
        virtual void OutlookConnected(bool reconnected) = 0;
        // Not connected any more, or a connection failed (OutlookMissing says
        // whether Outlook is there at all): drop what depends on Outlook.
        virtual void OutlookDisconnected() = 0;
        // Reminders came due, read once (one of them not readable now: its
        // entry id is empty); at connect, those Outlook shows already.
        virtual void OutlookRemindersFired(const std::vector<wl::Reminder>& fired) = 0;
        // The reminders Outlook shows now, after some were dismissed, snoozed
        // or changed there.
        virtual void OutlookRemindersShown(const std::vector<wl::Reminder>& shown) = 0;
        // A store was added to the profile or is leaving it: the next scan
        // of the overdue tasks reads the stores as they are now.
        virtual void OutlookStoresChanged() = 0;
        // Items of the calendar were added, changed or removed (those of a
        // few seconds told once): the day's meetings are to be read again.
        virtual void OutlookCalendarChanged() = 0;

    protected:
        ~Owner() = default;
    };

    // Why a connection could not be made, as the user is told.
    enum class ConnectFailure { NotInstalled, Elevated, Other };
    static ConnectFailure FailureOf(const wl::ComError& error) noexcept;

    explicit OutlookSession(Owner& owner);
    OutlookSession(const OutlookSession&) = delete;
    OutlookSession& operator=(const OutlookSession&) = delete;
    // Lets go of everything quietly: Word is not told to quit, the owner is not told.
    ~OutlookSession();

    // Makes the session's window. outlookPath: OUTLOOK.EXE as the registry
    // names it, or empty, to find Outlook's process.
    void Start(std::wstring outlookPath);
    // Watches the connection from here on (the end of start-up).
    void Watch();
    // No timer, message or event reaches the session after this.
    void Stop() noexcept;

    // Word as keepWord asks (a kept one is told to quit when not wanted any
    // more), then a new Outlook Application with its events, its Inbox and
    // its reminders. Tells the owner; throws wl::ComError at the step that
    // fails, with what was reached held.
    void Open(bool keepWord);
    // Tells a kept Word to quit, lets go of Outlook without telling it to
    // quit, and tells the owner. Word being gone is no failure.
    void Close() noexcept;
    // As Close, without Word and without a word to the owner.
    void Reset() noexcept;

    bool Loaded() const noexcept { return m_blnOutlookLoaded; }
    // Whether Outlook is to be kept loaded: a lost connection is made again only then.
    void KeepLoaded(bool keep) noexcept;
    // Whether a connection the session makes by itself keeps Word loaded.
    void KeepWord(bool keep) noexcept { m_keepWord = keep; }
    // Whether the items of reminders that come due are read; untracked, the
    // owner is told only that some came due.
    void TrackReminders(bool track) noexcept { m_trackReminders = track; }
    // Whether a meeting's body is read for its join link when its location
    // has none: Outlook may ask the user first (its object model guard).
    void ReadMeetingBodies(bool read) noexcept { m_readBodies = read; }

    // Classic Outlook is not installed (only the new Outlook, which no other
    // program can drive, or none): found by the last Open. Nothing retries
    // on its own then; the user's own requests still try.
    bool OutlookMissing() const noexcept { return m_outlookMissing; }

    // After a sleep, an unlock or a change of the clock: whether Outlook is
    // still there (its process, or one call where it is not known), then
    // which reminders it shows, once: those not known yet are told as come
    // due, then the set as shown. Returns whether connected.
    bool Refresh();

    // Clean Up: tells Outlook to quit, lets go of it, waits for its process
    // to end, then connects again when keeping Outlook loaded. Meanwhile
    // Restarting() is true and Outlook's own Quit starts no reconnect.
    void Restart();
    bool Restarting() const noexcept { return m_restarting; }

    // Brings an Outlook window to the front on the folder, connecting first
    // when not connected (a failure to connect throws wl::ComError); a
    // connection found dead is made afresh once. FrontWindow keeps the folder
    // of an open window, and without one is the configured folder. Without
    // keepLoaded the connection goes afterwards. Returned: why showing failed.
    std::optional<wl::ComError> ShowFolder(StartFolder folder, StartFolder configured, bool keepLoaded);
    // The overdue tasks of the Tasks folder of every store (see
    // ReadOverdueTasksOfStores); std::nullopt when not connected or when
    // Outlook fails to answer. The stores that raised are passed over.
    std::optional<std::vector<wl::TaskRow>> ScanOverdueTasks() noexcept;
    // The meetings of the default calendar from now to dayEnd (see
    // wl::ReadMeetings); std::nullopt when not connected or when Outlook
    // fails to answer.
    std::optional<std::vector<wl::Meeting>> ReadToday(double now, double dayEnd, bool withReminders) noexcept;
    // The stores of the profile (those not leaving it), by display name and
    // store id; std::nullopt when not connected or Outlook fails to answer.
    struct StoreEntry {
        std::wstring name, storeId;
    };
    std::optional<std::vector<StoreEntry>> ListStores() const noexcept;
    // The stores whose overdue tasks are not read, by store id (the user's choice).
    void LeaveOutStores(std::vector<std::wstring> storeIds) noexcept { m_storesLeftOut = std::move(storeIds); }
    const std::vector<std::wstring>& StoresLeftOut() const noexcept { return m_storesLeftOut; }
    // The display names of the stores the last scan could not read.
    const std::vector<std::wstring>& StoresNotRead() const noexcept { return m_storesNotRead; }
    // Opens an item by its entry id (and its store's, when known); false
    // when Outlook has no such item (any more). Throws wl::ComError.
    bool DisplayItem(const std::wstring& entryId, const std::wstring& storeId) const;

    // Acting on several items at once, in one piece of work. An item Outlook
    // no longer has or shows counts as done: there is nothing left to do.
    // Returned: the entry ids Outlook refused otherwise, with the first such
    // failure. A busy or vanished Outlook throws wl::ComError.
    struct Refusals {
        std::set<std::wstring> entryIds;
        std::optional<wl::ComError> first;
    };
    // The reminders of these items, in one pass over Outlook's reminders.
    Refusals SnoozeReminders(const std::set<std::wstring>& entryIds, long minutes);
    Refusals DismissReminders(const std::set<std::wstring>& entryIds);
    // The tasks by entry id, each found in its own store (entry id -> store id,
    // empty when not known).
    Refusals MarkTasksComplete(const std::map<std::wstring, std::wstring>& tasks) const;

    // The number of Outlook's open explorers; 0 when not connected.
    long ExplorerCount() const noexcept;

    // How often a connected Outlook is asked whether it is still there, and
    // the pauses before connecting again (doubling from the first to the
    // longest while Outlook cannot be started).
    void SetWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs);

private:
    friend struct Inspector;  // the tests' one view inside the program

    // An event of Outlook's, kept until the message loop handles it.
    struct ReminderEvent {
        enum class Kind { Fired, ItemFired, Changed, Removed } kind;
        wl::Dispatch object;  // the reminder, or (ItemFired) its item
    };

    void Open(bool keepWord, bool reconnected);
    bool OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnApplicationEvent(DISPID id, const DISPPARAMS& params);
    void OnRemindersEvent(DISPID id, const DISPPARAMS& params);
    void QueueReminderEvent(ReminderEvent event);
    void HandleReminderEvents();
    // The stores' events: connected at each connection, handled from the message loop.
    void OpenStores();
    void OnStoresEvent(DISPID id, const DISPPARAMS& params);
    void HandleStoresEvents();
    // The default calendar, with the events of its items (outlook/Calendar.cpp).
    void OpenCalendar();
    void OnCalendarEvent(DISPID id);
    void HandleCalendarEvents();
    // Connects the reminders' events and reads the reminders Outlook shows.
    void OpenReminders();
    // Which reminders Outlook shows, from one pass; the values known are
    // kept. Returned: those not known before.
    std::vector<wl::Reminder> ReadShownReminders();
    void ForgetShown(const std::set<std::wstring>& entryIds);
    Refusals ActOnReminders(const std::set<std::wstring>& entryIds,
                            const std::function<void(const wl::Dispatch& reminder)>& act);
    wl::Dispatch ItemOf(const std::wstring& entryId, const std::wstring& storeId) const;
    void ShowFolderOnce(StartFolder folder, StartFolder configured) const;
    bool Quit() const noexcept;
    wl::UniqueHandle ServerProcess() const;
    void OnQuit();
    void OnServerEnded();
    void WatchServerProcess();
    void StopWatchingServerProcess() noexcept;
    void UpdateProbe() noexcept;
    void CheckConnection();
    void Lost();
    // Waits for the Outlook that went away to end before connecting again.
    bool WaitForEnd(wl::UniqueHandle process, ULONGLONG fixedPauseMs);
    void OnQuitWaitTimer();
    void FinishRestart();
    void ScheduleReconnect();
    void OnReconnectTimer();

    Owner& m_owner;
    wl::MessageWindow m_window;
    std::wstring m_outlookPath;
    bool m_keepLoaded = false;
    bool m_keepWord = false;
    bool m_trackReminders = true;
    bool m_readBodies = false;

    wl::EventSource m_objOutlook;
    wl::Dispatch m_objInbox;
    wl::EventSource m_reminders;
    wl::Dispatch m_objWord;
    bool m_blnOutlookLoaded = false;

    // The reminders Outlook shows, as read; Outlook's events wait here.
    std::vector<wl::Reminder> m_shown;
    std::deque<ReminderEvent> m_events;
    bool m_eventsPosted = false;
    // The size of Outlook's reminders collection after the program's own dismissals.
    std::optional<long> m_countAfterOwnRemovals;

    std::vector<std::wstring> m_storesNotRead;  // by the last scan of the overdue tasks
    wl::EventSource m_stores;  // NameSpace.Stores, with its events
    // The stores' events, waiting for the message loop: the store, and
    // whether it is leaving (else it was added).
    std::vector<std::pair<wl::Dispatch, bool>> m_storeEvents;
    // The ids of the stores leaving the profile: scans pass them over while
    // Outlook still lists them.
    std::vector<std::wstring> m_storesLeaving;
    std::vector<std::wstring> m_storesLeftOut;

    wl::Dispatch m_calendar;         // the default Calendar folder
    std::wstring m_calendarStoreId;  // of its store
    wl::EventSource m_calendarItems;  // its items, held for their events
    bool m_calendarEventsPending = false;
    ULONGLONG m_calendarEventsSince = 0;  // the first of the events waiting

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
    bool m_restarting = false;

    bool m_reconnectPending = false;
    // The Outlook that went away, until its process has ended (or the
    // longest wait has passed): only then is a new connection made.
    wl::UniqueHandle m_endingProcess;
    bool m_waitingForEnd = false;
    ULONGLONG m_endingSince = 0;
    ULONGLONG m_endingPauseMs = 0;  // without its process: a fixed pause
    UINT m_probeMs = 60'000;
    UINT m_firstPauseMs = 3'000;
    UINT m_longestPauseMs = 300'000;
    UINT m_reconnectPauseMs = 3'000;
};
