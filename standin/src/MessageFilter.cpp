#include "MessageFilter.h"

#include "ComObject.h"
#include "Objects.h"
#include "Text.h"

#include <iterator>

namespace standin {

namespace {

// COM's own interfaces for reference counting and QueryInterface across processes.
constexpr IID kIidRemUnknown = {0x00000131, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kIidRemUnknown2 = {0x00000143, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Wine's activation asks a local server's class object for the new object through it.
constexpr IID kIidServiceProvider = {0x6D5140C1, 0x7436, 0x11CE, {0x80, 0x34, 0x00, 0xAA, 0x00, 0x60, 0x09, 0xFA}};

struct InterfaceMethods {
    const IID* iid;
    const wchar_t* name;
    const wchar_t* methods[6];  // from vtable slot 3, after IUnknown's
};

const InterfaceMethods kKnown[] = {
    {&IID_IDispatch, L"IDispatch", {L"GetTypeInfoCount", L"GetTypeInfo", L"GetIDsOfNames", L"Invoke"}},
    {&IID_IClassFactory, L"IClassFactory", {L"CreateInstance", L"LockServer"}},
    {&kIidServiceProvider, L"IServiceProvider", {L"QueryService"}},
    {&kIidRemUnknown, L"IRemUnknown", {L"RemQueryInterface", L"RemAddRef", L"RemRelease"}},
    {&kIidRemUnknown2, L"IRemUnknown2", {L"RemQueryInterface", L"RemAddRef", L"RemRelease", L"RemQueryInterface2"}},
    {&IID_IEnumVARIANT, L"IEnumVARIANT", {L"Next", L"Skip", L"Reset", L"Clone"}},
    {&IID_IConnectionPointContainer, L"IConnectionPointContainer", {L"EnumConnectionPoints", L"FindConnectionPoint"}},
    {&IID_IConnectionPoint, L"IConnectionPoint",
     {L"GetConnectionInterface", L"GetConnectionPointContainer", L"Advise", L"Unadvise", L"EnumConnections"}},
    {&IID_IEnumConnectionPoints, L"IEnumConnectionPoints", {L"Next", L"Skip", L"Reset", L"Clone"}},
};

bool IsRelease(const INTERFACEINFO* call)
{
    return call && (call->iid == kIidRemUnknown || call->iid == kIidRemUnknown2) && call->wMethod == 5;
}

class BusyFilter final : public ProcessComObject<IMessageFilter> {
public:
    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD callType, HTASK, DWORD, LPINTERFACEINFO call) override
    {
        try {
            Server& s = TheServer();
            // A sink calling back while the stand-in waits on the event it
            // fired is part of that event. A release is never turned away:
            // the caller does not retry it (under Wine its Release returns
            // at once without error), so the object would live on for good.
            if (!s.Busy() || callType == CALLTYPE_NESTED || IsRelease(call)) return SERVERCALL_ISHANDLED;
            ++s.stats.rejected;
            s.journal.Write(L"Busy: rejected " + IncomingCallName(call));
            return SERVERCALL_REJECTED;
        } catch (...) {
            return SERVERCALL_ISHANDLED;
        }
    }
    // The stand-in's own outgoing calls are the events it fires: a sink that
    // rejects one is skipped rather than retried.
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

BusyFilter g_busyFilter;

}  // namespace

MessageFilterRegistration::MessageFilterRegistration()
{
    m_hr = ::CoRegisterMessageFilter(&g_busyFilter, m_previous.Put());
}

MessageFilterRegistration::~MessageFilterRegistration()
{
    if (SUCCEEDED(m_hr)) (void)::CoRegisterMessageFilter(m_previous.Get(), nullptr);
}

std::wstring IncomingCallName(const INTERFACEINFO* call)
{
    if (!call) return L"call";
    std::wstring name;
    for (const InterfaceMethods& known : kKnown) {
        if (*known.iid != call->iid) continue;
        size_t slot = call->wMethod;
        const wchar_t* method = slot >= 3 && slot - 3 < std::size(known.methods) ? known.methods[slot - 3] : nullptr;
        name = std::wstring(known.name) + L"::" + (method ? method : L"#" + std::to_wstring(slot));
    }
    if (name.empty()) {
        wchar_t iid[40] = L"?";
        (void)::StringFromGUID2(call->iid, iid, 40);
        name = std::wstring(iid) + L"::#" + std::to_wstring(call->wMethod);
    }
    if (ObjectBase* object = ObjectBase::FromDispatch(call->pUnk)) name += L" on " + object->Ref();
    return name;
}

}  // namespace standin
