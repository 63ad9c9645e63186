// Contract tests of the Outlook stand-in: the program's tests rely on it
// answering as Outlook does, so it is checked here through the same
// late-binding helper the program uses.
#include "TestSupport.h"
#include "src/Text.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>

namespace standin::test {
namespace {

using wl::ComError;
using wl::Dispatch;

// The default store's id, as Folder.StoreID has always given it.
constexpr wchar_t kDefaultStoreId[] = L"0000000038A1BB1005E5101AA1BB08002B2A56C20000";

constexpr HRESULT kItemGone = static_cast<HRESULT>(0x8004010F);
constexpr HRESULT kExecFailure = static_cast<HRESULT>(0x80080005);
constexpr HRESULT kCallRejected = static_cast<HRESULT>(0x80010001);  // RPC_E_CALL_REJECTED

double Date(int y, int m, int d, int h = 0, int min = 0)
{
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(min);
    double out = 0;
    ::SystemTimeToVariantTime(&st, &out);
    return out;
}

std::wstring RegDefault(const std::wstring& key, const wchar_t* value = nullptr)
{
    wchar_t buf[1024];
    DWORD size = sizeof buf;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return L"";
    return buf;
}

using ContractRegistration = StandInTest;

TEST_F(ContractRegistration, ClassesAndAppPathPointAtTheStandIn)
{
    Start(kTasksScenario);  // registers when needed
    std::wstring exe = Server().ExePath();
    for (const wchar_t* progId : {L"Outlook.Application", L"Word.Application"}) {
        CLSID clsid{};
        ASSERT_EQ(::CLSIDFromProgID(progId, &clsid), S_OK) << progId;
    }
    EXPECT_EQ(RegDefault(L"Software\\Classes\\Outlook.Application\\CLSID"), L"{0006F03A-0000-0000-C000-000000000046}");
    EXPECT_EQ(RegDefault(L"Software\\Classes\\Word.Application\\CLSID"), L"{000209FF-0000-0000-C000-000000000046}");
    EXPECT_EQ(RegDefault(L"Software\\Classes\\CLSID\\{0006F03A-0000-0000-C000-000000000046}\\LocalServer32"), exe);
    EXPECT_EQ(RegDefault(L"Software\\Classes\\CLSID\\{000209FF-0000-0000-C000-000000000046}\\ProgID"),
              L"Word.Application");
    EXPECT_EQ(RegDefault(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OUTLOOK.EXE"), exe);
}

// CreateObject reaches the stand-in the test started (REGCLS_MULTIPLEUSE), and
// every CreateObject gets the one Application, as with Outlook.
TEST_F(StandInTest, CreateObjectJoinsTheRunningStandIn)
{
    Start(kTasksScenario);
    Dispatch first = Outlook();
    Dispatch second = Outlook();
    EXPECT_EQ(first.Get(L"Name").Text(), L"Outlook");
    EXPECT_EQ(first.Call(L"Version").Text(), L"16.0.0.0");

    std::string state = Command("state");
    EXPECT_EQ(ReplyValue(state, "pid"), std::to_string(Server().ProcessId()));
    EXPECT_EQ(ReplyValue(state, "application"), "1");
    // Same object: COM hands out the same proxy for the same remote object.
    wl::ComPtr<IUnknown> a = wl::ComPtr<IDispatch>::AddRef(first.Get()).As<IUnknown>();
    wl::ComPtr<IUnknown> b = wl::ComPtr<IDispatch>::AddRef(second.Get()).As<IUnknown>();
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_EQ(CountLines(Journal(), "CreateObject Outlook.Application"), 2u);
    // The scenario's items, not the demo mailbox: the running process answered.
    EXPECT_EQ(Folder(first, 13).Get(L"Items").Call(L"Count").Long(), 3);
}

TEST_F(StandInTest, DefaultFoldersByNumberAndRejectedNumbers)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    Dispatch ns = outlook.Call(L"GetNamespace", L"MAPI").Object();
    const std::pair<int, const wchar_t*> folders[] = {{4, L"Outbox"},   {5, L"Sent Items"}, {6, L"Inbox"},
                                                      {9, L"Calendar"}, {10, L"Contacts"},  {11, L"Journal"},
                                                      {12, L"Notes"},   {13, L"Tasks"},     {16, L"Drafts"}};
    for (auto [number, name] : folders) {
        Dispatch folder = ns.Call(L"GetDefaultFolder", number).Object();
        EXPECT_EQ(folder.Get(L"Name").Text(), name) << number;
        EXPECT_FALSE(folder.Get(L"EntryID").Text().empty());
    }
    EXPECT_EQ(ns.Call(L"GetDefaultFolder", 13).Call(L"DefaultItemType").Long(), 3);  // olTaskItem
    EXPECT_EQ(ns.Call(L"GetDefaultFolder", short{6}).Call(L"Name").Text(), L"Inbox");  // VT_I2 as VBA passes it

    for (int rejected : {0, 1, 3, 7, 8, 14, 17, 99, -1}) {
        ComError e = ErrorOf([&] { ns.Call(L"GetDefaultFolder", rejected); });
        EXPECT_EQ(e.Code(), E_INVALIDARG) << rejected;
        EXPECT_EQ(e.Description(), L"Could not complete the operation. One or more parameter values are not valid.");
    }
    EXPECT_EQ(ErrorOf([&] { outlook.Call(L"GetNamespace", L"Exchange"); }).Code(), E_INVALIDARG);
    EXPECT_TRUE(HasLine(Journal(), "NameSpace.GetDefaultFolder(3) -> !0x80070057"));
}

TEST_F(StandInTest, ParentChainFromItemToApplication)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    Dispatch item = Folder(outlook, 13).Get(L"Items").Call(L"Item", 1).Object();
    Dispatch tasks = item.Get(L"Parent").Object();
    EXPECT_EQ(tasks.Get(L"Name").Text(), L"Tasks");
    Dispatch root = tasks.Get(L"Parent").Object();
    EXPECT_EQ(root.Get(L"Name").Text(), L"Mailbox - Test User");
    Dispatch ns = root.Get(L"Parent").Object();
    EXPECT_EQ(ns.Call(L"GetDefaultFolder", 6).Call(L"Name").Text(), L"Inbox");
    EXPECT_EQ(ns.Get(L"Parent").Call(L"Name").Text(), L"Outlook");
    EXPECT_TRUE(InOrder(Journal(), {"Item:T1.Parent() -> Folder:Tasks", "Folder:Tasks.Parent() -> Folder:Mailbox - Test User",
                                    "Folder:Mailbox - Test User.Parent() -> NameSpace",
                                    "NameSpace.Parent() -> Application"}));
}

TEST_F(StandInTest, ItemsCountItemAndEnumerationInBatches)
{
    // More items than one batch of the program's ForEach (64).
    std::wstring scenario = L"option linger\n";
    for (int i = 1; i <= 150; ++i)
        scenario += L"item folder=Inbox subject=\"Mail " + std::to_wstring(i) + L"\" entryid=M" + std::to_wstring(i) + L"\n";
    Start(scenario);
    Dispatch items = Folder(Outlook(), 6).Get(L"Items").Object();
    EXPECT_EQ(items.Get(L"Count").Long(), 150);
    EXPECT_EQ(items.Call(L"Item", 1).Call(L"Subject").Text(), L"Mail 1");
    EXPECT_EQ(items.Call(L"Item", 150).Call(L"EntryID").Text(), L"M150");
    EXPECT_EQ(items.Call(L"Item", L"Mail 7").Call(L"EntryID").Text(), L"M7");
    EXPECT_EQ(ErrorOf([&] { items.Call(L"Item", 0); }).Code(), DISP_E_BADINDEX);
    EXPECT_EQ(ErrorOf([&] { items.Call(L"Item", 151); }).Code(), DISP_E_BADINDEX);

    Command("stats-reset");
    std::vector<std::wstring> seen;
    items.ForEach([&](const wl::Value& v) {
        seen.push_back(v.Call(L"Subject").Text());
        return true;
    });
    ASSERT_EQ(seen.size(), 150u);
    EXPECT_EQ(seen.front(), L"Mail 1");
    EXPECT_EQ(seen.back(), L"Mail 150");
    std::string stats = Command("stats");
    EXPECT_EQ(ReplyValue(stats, "next"), "3");  // 64 + 64 + 22
    EXPECT_EQ(ReplyValue(stats, "invoke"), "151");  // _NewEnum and one Subject each
    EXPECT_TRUE(InOrder(Journal(), {"Items:Inbox._NewEnum() -> Enum", "Enum:Inbox.Next(64) -> 64",
                                    "Enum:Inbox.Next(64) -> 64", "Enum:Inbox.Next(64) -> 22"}));
}

TEST_F(StandInTest, EnumeratorSkipResetCloneAndShortBatches)
{
    Start(kTasksScenario);
    Dispatch items = Folder(Outlook(), 13).Get(L"Items").Object();
    wl::Value e = items.Call(L"_NewEnum");
    ASSERT_TRUE(e.Raw().Type() == VT_UNKNOWN || e.Raw().Type() == VT_DISPATCH);
    wl::ComPtr<IEnumVARIANT> en;
    ASSERT_EQ(e.Raw().Ref().punkVal->QueryInterface(IID_IEnumVARIANT, en.PutVoid()), S_OK);

    VARIANT batch[5];
    for (auto& v : batch) ::VariantInit(&v);
    ULONG fetched = 99;
    EXPECT_EQ(en->Next(2, batch, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(Dispatch(wl::ComPtr<IDispatch>::AddRef(batch[1].pdispVal)).Get(L"EntryID").Text(), L"T2");
    for (auto& v : batch) ::VariantClear(&v);

    wl::ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(en->Clone(clone.Put()), S_OK);
    EXPECT_EQ(en->Next(5, batch, &fetched), S_FALSE);  // only one left
    EXPECT_EQ(fetched, 1u);
    for (auto& v : batch) ::VariantClear(&v);
    EXPECT_EQ(en->Next(5, batch, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    EXPECT_EQ(clone->Next(1, batch, &fetched), S_OK);  // the clone kept its own position
    EXPECT_EQ(Dispatch(wl::ComPtr<IDispatch>::AddRef(batch[0].pdispVal)).Get(L"EntryID").Text(), L"T3");
    ::VariantClear(&batch[0]);

    EXPECT_EQ(en->Reset(), S_OK);
    EXPECT_EQ(en->Skip(2), S_OK);
    EXPECT_EQ(en->Next(1, batch, &fetched), S_OK);
    EXPECT_EQ(Dispatch(wl::ComPtr<IDispatch>::AddRef(batch[0].pdispVal)).Get(L"EntryID").Text(), L"T3");
    ::VariantClear(&batch[0]);
    EXPECT_EQ(en->Skip(1), S_FALSE);
}

TEST_F(StandInTest, RestrictOnCompleteAndItsSwitchedOffFallback)
{
    Start(kTasksScenario);
    Dispatch items = Folder(Outlook(), 13).Get(L"Items").Object();
    EXPECT_EQ(items.Call(L"Restrict", L"[Complete] = False").Call(L"Count").Long(), 2);
    EXPECT_EQ(items.Call(L"Restrict", L"[Complete] = True").Call(L"Count").Long(), 1);
    EXPECT_EQ(items.Call(L"Restrict", L"  [complete]=FALSE ").Call(L"Item", 2).Call(L"EntryID").Text(), L"T2");
    std::vector<std::wstring> open;
    items.Call(L"Restrict", L"[Complete] = False").Object().ForEach([&](const wl::Value& v) {
        open.push_back(v.Call(L"EntryID").Text());
        return true;
    });
    EXPECT_EQ(open, (std::vector<std::wstring>{L"T1", L"T2"}));

    EXPECT_TRUE(FAILED(ErrorOf([&] { items.Call(L"Restrict", L"[DueDate] < '2024-01-01'"); }).Code()));
    EXPECT_TRUE(FAILED(ErrorOf([&] { Folder(Outlook(), 6).Get(L"Items").Call(L"Restrict", L"[Complete] = False"); })
                           .Code()));

    EXPECT_TRUE(ReplyOk(Command("fail Items.Restrict")));
    ComError off = ErrorOf([&] { items.Call(L"Restrict", L"[Complete] = False"); });
    EXPECT_EQ(off.Code(), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(items.Call(L"Count").Long(), 3);  // the fallback path still works
    EXPECT_TRUE(HasLine(Journal(), "GetIDsOfNames Items:Tasks.Restrict -> !0x80020006"));
    EXPECT_TRUE(ReplyOk(Command("unfail Items.Restrict")));
    EXPECT_EQ(items.Call(L"Restrict", L"[Complete] = True").Call(L"Count").Long(), 1);
}

TEST_F(StandInTest, TaskAndMailProperties)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    Dispatch tasks = Folder(outlook, 13).Get(L"Items").Object();
    Dispatch t1 = tasks.Call(L"Item", 1).Object();
    Dispatch t2 = tasks.Call(L"Item", 2).Object();
    Dispatch t3 = tasks.Call(L"Item", 3).Object();

    EXPECT_EQ(t1.Get(L"Subject").Text(), L"Call Bob");
    EXPECT_EQ(t1.Get(L"DueDate").Raw().Type(), VT_DATE);
    EXPECT_DOUBLE_EQ(t1.Get(L"DueDate").Date(), Date(2024, 5, 1));
    EXPECT_DOUBLE_EQ(t1.Get(L"ReminderTime").Date(), Date(2024, 5, 1, 9, 30));
    EXPECT_DOUBLE_EQ(t2.Get(L"DueDate").Date(), kNoDate);
    EXPECT_DOUBLE_EQ(t2.Get(L"ReminderTime").Date(), kNoDate);
    EXPECT_EQ(t1.Get(L"Complete").Raw().Type(), VT_BOOL);
    EXPECT_FALSE(t1.Get(L"Complete").Bool());
    EXPECT_TRUE(t3.Get(L"Complete").Bool());
    EXPECT_EQ(t1.Get(L"Class").Long(), 48);  // olTask
    EXPECT_EQ(t1.Get(L"MessageClass").Text(), L"IPM.Task");
    EXPECT_EQ(t1.Get(L"subject").Text(), L"Call Bob");  // names are case-insensitive

    Dispatch mail = Folder(outlook, 6).Get(L"Items").Call(L"Item", 1).Object();
    EXPECT_EQ(mail.Get(L"Class").Long(), 43);  // olMail
    EXPECT_EQ(mail.Get(L"MessageClass").Text(), L"IPM.Note");
    // Members the kind does not have fail by name, as with Office.
    EXPECT_EQ(ErrorOf([&] { mail.Get(L"DueDate"); }).Code(), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ErrorOf([&] { mail.Get(L"Complete"); }).Code(), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ErrorOf([&] { t1.Get(L"Body"); }).Code(), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ErrorOf([&] { outlook.Call(L"CreateItem", 0); }).Code(), DISP_E_UNKNOWNNAME);
    // Read-only members refuse a put.
    EXPECT_EQ(ErrorOf([&] { t1.Put(L"Subject", L"x"); }).Code(), DISP_E_MEMBERNOTFOUND);
}

TEST_F(StandInTest, UnicodeSubjectsAndRelativeDates)
{
    Start(L"option linger\n"
          L"item folder=Tasks subject=\"Ελληνικά 中文 😀\" entryid=U1 due=today+3d\n"
          L"item folder=Tasks subject=\"Quote \\\"inside\\\"\" entryid=U2 due=yesterday\n");
    Dispatch items = Folder(Outlook(), 13).Get(L"Items").Object();
    EXPECT_EQ(items.Call(L"Item", 1).Call(L"Subject").Text(), L"Ελληνικά 中文 😀");
    EXPECT_EQ(items.Call(L"Item", 2).Call(L"Subject").Text(), L"Quote \"inside\"");
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    double today = Date(now.wYear, now.wMonth, now.wDay);
    EXPECT_DOUBLE_EQ(items.Call(L"Item", 1).Call(L"DueDate").Date(), today + 3);
    EXPECT_DOUBLE_EQ(items.Call(L"Item", 2).Call(L"DueDate").Date(), today - 1);
    EXPECT_TRUE(HasLine(Journal(), "Item:U1.Subject() -> \"Ελληνικά 中文 😀\""));
    EXPECT_TRUE(HasLine(Journal(), "Item:U2.Subject() -> \"Quote \"\"inside\"\"\""));
}

TEST_F(StandInTest, ControlChannelChangesWhatClientsSee)
{
    Start(kTasksScenario);
    Dispatch items = Folder(Outlook(), 13).Get(L"Items").Object();
    std::string added = Command("add folder=Tasks subject=\"New one\" due=2024-06-01 complete=0");
    ASSERT_TRUE(ReplyOk(added)) << added;
    std::string id = ReplyStatus(added).substr(3);
    EXPECT_GE(id.size(), 40u);  // an Outlook-like entry id
    EXPECT_EQ(items.Get(L"Count").Long(), 4);
    Dispatch added1 = items.Call(L"Item", 4).Object();
    EXPECT_EQ(added1.Get(L"EntryID").Text(), std::wstring(id.begin(), id.end()));

    EXPECT_TRUE(ReplyOk(Command("set T1 complete=1 subject=\"Call Bob back\" due=none")));
    Dispatch t1 = items.Call(L"Item", 1).Object();
    EXPECT_TRUE(t1.Get(L"Complete").Bool());
    EXPECT_EQ(t1.Get(L"Subject").Text(), L"Call Bob back");
    EXPECT_DOUBLE_EQ(t1.Get(L"DueDate").Date(), kNoDate);

    EXPECT_TRUE(ReplyStatus(Command("set NOPE subject=x")).rfind("error", 0) == 0);
    EXPECT_TRUE(ReplyStatus(Command("add folder=Nowhere subject=x")).rfind("error", 0) == 0);
    EXPECT_TRUE(ReplyStatus(Command("add folder=Tasks due=someday")).rfind("error", 0) == 0);
    EXPECT_TRUE(ReplyStatus(Command("frobnicate")).rfind("error", 0) == 0);
}

TEST_F(StandInTest, DeletedItemFailsForReferencesAlreadyHandedOut)
{
    Start(kTasksScenario);
    Dispatch items = Folder(Outlook(), 13).Get(L"Items").Object();
    Dispatch t1 = items.Call(L"Item", 1).Object();
    EXPECT_EQ(t1.Get(L"Subject").Text(), L"Call Bob");
    ASSERT_TRUE(ReplyOk(Command("delete T1")));
    EXPECT_EQ(items.Get(L"Count").Long(), 2);
    for (const wchar_t* member : {L"Subject", L"DueDate", L"Complete", L"EntryID", L"Parent"}) {
        ComError e = ErrorOf([&] { t1.Get(member); });
        EXPECT_EQ(e.Code(), kItemGone) << member;
        EXPECT_EQ(e.Description(), L"The item has been moved or deleted.") << member;
    }
    EXPECT_TRUE(HasLine(Journal(), "Item:T1.Subject() -> !0x8004010F"));
}

TEST_F(StandInTest, SwitchedOnFailures)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    Dispatch items = Folder(outlook, 13).Get(L"Items").Object();
    Dispatch t1 = items.Call(L"Item", 1).Object();
    Dispatch t2 = items.Call(L"Item", 2).Object();

    ASSERT_EQ(ReplyStatus(Command("fail Item.Complete")), "ok 0x80004005");
    EXPECT_EQ(ErrorOf([&] { t1.Get(L"Complete"); }).Code(), E_FAIL);
    EXPECT_EQ(ErrorOf([&] { t2.Get(L"Complete"); }).Code(), E_FAIL);
    EXPECT_EQ(t1.Get(L"Subject").Text(), L"Call Bob");

    ASSERT_TRUE(ReplyOk(Command("fail Item:T2.Subject 0x80070005")));
    EXPECT_EQ(ErrorOf([&] { t2.Get(L"Subject"); }).Code(), E_ACCESSDENIED);
    EXPECT_EQ(t1.Get(L"Subject").Text(), L"Call Bob");

    ASSERT_TRUE(ReplyOk(Command("fail NameSpace.GetDefaultFolder")));
    EXPECT_EQ(ErrorOf([&] { Folder(outlook, 13); }).Code(), E_FAIL);

    // Transport errors come back as the call's own result, like a dead server.
    ASSERT_TRUE(ReplyOk(Command("fail Application.Name 0x800706BA")));
    ComError gone = ErrorOf([&] { outlook.Get(L"Name"); });
    EXPECT_TRUE(gone.ServerGone()) << std::hex << gone.Code();

    ASSERT_TRUE(ReplyOk(Command("unfail Item.Complete")));
    EXPECT_FALSE(t1.Get(L"Complete").Bool());
    ASSERT_TRUE(ReplyOk(Command("fail-clear")));
    EXPECT_EQ(t2.Get(L"Subject").Text(), L"Write report");
    EXPECT_EQ(Folder(outlook, 13).Get(L"Name").Text(), L"Tasks");
    EXPECT_TRUE(ReplyStatus(Command("fail Nonsense.Member")).rfind("error", 0) == 0);
}

TEST_F(StandInTest, ExplorersAddDisplayActivateAndCurrentFolder)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    EXPECT_TRUE(outlook.Call(L"ActiveExplorer").IsEmpty());
    EXPECT_EQ(outlook.Call(L"ActiveExplorer").Raw().Type(), VT_DISPATCH);  // Nothing, not Empty
    Dispatch explorers = outlook.Get(L"Explorers").Object();
    EXPECT_EQ(explorers.Get(L"Count").Long(), 0);

    Dispatch inbox = Folder(outlook, 6);
    Dispatch tasks = Folder(outlook, 13);
    Dispatch first = explorers.Call(L"Add", inbox, 0).Object();
    EXPECT_EQ(explorers.Get(L"Count").Long(), 1);
    EXPECT_TRUE(outlook.Call(L"ActiveExplorer").IsEmpty());  // not displayed yet
    first.Call(L"Display");
    EXPECT_EQ(outlook.Call(L"ActiveExplorer").Call(L"Caption").Text(), L"Inbox - Outlook (stand-in)");

    Dispatch second = explorers.Call(L"Add", tasks).Object();  // display mode omitted
    second.Call(L"Display");
    EXPECT_EQ(outlook.Call(L"ActiveExplorer").Call(L"CurrentFolder").Call(L"Name").Text(), L"Tasks");
    first.Call(L"Activate");
    EXPECT_EQ(outlook.Call(L"ActiveExplorer").Call(L"CurrentFolder").Call(L"Name").Text(), L"Inbox");

    first.Put(L"CurrentFolder", Folder(outlook, 9));  // by reference
    EXPECT_EQ(first.Get(L"CurrentFolder").Call(L"Name").Text(), L"Calendar");
    EXPECT_EQ(first.Get(L"Caption").Text(), L"Calendar - Outlook (stand-in)");
    EXPECT_EQ(ErrorOf([&] { first.Put(L"CurrentFolder", L"Inbox"); }).Code(), E_INVALIDARG);

    std::string state = Command("state");
    EXPECT_EQ(ReplyValue(state, "explorers"), "2");
    EXPECT_EQ(ReplyValue(state, "active"), "1");

    first.Call(L"Close");
    EXPECT_EQ(explorers.Get(L"Count").Long(), 1);
    EXPECT_EQ(outlook.Call(L"ActiveExplorer").Call(L"Caption").Text(), L"Tasks - Outlook (stand-in)");
    EXPECT_EQ(explorers.Call(L"Item", 1).Call(L"Caption").Text(), L"Tasks - Outlook (stand-in)");
    second.Call(L"Close");
    EXPECT_TRUE(outlook.Call(L"ActiveExplorer").IsEmpty());
    EXPECT_TRUE(InOrder(Journal(), {"Explorers.Add(Folder:Inbox, 0) -> Explorer:1", "Explorer:1.Display() -> Empty",
                                    "Explorer:1.CurrentFolder = Folder:Calendar", "Explorer:1.Close() -> Empty"}));
}

// With a display, a displayed explorer is a window; the user closing it closes
// the explorer, and with "option quit-on-last-close" ends the stand-in as Outlook.
TEST_F(StandInTest, ClosingTheExplorerWindowClosesTheExplorer)
{
    Start(std::wstring(kTasksScenario) + L"option quit-on-last-close\n");
    Dispatch outlook = Outlook();
    Dispatch explorer = outlook.Get(L"Explorers").Call(L"Add", Folder(outlook, 13), 0).Object();
    explorer.Call(L"Display");
    if (ReplyValue(Command("state"), "explorer").find("window=1") == std::string::npos)
        GTEST_SKIP() << "no display: the stand-in runs without windows";
    HWND window = ::FindWindowW(L"OutlookStandInExplorer", L"Tasks - Outlook (stand-in)");
    ASSERT_NE(window, nullptr);
    auto sink = wl::ComPtr<EventSink>::Attach(new EventSink);
    ASSERT_EQ(Advise(outlook, kApplicationEvents11, sink.Get()).hr, S_OK);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !sink->events.empty(); }));
    EXPECT_TRUE(Server().WaitForExit(5000));
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].id, kQuit);
    EXPECT_TRUE(InOrder(Journal(), {"Window Explorer:1 closed", "Fire Quit -> 1 sinks", "Server exit (quit)"}));
}

