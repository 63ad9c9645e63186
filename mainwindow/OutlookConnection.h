// What the program holds of Outlook: its Application with its events, the
// default Inbox, and a kept Word. And the watch over it: Outlook may quit,
// crash or be ended while the program holds it; the connection notices (the
// Quit event, the end of Outlook's process, a call that finds the process
// gone) and tells its owner, then connects again after pauses that grow while
// Outlook cannot be started. Only where Outlook's process cannot be found is
// it asked now and then whether it is still there; otherwise nothing is done
// while nothing happens.
#pragma once

#include "core/Dispatch.h"
#include "mainwindow/OutlookEvents.h"

#include <memory>

class OutlookConnection final : private IOutlookEventHandler {
public:
    // The main window: it decides what a lost or regained connection means.
    class Owner {
    public:
        // Outlook raised Reminder. It may arrive while a call into Outlook
        // waits for its answer: the owner queues it.
        virtual void OutlookReminder(const wl::Dispatch& item) = 0;
        // Outlook went away: drop what depends on it, as UnloadOutlook does.
        virtual void OutlookLost() = 0;
        // Connect again, as LoadOutlook does, and catch up; throws wl::ComError.
        virtual void OutlookReconnect() = 0;

    protected:
        ~Owner() = default;
    };

    // The messages and timers the connection uses on its window; the window
    // hands them to OnMessage.
    static constexpr UINT kQuitMessage = WM_APP + 11;
    static constexpr UINT kGoneMessage = WM_APP + 12;
    static constexpr UINT kProcessEndedMessage = WM_APP + 14;
    static constexpr UINT_PTR kProbeTimer = 1;
    static constexpr UINT_PTR kReconnectTimer = 2;

    explicit OutlookConnection(Owner& owner);
    OutlookConnection(const OutlookConnection&) = delete;
    OutlookConnection& operator=(const OutlookConnection&) = delete;
    // Lets go of everything quietly: Word is not told to quit.
    ~OutlookConnection();

    // Messages and timers go to the window from Attach until Detach; the
    // watch runs from Watch (the end of start-up) until Detach.
    void Attach(HWND window);
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
    const wl::Dispatch& Outlook() const noexcept { return m_objOutlook.Get(); }
    bool EventsConnected() const noexcept { return m_objOutlook.EventsConnected(); }
    bool WordLoaded() const noexcept { return static_cast<bool>(m_objWord); }
    // The process of the connected Outlook, to wait for its end; none when it
    // could not be found. Whether the connection waits for it, and whether it
    // asks Outlook now and then instead.
    wl::UniqueHandle ServerProcess() const;
    bool WatchingServerProcess() const noexcept { return static_cast<bool>(m_process); }
    bool Probing() const noexcept { return m_probing; }

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
    bool ReconnectPending() const noexcept { return m_reconnectPending; }
    UINT ReconnectPauseMs() const noexcept { return m_reconnectPauseMs; }
    // How often a connected Outlook is asked whether it is still there, and
    // the pauses before connecting again (doubling from the first to the
    // longest while Outlook cannot be started).
    void SetWatch(UINT probeMs, UINT firstPauseMs, UINT longestPauseMs);

private:
    void OnOutlookReminder(const wl::Dispatch& item) override;
    void OnOutlookQuit() override;
    void OnQuit();
    void OnServerEnded();
    void WatchServerProcess();
    void StopWatchingServerProcess() noexcept;
    void UpdateProbe() noexcept;
    void CheckConnection();
    void Lost();
    void OnReconnectTimer();

    Owner& m_owner;
    HWND m_window = nullptr;

    OutlookWithEvents m_objOutlook;
    wl::Dispatch m_objInbox;
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
    UINT m_probeMs = 60'000;
    UINT m_firstPauseMs = 3'000;
    UINT m_longestPauseMs = 300'000;
    UINT m_reconnectPauseMs = 3'000;
};
