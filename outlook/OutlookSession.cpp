#include "OutlookSession.h"

#include "core/AppMessages.h"
#include "core/Processes.h"
#include "core/RemoteWork.h"
#include "outlook/OverdueScan.h"

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
// connection waits that long at most for the old process to end.
constexpr ULONGLONG kQuitLongestWaitMs = 60'000;
constexpr UINT kQuitWaitPollMs = 250;

// MAPI_E_NOT_FOUND: Outlook has no item of that entry id (any more).
constexpr HRESULT kItemNotFound = static_cast<HRESULT>(0x8004010FL);

// The current time as an automation date, local time, as Outlook gives due dates.
double Now()
{
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    double date = 0;
    ::SystemTimeToVariantTime(&local, &date);
    return date;
}

}  // namespace

// Told on a thread of the pool when Outlook's process ends; posts to the
// window, with the connection it belongs to.
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

OutlookSession::OutlookSession(Owner& owner) : m_owner(owner) {}

OutlookSession::~OutlookSession()
{
    Detach();
    Reset();
}

void OutlookSession::Attach(HWND window, std::wstring outlookPath)
{
    m_window = window;
    m_outlookPath = std::move(outlookPath);
    g_watchWindow = window;
    wl::SetServerGoneObserver(&NotifyServerGone);
}

void OutlookSession::Watch()
{
    m_watching = m_window != nullptr;
    UpdateProbe();
}

void OutlookSession::Detach() noexcept
{
    if (!m_window) return;
    StopWatchingServerProcess();
    ::KillTimer(m_window, wl::kProbeTimer);
    ::KillTimer(m_window, wl::kReconnectTimer);
    ::KillTimer(m_window, wl::kQuitWaitTimer);
    m_endingProcess.reset();
    m_probing = m_watching = m_reconnectPending = false;
    if (g_watchWindow == m_window) g_watchWindow = nullptr;
    m_window = nullptr;
}

bool OutlookSession::OnMessage(UINT message, WPARAM wParam)
{
    switch (message) {
    case wl::kOutlookQuit: OnQuit(); return true;
    case wl::kOutlookRemindersEvent: OnRemindersEvent(); return true;
    case wl::kOutlookCallFoundItGone: CheckConnection(); return true;
    case wl::kOutlookProcessEnded:
        if (m_process && wParam == m_generation) m_serverEnded = true;
        OnServerEnded();
        return true;
    case WM_TIMER:
        if (wParam == wl::kProbeTimer) {
            CheckConnection();
            return true;
        }
        if (wParam == wl::kReconnectTimer) {
            OnReconnectTimer();
            return true;
        }
        if (wParam == wl::kQuitWaitTimer) {
            OnQuitWaitTimer();
            return true;
        }
        return false;
    default: return false;
    }
}

void OutlookSession::Open(bool keepWord)
{
    wl::RemoteWork work;
    struct Finally {
        OutlookSession& self;
        ~Finally() { self.UpdateProbe(); }
    } probeAsNeeded{*this};
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
        m_outlookMissing = IsNotInstalled(error.Code());
        throw;
    }
    m_outlookMissing = false;
    StopWatchingServerProcess();
    ++m_generation;  // events of the previous object are stale from here on
    m_objOutlook.Set(std::move(application), this);
    m_objInbox = m_objOutlook->Call(L"GetNamespace", L"MAPI").Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Inbox)).Object();
    m_blnOutlookLoaded = true;
    WatchServerProcess();
    OpenReminders();
}

void OutlookSession::OpenReminders()
{
    m_firedReminders.clear();
    m_remindersChanged = false;
    std::vector<wl::OutlookItem> shown;
    try {
        m_reminders.Set(m_objOutlook->Get(L"Reminders").Object(), this);
        // What came due before this connection is listed as if it fired now.
        wl::WalkReminders(m_reminders.Get(), [&](const wl::Dispatch&, bool visible, const auto& item) {
            if (visible) shown.emplace_back(item());
            return true;
        });
    } catch (const wl::ComError&) {
        // An Outlook without Reminders (or too busy to say) still works:
        // its Reminder event lists what fires from now on.
    }
    for (wl::OutlookItem& item : shown) m_owner.OutlookReminder(std::move(item));
}