TEST_F(StandInTest, ItemDisplayReturnsAtOnce)
{
    Start(kTasksScenario);
    Dispatch t1 = Folder(Outlook(), 13).Get(L"Items").Call(L"Item", 1).Object();
    auto start = std::chrono::steady_clock::now();
    t1.Call(L"Display");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(HasLine(Journal(), "Item:T1.Display() -> Empty"));
}

TEST_F(StandInTest, WordQuitWithOmittedArguments)
{
    Start(kTasksScenario);
    Dispatch word = Dispatch::Create(L"Word.Application");
    EXPECT_EQ(word.Get(L"Name").Text(), L"Microsoft Word");
    EXPECT_FALSE(word.Get(L"Visible").Bool());
    word.Put(L"Visible", false);
    word.Call(L"Quit");
    // Word is gone for this reference, as after a real Quit.
    ComError after = ErrorOf([&] { word.Get(L"Name"); });
    EXPECT_TRUE(after.ServerGone()) << std::hex << after.Code();
    auto journal = Journal();
    EXPECT_TRUE(InOrder(journal, {"CreateObject Word.Application", "Word.Name() -> \"Microsoft Word\"",
                                  "Word.Visible() -> False", "Word.Visible = False", "Word.Quit() -> Empty"}));

    Dispatch again = Dispatch::Create(L"Word.Application");
    again.Call(L"Quit", false);  // with SaveChanges given
    EXPECT_TRUE(HasLine(Journal(), "Word.Quit(False) -> Empty"));
}

