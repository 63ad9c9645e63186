#include "Reminders.h"

#include <optional>
#include <utility>

// The sink answers IUnknown, IDispatch and ReminderCollectionEvents, gives no
// type information, and switches on the DISPIDs it handles.
class RemindersEventSink final : public IDispatch {
public:
    explicit RemindersEventSink(IReminderEventHandler* handler) : m_handler(handler) {}

    // Events that Outlook has already sent on their way may still arrive.
    void Detach() noexcept { m_handler = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_ReminderCollectionEvents) {
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
            switch (id) {
            case kDispidReminderFire:
                if (params && params->cArgs >= 1) {
                    const VARIANT& arg = params->rgvarg[params->cArgs - 1];
                    IDispatch* reminder = nullptr;
                    if (arg.vt == VT_DISPATCH) reminder = arg.pdispVal;
                    else if (arg.vt == (VT_DISPATCH | VT_BYREF) && arg.ppdispVal) reminder = *arg.ppdispVal;
                    if (reminder) m_handler->OnReminderFired(wl::Dispatch(wl::ComPtr<IDispatch>::AddRef(reminder)));
                }
                break;
            case kDispidReminderAdd:
            case kDispidReminderChange:
            case kDispidReminderRemove:
            case kDispidReminderSnooze:
                m_handler->OnRemindersChanged();
                break;
            default:
                break;
            }
        } catch (...) {
            // An event must never fail back into Outlook.
        }
        return S_OK;
    }

private:
    ~RemindersEventSink() = default;
    LONG m_refs = 1;
    IReminderEventHandler* m_handler;
};

RemindersWithEvents::RemindersWithEvents() = default;

RemindersWithEvents::~RemindersWithEvents() { Reset(); }

void RemindersWithEvents::Set(wl::Dispatch reminders, IReminderEventHandler* handler)
{
    Reset();
    m_reminders = std::move(reminders);
    if (!m_reminders || !handler) return;

    // Without events the list still works; it only follows Outlook less closely.
    wl::ComPtr<IConnectionPointContainer> container;
    if (FAILED(wl::RetryWhileBusy([&] {
            return m_reminders.Get()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        })))
        return;
    wl::ComPtr<IConnectionPoint> point;
    if (FAILED(wl::RetryWhileBusy(
            [&] { return container->FindConnectionPoint(DIID_ReminderCollectionEvents, point.Put()); })))
        return;
    auto sink = wl::ComPtr<RemindersEventSink>::Attach(new RemindersEventSink(handler));
    DWORD cookie = 0;
    if (FAILED(wl::RetryWhileBusy([&] { return point->Advise(static_cast<IDispatch*>(sink.Get()), &cookie); }))) {
        sink->Detach();
        return;
    }
    m_point = std::move(point);
    m_sink = std::move(sink);
    m_cookie = cookie;
}

void RemindersWithEvents::Reset() noexcept
{
    if (m_sink) m_sink->Detach();
    // Not retried: letting go never waits for a busy Outlook.
    if (m_point && m_cookie) (void)m_point->Unadvise(m_cookie);
    m_cookie = 0;
    m_point.Reset();
    m_sink.Reset();
    m_reminders.Reset();
}

namespace wl {

bool OutlookUnavailable(const ComError& error) noexcept
{
    return error.ServerGone() || IsBusyRejection(error.Code());
}

void WalkReminders(const Dispatch& reminders, const ReminderVisit& visit)
{
    std::optional<BoundMember> isVisible, item;
    reminders.ForEach([&](const Value& value) {
        Dispatch reminder = value.Object();
        bool shown = false;
        try {
            if (!isVisible) isVisible = reminder.Bind(L"IsVisible");
            shown = isVisible->On(reminder).Call().Bool();
        } catch (const ComError& error) {
            if (OutlookUnavailable(error)) throw;
            // The reminder of an item deleted meanwhile: Outlook shows it no more.
        }
        auto readItem = [&] {
            if (!item) item = reminder.Bind(L"Item");
            return item->On(reminder).Call().Object();
        };
        return visit(reminder, shown, readItem);
    });
}

}  // namespace wl