void OutlookSession::Close() noexcept
{
    if (m_objWord) QuitWord(std::move(m_objWord));
    m_objWord.Reset();
    Reset();
}

void OutlookSession::Reset() noexcept
{
    StopWatchingServerProcess();
    m_objInbox.Reset();
    m_firedReminders.clear();
    m_remindersChanged = false;
    m_reminders.Reset();
    m_objOutlook.Reset();  // disconnects the events, then releases Outlook without telling it to quit
    m_blnOutlookLoaded = false;
    UpdateProbe();
}

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
    auto wait = std::make_unique<ProcessWait>(ProcessWait{m_window, m_generation});
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
    bool probe = m_watching && m_window &&
                 (m_blnOutlookLoaded ? !m_process : m_keepLoaded && !m_outlookMissing);
    if (probe == m_probing) return;
    m_probing = probe;
    if (probe) ::SetTimer(m_window, wl::kProbeTimer, m_probeMs, nullptr);
    else ::KillTimer(m_window, wl::kProbeTimer);
}

void OutlookSession::KeepLoaded(bool keep) noexcept
{
    m_keepLoaded = keep;
    UpdateProbe();
}

bool OutlookSession::IsNotInstalled(HRESULT hr) noexcept
{
    // No class by that name, or a name without a class behind it.
    return hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG;
}

void OutlookSession::SetQuitting(bool quitting) noexcept
{
    m_quitting = quitting;
    if (!quitting) m_pendingQuit = false;
}

void OutlookSession::SetWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs)
{
    m_probeMs = probeMs;
    m_firstPauseMs = m_reconnectPauseMs = firstPauseMs;
    m_longestPauseMs = longestPauseMs;
    if (m_probing) ::SetTimer(m_window, wl::kProbeTimer, m_probeMs, nullptr);
}

// Events arrive while a call into Outlook may still wait for its answer:
// they are handled from the message loop.

void OutlookSession::OnOutlookReminder(const wl::Dispatch& item) { m_owner.OutlookReminder(wl::OutlookItem(item)); }

void OutlookSession::OnOutlookQuit()
{
    m_pendingQuit = true;
    m_quitGeneration = m_generation;
    if (m_window) ::PostMessageW(m_window, wl::kOutlookQuit, 0, 0);
}

void OutlookSession::OnReminderFired(const wl::Dispatch& reminder)
{
    m_firedReminders.push_back(reminder);
    if (m_window && !std::exchange(m_remindersEventPosted, true))
        ::PostMessageW(m_window, wl::kOutlookRemindersEvent, 0, 0);
}

void OutlookSession::OnRemindersChanged()
{
    m_remindersChanged = true;
    if (m_window && !std::exchange(m_remindersEventPosted, true))
        ::PostMessageW(m_window, wl::kOutlookRemindersEvent, 0, 0);
}

void OutlookSession::OnRemindersEvent()
{
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(m_window, wl::kOutlookRemindersEvent);
        return;
    }
    m_remindersEventPosted = false;
    // Changes coming in while these are handled post again.
    std::deque<wl::Dispatch> fired = std::exchange(m_firedReminders, {});
    const bool changed = std::exchange(m_remindersChanged, false);
    for (const wl::Dispatch& reminder : fired) {
        wl::OutlookItem item;
        try {
            item = wl::OutlookItem(reminder.Get(L"Item").Object());
        } catch (const wl::ComError&) {
            continue;  // its item went meanwhile: nothing to list
        }
        m_owner.OutlookReminder(std::move(item));
    }
    if (changed) m_owner.OutlookRemindersChanged();
}

void OutlookSession::OnQuit()
{
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(m_window, wl::kOutlookQuit);
        return;
    }
    // Outlook ends (the user closed its last window, or it was shut down):
    // let go of it, unless the Quit came from an earlier connection or from
    // Clean Up, which quits Outlook on purpose.
    bool quit = std::exchange(m_pendingQuit, false);
    if (quit && m_quitGeneration == m_generation && m_blnOutlookLoaded && !m_quitting && m_window) Lost();
}