TEST_F(StandInTest, ReminderAndQuitEventsReachAdvisedSinks)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    auto sink = wl::ComPtr<EventSink>::Attach(new EventSink);
    Connection c = Advise(outlook, kApplicationEvents11, sink.Get());
    ASSERT_EQ(c.hr, S_OK);
    EXPECT_EQ(ReplyValue(Command("state"), "sinks"), "1");

    EXPECT_EQ(ReplyStatus(Command("fire-reminder T1")), "ok 1");
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].id, kReminder);
    EXPECT_EQ(sink->events[0].argCount, 1u);
    EXPECT_EQ(sink->events[0].subjectDuringEvent, L"Call Bob");  // called back into the stand-in meanwhile
    EXPECT_EQ(Dispatch(sink->events[0].item).Get(L"EntryID").Text(), L"T1");

    EXPECT_EQ(ReplyStatus(Command("fire-quit")), "ok 1");
    ASSERT_EQ(sink->events.size(), 2u);
    EXPECT_EQ(sink->events[1].id, kQuit);
    EXPECT_EQ(sink->events[1].argCount, 0u);

    // The older events interface is served too.
    auto old = wl::ComPtr<EventSink>::Attach(new EventSink);
    Connection c2 = Advise(outlook, kApplicationEvents, old.Get());
    ASSERT_EQ(c2.hr, S_OK);
    EXPECT_EQ(ReplyStatus(Command("fire-reminder T2")), "ok 2");
    EXPECT_EQ(old->events.size(), 1u);

    EXPECT_EQ(c.point->Unadvise(c.cookie), S_OK);
    EXPECT_EQ(c2.point->Unadvise(c2.cookie), S_OK);
    ASSERT_EQ(sink->events.size(), 3u);  // T2 reached it as well
    EXPECT_EQ(sink->events[2].subjectDuringEvent, L"Write report");
    EXPECT_EQ(ReplyStatus(Command("fire-reminder T1")), "ok 0");
    EXPECT_EQ(sink->events.size(), 3u);
    EXPECT_TRUE(ReplyStatus(Command("fire-reminder NOPE")).rfind("error", 0) == 0);
    EXPECT_TRUE(InOrder(Journal(), {"Advise ApplicationEvents_11", "Fire Reminder(Item:T1) -> 1 sinks",
                                    "Fire Quit -> 1 sinks", "Advise ApplicationEvents",
                                    "Fire Reminder(Item:T2) -> 2 sinks", "Unadvise ApplicationEvents_11",
                                    "Unadvise ApplicationEvents", "Fire Reminder(Item:T1) -> 0 sinks"}));
}

