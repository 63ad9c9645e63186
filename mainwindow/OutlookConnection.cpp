#include "OutlookConnection.h"

#include "core/OutlookWork.h"
#include "core/Settings.h"

#include <algorithm>

namespace {

constexpr int kInbox = 6;

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
    ::SetTimer(m_window, kProbeTimer, m_probeMs, nullptr);
}

void OutlookConnection::Detach() noexcept
{
    if (!m_window) return;
    ::KillTimer(m_window, kProbeTimer);
    ::KillTimer(m_window, kReconnectTimer);
    m_reconnectPending = false;
    if (g_watchWindow == m_window) g_watchWindow = nullptr;
    m_window = nullptr;
}

bool OutlookConnection::OnMessage(UINT message, WPARAM wParam)
{
    switch (message) {
    case kQuitMessage: OnQuit(); return true;
    case kGoneMessage: CheckConnection(); return true;
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
    if (keepWord) {
        if (!m_objWord) m_objWord = wl::Dispatch::Create(L"Word.Application");
    } else if (m_objWord) {
        QuitWord(std::move(m_objWord));
        m_objWord.Reset();
    }

    wl::Dispatch application = wl::Dispatch::Create(L"Outlook.Application");
    ++m_generation;  // events of the previous object are stale from here on
    m_objOutlook.Set(std::move(application), this);
    m_objInbox = m_objOutlook->Call(L"GetNamespace", L"MAPI").Call(L"GetDefaultFolder", kInbox).Object();
    m_blnOutlookLoaded = true;
}

void OutlookConnection::Close() noexcept
{
    if (m_objWord) QuitWord(std::move(m_objWord));
    m_objWord.Reset();
    Reset();
}

void OutlookConnection::Reset() noexcept
{
    m_objInbox.Reset();
    m_objOutlook.Reset();  // disconnects the events, then releases Outlook without telling it to quit
    m_blnOutlookLoaded = false;
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
    if (m_window) ::SetTimer(m_window, kProbeTimer, m_probeMs, nullptr);
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
    if (!g_blnKeepOutlookLoaded || !m_window) return;
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
