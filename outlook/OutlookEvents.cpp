#include "OutlookEvents.h"

#include <utility>

// The sink answers IUnknown, IDispatch and both event dispinterfaces (Outlook
// asks for the latter before it calls), gives no type information, and
// switches on the DISPIDs it handles.
class OutlookEventSink final : public IDispatch {
public:
    explicit OutlookEventSink(IOutlookEventHandler* handler) : m_handler(handler) {}

    // Events that Outlook has already sent on their way may still arrive.
    void Detach() noexcept { m_handler = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_ApplicationEvents_11 ||
            iid == DIID_ApplicationEvents) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
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
            if (!m_handler) return S_OK;
            if (id == kDispidReminder && params && params->cArgs >= 1) {
                const VARIANT& arg = params->rgvarg[params->cArgs - 1];
                IDispatch* item = nullptr;
                if (arg.vt == VT_DISPATCH) item = arg.pdispVal;
                else if (arg.vt == (VT_DISPATCH | VT_BYREF) && arg.ppdispVal) item = *arg.ppdispVal;
                if (item) m_handler->OnOutlookReminder(wl::Dispatch(wl::ComPtr<IDispatch>::AddRef(item)));
            } else if (id == kDispidQuit) {
                m_handler->OnOutlookQuit();
            }
        } catch (...) {
            // An event must never fail back into Outlook.
        }
        return S_OK;
    }

private:
    ~OutlookEventSink() = default;
    LONG m_refs = 1;
    IOutlookEventHandler* m_handler;
};

OutlookWithEvents::OutlookWithEvents() = default;

OutlookWithEvents::~OutlookWithEvents() { Reset(); }

void OutlookWithEvents::Set(wl::Dispatch application, IOutlookEventHandler* handler)
{
    Reset();
    m_application = std::move(application);
    if (!m_application || !handler) return;

    // Events are a bonus of the connection: an Outlook without them still works.
    // Each step is a call into Outlook, which a busy Outlook may reject.
    wl::ComPtr<IConnectionPointContainer> container;
    if (FAILED(wl::RetryWhileBusy([&] {
            return m_application.Get()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        })))
        return;
    wl::ComPtr<IConnectionPoint> point;
    auto find = [&](const IID& events) {
        return wl::RetryWhileBusy([&] { return container->FindConnectionPoint(events, point.Put()); });
    };
    if (FAILED(find(DIID_ApplicationEvents_11)) && FAILED(find(DIID_ApplicationEvents))) return;
    auto sink = wl::ComPtr<OutlookEventSink>::Attach(new OutlookEventSink(handler));
    DWORD cookie = 0;
    if (FAILED(wl::RetryWhileBusy([&] { return point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie); }))) {
        sink->Detach();
        return;
    }
    m_point = std::move(point);
    m_sink = std::move(sink);
    m_cookie = cookie;
}

void OutlookWithEvents::Reset() noexcept
{
    if (m_sink) m_sink->Detach();
    // Not retried: letting go never waits for a busy Outlook, and fails
    // harmlessly when Outlook is gone.
    if (m_point && m_cookie) (void)m_point->Unadvise(m_cookie);
    m_cookie = 0;
    m_point.Reset();
    m_sink.Reset();
    m_application.Reset();
}