TEST_F(StandInTest, ApplicationQuitFiresQuitThenEndsTheProcess)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    Dispatch tasks = Folder(outlook, 13);
    auto sink = wl::ComPtr<EventSink>::Attach(new EventSink);
    ASSERT_EQ(Advise(outlook, kApplicationEvents11, sink.Get()).hr, S_OK);
    outlook.Call(L"Quit");
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].id, kQuit);
    EXPECT_TRUE(Server().WaitForExit(5000));
    ComError e = ErrorOf([&] { tasks.Get(L"Name"); });
    EXPECT_TRUE(e.ServerGone()) << std::hex << e.Code();
    // A call's line is written when it returns: the event it fired comes first.
    EXPECT_TRUE(InOrder(Journal(), {"Fire Quit -> 1 sinks", "Application.Quit() -> Empty", "Server exit (quit)"}));
}

// "quit-delay": after Quit the process stays a while with its class objects
// registered, as Outlook closing its data file; a CreateObject meanwhile binds
// to the dying process.
TEST_F(StandInTest, QuitDelayKeepsTheDyingProcessRegisteredForAWhile)
{
    Start(std::wstring(kTasksScenario) + L"option quit-delay=60000\n");
    ASSERT_TRUE(ReplyOk(Command("quit-delay 1500")));  // changed at run time
    Dispatch outlook = Outlook();
    Dispatch tasks = Folder(outlook, 13);
    auto sink = wl::ComPtr<EventSink>::Attach(new EventSink);
    ASSERT_EQ(Advise(outlook, kApplicationEvents11, sink.Get()).hr, S_OK);
    outlook.Call(L"Quit");
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].id, kQuit);
    ASSERT_TRUE(WaitFor([&] { return HasLine(Journal(), "Server quitting"); }));

    EXPECT_TRUE(ErrorOf([&] { tasks.Get(L"Name"); }).ServerGone());  // disconnected as today
    EXPECT_TRUE(Server().Running());
    EXPECT_EQ(ReplyValue(Command("state"), "quitting"), "1");
    Dispatch late = Outlook();
    EXPECT_EQ(late.Get(L"Name").Text(), L"Outlook");  // the dying process answers while it lives

    EXPECT_TRUE(Server().WaitForExit(10000));
    ComError after = ErrorOf([&] { late.Get(L"Name"); });
    EXPECT_TRUE(after.ServerGone()) << std::hex << after.Code();
    EXPECT_TRUE(InOrder(Journal(), {"Fire Quit -> 1 sinks", "Application.Quit() -> Empty", "Server quitting",
                                    "CreateObject Outlook.Application (quitting)", "Server exit (quit)"}));
    EXPECT_EQ(CountLines(Journal(), "Server exit"), 1u);
}

// The cells of a GetArray or GetValues result, read from the raw SAFEARRAY:
// one vector per row (a one-dimensional array is one row).
std::vector<std::vector<wl::Variant>> CellsOf(const wl::Value& value)
{
    std::vector<std::vector<wl::Variant>> rows;
    const VARIANT& raw = value.Raw().Ref();
    EXPECT_EQ(raw.vt, VT_ARRAY | VT_VARIANT);
    if (raw.vt != (VT_ARRAY | VT_VARIANT) || !raw.parray) return rows;
    SAFEARRAY* array = raw.parray;
    UINT dims = ::SafeArrayGetDim(array);
    LONG lower[2] = {0, 0}, upper[2] = {0, 0};
    for (UINT d = 0; d < dims && d < 2; ++d) {
        ::SafeArrayGetLBound(array, d + 1, &lower[d]);
        ::SafeArrayGetUBound(array, d + 1, &upper[d]);
        EXPECT_EQ(lower[d], 0) << "zero-based";
    }
    if (dims == 1) {
        rows.emplace_back();
        for (LONG c = 0; c <= upper[0]; ++c) {
            wl::Variant cell;
            EXPECT_EQ(::SafeArrayGetElement(array, &c, cell.Put()), S_OK);
            rows.back().push_back(std::move(cell));
        }
        return rows;
    }
    EXPECT_EQ(dims, 2u);
    for (LONG r = 0; r <= upper[0]; ++r) {  // [row, column]
        rows.emplace_back();
        for (LONG c = 0; c <= upper[1]; ++c) {
            LONG at[2] = {r, c};
            wl::Variant cell;
            EXPECT_EQ(::SafeArrayGetElement(array, at, cell.Put()), S_OK);
            rows.back().push_back(std::move(cell));
        }
    }
    return rows;
}

std::wstring TextOf(const wl::Variant& v) { return v.Type() == VT_BSTR ? wl::Value(v).Text() : L"<not text>"; }

const wchar_t kTableScenario[] = LR"(option linger
item folder=Tasks subject="Call Bob" entryid=T1 due=2024-05-01 reminder="2024-05-01 09:30"
item folder=Tasks subject="Write report" entryid=T2 due=2024-05-03
item folder=Tasks subject="Paid invoice" entryid=T3 due=2024-04-02 complete=1
item folder=Tasks subject="Read the policy" entryid=T4 due=none
item folder=Tasks subject="Book travel" entryid=T5 due=2024-06-10
item folder=Tasks subject="Sent the forms" entryid=T6 due=none complete=1
item folder=Tasks subject="Plan the party" entryid=T7 due=2024-07-01
item folder=Inbox subject="Hello" entryid=M1
)";

