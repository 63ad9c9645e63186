#include "OutlookSession.h"

#include "core/AppMessages.h"
#include "core/Clock.h"
#include "core/Processes.h"
#include "core/RemoteWork.h"
#include "core/Settings.h"
#include "outlook/OverdueScan.h"
#include "outlook/Reminders.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace {

// The window told when a call finds Outlook's process gone. Calls fail deep
// inside the late-binding helper, which knows of no connection.
HWND g_watchWindow = nullptr;

void NotifyServerGone() noexcept
{
    if (g_watchWindow) ::PostMessageW(g_watchWindow, wl::kOutlookCallFoundItGone, 0, 0);
}

// Word is only ever told to quit on the way out: one that is already gone
// must not keep Outlook from being connected or released.
void QuitWord(wl::Dispatch word) noexcept
{
    try {
        (void)word.Call(L"Quit");
    } catch (const wl::ComError&) {
        // Word ended by itself: nothing to quit.
    }
}

// Outlook may close its data file for a long time after it quit; a new
// connection waits that long at most for the old process to end. Clean Up,
// when it does not know the process, waits a pause long enough for a quick Outlook.
constexpr ULONGLONG kEndLongestWaitMs = 60'000;
constexpr ULONGLONG kRestartPauseMs = 6'000;
constexpr UINT kEndWaitPollMs = 250;

// Outlook's events of one change come one call after another: they are
// gathered this long before they are handled.
constexpr UINT kEventsSettleMs = 50;

// MAPI_E_NOT_FOUND: Outlook has no item of that entry id (any more).
constexpr HRESULT kItemNotFound = static_cast<HRESULT>(0x8004010FL);


auto ById(const std::wstring& entryId)
{
    return [&entryId](const wl::Reminder& reminder) { return reminder.entryId == entryId; };
}

}  // namespace

// Told on a thread of the pool when Outlook's process ends; posts to the
// session's window, with the connection it belongs to.
struct OutlookSession::ProcessWait {
    HWND window;
    unsigned generation;
    HANDLE wait = nullptr;

    static void CALLBACK Signalled(PVOID context, BOOLEAN)
    {
        auto* self = static_cast<ProcessWait*>(context);
        ::PostMessageW(self->window, wl::kOutlookProcessEnded, self->generation, 0);
    }
};

OutlookSession::ConnectFailure OutlookSession::FailureOf(const wl::ComError& error) noexcept
{
    // No class by that name, or a name without a class behind it.
    if (error.Code() == CO_E_CLASSSTRING || error.Code() == REGDB_E_CLASSNOTREG) return ConnectFailure::NotInstalled;
    // COM does not connect a program running as administrator to one that is not.
    if (error.Code() == CO_E_SERVER_EXEC_FAILURE) return ConnectFailure::Elevated;
    return ConnectFailure::Other;
}

OutlookSession::OutlookSession(Owner& owner) : m_owner(owner) {}

OutlookSession::~OutlookSession()
{
    Stop();
    Reset();
}

void OutlookSession::Start(std::wstring outlookPath)
{
    m_outlookPath = std::move(outlookPath);
    if (!m_window && !m_window.Create(*this)) return;
    g_watchWindow = m_window.Hwnd();
    wl::SetServerGoneObserver(&NotifyServerGone);
}

void OutlookSession::Watch()
{
    m_watching = static_cast<bool>(m_window);
    UpdateProbe();
    // A connection wanted and not made (start-up could not) is tried again
    // after the first pause.
    if (!m_blnOutlookLoaded && !m_reconnectPending && !m_waitingForEnd) ScheduleReconnect();
}

void OutlookSession::Stop() noexcept
{
    if (!m_window) return;
    StopWatchingServerProcess();
    m_endingProcess.reset();
    m_probing = m_watching = m_reconnectPending = m_waitingForEnd = false;
    if (g_watchWindow == m_window.Hwnd()) g_watchWindow = nullptr;
    m_window.Destroy();  // its timers with it
}

bool OutlookSession::OnWindowMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case wl::kOutlookQuit: OnQuit(); return true;
    case wl::kOutlookRemindersEvent: HandleReminderEvents(); return true;
    case wl::kOutlookStoresEvent: HandleStoresEvents(); return true;
    case wl::kOutlookCallFoundItGone: CheckConnection(); return true;
    case wl::kOutlookProcessEnded:
        if (m_process && wParam == m_generation) m_serverEnded = true;
        OnServerEnded();
        return true;
    case WM_TIMER:
        if (wParam == wl::kProbeTimer) CheckConnection();
        else if (wParam == wl::kReconnectTimer) OnReconnectTimer();
        else if (wParam == wl::kQuitWaitTimer) OnQuitWaitTimer();
        else if (wParam == wl::kRemindersQuietTimer) HandleReminderEvents();
        else if (wParam == wl::kCalendarQuietTimer) HandleCalendarEvents();
        return true;
    default: return false;
    }
}

