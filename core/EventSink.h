// Events of an automation object in another process, received through its
// connection point. The sink answers IUnknown, IDispatch and the event
// dispinterfaces it is given (a server may ask for one of those before it
// calls), gives no type information, and hands every call to a handler on
// this thread; no exception goes back to the caller.
#pragma once

#include "core/Dispatch.h"

#include <ocidl.h>

#include <functional>
#include <initializer_list>

struct Inspector;

namespace wl {

// One event: its DISPID and its arguments as the caller passed them.
using EventHandler = std::function<void(DISPID id, const DISPPARAMS& params)>;

class EventSink;

class EventConnection {
public:
    EventConnection();
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;
    ~EventConnection();

    // Connects the handler to the first of the event dispinterfaces the
    // object has a connection point for; false when it has none or refuses.
    // Each step is a call, which a busy server may reject (see RetryWhileBusy).
    bool Connect(const Dispatch& source, std::initializer_list<IID> events, EventHandler handler);
    // Stops the events: those already on their way are ignored. Not retried,
    // so letting go never waits for a busy server, and fails harmlessly when
    // it is gone.
    void Disconnect() noexcept;
    bool Connected() const noexcept { return m_cookie != 0; }

private:
    ComPtr<IConnectionPoint> m_point;
    ComPtr<EventSink> m_sink;
    DWORD m_cookie = 0;
};

// An automation object held with its events connected: the sink stays
// advised exactly while the object is held, and goes before it.
class EventSource {
public:
    EventSource() = default;
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;
    ~EventSource() { Reset(); }

    // Holds the object and connects the handler to its events (see
    // EventConnection::Connect); the previous object goes first. Events are a
    // bonus: an object without them is held all the same.
    void Set(Dispatch object, std::initializer_list<IID> events, EventHandler handler);
    // Disconnects the events, then releases the object.
    void Reset() noexcept;

    const Dispatch& Get() const noexcept { return m_object; }
    const Dispatch* operator->() const noexcept { return &m_object; }
    explicit operator bool() const noexcept { return static_cast<bool>(m_object); }

private:
    friend struct ::Inspector;  // the tests' one view inside the program

    Dispatch m_object;
    EventConnection m_events;
};

// The object passed as an event's argument (0: the first), by value or by
// reference; empty when there is none.
Dispatch EventObjectArg(const DISPPARAMS& params, UINT index);

}  // namespace wl