// Folder.GetTable: filtered rows, Outlook's default columns for tasks, chosen
// columns, and batches through GetArray until EndOfTable, one call each.
TEST_F(StandInTest, TableOfTasksInBatches)
{
    Start(kTableScenario);
    Dispatch tasks = Folder(Outlook(), 13);
    EXPECT_EQ(tasks.Call(L"GetTable").Call(L"GetRowCount").Long(), 7);
    EXPECT_EQ(tasks.Call(L"GetTable", L" [complete]=TRUE").Call(L"GetRowCount").Long(), 2);
    EXPECT_EQ(ErrorOf([&] { tasks.Call(L"GetTable", L"[DueDate] < '2024-01-01'"); }).Code(), E_INVALIDARG);
    EXPECT_EQ(ErrorOf([&] { Folder(Outlook(), 6).Call(L"GetTable", L"[Complete] = False"); }).Code(), E_INVALIDARG);

    Dispatch table = tasks.Call(L"GetTable", L"[Complete] = False").Object();
    EXPECT_EQ(table.Call(L"GetRowCount").Long(), 5);
    Dispatch columns = table.Get(L"Columns").Object();
    std::vector<std::wstring> names;
    for (long i = 1; i <= columns.Get(L"Count").Long(); ++i) names.push_back(columns.Call(L"Item", i).Call(L"Name").Text());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"EntryID", L"Subject", L"CreationTime", L"LastModificationTime",
                                                L"MessageClass", L"DueDate", L"PercentComplete", L"IsRecurring"}));
    columns.Call(L"RemoveAll");
    EXPECT_EQ(columns.Get(L"Count").Long(), 0);
    for (const wchar_t* name : {L"EntryID", L"Subject", L"DueDate", L"Complete"})
        EXPECT_EQ(columns.Call(L"Add", name).Call(L"Name").Text(), name);
    EXPECT_EQ(ErrorOf([&] { columns.Call(L"Add", L"Body"); }).Code(), E_INVALIDARG);
    EXPECT_EQ(columns.Get(L"Count").Long(), 4);
    ASSERT_TRUE(ReplyOk(Command("fail Item:T2.DueDate")));

    Command("stats-reset");
    std::vector<std::vector<wl::Variant>> rows;
    std::vector<size_t> batches;
    while (!table.Get(L"EndOfTable").Bool()) {
        auto batch = CellsOf(table.Call(L"GetArray", 2));
        batches.push_back(batch.size());
        for (auto& row : batch) rows.push_back(std::move(row));
    }
    EXPECT_EQ(ReplyValue(Command("stats"), "invoke"), "7");  // 4 EndOfTable, 3 GetArray
    EXPECT_EQ(batches, (std::vector<size_t>{2, 2, 1}));
    ASSERT_EQ(rows.size(), 5u);
    std::vector<std::wstring> ids;
    for (auto& row : rows) {
        ASSERT_EQ(row.size(), 4u);
        ids.push_back(TextOf(row[0]));
    }
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"T1", L"T2", L"T4", L"T5", L"T7"}));
    EXPECT_EQ(TextOf(rows[0][1]), L"Call Bob");
    ASSERT_EQ(rows[0][2].Type(), VT_DATE);
    EXPECT_DOUBLE_EQ(rows[0][2].Ref().date, Date(2024, 5, 1));
    ASSERT_EQ(rows[0][3].Type(), VT_BOOL);
    EXPECT_EQ(rows[0][3].Ref().boolVal, VARIANT_FALSE);
    EXPECT_EQ(rows[1][2].Type(), VT_EMPTY);  // T2's DueDate is unreadable
    EXPECT_EQ(TextOf(rows[1][1]), L"Write report");
    ASSERT_EQ(rows[2][2].Type(), VT_DATE);  // T4 has no due date
    EXPECT_DOUBLE_EQ(rows[2][2].Ref().date, kNoDate);

    // Past the end: an empty batch; MoveToStart reads again, also row by row.
    EXPECT_EQ(CellsOf(table.Call(L"GetArray", 2)).size(), 0u);
    table.Call(L"MoveToStart");
    EXPECT_FALSE(table.Get(L"EndOfTable").Bool());
    Dispatch row = table.Call(L"GetNextRow").Object();
    EXPECT_EQ(row.Call(L"Item", L"Subject").Text(), L"Call Bob");
    EXPECT_DOUBLE_EQ(row.Call(L"Item", 3).Date(), Date(2024, 5, 1));
    auto values = CellsOf(row.Call(L"GetValues"));
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].size(), 4u);
    EXPECT_EQ(TextOf(values[0][0]), L"T1");

    EXPECT_TRUE(InOrder(Journal(), {"Folder:Tasks.GetTable(\"[Complete] = False\") -> Table:Tasks",
                                    "Table:Tasks.Columns() -> Columns:Tasks", "Columns:Tasks.RemoveAll() -> Empty",
                                    "Columns:Tasks.Add(\"DueDate\") -> Column", "Table:Tasks.GetArray(2) -> Array(2x4)",
                                    "Table:Tasks.GetArray(2) -> Array(1x4)", "Table:Tasks.EndOfTable() -> True",
                                    "Table:Tasks.GetArray(2) -> Array(0x4)", "Table:Tasks.GetNextRow() -> Row:T1"}));
}

// NameSpace.GetItemFromID: the item behind an entry id read from a table; an
// id of a deleted or unknown item fails as Outlook's does.
TEST_F(StandInTest, GetItemFromIdFindsItemsAndFailsForDeletedOnes)
{
    Start(kTableScenario);
    Dispatch ns = Outlook().Call(L"GetNamespace", L"MAPI").Object();
    Dispatch table = ns.Call(L"GetDefaultFolder", 13).Call(L"GetTable").Object();
    auto first = CellsOf(table.Call(L"GetArray", 1));
    ASSERT_EQ(first.size(), 1u);
    Dispatch item = ns.Call(L"GetItemFromID", TextOf(first[0][0])).Object();
    EXPECT_EQ(item.Get(L"Subject").Text(), L"Call Bob");
    EXPECT_EQ(ns.Call(L"GetItemFromID", L"M1", kDefaultStoreId).Call(L"Subject").Text(), L"Hello");

    ASSERT_TRUE(ReplyOk(Command("delete T2")));
    for (const wchar_t* gone : {L"T2", L"NOPE"}) {
        ComError e = ErrorOf([&] { ns.Call(L"GetItemFromID", gone); });
        EXPECT_EQ(e.Code(), kItemGone) << std::hex << e.Code();
        EXPECT_FALSE(e.Description().empty());
    }
    EXPECT_TRUE(InOrder(Journal(), {"NameSpace.GetItemFromID(\"T1\") -> Item:T1",
                                    "NameSpace.GetItemFromID(\"T2\") -> !0x8004010F"}));
}

// "fail Folder.GetTable" makes the Outlook without Table that the program
// falls back from (by name); any other member of the table fails on request.
TEST_F(StandInTest, GetTableAndTableMembersCanBeRefused)
{
    Start(kTableScenario);
    Dispatch tasks = Folder(Outlook(), 13);
    Dispatch table = tasks.Call(L"GetTable").Object();
    EXPECT_EQ(ReplyStatus(Command("fail Folder.GetTable")), "ok 0x80020006");
    EXPECT_EQ(ErrorOf([&] { tasks.Call(L"GetTable"); }).Code(), DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(HasLine(Journal(), "GetIDsOfNames Folder:Tasks.GetTable -> !0x80020006"));
    EXPECT_EQ(tasks.Get(L"Items").Call(L"Count").Long(), 7);  // the fallback still works

    EXPECT_EQ(ReplyStatus(Command("fail Table.GetArray")), "ok 0x80004005");
    EXPECT_EQ(ErrorOf([&] { table.Call(L"GetArray", 10); }).Code(), E_FAIL);
    EXPECT_EQ(ReplyStatus(Command("fail Columns:Tasks.Add 0x80070005")), "ok 0x80070005");
    EXPECT_EQ(ErrorOf([&] { table.Get(L"Columns").Call(L"Add", L"Complete"); }).Code(), E_ACCESSDENIED);

    ASSERT_TRUE(ReplyOk(Command("fail-clear")));
    EXPECT_EQ(CellsOf(tasks.Call(L"GetTable").Call(L"GetArray", 10)).size(), 7u);
}

// The journal lines of a short session, exactly, as the program's tests read them.
TEST_F(StandInTest, JournalOfAShortSession)
{
    Start(kTasksScenario);
    Server().ClearJournal();
    {
        Dispatch outlook = Outlook();
        Dispatch tasks = outlook.Call(L"GetNamespace", L"MAPI").Call(L"GetDefaultFolder", 13).Object();
        Dispatch items = tasks.Get(L"Items").Call(L"Restrict", L"[Complete] = False").Object();
        Dispatch t1 = items.Call(L"Item", 1).Object();
        t1.Get(L"Subject");
        t1.Get(L"DueDate");
        t1.Get(L"Complete");
        t1.Get(L"ReminderTime");
    }
    ASSERT_TRUE(WaitFor([&] { return HasLine(Journal(), "Release Application"); }));
    std::vector<std::string> expected = {
        "CreateObject Outlook.Application",
        "Application.GetNamespace(\"MAPI\") -> NameSpace",
        "NameSpace.GetDefaultFolder(13) -> Folder:Tasks",
        "Folder:Tasks.Items() -> Items:Tasks",
        "Items:Tasks.Restrict(\"[Complete] = False\") -> Items:Tasks",
        "Items:Tasks.Item(1) -> Item:T1",
        "Item:T1.Subject() -> \"Call Bob\"",
        "Item:T1.DueDate() -> #2024-05-01 00:00:00#",
        "Item:T1.Complete() -> False",
        "Item:T1.ReminderTime() -> #2024-05-01 09:30:00#",
        "Release Application",
    };
    EXPECT_EQ(Journal(), expected);
}

TEST_F(StandInTest, KillLooksLikeACrashAndANewStandInStartsAfterwards)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    Dispatch tasks = Folder(outlook, 13);
    EXPECT_TRUE(ReplyOk(Command("kill")));
    EXPECT_TRUE(Server().WaitForExit(5000));
    ComError e = ErrorOf([&] { tasks.Get(L"Name"); });
    EXPECT_TRUE(e.ServerGone()) << std::hex << e.Code();
    EXPECT_TRUE(ErrorOf([&] { outlook.Get(L"Name"); }).ServerGone());
    EXPECT_TRUE(HasLine(Journal(), "Server kill"));

    // COM itself starts a new stand-in for the next CreateObject.
    Dispatch fresh = Outlook();
    EXPECT_EQ(fresh.Get(L"Name").Text(), L"Outlook");
    EXPECT_EQ(Folder(fresh, 13).Get(L"Name").Text(), L"Tasks");
    fresh.Reset();
    // And a test can start one with a scenario again.
    Start(kTasksScenario);
    EXPECT_EQ(Folder(Outlook(), 13).Get(L"Items").Call(L"Count").Long(), 3);
}