// Connecting and letting go

void OutlookSession::Open(bool keepWord) { Open(keepWord, false); }

void OutlookSession::Open(bool keepWord, bool reconnected)
{
    wl::RemoteWork work;
    m_keepWord = keepWord;
    struct Finally {
        OutlookSession& self;
        ~Finally() { self.UpdateProbe(); }
    } probeAsNeeded{*this};
    try {
        if (keepWord) {
            if (!m_objWord) m_objWord = wl::Dispatch::Create(L"Word.Application");
        } else if (m_objWord) {
            QuitWord(std::move(m_objWord));
            m_objWord.Reset();
        }

        wl::Dispatch application;
        try {
            application = wl::Dispatch::Create(L"Outlook.Application");
        } catch (const wl::ComError& error) {
            m_outlookMissing = FailureOf(error) == ConnectFailure::NotInstalled;
            throw;
        }
        m_outlookMissing = false;
        StopWatchingServerProcess();
        ++m_generation;  // events of the previous object are stale from here on
        // Events are a bonus of the connection: an Outlook without them still
        // works. Outlook asks the sink for the event dispinterface before it calls.
        m_objOutlook.Set(std::move(application), {wl::DIID_ApplicationEvents_11, wl::DIID_ApplicationEvents},
                         [this](DISPID id, const DISPPARAMS& params) { OnApplicationEvent(id, params); });
        m_objInbox = m_objOutlook->Call(L"GetNamespace", L"MAPI")
                         .Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Inbox))
                         .Object();
    } catch (const wl::ComError&) {
        if (!m_blnOutlookLoaded) m_owner.OutlookDisconnected();
        throw;
    }
    m_blnOutlookLoaded = true;
    WatchServerProcess();
    OpenReminders();
    OpenStores();
    OpenCalendar();
    m_owner.OutlookConnected(reconnected);
}

void OutlookSession::OpenReminders()
{
    m_events.clear();
    m_shown.clear();
    m_countAfterOwnRemovals.reset();
    try {
        m_reminders.Set(m_objOutlook->Get(L"Reminders").Object(), {wl::DIID_ReminderCollectionEvents},
                        [this](DISPID id, const DISPPARAMS& params) { OnRemindersEvent(id, params); });
        (void)ReadShownReminders();
    } catch (const wl::ComError&) {
        // An Outlook without Reminders (or too busy to say) still works:
        // its Reminder event lists what fires from now on.
        return;
    }
    // What came due before this connection is listed as if it fired now.
    if (m_shown.empty()) return;
    m_events.push_front({ReminderEvent::Kind::Fired, {}});
    if (m_window && !std::exchange(m_eventsPosted, true))
        ::PostMessageW(m_window.Hwnd(), wl::kOutlookRemindersEvent, 0, 0);
}

void OutlookSession::OpenStores()
{
    m_storeEvents.clear();
    m_storesLeaving.clear();
    try {
        m_stores.Set(m_objOutlook->Call(L"GetNamespace", L"MAPI").Call(L"Stores").Object(), {wl::DIID_StoresEvents_12},
                     [this](DISPID id, const DISPPARAMS& params) { OnStoresEvent(id, params); });
    } catch (const wl::ComError&) {
        // An Outlook without Stores has one store: nothing comes or goes.
    }
}

void OutlookSession::Close() noexcept
{
    if (m_objWord) QuitWord(std::move(m_objWord));
    m_objWord.Reset();
    Reset();
    m_owner.OutlookDisconnected();
}

void OutlookSession::Reset() noexcept
{
    StopWatchingServerProcess();
    m_objInbox.Reset();
    m_events.clear();
    m_shown.clear();
    m_reminders.Reset();
    m_stores.Reset();
    m_storeEvents.clear();
    m_storesLeaving.clear();
    m_calendarItems.Reset();
    m_calendar.Reset();
    m_objOutlook.Reset();  // disconnects the events, then releases Outlook without telling it to quit
    m_blnOutlookLoaded = false;
    UpdateProbe();
}

