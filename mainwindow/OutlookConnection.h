// What the program holds of Outlook: its Application with its events, the
// default Inbox, and a kept Word. And the watch over it: Outlook may quit,
// crash or be ended while the program holds it; the connection notices (the
// Quit event, a call that finds the process gone, a probe now and then) and
// tells its owner, then connects again after pauses that grow while Outlook
// cannot be started.
#pragma once

#include "core/Dispatch.h"
#include "mainwindow/OutlookEvents.h"

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
    static constexpr UINT_PTR kProbeTimer = 1;
    static constexpr UINT_PTR kReconnectTimer = 2;

    explicit OutlookConnection(Owner& owner);
    OutlookConnection(const OutlookConnection&) = delete;
    OutlookConnection& operator=(const OutlookConnection&) = delete;
    // Lets go of everything quietly: Word is not told to quit.
    ~OutlookConnection();

    // The watch runs on the window from Attach until Detach.
    void Attach(HWND window);
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
    void CheckConnection();
    void Lost();
    void OnReconnectTimer();

    Owner& m_owner;
    HWND m_window = nullptr;

    OutlookWithEvents m_objOutlook;
    wl::Dispatch m_objInbox;
    wl::Dispatch m_objWord;
    bool m_blnOutlookLoaded = false;

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