TEST_F(StandInTest, RefuseFileFailsCreateObjectQuicklyUntilRemoved)
{
    std::wstring refuse = BinFolder() + L"outlook-standin.refuse";
    StandIn::EndRunning();
    StandIn::EnsureRegistered(StandIn::DefaultExePath());
    {
        HANDLE f = ::CreateFileW(refuse.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        ::CloseHandle(f);
    }
    struct Remove {
        std::wstring path;
        ~Remove() { ::DeleteFileW(path.c_str()); }
    } remove{refuse};

    auto start = std::chrono::steady_clock::now();
    ComError e = ErrorOf([&] { Outlook(); });
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(e.Code(), kExecFailure) << std::hex << e.Code();
    EXPECT_LT(took, std::chrono::seconds(5));
    // The refusing process goes away by itself.
    EXPECT_TRUE(WaitFor([] { return !PipeAnswers(); }, 5000));
    auto gone = std::chrono::steady_clock::now() - start;
    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("[ timing ] refused CreateObject failed after %.0f ms, refusing process gone after %.0f ms\n",
                ms(took), ms(gone));

    ::DeleteFileW(refuse.c_str());
    Dispatch outlook = Outlook();
    EXPECT_EQ(outlook.Get(L"Name").Text(), L"Outlook");
}

// Started by COM without "option linger", the stand-in ends soon after the
// last reference goes, like Outlook started by automation.
TEST_F(StandInTest, StartedByComEndsAfterTheLastRelease)
{
    StandIn::EndRunning();
    StandIn::EnsureRegistered(StandIn::DefaultExePath());
    {
        Dispatch outlook = Outlook();
        EXPECT_EQ(Folder(outlook, 6).Get(L"Name").Text(), L"Inbox");
        // The built-in demo mailbox.
        EXPECT_GT(Folder(outlook, 13).Get(L"Items").Call(L"Count").Long(), 5);
        EXPECT_TRUE(PipeAnswers());
    }
    auto released = std::chrono::steady_clock::now();
    EXPECT_TRUE(WaitFor([] { return !PipeAnswers(); }, 5000));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - released);
    EXPECT_GE(took.count(), 400);
    std::printf("[ timing ] stand-in ended %lld ms after the last release\n", static_cast<long long>(took.count()));
}

TEST_F(StandInTest, LingerKeepsTheStandInAfterTheLastRelease)
{
    Start(kTasksScenario);
    Outlook().Get(L"Name");
    // Well past the half second after which a stand-in without linger ends.
    for (int i = 0; i < 100 && !HasLine(Journal(), "Release Application"); ++i) ::Sleep(100);
    ASSERT_TRUE(HasLine(Journal(), "Release Application"));
    ::Sleep(1500);
    EXPECT_TRUE(Server().Running());
    EXPECT_EQ(ReplyValue(Command("state"), "application"), "0");
}

// "busy": the message filter turns incoming calls away with RPC_E_CALL_REJECTED
// as a busy Outlook does; the pipe, and the events the stand-in fires, go on.
TEST_F(StandInTest, BusyRejectsIncomingCallsUntilItEnds)
{
    Start(kTasksScenario);
    Dispatch outlook = Outlook();
    Dispatch tasks = Folder(outlook, 13);
    auto sink = wl::ComPtr<EventSink>::Attach(new EventSink);
    ASSERT_EQ(Advise(outlook, kApplicationEvents11, sink.Get()).hr, S_OK);

    ASSERT_TRUE(ReplyOk(Command("busy 60000")));
    ComError rejected = ErrorOf([&] { tasks.Get(L"Name"); });
    EXPECT_EQ(rejected.Code(), kCallRejected) << std::hex << rejected.Code();
    EXPECT_EQ(ErrorOf([&] { Outlook(); }).Code(), kCallRejected);
    EXPECT_EQ(Command("ping"), "ok pong");
    EXPECT_GT(std::stol(ReplyValue(Command("state"), "busy")), 50000);
    // An event still goes out, and the sink's call back during it is served.
    EXPECT_EQ(ReplyStatus(Command("fire-reminder T1")), "ok 1");
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].subjectDuringEvent, L"Call Bob");

    auto journal = Journal();
    EXPECT_TRUE(HasLine(journal, "Busy: rejected IDispatch::GetIDsOfNames on Folder:Tasks"));
    EXPECT_FALSE(HasLine(journal, "Folder:Tasks.Name()"));
    EXPECT_GE(CountLines(journal, "Busy: rejected "), 2u);
    EXPECT_EQ(ReplyValue(Command("stats"), "rejected"), std::to_string(CountLines(journal, "Busy: rejected ")));

    ASSERT_TRUE(ReplyOk(Command("busy 0")));
    EXPECT_EQ(tasks.Get(L"Name").Text(), L"Tasks");
    EXPECT_EQ(Outlook().Get(L"Name").Text(), L"Outlook");
    EXPECT_EQ(ReplyValue(Command("state"), "busy"), "0");
    EXPECT_TRUE(ReplyStatus(Command("busy soon")).rfind("error", 0) == 0);
}

// "option busy=<ms>": busy from the start of the process, as Outlook starting up.
TEST_F(StandInTest, OptionBusyRejectsCallsWhileTheStandInStarts)
{
    Start(std::wstring(kTasksScenario) + L"option busy=1500\n");
    EXPECT_EQ(ErrorOf([&] { Outlook(); }).Code(), kCallRejected);
    // It ends by itself; the first CreateObject after that goes through.
    std::optional<Dispatch> outlook;
    ASSERT_TRUE(WaitFor(
        [&] {
            try {
                outlook = Outlook();
                return true;
            } catch (const ComError& e) {
                if (e.Code() != kCallRejected) throw;
                return false;
            }
        },
        10000));
    EXPECT_EQ(Folder(*outlook, 13).Get(L"Name").Text(), L"Tasks");
    EXPECT_EQ(ReplyValue(Command("state"), "busy"), "0");
    EXPECT_TRUE(InOrder(Journal(), {"Server start", "Busy: rejected ", "CreateObject Outlook.Application"}));
}