void OutlookSession::KeepLoaded(bool keep) noexcept
{
    m_keepLoaded = keep;
    UpdateProbe();
    // Wanted from now on: connected after the first pause, unless sooner.
    if (keep && m_watching && !m_blnOutlookLoaded && !m_reconnectPending && !m_waitingForEnd) ScheduleReconnect();
}

void OutlookSession::SetWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs)
{
    m_probeMs = probeMs;
    m_firstPauseMs = m_reconnectPauseMs = firstPauseMs;
    m_longestPauseMs = longestPauseMs;
    if (m_probing) ::SetTimer(m_window.Hwnd(), wl::kProbeTimer, m_probeMs, nullptr);
}

// Outlook's events arrive inside a call from Outlook, perhaps while a call
// into Outlook still waits for its answer: they are handled from the message loop.

void OutlookSession::OnApplicationEvent(DISPID id, const DISPPARAMS& params)
{
    if (id == wl::kDispidReminder) {
        if (wl::Dispatch item = wl::EventObjectArg(params, 0))
            QueueReminderEvent({ReminderEvent::Kind::ItemFired, std::move(item)});
    } else if (id == wl::kDispidQuit) {
        m_pendingQuit = true;
        m_quitGeneration = m_generation;
        if (m_window) ::PostMessageW(m_window.Hwnd(), wl::kOutlookQuit, 0, 0);
    }
}

void OutlookSession::OnRemindersEvent(DISPID id, const DISPPARAMS& params)
{
    switch (id) {
    case wl::kDispidReminderFire:
        if (wl::Dispatch reminder = wl::EventObjectArg(params, 0))
            QueueReminderEvent({ReminderEvent::Kind::Fired, std::move(reminder)});
        break;
    case wl::kDispidReminderAdd:
    case wl::kDispidReminderChange:
    case wl::kDispidReminderSnooze:
        if (wl::Dispatch reminder = wl::EventObjectArg(params, 0))
            QueueReminderEvent({ReminderEvent::Kind::Changed, std::move(reminder)});
        else
            QueueReminderEvent({ReminderEvent::Kind::Removed, {}});  // it names none: look at them all
        break;
    case wl::kDispidReminderRemove: QueueReminderEvent({ReminderEvent::Kind::Removed, {}}); break;
    default: break;
    }
}

void OutlookSession::OnStoresEvent(DISPID id, const DISPPARAMS& params)
{
    if (id != wl::kDispidStoreAdd && id != wl::kDispidBeforeStoreRemove) return;
    // The store is the first argument; BeforeStoreRemove's Cancel is left as
    // it is: the program never holds a store back.
    wl::Dispatch store = wl::EventObjectArg(params, 0);
    m_storeEvents.emplace_back(std::move(store), id == wl::kDispidBeforeStoreRemove);
    if (m_window) ::PostMessageW(m_window.Hwnd(), wl::kOutlookStoresEvent, 0, 0);
}

void OutlookSession::HandleStoresEvents()
{
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(m_window.Hwnd(), wl::kOutlookStoresEvent);
        return;
    }
    auto events = std::exchange(m_storeEvents, {});
    if (!m_blnOutlookLoaded || events.empty()) return;
    try {
        wl::RemoteWork work;
        for (const auto& [store, leaving] : events) {
            // A store still there gives its id; one gone already is no longer
            // listed anyway.
            std::wstring storeId;
            try {
                if (!store) continue;
                storeId = store.Get(L"StoreID").Text();
            } catch (const wl::ComError&) {
                continue;
            }
            auto known = std::find(m_storesLeaving.begin(), m_storesLeaving.end(), storeId);
            if (leaving && known == m_storesLeaving.end()) m_storesLeaving.push_back(storeId);
            if (!leaving && known != m_storesLeaving.end()) m_storesLeaving.erase(known);
        }
    } catch (...) {
        // Out of memory: the scan reads the stores as Outlook lists them.
    }
    m_owner.OutlookStoresChanged();
}

void OutlookSession::QueueReminderEvent(ReminderEvent event)
{
    m_events.push_back(std::move(event));
    // Outlook announces one change through several events, one call each:
    // they are handled together once they have all come.
    if (m_window && !std::exchange(m_eventsPosted, true))
        ::SetTimer(m_window.Hwnd(), wl::kRemindersQuietTimer, kEventsSettleMs, nullptr);
}

