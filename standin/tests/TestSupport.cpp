#include "TestSupport.h"

namespace standin::test {

const IID kApplicationEvents11 = {0x0006302C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kApplicationEvents = {0x0006304E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const wchar_t kTasksScenario[] = LR"(# tasks for the contract tests
option linger
store "Mailbox - Test User"
item folder=Tasks subject="Call Bob" entryid=T1 due=2024-05-01 reminder="2024-05-01 09:30"
item folder=Tasks subject="Write report" entryid=T2 due=none
item folder=Tasks subject="Paid invoice" entryid=T3 due=2024-04-02 complete=1
item folder=Inbox subject="Hello" entryid=M1
)";

void StandInTest::SetUp()
{
    m_apartment = new wl::ComApartment(COINIT_APARTMENTTHREADED);
    ASSERT_TRUE(SUCCEEDED(m_apartment->result()));
}

void StandInTest::TearDown()
{
    m_standIn.Stop();
    StandIn::EndRunning(2000);  // one COM started on its own
    delete m_apartment;
    m_apartment = nullptr;
}

void StandInTest::Start(const std::wstring& scenario)
{
    m_standIn.Stop();
    m_standIn = StandIn::Start(scenario);
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    Event e{id, params ? params->cArgs : 0, nullptr, L""};
    if (params && params->cArgs == 1 && params->rgvarg[0].vt == VT_DISPATCH) {
        e.item = wl::ComPtr<IDispatch>::AddRef(params->rgvarg[0].pdispVal);
        try {
            e.subjectDuringEvent = wl::Dispatch(e.item).Get(L"Subject").Text();
        } catch (const wl::ComError& error) {
            e.subjectDuringEvent = L"!error " + std::to_wstring(error.Number());
        }
    }
    events.push_back(std::move(e));
    return S_OK;
}

Connection Advise(const wl::Dispatch& application, REFIID iid, IUnknown* sink)
{
    Connection c;
    wl::ComPtr<IConnectionPointContainer> container;
    c.hr = application.Get()->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    if (FAILED(c.hr)) return c;
    c.hr = container->FindConnectionPoint(iid, c.point.Put());
    if (FAILED(c.hr)) return c;
    c.hr = c.point->Advise(sink, &c.cookie);
    return c;
}

bool PipeAnswers() { return SendCommand("ping", 100, 2000).has_value(); }

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

}  // namespace standin::test
