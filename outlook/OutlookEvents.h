// Outlook's Application with its events connected: what the session holds as
// m_objOutlook. The sink stays advised exactly while the object is held.
#pragma once

#include "core/Dispatch.h"
#include "core/EventSink.h"

// The receiver of Outlook's application events.
class IOutlookEventHandler {
public:
    virtual void OnOutlookReminder(const wl::Dispatch& item) = 0;
    virtual void OnOutlookQuit() = 0;

protected:
    ~IOutlookEventHandler() = default;
};

// Outlook's application events dispinterfaces and the members handled here.
inline constexpr IID DIID_ApplicationEvents_11 = {
    0x0006302C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID DIID_ApplicationEvents = {
    0x0006304E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr DISPID kDispidReminder = 0xF004;
inline constexpr DISPID kDispidQuit = 0xF007;

class OutlookWithEvents {
public:
    OutlookWithEvents();
    OutlookWithEvents(const OutlookWithEvents&) = delete;
    OutlookWithEvents& operator=(const OutlookWithEvents&) = delete;
    ~OutlookWithEvents();

    // Holds the application and connects its events to the handler; the
    // previous object, if any, is disconnected and released first.
    void Set(wl::Dispatch application, IOutlookEventHandler* handler);
    // Disconnects the events, then releases the application.
    void Reset() noexcept;

    const wl::Dispatch& Get() const noexcept { return m_application; }
    const wl::Dispatch* operator->() const noexcept { return &m_application; }
    explicit operator bool() const noexcept { return static_cast<bool>(m_application); }
    bool EventsConnected() const noexcept { return m_events.Connected(); }

private:
    wl::Dispatch m_application;
    wl::EventConnection m_events;
};
