// Outlook busy: while it starts, shows a dialog of its own or works long, it
// turns incoming calls away through COM's message filter, and the caller gets
// RPC_E_CALL_REJECTED. The stand-in does the same while Server::Busy() holds.
#pragma once

#include "core/win32.h"

#include <objidl.h>

#include <string>

namespace standin {

// Registers the stand-in's message filter on the calling (main STA) thread
// for the object's lifetime; the previous filter comes back afterwards.
class MessageFilterRegistration {
public:
    MessageFilterRegistration();
    MessageFilterRegistration(const MessageFilterRegistration&) = delete;
    MessageFilterRegistration& operator=(const MessageFilterRegistration&) = delete;
    ~MessageFilterRegistration();
    HRESULT result() const noexcept { return m_hr; }

private:
    wl::ComPtr<IMessageFilter> m_previous;
    HRESULT m_hr = E_FAIL;
};

// How the journal names an incoming call: "IDispatch::Invoke on Folder:Tasks",
// "IClassFactory::CreateInstance", "IRemUnknown::RemRelease".
std::wstring IncomingCallName(const INTERFACEINFO* call);

}  // namespace standin