void OutlookSession::OnServerEnded()
{
    if (!m_serverEnded || !m_window || m_quitting) return;
    if (wl::RemoteWork::InProgress()) {
        wl::RemoteWork::Defer(m_window, wl::kOutlookProcessEnded);
        return;
    }
    if (m_blnOutlookLoaded) Lost();
}

void OutlookSession::CheckConnection()
{
    if (!m_window || m_quitting || wl::RemoteWork::InProgress()) return;  // the next tick looks again
    if (m_blnOutlookLoaded && m_objOutlook) {
        try {
            (void)m_objOutlook->Get(L"Name");
        } catch (const wl::ComError& error) {
            if (error.ServerGone()) Lost();
        }
    } else if (m_keepLoaded && !m_reconnectPending && !m_endingProcess) {
        ScheduleReconnect();  // an earlier attempt to connect failed
    }
}

void OutlookSession::Lost()
{
    // Until the Outlook that quit has ended, COM hands a new connection to
    // that dying process, and it is lost with it: wait for the end first.
    wl::UniqueHandle ending = ServerProcess();
    m_owner.OutlookLost();
    if (ending && m_keepLoaded && m_window && !m_outlookMissing &&
        ::WaitForSingleObject(ending.get(), 0) == WAIT_TIMEOUT &&
        ::SetTimer(m_window, wl::kQuitWaitTimer, kQuitWaitPollMs, nullptr)) {
        m_endingProcess = std::move(ending);
        m_endingSince = ::GetTickCount64();
        return;
    }
    ScheduleReconnect();
}

void OutlookSession::OnQuitWaitTimer()
{
    bool ended = !m_endingProcess || ::WaitForSingleObject(m_endingProcess.get(), 0) != WAIT_TIMEOUT;
    if (!ended && ::GetTickCount64() - m_endingSince < kQuitLongestWaitMs) return;
    ::KillTimer(m_window, wl::kQuitWaitTimer);
    m_endingProcess.reset();
    ScheduleReconnect();
}

void OutlookSession::ScheduleReconnect()
{
    if (!m_keepLoaded || !m_window || m_outlookMissing) return;
    m_reconnectPending = ::SetTimer(m_window, wl::kReconnectTimer, m_reconnectPauseMs, nullptr) != 0;
}

