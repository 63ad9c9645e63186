// The state of the one stand-in process: the mailbox, the journal, the
// failures the control channel switched on, the advised event sinks, the call
// counters and what keeps the process alive. Everything here is touched only on
// the main (STA) thread: COM calls arrive there and control commands are sent there.
#pragma once

#include "Model.h"

#include "core/win32.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace standin {

// The journal file: one UTF-8 line per call, appended as it happens.
class Journal {
public:
    bool Open(const std::wstring& path);
    const std::wstring& Path() const noexcept { return m_path; }
    void Write(const std::wstring& line);
    void Clear();
    std::string ReadAll() const;

private:
    std::wstring m_path;
    wl::UniqueFile m_file;
};

struct Sink {
    DWORD cookie = 0;
    IID iid{};  // the connection point's interface
    wl::ComPtr<IDispatch> target;
    FolderData* folder = nullptr;  // ItemsEvents: the folder whose items it hears of
};

struct CallStats {
    long getIdsOfNames = 0;
    long invoke = 0;
    long next = 0;
    long rejected = 0;  // incoming calls the message filter turned away while busy
};

// Why a member call fails: Invoke returns DISP_E_EXCEPTION with this scode and
// text, or, for transport and dispatch errors, the HRESULT itself.
struct DispError {
    HRESULT scode;
    std::wstring description;
    bool direct = false;  // Invoke returns scode itself instead of DISP_E_EXCEPTION
};

// Window messages of the control window (message-only, main thread).
constexpr UINT kMsgCommand = WM_APP + 1;   // lParam: ControlRequest*
constexpr UINT kMsgQuit = WM_APP + 2;      // wParam: exit code; disconnect and end
constexpr UINT_PTR kTimerIdle = 1;
constexpr UINT_PTR kTimerRefused = 2;
constexpr UINT_PTR kTimerQuitDelay = 4;
constexpr UINT_PTR kTimerStoreRemoval = 5;

class Server {
public:
    Model model;
    ScenarioOptions options;
    Journal journal;
    bool embedding = false;  // started by COM (or as if: -Embedding)
    bool linger = false;
    bool refused = false;
    HWND controlWindow = nullptr;
    CallStats stats;
    long objectsAlive = 0;
    long serverLocks = 0;
    bool everUsed = false;
    bool ending = false;
    bool quitting = false;  // Quit came; the process ends when options.quitDelayMs have passed
    bool disconnecting = false;
    IDispatch* application = nullptr;  // not owned: the Application singleton while it lives
    std::vector<Sink> sinks;
    DWORD nextCookie = 1;
    std::set<IUnknown*> liveObjects;
    ULONGLONG busyUntil = 0;  // GetTickCount64 until which incoming calls are rejected
    DWORD registrationOutlook = 0;
    DWORD registrationWord = 0;
    bool pipeOwned = false;

    // Failures switched on by "fail": key is "<kind or object>.<member>" in lower case.
    std::map<std::wstring, HRESULT> failures;
    std::optional<HRESULT> FailureFor(const std::wstring& objectRef, const std::wstring& kind,
                                      const std::wstring& member) const;

    // "fire-during": the next call of a member ("<kind or object>.<member>" in
    // lower case) first makes the item's reminder come due, then keeps the
    // caller waiting for holdMs while this thread still serves calls, as an
    // Outlook busy with the call does when a reminder comes due.
    struct FireDuring {
        std::wstring key;
        std::wstring entryId;
        DWORD holdMs = 0;
    };
    std::optional<FireDuring> fireDuring;
    // Fires the armed reminder when this call is the one it waits for.
    void FireDuringCall(const std::wstring& objectRef, const std::wstring& kind, const std::wstring& member);

    // Rejects incoming calls for ms from now (0: no longer busy).
    void SetBusy(DWORD ms);
    bool Busy() const;
    DWORD BusyLeft() const;

    void ObjectCreated(IUnknown* object);
    void ObjectDestroyed(IUnknown* object);
    void LockChanged(bool lock);
    // Lifetime: may end the process when nothing holds it any more.
    void CheckIdle();