void OutlookSession::HandleReminderEvents()
{
    ::KillTimer(m_window.Hwnd(), wl::kRemindersQuietTimer);
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(m_window.Hwnd(), wl::kOutlookRemindersEvent);
        return;
    }
    m_eventsPosted = false;  // events coming in while these are handled post again
    std::deque<ReminderEvent> events = std::exchange(m_events, {});
    if (!m_blnOutlookLoaded || events.empty()) return;

    std::vector<wl::Reminder> fired;
    bool changed = false;
    std::size_t removals = 0;
    auto announce = [&](wl::Reminder reminder) { fired.push_back(std::move(reminder)); };
    // Outlook announces a reminder that comes due once per event, in an
    // order of its own: one alert.
    auto announcedLately = [&](const std::wstring& entryId) {
        return std::any_of(fired.begin(), fired.end(), ById(entryId));
    };
    auto update = [&](wl::Reminder reminder, bool cameDue) {
        auto known = std::find_if(m_shown.begin(), m_shown.end(), ById(reminder.entryId));
        if (known != m_shown.end()) *known = reminder;
        else if (cameDue) m_shown.push_back(reminder);
        else return;
        if (cameDue) announce(std::move(reminder));
        else changed = true;
    };

    wl::RemoteWork work;  // one busy budget for the whole batch
    bool unavailable = false;
    // Those that came due while Outlook could not answer, by event: each
    // reminder is announced by each kind of event once.
    std::size_t unread[2] = {0, 0};
    for (ReminderEvent& event : events) {
        const bool cameDue = event.object && (event.kind == ReminderEvent::Kind::Fired ||
                                              event.kind == ReminderEvent::Kind::ItemFired);
        if (unavailable) {
            if (cameDue) ++unread[event.kind == ReminderEvent::Kind::Fired];
            continue;
        }
        try {
            switch (event.kind) {
            case ReminderEvent::Kind::Fired:
                if (!event.object) {  // those shown at connect
                    for (const wl::Reminder& reminder : m_shown) announce(reminder);
                    break;
                }
                [[fallthrough]];
            case ReminderEvent::Kind::ItemFired: {
                wl::Dispatch item = event.kind == ReminderEvent::Kind::Fired ? event.object.Get(L"Item").Object()
                                                                              : std::move(event.object);
                std::wstring entryId = item.Get(L"EntryID").Text();
                if (announcedLately(entryId)) break;
                if (!m_trackReminders) {
                    wl::Reminder untracked;  // nothing more is read of it
                    untracked.entryId = std::move(entryId);
                    announce(std::move(untracked));
                    break;
                }
                update(wl::ReadReminderItem(item, std::move(entryId), m_readBodies), true);
                break;
            }
            case ReminderEvent::Kind::Changed: {
                const bool visible = event.object.Get(L"IsVisible").Bool();
                wl::Dispatch item = event.object.Get(L"Item").Object();
                std::wstring entryId = item.Get(L"EntryID").Text();
                if (visible) {
                    if (std::any_of(m_shown.begin(), m_shown.end(), ById(entryId)))
                        update(wl::ReadReminderItem(item, std::move(entryId), m_readBodies), false);
                    break;
                }
                auto known = std::find_if(m_shown.begin(), m_shown.end(), ById(entryId));
                if (known != m_shown.end()) {
                    m_shown.erase(known);
                    changed = true;
                }
                break;
            }
            case ReminderEvent::Kind::Removed: ++removals; break;
            }
        } catch (const wl::ComError& error) {
            if (wl::OutlookUnavailable(error)) {
                unavailable = true;
                if (cameDue) ++unread[event.kind == ReminderEvent::Kind::Fired];
            } else {
                ++removals;  // its item went meanwhile: a removal tells what is left
            }
        }
    }
    // Outlook cannot answer: what came due is listed all the same, unread.
    fired.resize(fired.size() + std::max(unread[0], unread[1]));
    try {
        // A removal names no reminder: unless the collection is as the
        // program's own removals left it, one pass finds which are left.
        if (!unavailable && removals > 0) {
            const auto ownCount = std::exchange(m_countAfterOwnRemovals, std::nullopt);
            if (!ownCount || m_reminders->Get(L"Count").Long() != *ownCount) {
                (void)ReadShownReminders();
                changed = true;
            }
        }
    } catch (const wl::ComError&) {
        // Outlook busy or gone: the rest waits for Outlook's next event, or the reconnect.
    }
    if (!fired.empty()) m_owner.OutlookRemindersFired(fired);
    if (changed && m_blnOutlookLoaded) m_owner.OutlookRemindersShown(m_shown);
}

