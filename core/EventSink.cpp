#include "EventSink.h"

#include <utility>
#include <vector>

namespace wl {

class EventSink final : public IDispatch {
public:
    EventSink(std::vector<IID> events, EventHandler handler) : m_events(std::move(events)), m_handler(std::move(handler)) {}

    void Detach() noexcept { m_handler = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        bool known = iid == IID_IUnknown || iid == IID_IDispatch;
        for (const IID& events : m_events) known = known || iid == events;
        if (!known) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        try {
            static const DISPPARAMS kNone{};
            if (m_handler) m_handler(id, params ? *params : kNone);
        } catch (...) {
            // An event must never fail back into the server.
        }
        return S_OK;
    }

private:
    ~EventSink() = default;
    LONG m_refs = 1;
    std::vector<IID> m_events;
    EventHandler m_handler;
};

EventConnection::EventConnection() = default;

EventConnection::~EventConnection() { Disconnect(); }

bool EventConnection::Connect(const Dispatch& source, std::initializer_list<IID> events, EventHandler handler)
{
    Disconnect();
    if (!source) return false;
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(RetryWhileBusy(
            [&] { return source.Get()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()); })))
        return false;
    ComPtr<IConnectionPoint> point;
    bool found = false;
    for (const IID& iid : events)
        if ((found = SUCCEEDED(RetryWhileBusy([&] { return container->FindConnectionPoint(iid, point.Put()); }))))
            break;
    if (!found) return false;
    auto sink = ComPtr<EventSink>::Attach(new EventSink(std::vector<IID>(events), std::move(handler)));
    DWORD cookie = 0;
    if (FAILED(RetryWhileBusy([&] { return point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie); }))) {
        sink->Detach();
        return false;
    }
    m_point = std::move(point);
    m_sink = std::move(sink);
    m_cookie = cookie;
    return true;
}

void EventConnection::Disconnect() noexcept
{
    if (m_sink) m_sink->Detach();
    if (m_point && m_cookie) (void)m_point->Unadvise(m_cookie);
    m_cookie = 0;
    m_point.Reset();
    m_sink.Reset();
}

void EventSource::Set(Dispatch object, std::initializer_list<IID> events, EventHandler handler)
{
    Reset();
    m_object = std::move(object);
    if (m_object && handler) (void)m_events.Connect(m_object, events, std::move(handler));
}

void EventSource::Reset() noexcept
{
    m_events.Disconnect();
    m_object.Reset();
}

Dispatch EventObjectArg(const DISPPARAMS& params, UINT index)
{
    if (index >= params.cArgs) return {};
    const VARIANT& arg = params.rgvarg[params.cArgs - 1 - index];  // the last argument comes first
    IDispatch* object = nullptr;
    if (arg.vt == VT_DISPATCH) object = arg.pdispVal;
    else if (arg.vt == (VT_DISPATCH | VT_BYREF) && arg.ppdispVal) object = *arg.ppdispVal;
    return object ? Dispatch(ComPtr<IDispatch>::AddRef(object)) : Dispatch();
}

}  // namespace wl