    // Fires an application event to every sink of the application's events
    // (or, with reminderEvents, of Reminders' events); returns how many were reached.
    // Calls one sink; false, and the sink forgotten, when its client is gone.
    bool Call(const Sink& sink, DISPID id, DISPPARAMS& params);
    int Fire(DISPID id, const wchar_t* name, IDispatch* argument, const std::wstring& argumentRef,
             bool reminderEvents = false);

    // A Stores event (StoresEvents_12) to every sink of the stores' events:
    // the store, and for BeforeStoreRemove the Cancel flag by reference,
    // which a sink may set. Returns how many sinks were reached.
    int FireStoresEvent(DISPID id, const wchar_t* name, IDispatch* store, const std::wstring& storeRef,
                        bool* cancel = nullptr);

    // An Items event (ItemsEvents) to every sink of the folder's items: the
    // item for ItemAdd and ItemChange, none for ItemRemove.
    int FireItemsEvent(FolderData* folder, DISPID id, const wchar_t* name, const std::shared_ptr<ItemData>& item);

    // Stores leaving the profile a while after BeforeStoreRemove
    // (store-remove with a delay): Outlook lists them until then.
    std::vector<StoreData*> pendingRemovals;
    void RemovePendingStores();

    // Reminders, as Outlook changes them: each fires Reminders' events.
    // A reminder comes due: shown, and ReminderFire (then the application's Reminder).
    int FireReminder(const std::shared_ptr<ItemData>& item, bool itemFirst = false);
    // Dismiss and Snooze: false when the reminder is not shown (nothing changes).
    bool DismissReminder(const std::shared_ptr<ItemData>& item);
    bool SnoozeReminder(const std::shared_ptr<ItemData>& item, long minutes);
    // After an item changed (set, add, delete): ReminderAdd, ReminderChange or
    // ReminderRemove, from whether it had a reminder before.
    void ReminderEdited(const std::shared_ptr<ItemData>& item, bool hadReminder);

    // Revokes the class objects (so a new activation starts a new process).
    void Revoke();
    // Orderly end: disconnect every object, revoke, leave the message loop.
    void Shutdown(const wchar_t* reason, int exitCode = 0);
    // Fires Quit, then ends (Application.Quit and quit-on-last-close).
    void QuitLikeOutlook();
    // After Quit: ends at once, or, with a quit delay, disconnects every
    // object now and ends when the delay is over. Meanwhile the class objects
    // stay registered, so a CreateObject binds to this dying process.
    void EndAfterQuit();

    // Windows of explorers follow the model after a change.
    void RefreshWindows();

private:
    void DisconnectAll();
};

Server& TheServer();

// A description for an scode as Office gives it.
std::wstring ErrorText(HRESULT scode);

// Short names of event interfaces for the journal.
const wchar_t* EventInterfaceName(REFIID iid);

extern const CLSID kClsidOutlook;
extern const CLSID kClsidWord;
extern const IID kIidApplicationEvents11;
extern const IID kIidApplicationEvents;
extern const IID kIidReminderCollectionEvents;
extern const IID kIidStoresEvents12;
extern const IID kIidItemsEvents;

// The events of a folder's items (ItemsEvents).
constexpr DISPID kIdItemAdd = 0xF001;
constexpr DISPID kIdItemChange = 0xF002;
constexpr DISPID kIdItemRemove = 0xF003;

// The stores' events (StoresEvents_12).
constexpr DISPID kIdStoreAdd = 61441;
constexpr DISPID kIdBeforeStoreRemove = 64433;

// Reminders' events (ReminderCollectionEvents).
constexpr DISPID kIdReminderAdd = 64148;
constexpr DISPID kIdReminderChange = 64149;
constexpr DISPID kIdReminderFire = 64150;
constexpr DISPID kIdReminderRemove = 64151;
constexpr DISPID kIdReminderSnooze = 64152;

}  // namespace standin