std::vector<wl::Reminder> OutlookSession::ReadShownReminders()
{
    std::vector<wl::Reminder> shown, found;
    wl::WalkReminders(m_reminders.Get(), [&](const wl::Dispatch&, bool visible, const auto& item) {
        if (!visible) return true;
        try {
            wl::Dispatch object = item();
            std::wstring entryId = object.Get(L"EntryID").Text();
            auto known = std::find_if(m_shown.begin(), m_shown.end(), ById(entryId));
            if (known != m_shown.end()) {
                shown.push_back(*known);
                return true;
            }
            shown.push_back(wl::ReadReminderItem(object, std::move(entryId), m_readBodies));
            found.push_back(shown.back());
        } catch (const wl::ComError& error) {
            if (wl::OutlookUnavailable(error)) throw;
            // Deleted between the two reads: not shown any more.
        }
        return true;
    });
    m_shown = std::move(shown);
    return found;
}

bool OutlookSession::Refresh()
{
    if (!m_blnOutlookLoaded || m_restarting) return m_blnOutlookLoaded;
    if (m_process) {
        if (::WaitForSingleObject(m_process.get(), 0) != WAIT_TIMEOUT) Lost();
    } else {
        CheckConnection();
    }
    if (!m_blnOutlookLoaded || !m_reminders) return m_blnOutlookLoaded;
    std::vector<wl::Reminder> found;
    try {
        wl::RemoteWork work;
        found = ReadShownReminders();
    } catch (const wl::ComError&) {
        return m_blnOutlookLoaded;  // busy or gone: the watch and Outlook's next event tell
    }
    if (!found.empty()) m_owner.OutlookRemindersFired(found);
    if (m_blnOutlookLoaded) m_owner.OutlookRemindersShown(m_shown);
    return m_blnOutlookLoaded;
}

void OutlookSession::ForgetShown(const std::set<std::wstring>& entryIds)
{
    std::erase_if(m_shown, [&](const wl::Reminder& reminder) { return entryIds.count(reminder.entryId) > 0; });
}

// The connection's watch

wl::UniqueHandle OutlookSession::ServerProcess() const
{
    HANDLE copy = nullptr;
    if (m_process)
        (void)::DuplicateHandle(::GetCurrentProcess(), m_process.get(), ::GetCurrentProcess(), &copy, SYNCHRONIZE,
                                FALSE, 0);
    return wl::UniqueHandle(copy);
}

void OutlookSession::WatchServerProcess()
{
    // Outlook runs once in a session: the process of that name is the one
    // that serves the connection. Its end is noticed at once, without a call.
    m_process = FindProgramProcess(m_outlookPath.empty() ? std::wstring(L"OUTLOOK.EXE") : m_outlookPath);
    if (!m_process || !m_window) return;
    auto wait = std::make_unique<ProcessWait>(ProcessWait{m_window.Hwnd(), m_generation});
    if (!::RegisterWaitForSingleObject(&wait->wait, m_process.get(), &ProcessWait::Signalled, wait.get(), INFINITE,
                                       WT_EXECUTEONLYONCE)) {
        m_process.reset();  // no wait: the probe takes over
        return;
    }
    m_processWait = std::move(wait);
}

void OutlookSession::StopWatchingServerProcess() noexcept
{
    if (m_processWait) {
        // Waits for a callback that is running: the context goes after it.
        (void)::UnregisterWaitEx(m_processWait->wait, INVALID_HANDLE_VALUE);
        m_processWait.reset();
    }
    m_process.reset();
    m_serverEnded = false;
}

void OutlookSession::UpdateProbe() noexcept
{
    // Asked now and then only while connected without knowing the process,
    // or while a connection is wanted and not there.
    bool probe = m_watching && m_window && (m_blnOutlookLoaded ? !m_process : m_keepLoaded && !m_outlookMissing);
    if (probe == m_probing) return;
    m_probing = probe;
    if (probe) ::SetTimer(m_window.Hwnd(), wl::kProbeTimer, m_probeMs, nullptr);
    else ::KillTimer(m_window.Hwnd(), wl::kProbeTimer);
}

void OutlookSession::OnQuit()
{
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(m_window.Hwnd(), wl::kOutlookQuit);
        return;
    }
    // Outlook ends (the user closed its last window, or it was shut down):
    // let go of it, unless the Quit came from an earlier connection or from
    // Clean Up, which quits Outlook on purpose.
    bool quit = std::exchange(m_pendingQuit, false);
    if (quit && m_quitGeneration == m_generation && m_blnOutlookLoaded && !m_restarting) Lost();
}

