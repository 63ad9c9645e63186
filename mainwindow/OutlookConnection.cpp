#include "OutlookConnection.h"

#include "core/OutlookWork.h"
#include "core/Processes.h"
#include "core/Registry.h"
#include "core/Settings.h"
#include "mainwindow/StartFolder.h"

#include <algorithm>

namespace {

// The window told when a call finds Outlook's process gone. Calls fail deep
// inside the late-binding helper, which knows of no connection.
HWND g_watchWindow = nullptr;

void NotifyServerGone() noexcept
{
    if (g_watchWindow) ::PostMessageW(g_watchWindow, OutlookConnection::kGoneMessage, 0, 0);
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

}  // namespace

// Told on a thread of the pool when Outlook's process ends; posts to the
// window, with the connection it belongs to.
struct OutlookConnection::ProcessWait {
    HWND window;
    unsigned generation;
    HANDLE wait = nullptr;

    static void CALLBACK Signalled(PVOID context, BOOLEAN)
    {
        auto* self = static_cast<ProcessWait*>(context);
        ::PostMessageW(self->window, kProcessEndedMessage, self->generation, 0);
    }
};

OutlookConnection::OutlookConnection(Owner& owner) : m_owner(owner) {}

OutlookConnection::~OutlookConnection()
{
    Detach();
    Reset();
}

void OutlookConnection::Attach(HWND window)
{
    m_window = window;
    g_watchWindow = window;
    wl::SetServerGoneObserver(&NotifyServerGone);
}

void OutlookConnection::Watch()
{
    m_watching = m_window != nullptr;
    UpdateProbe();
}

void OutlookConnection::Detach() noexcept
{
    if (!m_window) return;
    StopWatchingServerProcess();
    ::KillTimer(m_window, kProbeTimer);
    ::KillTimer(m_window, kReconnectTimer);
    m_probing = m_watching = m_reconnectPending = false;
    if (g_watchWindow == m_window) g_watchWindow = nullptr;
    m_window = nullptr;
}

bool OutlookConnection::OnMessage(UINT message, WPARAM wParam)
{
    switch (message) {
    case kQuitMessage: OnQuit(); return true;
    case kGoneMessage: CheckConnection(); return true;
    case kProcessEndedMessage:
        if (m_process && wParam == m_generation) m_serverEnded = true;
        OnServerEnded();
        return true;
    case WM_TIMER:
        if (wParam == kProbeTimer) {
            CheckConnection();
            return true;
        }
        if (wParam == kReconnectTimer) {
            OnReconnectTimer();
            return true;
        }
        return false;
    default: return false;
    }
}

void OutlookConnection::Open(bool keepWord)
{
    OutlookWork work;
    struct Finally {
        OutlookConnection& self;
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
}

void OutlookConnection::Close() noexcept
{
    if (m_objWord) QuitWord(std::move(m_objWord));
    m_objWord.Reset();
    Reset();
}

void OutlookConnection::Reset() noexcept
{
    StopWatchingServerProcess();
    m_objInbox.Reset();
    m_objOutlook.Reset();  // disconnects the events, then releases Outlook without telling it to quit
    m_blnOutlookLoaded = false;
    UpdateProbe();
}

wl::UniqueHandle OutlookConnection::ServerProcess() const
{
    HANDLE copy = nullptr;
    if (m_process)
        (void)::DuplicateHandle(::GetCurrentProcess(), m_process.get(), ::GetCurrentProcess(), &copy, SYNCHRONIZE,
                                FALSE, 0);
    return wl::UniqueHandle(copy);
}

void OutlookConnection::WatchServerProcess()
{
    // Outlook runs once in a session: the process of that name is the one
    // that serves the connection. Its end is noticed at once, without a call.
    std::wstring outlook = ReadOutlookPath();
    m_process = FindProgramProcess(outlook.empty() ? std::wstring(L"OUTLOOK.EXE") : outlook);
    if (!m_process || !m_window) return;
    auto wait = std::make_unique<ProcessWait>(ProcessWait{m_window, m_generation});
    if (!::RegisterWaitForSingleObject(&wait->wait, m_process.get(), &ProcessWait::Signalled, wait.get(), INFINITE,
                                       WT_EXECUTEONLYONCE)) {
        m_process.reset();  // no wait: the probe takes over
        return;
    }
    m_processWait = std::move(wait);
}

void OutlookConnection::StopWatchingServerProcess() noexcept
{
    if (m_processWait) {
        // Waits for a callback that is running: the context goes after it.
        (void)::UnregisterWaitEx(m_processWait->wait, INVALID_HANDLE_VALUE);
        m_processWait.reset();
    }
    m_process.reset();
    m_serverEnded = false;
}

void OutlookConnection::UpdateProbe() noexcept
{
    // Asked now and then only while connected without knowing the process,
    // or while a connection is wanted and not there.
    bool probe = m_watching && m_window &&
                 (m_blnOutlookLoaded ? !m_process : g_blnKeepOutlookLoaded && !m_outlookMissing);
    if (probe == m_probing) return;
    m_probing = probe;
    if (probe) ::SetTimer(m_window, kProbeTimer, m_probeMs, nullptr);
    else ::KillTimer(m_window, kProbeTimer);
}

bool OutlookConnection::IsNotInstalled(HRESULT hr) noexcept
{
    // No class by that name, or a name without a class behind it.
    return hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG;
}

void OutlookConnection::SetQuitting(bool quitting) noexcept
{
    m_quitting = quitting;
    if (!quitting) m_pendingQuit = false;
}

void OutlookConnection::SetWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs)
{
    m_probeMs = probeMs;
    m_firstPauseMs = m_reconnectPauseMs = firstPauseMs;
    m_longestPauseMs = longestPauseMs;
    if (m_probing) ::SetTimer(m_window, kProbeTimer, m_probeMs, nullptr);
}

// Events arrive while a call into Outlook may still wait for its answer:
// they are handled from the message loop.

void OutlookConnection::OnOutlookReminder(const wl::Dispatch& item) { m_owner.OutlookReminder(item); }

void OutlookConnection::OnOutlookQuit()
{
    m_pendingQuit = true;
    m_quitGeneration = m_generation;
    if (m_window) ::PostMessageW(m_window, kQuitMessage, 0, 0);
}

void OutlookConnection::OnQuit()
{
    if (OutlookWork::InProgress()) {
        OutlookWork::Defer(m_window, kQuitMessage);
        return;
    }
    // Outlook ends (the user closed its last window, or it was shut down):
    // let go of it, unless the Quit came from an earlier connection or from
    // Clean Up, which quits Outlook on purpose.
    bool quit = std::exchange(m_pendingQuit, false);
    if (quit && m_quitGeneration == m_generation && m_blnOutlookLoaded && !m_quitting && m_window) Lost();
}

void OutlookConnection::OnServerEnded()
{
    if (!m_serverEnded || !m_window || m_quitting) return;
    if (OutlookWork::InProgress()) {
        OutlookWork::Defer(m_window, kProcessEndedMessage);
        return;
    }
    if (m_blnOutlookLoaded) Lost();
}

void OutlookConnection::CheckConnection()
{
    if (!m_window || m_quitting || OutlookWork::InProgress()) return;  // the next tick looks again
    if (m_blnOutlookLoaded && m_objOutlook) {
        try {
            (void)m_objOutlook->Get(L"Name");
        } catch (const wl::ComError& error) {
            if (error.ServerGone()) Lost();
        }
    } else if (g_blnKeepOutlookLoaded && !m_reconnectPending) {
        ScheduleReconnect();  // an earlier attempt to connect failed
    }
}

void OutlookConnection::Lost()
{
    m_owner.OutlookLost();
    ScheduleReconnect();
}

void OutlookConnection::ScheduleReconnect()
{
    if (!g_blnKeepOutlookLoaded || !m_window || m_outlookMissing) return;
    m_reconnectPending = ::SetTimer(m_window, kReconnectTimer, m_reconnectPauseMs, nullptr) != 0;
}

void OutlookConnection::OnReconnectTimer()
{
    ::KillTimer(m_window, kReconnectTimer);
    m_reconnectPending = false;
    if (m_blnOutlookLoaded || !g_blnKeepOutlookLoaded) {
        m_reconnectPauseMs = m_firstPauseMs;
        return;
    }
    if (m_quitting || OutlookWork::InProgress()) {
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
