#include "Server.h"

#include "Objects.h"
#include "Text.h"
#include "Ui.h"

#include <algorithm>
#include <utility>

namespace standin {

const CLSID kClsidOutlook = {0x0006F03A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const CLSID kClsidWord = {0x000209FF, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidApplicationEvents11 = {0x0006302C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidApplicationEvents = {0x0006304E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidReminderCollectionEvents = {0x000630B2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidStoresEvents12 = {0x000630F8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidItemsEvents = {0x00063077, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

Server& TheServer()
{
    static Server server;
    return server;
}

// Journal ------------------------------------------------------------------------------------

bool Journal::Open(const std::wstring& path)
{
    m_path = path;
    // Appends only, so "journal-clear" may cut the file from another handle;
    // others may read and delete it while the stand-in runs.
    m_file = wl::UniqueFile(::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(m_file);
}

void Journal::Write(const std::wstring& line)
{
    if (!m_file) return;
    std::string bytes = Utf8(line);
    bytes += "\r\n";
    DWORD written = 0;
    // Straight to the system: a crash of this process loses nothing written.
    (void)::WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void Journal::Clear()
{
    wl::UniqueFile f(::CreateFileW(m_path.c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (f) (void)::SetEndOfFile(f.get());
}

std::string Journal::ReadAll() const
{
    wl::UniqueFile f(::CreateFileW(m_path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string out;
    if (!f) return out;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    return out;
}

// Server -------------------------------------------------------------------------------------

std::optional<HRESULT> Server::FailureFor(const std::wstring& objectRef, const std::wstring& kind,
                                          const std::wstring& member) const
{
    if (failures.empty()) return std::nullopt;
    std::wstring m = Lower(member);
    auto it = failures.find(Lower(objectRef) + L"." + m);
    if (it == failures.end()) it = failures.find(Lower(kind) + L"." + m);
    if (it == failures.end()) return std::nullopt;
    return it->second;
}

void Server::FireDuringCall(const std::wstring& objectRef, const std::wstring& kind, const std::wstring& member)
{
    if (!fireDuring) return;
    std::wstring m = Lower(member);
    if (fireDuring->key != Lower(objectRef) + L"." + m && fireDuring->key != Lower(kind) + L"." + m) return;
    FireDuring armed = std::move(*fireDuring);
    fireDuring.reset();
    auto item = model.FindItem(armed.entryId);
    if (!item) return;
    (void)FireReminder(item);
    // The caller's answer waits; calls it makes meanwhile are served.
    const ULONGLONG until = ::GetTickCount64() + armed.holdMs;
    for (ULONGLONG now = ::GetTickCount64(); now < until; now = ::GetTickCount64()) {
        (void)::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(until - now), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void Server::SetBusy(DWORD ms) { busyUntil = ms ? ::GetTickCount64() + ms : 0; }

bool Server::Busy() const { return busyUntil && ::GetTickCount64() < busyUntil; }

DWORD Server::BusyLeft() const { return Busy() ? static_cast<DWORD>(busyUntil - ::GetTickCount64()) : 0; }

void Server::ObjectCreated(IUnknown* object)
{
    ++objectsAlive;
    everUsed = true;
    liveObjects.insert(object);
    if (controlWindow) ::KillTimer(controlWindow, kTimerIdle);
}

void Server::ObjectDestroyed(IUnknown* object)
{
    --objectsAlive;
    liveObjects.erase(object);
    CheckIdle();
}

void Server::LockChanged(bool lock)
{
    serverLocks += lock ? 1 : -1;
    if (lock) everUsed = true;
    CheckIdle();
}

void Server::CheckIdle()
{
    // Like Outlook started by automation: gone shortly after the last reference.
    if (!embedding || linger || ending || quitting || !controlWindow) return;
    if (objectsAlive == 0 && serverLocks <= 0 && everUsed) ::SetTimer(controlWindow, kTimerIdle, 500, nullptr);
}

bool Server::Call(const Sink& sink, DISPID id, DISPPARAMS& params)
{
    wl::Variant result;
    EXCEPINFO info{};
    UINT badArg = 0;
    HRESULT hr = sink.target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result.Put(), &info,
                                     &badArg);
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    if (hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == RPC_E_DISCONNECTED || hr == RPC_E_SERVER_DIED ||
        hr == RPC_E_SERVER_DIED_DNE || hr == CO_E_OBJNOTCONNECTED) {
        // The client is gone: forget its sink.
        const DWORD cookie = sink.cookie;
        sinks.erase(std::remove_if(sinks.begin(), sinks.end(), [&](const Sink& k) { return k.cookie == cookie; }),
                    sinks.end());
        return false;
    }
    return true;
}

int Server::Fire(DISPID id, const wchar_t* name, IDispatch* argument, const std::wstring& argumentRef,
                 bool reminderEvents)
{
    std::vector<Sink> targets = sinks;  // a sink may unadvise while it is called
    int reached = 0;
    for (const Sink& sink : targets) {
        const bool applicationSink = sink.iid == kIidApplicationEvents11 || sink.iid == kIidApplicationEvents;
        if (reminderEvents ? sink.iid != kIidReminderCollectionEvents : !applicationSink) continue;
        VARIANT arg;
        ::VariantInit(&arg);
        DISPPARAMS params{};
        if (argument) {
            arg.vt = VT_DISPATCH;
            arg.pdispVal = argument;
            params.cArgs = 1;
            params.rgvarg = &arg;
        }
        if (Call(sink, id, params)) ++reached;
    }
    std::wstring line = L"Fire " + std::wstring(name);
    if (argument) line += L"(" + argumentRef + L")";
    journal.Write(line + L" -> " + std::to_wstring(reached) + L" sinks");
    return reached;
}

int Server::FireStoresEvent(DISPID id, const wchar_t* name, IDispatch* store, const std::wstring& storeRef,
                            bool* cancel)
{
    std::vector<Sink> targets = sinks;  // a sink may unadvise while it is called
    int reached = 0;
    VARIANT_BOOL cancelFlag = VARIANT_FALSE;
    for (const Sink& sink : targets) {
        if (sink.iid != kIidStoresEvents12) continue;
        // Arguments go last first: the store, then Cancel by reference.
        VARIANT args[2];
        ::VariantInit(&args[0]);
        ::VariantInit(&args[1]);
        args[0].vt = VT_BOOL | VT_BYREF;
        args[0].pboolVal = &cancelFlag;
        args[1].vt = VT_DISPATCH;
        args[1].pdispVal = store;
        DISPPARAMS params{};
        params.cArgs = cancel ? 2 : 1;
        params.rgvarg = cancel ? args : args + 1;
        if (Call(sink, id, params)) ++reached;
    }
    if (cancel) *cancel = cancelFlag != VARIANT_FALSE;
    journal.Write(L"Fire " + std::wstring(name) + L"(" + storeRef + L") -> " + std::to_wstring(reached) + L" sinks" +
                  (cancel && *cancel ? L", cancelled" : L""));
    return reached;
}

int Server::FireItemsEvent(FolderData* folder, DISPID id, const wchar_t* name, const std::shared_ptr<ItemData>& item)
{
    std::vector<Sink> targets = sinks;  // a sink may unadvise while it is called
    int reached = 0;
    wl::ComPtr<IDispatch> object = id == kIdItemRemove ? wl::ComPtr<IDispatch>() : NewItem(item);
    for (const Sink& sink : targets) {
        if (sink.iid != kIidItemsEvents || sink.folder != folder) continue;
        VARIANT arg;
        ::VariantInit(&arg);
        DISPPARAMS params{};
        if (object) {
            arg.vt = VT_DISPATCH;
            arg.pdispVal = object.Get();
            params.cArgs = 1;
            params.rgvarg = &arg;
        }
        if (Call(sink, id, params)) ++reached;
    }
    std::wstring line = L"Fire " + std::wstring(name);
    if (object) line += L"(Item:" + item->entryId + L")";
    journal.Write(line + L" -> " + std::to_wstring(reached) + L" sinks");
    return reached;
}

void Server::RemovePendingStores()
{
    for (StoreData* store : std::exchange(pendingRemovals, {})) store->removed = true;
    RefreshWindows();
}

void Server::Revoke()
{
    if (registrationOutlook) ::CoRevokeClassObject(std::exchange(registrationOutlook, 0));
    if (registrationWord) ::CoRevokeClassObject(std::exchange(registrationWord, 0));
}

void Server::DisconnectAll()
{
    // Releasing a client's sink is a call into the client, during which this
    // thread takes messages and calls: a timer or a client's call may come
    // back here, and a client may advise anew. Nothing is held across it.
    if (disconnecting) return;
    disconnecting = true;
    // Clients holding references see the objects disconnected, as when Outlook ends.
    std::vector<IUnknown*> objects(liveObjects.begin(), liveObjects.end());
    for (IUnknown* o : objects) o->AddRef();
    for (IUnknown* o : objects) ::CoDisconnectObject(o, 0);
    for (IUnknown* o : objects) o->Release();
    std::vector<Sink> released = std::exchange(sinks, {});
    released.clear();
    for (auto& e : model.Explorers()) ui::Destroy(e->window);
    for (auto& f : model.Folders())
        for (auto& item : f->items) ui::Destroy(item->window);
    disconnecting = false;
}

void Server::Shutdown(const wchar_t* reason, int exitCode)
{
    if (ending) return;
    ending = true;
    if (controlWindow) {
        ::KillTimer(controlWindow, kTimerIdle);
        ::KillTimer(controlWindow, kTimerQuitDelay);
    }
    Revoke();
    DisconnectAll();
    journal.Write(std::wstring(L"Server exit (") + reason + L")");
    ::PostQuitMessage(exitCode);
}

void Server::QuitLikeOutlook()
{
    if (ending || quitting) return;
    Fire(0xF007, L"Quit", nullptr, L"");
    // After the Quit call has returned to its caller.
    ::PostMessageW(controlWindow, kMsgQuit, 0, 0);
}

void Server::EndAfterQuit()
{
    if (ending || quitting) return;
    if (options.quitDelayMs == 0 || !controlWindow) {
        Shutdown(L"quit");
        return;
    }
    // Like Outlook closing its data file: the objects are gone for their
    // clients, but the process and its class objects are not, yet.
    quitting = true;
    ::KillTimer(controlWindow, kTimerIdle);
    DisconnectAll();
    journal.Write(L"Server quitting");
    ::SetTimer(controlWindow, kTimerQuitDelay, options.quitDelayMs, nullptr);
}

void Server::RefreshWindows()
{
    for (auto& e : model.Explorers())
        if (!e->closed && e->window) ui::FillExplorer(*e);
}

std::wstring ErrorText(HRESULT scode)
{
    if (scode == E_FAIL) return L"The operation failed.";
    if (scode == E_INVALIDARG) return L"Could not complete the operation. One or more parameter values are not valid.";
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                   FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(scode), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : L"The operation failed.";
    if (buffer) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    return text;
}

int Server::FireReminder(const std::shared_ptr<ItemData>& item, bool itemFirst)
{
    item->reminderVisible = true;
    item->reminderOff = false;
    item->nextReminder = 0;
    // Outlook documents no order of the two events.
    wl::ComPtr<IDispatch> reminder = NewReminder(item);
    wl::ComPtr<IDispatch> object = NewItem(item);
    int reached = 0;
    if (itemFirst) reached = Fire(0xF004, L"Reminder", object.Get(), L"Item:" + item->entryId);
    (void)Fire(kIdReminderFire, L"ReminderFire", reminder.Get(), L"Reminder:" + item->entryId, true);
    if (!itemFirst) reached = Fire(0xF004, L"Reminder", object.Get(), L"Item:" + item->entryId);
    return reached;
}

bool Server::DismissReminder(const std::shared_ptr<ItemData>& item)
{
    if (!item->reminderVisible || !Model::HasReminder(*item)) return false;
    // A dismissed reminder is turned off and leaves the collection.
    item->reminderVisible = false;
    item->reminderOff = true;
    (void)Fire(kIdReminderRemove, L"ReminderRemove", nullptr, L"", true);
    return true;
}

bool Server::SnoozeReminder(const std::shared_ptr<ItemData>& item, long minutes)
{
    if (!item->reminderVisible || !Model::HasReminder(*item)) return false;
    item->reminderVisible = false;
    item->nextReminder = NowDate() + minutes / (24.0 * 60.0);
    wl::ComPtr<IDispatch> reminder = NewReminder(item);
    (void)Fire(kIdReminderSnooze, L"Snooze", reminder.Get(), L"Reminder:" + item->entryId, true);
    return true;
}

void Server::ReminderEdited(const std::shared_ptr<ItemData>& item, bool hadReminder)
{
    bool has = Model::HasReminder(*item);
    if (!has && !hadReminder) return;
    if (has && !hadReminder) (void)Fire(kIdReminderAdd, L"ReminderAdd", NewReminder(item).Get(), L"Reminder:" + item->entryId, true);
    else if (has) (void)Fire(kIdReminderChange, L"ReminderChange", NewReminder(item).Get(), L"Reminder:" + item->entryId, true);
    else (void)Fire(kIdReminderRemove, L"ReminderRemove", nullptr, L"", true);
}

const wchar_t* EventInterfaceName(REFIID iid)
{
    if (iid == kIidReminderCollectionEvents) return L"ReminderCollectionEvents";
    if (iid == kIidApplicationEvents11) return L"ApplicationEvents_11";
    if (iid == kIidApplicationEvents) return L"ApplicationEvents";
    if (iid == kIidStoresEvents12) return L"StoresEvents_12";
    if (iid == kIidItemsEvents) return L"ItemsEvents";
    return L"?";
}

}  // namespace standin