void OutlookSession::OnServerEnded()
{
    if (!m_serverEnded || m_restarting) return;
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(m_window.Hwnd(), wl::kOutlookProcessEnded);
        return;
    }
    if (m_blnOutlookLoaded) Lost();
}

void OutlookSession::CheckConnection()
{
    if (m_restarting || wl::RemoteWork::InProgress()) return;  // the next tick looks again
    if (m_blnOutlookLoaded && m_objOutlook) {
        wl::RemoteWork work;
        try {
            (void)m_objOutlook->Get(L"Name");
        } catch (const wl::ComError& error) {
            if (error.ServerGone()) Lost();
        }
    } else if (m_keepLoaded && !m_reconnectPending && !m_waitingForEnd) {
        ScheduleReconnect();  // an earlier attempt to connect failed
    }
}

void OutlookSession::Lost()
{
    // Until the Outlook that quit has ended, COM hands a new connection to
    // that dying process, and it is lost with it: wait for the end first.
    wl::UniqueHandle ending = ServerProcess();
    Close();
    if (!m_keepLoaded || m_outlookMissing) return;
    if (ending && ::WaitForSingleObject(ending.get(), 0) == WAIT_TIMEOUT && WaitForEnd(std::move(ending), 0)) return;
    ScheduleReconnect();
}

void OutlookSession::Restart()
{
    if (m_restarting) return;
    m_restarting = true;  // Outlook's Quit event that follows is the program's own doing
    wl::UniqueHandle process = ServerProcess();
    (void)Quit();
    if (!m_blnOutlookLoaded) {
        FinishRestart();
        return;
    }
    Close();
    // Outlook may take far longer than a few seconds to close its data file,
    // and until its process has ended a new connection would be to the
    // dying one: wait for it on a timer, answering Windows meanwhile.
    if (!WaitForEnd(std::move(process), kRestartPauseMs)) FinishRestart();
}

bool OutlookSession::WaitForEnd(wl::UniqueHandle process, ULONGLONG fixedPauseMs)
{
    if (!m_window || !::SetTimer(m_window.Hwnd(), wl::kQuitWaitTimer, kEndWaitPollMs, nullptr)) return false;
    m_endingProcess = std::move(process);
    m_endingPauseMs = fixedPauseMs;
    m_endingSince = ::GetTickCount64();
    m_waitingForEnd = true;
    return true;
}

void OutlookSession::OnQuitWaitTimer()
{
    if (!m_waitingForEnd) return;
    const ULONGLONG waited = ::GetTickCount64() - m_endingSince;
    const bool ended = m_endingProcess ? ::WaitForSingleObject(m_endingProcess.get(), 0) != WAIT_TIMEOUT
                                       : waited >= m_endingPauseMs;
    if (!ended && waited < kEndLongestWaitMs) return;
    ::KillTimer(m_window.Hwnd(), wl::kQuitWaitTimer);
    m_endingProcess.reset();
    m_waitingForEnd = false;
    if (m_restarting) FinishRestart();
    else ScheduleReconnect();
}

void OutlookSession::FinishRestart()
{
    m_restarting = false;
    m_pendingQuit = false;  // a Quit event still on its way is the restart's
    if (!m_keepLoaded) return;
    try {
        Open(m_keepWord, true);
    } catch (const wl::ComError&) {
        ScheduleReconnect();
    }
}

void OutlookSession::ScheduleReconnect()
{
    if (!m_keepLoaded || !m_window || m_outlookMissing) return;
    m_reconnectPending = ::SetTimer(m_window.Hwnd(), wl::kReconnectTimer, m_reconnectPauseMs, nullptr) != 0;
}

void OutlookSession::OnReconnectTimer()
{
    ::KillTimer(m_window.Hwnd(), wl::kReconnectTimer);
    m_reconnectPending = false;
    if (m_blnOutlookLoaded || !m_keepLoaded) {
        m_reconnectPauseMs = m_firstPauseMs;
        return;
    }
    if (m_restarting || wl::RemoteWork::InProgress()) {
        ScheduleReconnect();
        return;
    }
    try {
        Open(m_keepWord, true);
    } catch (const wl::ComError&) {
        // Outlook cannot be started yet: wait longer each time.
        Reset();
        m_reconnectPauseMs = std::min(m_reconnectPauseMs * 2, m_longestPauseMs);
        ScheduleReconnect();
        return;
    }
    m_reconnectPauseMs = m_firstPauseMs;
}

// What the windows ask of Outlook