void OutlookSession::OnReconnectTimer()
{
    ::KillTimer(m_window, wl::kReconnectTimer);
    m_reconnectPending = false;
    if (m_blnOutlookLoaded || !m_keepLoaded) {
        m_reconnectPauseMs = m_firstPauseMs;
        return;
    }
    if (m_quitting || wl::RemoteWork::InProgress()) {
        ScheduleReconnect();
        return;
    }
    try {
        m_owner.OutlookReconnect();
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

void OutlookSession::ShowFolder(StartFolder folder, StartFolder configured) const
{
    wl::RemoteWork work;
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

std::optional<std::vector<wl::TaskRow>> OutlookSession::ScanOverdueTasks() const noexcept
{
    wl::RemoteWork work;
    try {
        const wl::Dispatch& outlook = m_objOutlook.Get();
        if (!outlook) return std::nullopt;
        wl::Dispatch folder = outlook.Call(L"GetNamespace", L"MAPI")
                                  .Call(L"GetDefaultFolder", static_cast<int>(StartFolder::Tasks))
                                  .Object();
        return wl::ReadOverdueTasks(folder, Now());
    } catch (...) {
        // Outlook busy, gone or failing midway (or out of memory): no findings.
        return std::nullopt;
    }
}

bool OutlookSession::DisplayTask(const std::wstring& entryId) const
{
    wl::RemoteWork work;
    wl::Dispatch item;
    try {
        item = m_objOutlook->Call(L"GetNamespace", L"MAPI").Call(L"GetItemFromID", entryId).Object();
    } catch (const wl::ComError& error) {
        if (error.Code() == kItemNotFound) return false;
        throw;
    }
    wl::DisplayItem(item);
    return true;
}

OutlookSession::Refusals OutlookSession::ActOnReminders(
    const std::set<std::wstring>& entryIds, const std::function<void(const wl::Dispatch& reminder)>& act) const
{
    wl::RemoteWork work;
    if (!m_reminders) throw wl::ComError(E_UNEXPECTED);
    Refusals refusals;
    // Outlook's collection is live: a dismissed reminder leaves it at once,
    // and a forward walk would pass over the one after it. The walk only
    // finds the reminders; they are acted on once it is over.
    std::vector<std::pair<wl::Dispatch, std::wstring>> found = ShownRemindersOf(entryIds);
    for (const auto& [reminder, entryId] : found) {
        try {
            act(reminder);
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
                if (!refusals.first) refusals.first = error;
            }
        }
    }
    return refusals;
}

std::vector<std::pair<wl::Dispatch, std::wstring>> OutlookSession::ShownRemindersOf(
    const std::set<std::wstring>& entryIds) const
{
    std::vector<std::pair<wl::Dispatch, std::wstring>> found;
    std::size_t left = entryIds.size();
    if (left == 0) return found;
    wl::WalkReminders(m_reminders.Get(), [&](const wl::Dispatch& reminder, bool shown, const auto& item) {
        if (!shown) return true;
        std::wstring entryId;
        try {
            entryId = item().Get(L"EntryID").Text();
        } catch (const wl::ComError& error) {
            if (wl::OutlookUnavailable(error)) throw;
            return true;  // an item deleted meanwhile is none of those asked for
        }
        if (!entryIds.count(entryId)) return true;
        found.emplace_back(reminder, std::move(entryId));
        return --left > 0;  // the pass ends with the last one asked for
    });
    return found;
}

OutlookSession::Refusals OutlookSession::SnoozeReminders(const std::set<std::wstring>& entryIds,
                                                                 long minutes) const
{
    return ActOnReminders(entryIds, [&](const wl::Dispatch& reminder) { (void)reminder.Call(L"Snooze", minutes); });
}

OutlookSession::Refusals OutlookSession::DismissReminders(const std::set<std::wstring>& entryIds) const
{
    return ActOnReminders(entryIds, [](const wl::Dispatch& reminder) { (void)reminder.Call(L"Dismiss"); });
}

bool OutlookSession::MarkTaskComplete(const std::wstring& entryId) const
{
    wl::RemoteWork work;
    wl::Dispatch item;
    try {
        item = m_objOutlook->Call(L"GetNamespace", L"MAPI").Call(L"GetItemFromID", entryId).Object();
        (void)item.Call(L"MarkComplete");
        // MarkComplete changes the item only; the store keeps it once saved.
        (void)item.Call(L"Save");
    } catch (const wl::ComError& error) {
        if (error.Code() == kItemNotFound) return false;  // deleted meanwhile
        throw;
    }
    return true;
}

std::optional<std::set<std::wstring>> OutlookSession::VisibleReminders() const noexcept
{
    wl::RemoteWork work;
    try {
        if (!m_reminders) return std::nullopt;
        std::set<std::wstring> ids;
        wl::WalkReminders(m_reminders.Get(), [&](const wl::Dispatch&, bool shown, const auto& item) {
            if (!shown) return true;
            try {
                ids.insert(item().Get(L"EntryID").Text());
            } catch (const wl::ComError& error) {
                if (wl::OutlookUnavailable(error)) throw;
                // Deleted between the two reads: not shown any more.
            }
            return true;
        });
        return ids;
    } catch (...) {
        // Outlook busy, gone or failing midway (or out of memory): no findings.
        return std::nullopt;
    }
}

bool OutlookSession::Quit() const noexcept
{
    try {
        (void)m_objOutlook->Call(L"Quit");
        return true;
    } catch (...) {
        return false;
    }
}

long OutlookSession::ExplorerCount() const noexcept
{
    try {
        return m_objOutlook->Get(L"Explorers").Call(L"Count").Long();
    } catch (...) {
        return 0;  // not connected: no explorers to count
    }
}
