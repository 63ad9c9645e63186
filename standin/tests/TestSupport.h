// Shared pieces of the stand-in's contract tests: a fixture that owns a COM
// apartment and a running stand-in, and a minimal event sink.
#pragma once

#include "client/StandInClient.h"
#include "core/Dispatch.h"

#include <gtest/gtest.h>
#include <ocidl.h>

#include <string>
#include <vector>

namespace standin::test {

extern const IID kApplicationEvents11;
extern const IID kApplicationEvents;
constexpr DISPID kReminder = 0xF004;
constexpr DISPID kQuit = 0xF007;
constexpr double kNoDate = 949998.0;  // 1 January 4501

// Scenario used by most tests: a few tasks with and without due dates.
extern const wchar_t kTasksScenario[];

class StandInTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the stand-in with a scenario (ends the previous one).
    void Start(const std::wstring& scenario);
    std::string Command(const std::string& command) { return m_standIn.Command(command); }
    std::vector<std::string> Journal() { return m_standIn.Journal(); }
    wl::Dispatch Outlook() { return wl::Dispatch::Create(L"Outlook.Application"); }
    wl::Dispatch Folder(const wl::Dispatch& outlook, int number)
    {
        return outlook.Call(L"GetNamespace", L"MAPI").Call(L"GetDefaultFolder", number).Object();
    }
    StandIn& Server() { return m_standIn; }

private:
    wl::ComApartment* m_apartment = nullptr;
    StandIn m_standIn;
};

// The error a call threw, or S_OK when it did not throw.
template <class F>
wl::ComError ErrorOf(F&& call)
{
    try {
        call();
    } catch (const wl::ComError& e) {
        return e;
    }
    return wl::ComError(S_OK, L"");
}

// The IUnknown and IDispatch of an event sink as a client writes it: it
// answers IDispatch and the event interfaces it is made for, and is told
// each event through Invoke.
class SinkBase : public IDispatch {
public:
    virtual ~SinkBase() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || Answers(iid)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG n = --m_refs;
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

protected:
    virtual bool Answers(REFIID iid) const = 0;

private:
    ULONG m_refs = 1;
};

// An application-events sink: it records each event and reads the item's
// subject while the event is being delivered, as the program's Reminder
// handler does.
class EventSink final : public SinkBase {
public:
    struct Event {
        DISPID id;
        UINT argCount;
        wl::ComPtr<IDispatch> item;
        std::wstring subjectDuringEvent;
    };
    std::vector<Event> events;

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

protected:
    bool Answers(REFIID iid) const override { return iid == kApplicationEvents11 || iid == kApplicationEvents; }
};

// Advises a sink on the Application's connection point for iid; returns the cookie.
struct Connection {
    wl::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    HRESULT hr = E_FAIL;
};
Connection Advise(const wl::Dispatch& application, REFIID iid, IUnknown* sink);

// Waits (pumping messages) until pred() holds; false on timeout.
template <class P>
bool WaitFor(P pred, DWORD timeoutMs = 5000)
{
    ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!pred()) {
        if (::GetTickCount64() > end) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
    return true;
}

// The stand-in answers on its control pipe.
bool PipeAnswers();

// The folder the test exe (and the stand-in) live in, with a trailing backslash.
std::wstring BinFolder();

}  // namespace standin::test