void OutlookSession::ShowFolderOnce(StartFolder folder, StartFolder configured) const
{
    const wl::Dispatch& outlook = m_objOutlook.Get();
    auto folderObject = [&](StartFolder which) {
        wl::Value ns = outlook.Call(L"GetNamespace", L"MAPI");
        if (which == StartFolder::OutlookToday)
            return ns.Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Inbox)).Call(L"Parent").Object();
        return ns.Call(L"GetDefaultFolder", static_cast<int>(which)).Object();
    };

    outlook.AllowForeground();  // before Outlook shows or activates a window
    wl::Value active = outlook.Get(L"ActiveExplorer");
    if (active.IsEmpty()) {
        if (folder == StartFolder::FrontWindow) folder = configured;
        wl::Dispatch explorer = outlook.Get(L"Explorers").Call(L"Add", folderObject(folder), 0).Object();
        (void)explorer.Call(L"Display");
    } else {
        wl::Dispatch explorer = active.Object();
        (void)explorer.Call(L"Activate");
        if (folder != StartFolder::FrontWindow) explorer.Put(L"CurrentFolder", folderObject(folder));
    }
}

std::optional<wl::ComError> OutlookSession::ShowFolder(StartFolder folder, StartFolder configured, bool keepLoaded)
{
    wl::RemoteWork work;
    if (!m_blnOutlookLoaded) Open(m_keepWord);  // a failure here is the caller's
    std::optional<wl::ComError> failure;
    try {
        ShowFolderOnce(folder, configured);
    } catch (const wl::ComError& error) {
        failure = error;
    }
    if (failure && failure->ServerGone()) {
        // Outlook ended or crashed since the program connected: connect
        // afresh, once. A failure to connect is the caller's, as above.
        Close();
        Open(m_keepWord);
        failure.reset();
        try {
            ShowFolderOnce(folder, configured);
        } catch (const wl::ComError& error) {
            failure = error;
        }
    }
    if (!failure && !keepLoaded && m_blnOutlookLoaded) Close();
    return failure;
}

std::optional<std::vector<wl::TaskRow>> OutlookSession::ScanOverdueTasks() noexcept
{
    wl::RemoteWork work;
    try {
        const wl::Dispatch& outlook = m_objOutlook.Get();
        if (!outlook) return std::nullopt;
        std::vector<std::wstring> skipped = m_storesLeaving;
        skipped.insert(skipped.end(), m_storesLeftOut.begin(), m_storesLeftOut.end());
        // An administrator may limit the scan to the default store.
        wl::StoresScan scan =
            wl::ReadOverdueTasksOfStores(outlook.Call(L"GetNamespace", L"MAPI").Object(), LocalNow(), skipped,
                                         g_policy.overdueTasksDefaultStoreOnly.value_or(false));
        m_storesNotRead = std::move(scan.storesNotRead);
        return std::move(scan.tasks);
    } catch (...) {
        // Outlook busy, gone or failing midway (or out of memory): no findings.
        return std::nullopt;
    }
}

std::optional<std::vector<OutlookSession::StoreEntry>> OutlookSession::ListStores() const noexcept
{
    wl::RemoteWork work;
    try {
        if (!m_objOutlook) return std::nullopt;
        std::vector<StoreEntry> stores;
        m_objOutlook->Call(L"GetNamespace", L"MAPI").Object().Get(L"Stores").Object().ForEach([&](const wl::Value& value) {
            const wl::Dispatch store = value.Object();
            StoreEntry entry{store.Get(L"DisplayName").Text(), store.Get(L"StoreID").Text()};
            if (std::find(m_storesLeaving.begin(), m_storesLeaving.end(), entry.storeId) == m_storesLeaving.end())
                stores.push_back(std::move(entry));
            return true;
        });
        return stores;
    } catch (...) {
        return std::nullopt;  // not known now: Options lists none
    }
}

wl::Dispatch OutlookSession::ItemOf(const std::wstring& entryId, const std::wstring& storeId) const
{
    if (!m_objOutlook) throw wl::ComError(E_UNEXPECTED);
    wl::Value ns = m_objOutlook->Call(L"GetNamespace", L"MAPI");
    return (storeId.empty() ? ns.Call(L"GetItemFromID", entryId) : ns.Call(L"GetItemFromID", entryId, storeId))
        .Object();
}

bool OutlookSession::DisplayItem(const std::wstring& entryId, const std::wstring& storeId) const
{
    wl::RemoteWork work;
    wl::Dispatch item;
    try {
        item = ItemOf(entryId, storeId);
    } catch (const wl::ComError& error) {
        if (error.Code() == kItemNotFound) return false;
        throw;
    }
    // Outlook takes the foreground first: a window it opens after a click
    // elsewhere would otherwise only flash in the taskbar.
    item.AllowForeground();
    (void)item.Call(L"Display");
    return true;
}