TEST_F(StandInTest, BadScenariosAreRefusedWithTheLine)
{
    for (const wchar_t* scenario : {L"# comment\nitem folder=Tasks subject=x due=someday\n", L"\nbogus directive\n",
                                    L"\nitem folder=Nowhere subject=x\n", L"\noption lingering\n"}) {
        try {
            Start(scenario);
            ADD_FAILURE() << "accepted: " << standin::Utf8(scenario);
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("line 2: "), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace standin::test

namespace standin::test {
namespace {

// Application.Reminders as Outlook documents it: every reminder set is in the
// collection, IsVisible once it has come due; Dismiss and Snooze fail on a
// reminder that is not visible, Dismiss takes it out of the collection, and
// MarkComplete takes a task out of the incomplete ones.
TEST_F(StandInTest, RemindersShowDismissSnoozeAndMarkComplete)
{
    Start(L"option linger\n"
          L"item folder=Inbox subject=Shown entryid=M1 reminder=now-1h visible=1\n"
          L"item folder=Calendar subject=Later entryid=A1 reminder=now+2h\n"
          L"item folder=Tasks subject=Call entryid=T1 due=today-1d\n");
    Dispatch reminders = Outlook().Get(L"Reminders").Object();
    ASSERT_EQ(reminders.Get(L"Count").Long(), 2);
    Dispatch shown = reminders.Call(L"Item", 1).Object();
    Dispatch later = reminders.Call(L"Item", 2).Object();
    EXPECT_EQ(shown.Get(L"Caption").Text(), L"Shown");
    EXPECT_TRUE(shown.Get(L"IsVisible").Bool());
    EXPECT_FALSE(later.Get(L"IsVisible").Bool());
    EXPECT_EQ(shown.Get(L"Item").Call(L"EntryID").Text(), L"M1");
    long enumerated = 0;
    reminders.ForEach([&](const wl::Value&) { return ++enumerated, true; });
    EXPECT_EQ(enumerated, 2);

    ComError notShown = ErrorOf([&] { (void)later.Call(L"Dismiss"); });
    EXPECT_EQ(notShown.Code(), E_FAIL);
    EXPECT_FALSE(notShown.Description().empty());
    EXPECT_EQ(ErrorOf([&] { (void)later.Call(L"Snooze", 5); }).Code(), E_FAIL);

    (void)shown.Call(L"Snooze", 10);
    EXPECT_FALSE(shown.Get(L"IsVisible").Bool());
    EXPECT_EQ(reminders.Get(L"Count").Long(), 2);
    EXPECT_EQ(ErrorOf([&] { (void)shown.Call(L"Snooze", 10); }).Code(), E_FAIL);

    ASSERT_TRUE(ReplyOk(Command("fire-reminder A1")));
    EXPECT_TRUE(later.Get(L"IsVisible").Bool());
    (void)later.Call(L"Dismiss");
    EXPECT_EQ(reminders.Get(L"Count").Long(), 1);

    Dispatch task = Outlook().Call(L"GetNamespace", L"MAPI").Call(L"GetItemFromID", L"T1").Object();
    (void)task.Call(L"MarkComplete");
    EXPECT_TRUE(task.Get(L"Complete").Bool());
    EXPECT_EQ(Folder(Outlook(), 13).Get(L"Items").Call(L"Restrict", L"[Complete] = False").Call(L"Count").Long(), 0);

    auto journal = Journal();
    EXPECT_TRUE(HasLine(journal, "Reminder:M1.Snooze(10) -> Empty"));
    EXPECT_TRUE(HasLine(journal, "Reminder:A1.Dismiss() -> !0x80004005"));
    EXPECT_TRUE(HasLine(journal, "Item:T1.MarkComplete() -> Empty"));
}

// Outlook's collections are live: a reminder dismissed during a forward walk
// leaves the collection at once, so the enumerator's next step passes over
// the one that moved into its place; one added meanwhile is met.
TEST_F(StandInTest, RemindersEnumeratorReadsTheLiveCollection)
{
    Start(L"option linger\n"
          L"item folder=Inbox subject=One entryid=M1 reminder=now-3h visible=1\n"
          L"item folder=Inbox subject=Two entryid=M2 reminder=now-2h visible=1\n"
          L"item folder=Inbox subject=Three entryid=M3 reminder=now-1h visible=1\n");
    Dispatch reminders = Outlook().Get(L"Reminders").Object();
    wl::Value e = reminders.Call(L"_NewEnum");
    wl::ComPtr<IEnumVARIANT> en;
    ASSERT_EQ(e.Raw().Ref().punkVal->QueryInterface(IID_IEnumVARIANT, en.PutVoid()), S_OK);
    auto next = [&]() -> std::optional<Dispatch> {
        VARIANT v;
        ::VariantInit(&v);
        ULONG fetched = 0;
        if (en->Next(1, &v, &fetched) != S_OK || fetched != 1) return std::nullopt;
        Dispatch reminder(wl::ComPtr<IDispatch>::AddRef(v.pdispVal));
        ::VariantClear(&v);
        return reminder;
    };
    std::vector<std::wstring> met;
    while (auto reminder = next()) {
        met.push_back(reminder->Get(L"Caption").Text());
        (void)reminder->Call(L"Dismiss");
    }
    EXPECT_EQ(met, (std::vector<std::wstring>{L"One", L"Three"}));
    ASSERT_EQ(reminders.Get(L"Count").Long(), 1);
    EXPECT_EQ(reminders.Call(L"Item", 1).Call(L"Caption").Text(), L"Two");

    ASSERT_EQ(en->Reset(), S_OK);
    ASSERT_TRUE(next());
    ASSERT_TRUE(ReplyOk(Command("add folder=Inbox subject=Four entryid=M4 reminder=now+1h")));
    auto added = next();
    ASSERT_TRUE(added);
    EXPECT_EQ(added->Get(L"Caption").Text(), L"Four");
    EXPECT_FALSE(next());
}

// fire-during: a reminder comes due while the stand-in works on a call, and
// the caller's answer waits until then; only the next such call, once.
TEST_F(StandInTest, AReminderComesDueDuringTheCallItWasArmedFor)
{
    Start(L"option linger\n"
          L"item folder=Inbox subject=Asked entryid=M1\n"
          L"item folder=Inbox subject=Due entryid=M2 reminder=now+1h\n");
    EXPECT_FALSE(ReplyOk(Command("fire-during Item.Subject M9")));
    EXPECT_FALSE(ReplyOk(Command("fire-during Nothing.Subject M2")));
    ASSERT_TRUE(ReplyOk(Command("fire-during Item:M1.Subject M2 0")));
    Dispatch asked = Outlook().Call(L"GetNamespace", L"MAPI").Call(L"GetItemFromID", L"M1").Object();
    EXPECT_EQ(asked.Get(L"Subject").Text(), L"Asked");
    EXPECT_EQ(asked.Get(L"Subject").Text(), L"Asked");
    Dispatch reminders = Outlook().Get(L"Reminders").Object();
    EXPECT_TRUE(reminders.Call(L"Item", 1).Call(L"IsVisible").Bool());
    auto journal = Journal();
    EXPECT_TRUE(InOrder(journal, {"Fire ReminderFire(Reminder:M2)", "Fire Reminder(Item:M2)",
                                  "Item:M1.Subject() -> \"Asked\"", "Item:M1.Subject() -> \"Asked\""}));
    EXPECT_EQ(CountLines(journal, "Fire Reminder(Item:M2)"), 1u);
}

// A sink of the stores' events: the display name of each store announced,
// and, when asked to, the Cancel of BeforeStoreRemove set.
class StoresSink final : public SinkBase {
public:
    struct Event {
        DISPID id;
        UINT argCount;
        std::wstring storeName;
    };
    std::vector<Event> events;
    bool cancelRemoval = false;

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        Event e{id, params ? params->cArgs : 0, L""};
        if (e.argCount >= 1 && params->rgvarg[e.argCount - 1].vt == VT_DISPATCH) {
            try {
                e.storeName = Dispatch(wl::ComPtr<IDispatch>::AddRef(params->rgvarg[e.argCount - 1].pdispVal))
                                  .Get(L"DisplayName")
                                  .Text();
            } catch (const ComError& error) {
                e.storeName = L"!error " + std::to_wstring(error.Number());
            }
        }
        if (e.argCount == 2 && params->rgvarg[0].vt == (VT_BOOL | VT_BYREF) && cancelRemoval)
            *params->rgvarg[0].pboolVal = VARIANT_TRUE;
        events.push_back(std::move(e));
        return S_OK;
    }

    static constexpr IID kStoresEvents = {0x000630F8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

protected:
    bool Answers(REFIID iid) const override { return iid == kStoresEvents; }
};

const wchar_t kStoresScenario[] = LR"(option linger
store "Mailbox - Test User"
other-store "Archive" storeid=ARCH1
other-store "Old Data" tasks=missing
item folder=Tasks subject="Call Bob" entryid=T1 due=2024-05-01
item folder=Tasks store=Archive subject="Filed task" entryid=A1 due=2024-01-01
)";

// NameSpace.Stores: each store with its own default folders and id; a store
// without a Tasks folder raises for it alone; GetItemFromID given a store id
// looks in that store only.
TEST_F(StandInTest, StoresOfTheProfileEachWithItsFoldersAndId)
{
    Start(kStoresScenario);
    Dispatch ns = Outlook().Call(L"GetNamespace", L"MAPI").Object();
    Dispatch stores = ns.Get(L"Stores").Object();
    EXPECT_EQ(stores.Get(L"Count").Long(), 3);
    std::vector<std::wstring> names;
    stores.ForEach([&](const wl::Value& store) {
        names.push_back(store.Object().Call(L"DisplayName").Text());
        return true;
    });
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Mailbox - Test User", L"Archive", L"Old Data"}));

    Dispatch first = stores.Call(L"Item", 1).Object();
    EXPECT_EQ(first.Get(L"StoreID").Text(), kDefaultStoreId);
    EXPECT_EQ(Folder(Outlook(), 13).Call(L"StoreID").Text(), kDefaultStoreId);

    Dispatch archive = stores.Call(L"Item", L"archive").Object();
    EXPECT_EQ(archive.Get(L"StoreID").Text(), L"ARCH1");
    Dispatch archiveTasks = archive.Call(L"GetDefaultFolder", 13).Object();
    EXPECT_EQ(archiveTasks.Get(L"Name").Text(), L"Tasks");
    EXPECT_EQ(archiveTasks.Get(L"StoreID").Text(), L"ARCH1");
    EXPECT_EQ(archiveTasks.Get(L"Parent").Call(L"Name").Text(), L"Archive");
    EXPECT_EQ(archiveTasks.Get(L"Items").Call(L"Count").Long(), 1);
    EXPECT_EQ(Folder(Outlook(), 13).Call(L"Items").Call(L"Count").Long(), 1);

    Dispatch oldData = stores.Call(L"Item", 3).Object();
    EXPECT_EQ(ErrorOf([&] { oldData.Call(L"GetDefaultFolder", 13); }).Code(), kItemGone);
    EXPECT_EQ(oldData.Call(L"GetDefaultFolder", 6).Call(L"Name").Text(), L"Inbox");
    EXPECT_EQ(ErrorOf([&] { stores.Call(L"Item", 4); }).Code(), DISP_E_BADINDEX);

    EXPECT_EQ(ns.Call(L"GetItemFromID", L"A1", L"ARCH1").Call(L"Subject").Text(), L"Filed task");
    EXPECT_EQ(ns.Call(L"GetItemFromID", L"A1").Call(L"Subject").Text(), L"Filed task");
    EXPECT_EQ(ErrorOf([&] { ns.Call(L"GetItemFromID", L"A1", kDefaultStoreId); }).Code(), kItemGone);
    EXPECT_EQ(ErrorOf([&] { ns.Call(L"GetItemFromID", L"T1", L"ARCH1"); }).Code(), kItemGone);

    ASSERT_TRUE(ReplyOk(Command("fail Store:Archive.GetDefaultFolder 0x80040119")));
    EXPECT_EQ(ErrorOf([&] { archive.Call(L"GetDefaultFolder", 13); }).Code(), static_cast<HRESULT>(0x80040119));
    EXPECT_EQ(first.Call(L"GetDefaultFolder", 13).Call(L"Name").Text(), L"Tasks");

    auto journal = Journal();
    EXPECT_TRUE(HasLine(journal, "Store:Archive.GetDefaultFolder(13) -> Folder:Archive/Tasks"));
    EXPECT_TRUE(HasLine(journal, "NameSpace.GetItemFromID(\"A1\", \"ARCH1\") -> Item:A1"));
    EXPECT_TRUE(HasLine(journal, "Store:Old Data.GetDefaultFolder(13) -> !0x8004010F"));
}

// A store added to the profile or taken out of it while Outlook runs:
// StoreAdd and BeforeStoreRemove reach the sinks of Stores, a sink may
// cancel the removal, and a removed store's objects fail.
TEST_F(StandInTest, StoresAddedAndRemovedFireTheStoresEvents)
{
    Start(kStoresScenario);
    Dispatch stores = Outlook().Call(L"GetNamespace", L"MAPI").Call(L"Stores").Object();
    auto sink = wl::ComPtr<StoresSink>::Attach(new StoresSink);
    Connection c = Advise(stores, StoresSink::kStoresEvents, sink.Get());
    ASSERT_EQ(c.hr, S_OK);

    std::string added = Command("store-add \"Team Box\" storeid=TEAM1");
    EXPECT_EQ(ReplyStatus(added), "ok TEAM1");
    ASSERT_EQ(sink->events.size(), 1u);
    EXPECT_EQ(sink->events[0].id, 61441);
    EXPECT_EQ(sink->events[0].argCount, 1u);
    EXPECT_EQ(sink->events[0].storeName, L"Team Box");
    EXPECT_EQ(stores.Get(L"Count").Long(), 4);
    ASSERT_TRUE(ReplyOk(Command("add folder=Tasks store=TEAM1 subject=Shared entryid=S1 due=today-1d")));
    Dispatch team = stores.Call(L"Item", 4).Object();
    Dispatch teamTasks = team.Call(L"GetDefaultFolder", 13).Object();
    EXPECT_EQ(teamTasks.Get(L"Items").Call(L"Count").Long(), 1);

    sink->cancelRemoval = true;
    EXPECT_EQ(ReplyStatus(Command("store-remove TEAM1")), "ok cancelled");
    EXPECT_EQ(stores.Get(L"Count").Long(), 4);
    sink->cancelRemoval = false;
    EXPECT_EQ(ReplyStatus(Command("store-remove \"Team Box\"")), "ok");
    ASSERT_EQ(sink->events.size(), 3u);
    EXPECT_EQ(sink->events[2].id, 64433);
    EXPECT_EQ(sink->events[2].argCount, 2u);
    EXPECT_EQ(sink->events[2].storeName, L"Team Box");
    EXPECT_EQ(stores.Get(L"Count").Long(), 3);
    EXPECT_EQ(ErrorOf([&] { team.Get(L"DisplayName"); }).Code(), kItemGone);
    EXPECT_EQ(ErrorOf([&] { teamTasks.Get(L"Items"); }).Code(), kItemGone);
    EXPECT_FALSE(ReplyOk(Command("store-remove \"Mailbox - Test User\"")));
    // Taken out a while after the event: listed until then.
    EXPECT_EQ(ReplyStatus(Command("store-remove \"Old Data\" 300")), "ok");
    EXPECT_EQ(stores.Call(L"Count").Long(), 3);
    EXPECT_TRUE(WaitFor([&] { return stores.Call(L"Count").Long() == 2; }));
    EXPECT_FALSE(ReplyOk(Command("store-remove Nowhere")));

    EXPECT_EQ(c.point->Unadvise(c.cookie), S_OK);
    EXPECT_TRUE(InOrder(Journal(), {"Advise StoresEvents_12", "Fire StoreAdd(Store:Team Box) -> 1 sinks",
                                    "Fire BeforeStoreRemove(Store:Team Box) -> 1 sinks, cancelled",
                                    "Fire BeforeStoreRemove(Store:Team Box) -> 1 sinks",
                                    "Unadvise StoresEvents_12"}));
}

}  // namespace
}  // namespace standin::test

namespace standin::test {

namespace {

// A date as Outlook's filters take it: the user's short date and time, no seconds.
std::wstring FilterDate(double date)
{
    SYSTEMTIME at{};
    ::VariantTimeToSystemTime(date, &at);
    at.wSecond = 0;
    wchar_t day[64] = {}, time[64] = {};
    ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &at, nullptr, day, 64, nullptr);
    ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &at, nullptr, time, 64);
    return std::wstring(day) + L" " + time;
}

}  // namespace

TEST_F(StandInTest, TodaysOccurrenceOfASeriesComesOnlyWithRecurrencesIncludedAfterTheSort)
{
    // The day is today's from 08:00, whatever the hour the test runs at.
    const double today = std::floor(standin::NowDate());
    Start(L"option linger\n"
          L"item folder=Calendar subject=Review entryid=R1 start=today+10h end=today+630m reminder=none\n"
          L"item folder=Calendar subject=Standup entryid=S1 start=today-63h end=today-62h daily=1 reminder=none\n"
          L"item folder=Calendar subject=Old entryid=O1 start=today-5d end=today-119h reminder=none\n");
    const std::wstring filter =
        L"[Start] < '" + FilterDate(today + 1) + L"' AND [End] > '" + FilterDate(today + 8.0 / 24) + L"'";
    auto walk = [](const Dispatch& items) {
        std::vector<std::wstring> found;
        for (wl::Value v = items.Call(L"GetFirst"); v.IsObject() && v.Object(); v = items.Call(L"GetNext"))
            found.push_back(v.Object().Get(L"EntryID").Text() + L"@" +
                            std::to_wstring(std::lround(v.Object().Get(L"Start").Date() * 24)));
        return found;
    };
    const long hour = std::lround(today * 24);
    auto expect = [&](std::initializer_list<std::pair<const wchar_t*, long>> items) {
        std::vector<std::wstring> list;
        for (auto [id, h] : items) list.push_back(std::wstring(id) + L"@" + std::to_wstring(hour + h));
        return list;
    };
    Dispatch calendar = Folder(Outlook(), 9);

    // Set before the sort, or not at all: the series counts by its first occurrence only.
    Dispatch before = calendar.Get(L"Items").Object();
    before.Put(L"IncludeRecurrences", true);
    (void)before.Call(L"Sort", L"[Start]");
    EXPECT_EQ(walk(before.Call(L"Restrict", filter).Object()), expect({{L"R1", 10}}));

    // Sorted, then recurrences included: today's occurrence, in the order of the starts.
    Dispatch items = calendar.Get(L"Items").Object();
    (void)items.Call(L"Sort", L"[Start]");
    items.Put(L"IncludeRecurrences", true);
    Dispatch rest = items.Call(L"Restrict", filter).Object();
    EXPECT_EQ(walk(rest), expect({{L"S1", 9}, {L"R1", 10}}));
    EXPECT_EQ(rest.Get(L"Count").Long(), 0x7FFFFFFF);  // meaningless with recurrences, as Outlook's

    // Seconds in a date: Outlook's filter does not work; the stand-in refuses it.
    EXPECT_EQ(ErrorOf([&] { (void)items.Call(L"Restrict", L"[Start] < '1/1/2030 10:00:30 AM'"); }).Code(),
              E_INVALIDARG);
}

}  // namespace standin::test