OutlookSession::Refusals OutlookSession::ActOnReminders(const std::set<std::wstring>& entryIds,
                                                        const std::function<void(const wl::Dispatch& reminder)>& act)
{
    wl::RemoteWork work;
    if (!m_reminders) throw wl::ComError(E_UNEXPECTED);
    Refusals refusals;
    if (entryIds.empty()) return refusals;
    // A reminder acted on leaves the collection, which an enumerator still
    // walking it would skip past: the reminders are gathered first, then acted on.
    std::vector<std::pair<wl::Dispatch, std::wstring>> found;
    wl::WalkReminders(m_reminders.Get(), [&](const wl::Dispatch& reminder, bool shown, const auto& item) {
        if (!shown) return true;
        std::wstring entryId;
        try {
            entryId = item().Get(L"EntryID").Text();
        } catch (const wl::ComError& error) {
            if (wl::OutlookUnavailable(error)) throw;
            return true;  // an item deleted meanwhile is none of those asked for
        }
        if (entryIds.count(entryId)) found.emplace_back(reminder, std::move(entryId));
        return found.size() < entryIds.size();  // the pass ends with the last one asked for
    });
    std::set<std::wstring> done = entryIds;
    for (const auto& [reminder, entryId] : found) {
        try {
            act(reminder);
            continue;
        } catch (const wl::ComError& error) {
            if (wl::OutlookUnavailable(error)) throw;
            // Outlook fails Dismiss and Snooze of a reminder it no longer
            // shows; any other failure is the caller's to tell.
            bool stillShown = true;
            try {
                stillShown = reminder.Get(L"IsVisible").Bool();
            } catch (const wl::ComError& again) {
                if (wl::OutlookUnavailable(again)) throw;
                stillShown = false;
            }
            if (stillShown) {
                refusals.entryIds.insert(entryId);
                done.erase(entryId);
                if (!refusals.first) refusals.first = error;
            }
        }
    }
    ForgetShown(done);
    return refusals;
}

OutlookSession::Refusals OutlookSession::SnoozeReminders(const std::set<std::wstring>& entryIds, long minutes)
{
    return ActOnReminders(entryIds, [&](const wl::Dispatch& reminder) { (void)reminder.Call(L"Snooze", minutes); });
}

OutlookSession::Refusals OutlookSession::DismissReminders(const std::set<std::wstring>& entryIds)
{
    bool dismissed = false;
    Refusals refusals = ActOnReminders(entryIds, [&](const wl::Dispatch& reminder) {
        (void)reminder.Call(L"Dismiss");
        dismissed = true;
    });
    // Outlook tells of these removals as of any, naming none: the size they
    // left the collection at tells them from the user's own in Outlook.
    if (dismissed) {
        try {
            wl::RemoteWork work;
            m_countAfterOwnRemovals = m_reminders->Get(L"Count").Long();
        } catch (const wl::ComError&) {
            m_countAfterOwnRemovals.reset();  // the next removal is looked at in full
        }
    }
    return refusals;
}

OutlookSession::Refusals OutlookSession::MarkTasksComplete(const std::map<std::wstring, std::wstring>& tasks) const
{
    wl::RemoteWork work;
    Refusals refusals;
    for (const auto& [entryId, storeId] : tasks) {
        try {
            wl::Dispatch item = ItemOf(entryId, storeId);
            (void)item.Call(L"MarkComplete");
            // MarkComplete changes the item only; the store keeps it once saved.
            (void)item.Call(L"Save");
        } catch (const wl::ComError& error) {
            if (error.Code() == kItemNotFound) continue;  // deleted meanwhile: nothing left to do
            if (wl::OutlookUnavailable(error)) throw;
            refusals.entryIds.insert(entryId);
            if (!refusals.first) refusals.first = error;
        }
    }
    return refusals;
}

bool OutlookSession::Quit() const noexcept
{
    wl::RemoteWork work;
    try {
        (void)m_objOutlook->Call(L"Quit");
        return true;
    } catch (...) {
        return false;
    }
}

long OutlookSession::ExplorerCount() const noexcept
{
    wl::RemoteWork work;
    try {
        return m_objOutlook->Get(L"Explorers").Call(L"Count").Long();
    } catch (...) {
        return 0;  // not connected: no explorers to count
    }
}
