// The profile the stand-in serves: the default store with Outlook's default
// folders (and any other stores the scenario or the control pipe adds, each
// with the same folders), their items, and the explorers opened on them. Plain data; the COM objects
// in Objects.h are thin views onto it, so an item deleted here stays alive for
// references already handed out.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace standin {

enum class ItemKind { Mail, Appointment, Contact, Task, Note, Journal };

struct FolderData;
struct StoreData;

struct ItemData {
    std::wstring subject;
    std::wstring entryId;
    double due;       // tasks: kNoDate when none
    double reminder;  // kNoDate when none
    double start = 0;       // appointments: 0 for the reminder time plus 15 minutes
    std::wstring location;  // appointments
    std::wstring body;      // appointments
    // Appointments: the end (0 for the start plus 30 minutes), whether all
    // day, how the time shows (OlBusyStatus), the user's answer
    // (OlResponseStatus), the meeting's state (OlMeetingStatus), and whether
    // it repeats every day from its start on (a series without an end).
    double end = 0;
    bool allDay = false;
    long busyStatus = 2;  // olBusy
    long responseStatus = 0;  // olResponseNone
    long meetingStatus = 0;   // olNonMeeting
    bool daily = false;
    bool complete = false;
    double created = 0;   // CreationTime: when it was added
    double modified = 0;  // LastModificationTime: when it was added or last changed
    FolderData* folder = nullptr;  // folders live as long as the model
    bool deleted = false;
    HWND window = nullptr;  // the window Display opened, if any
    // Its reminder: shown in Outlook's reminder window (fired, not yet
    // dismissed or snoozed); turned off by Dismiss; due again after a snooze.
    bool reminderVisible = false;
    bool reminderOff = false;
    double nextReminder = 0;  // 0: the reminder time
};

struct FolderData {
    std::wstring name;
    int number = 0;  // Outlook's default-folder number; 0 for the store root
    ItemKind kind = ItemKind::Mail;
    std::wstring entryId;
    std::vector<std::shared_ptr<ItemData>> items;
    StoreData* store = nullptr;  // stores live as long as the model
    bool IsRoot() const noexcept { return number == 0; }
};

// A store of the profile (NameSpace.Stores): a mailbox or a data file.
struct StoreData {
    std::wstring id;  // StoreID
    FolderData* root = nullptr;  // its name is the store's DisplayName
    bool isDefault = false;
    bool removed = false;  // taken out of the profile; its objects fail from then on
    bool tasksMissing = false;  // GetDefaultFolder(olFolderTasks) raises, as for a store without one
};

struct ExplorerData {
    int id = 0;
    FolderData* folder = nullptr;
    bool displayed = false;
    bool closed = false;
    HWND window = nullptr;
};

// Options a scenario sets for the whole run.
struct ScenarioOptions {
    bool linger = false;
    bool quitOnLastClose = false;
    std::wstring journalPath;  // empty: beside the exe
    DWORD busyMs = 0;          // rejects incoming calls this long after the start
    DWORD quitDelayMs = 0;     // after Quit, the process and its class objects stay this long
    bool arrayColumnFirst = false;  // Table.GetArray gives [column, row], as Microsoft's reference describes
    std::optional<size_t> rowsBeforeVanish;  // Table.GetArray hands out this many rows, then a zero-element array
};

class Model {
public:
    explicit Model(std::wstring storeName = L"Mailbox - Demo User");
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    FolderData& Root() noexcept { return m_root; }
    void RenameStore(const std::wstring& name) { m_root.name = name; }
    // A default folder of a store (the default store when none is given).
    FolderData* FolderByNumber(int number, const StoreData* store = nullptr);
    // A folder number, or a default folder's name (any case, blanks ignored).
    FolderData* FolderByText(const std::wstring& text, const StoreData* store = nullptr);
    // The folders of every store, the default store's first.
    const std::vector<std::unique_ptr<FolderData>>& Folders() const noexcept { return m_folders; }

    // The stores, the default one first; removed ones stay listed, marked removed.
    const std::vector<std::unique_ptr<StoreData>>& Stores() const noexcept { return m_stores; }
    std::vector<StoreData*> OpenStores() const;
    StoreData& DefaultStore() noexcept { return *m_stores.front(); }
    // A store in the profile by its id or its display name (any case).
    StoreData* FindStore(const std::wstring& text) const;
    // Adds a store from its display name and fields (storeid=, tasks=missing).
    // Returns nullptr and sets error on a bad field or a name or id in use.
    StoreData* AddStore(const std::vector<std::wstring>& words, std::wstring& error);
    // The name of a folder in the journal: its own in the default store,
    // "<store>/<folder>" in another.
    static std::wstring RefName(const FolderData& folder);

    std::shared_ptr<ItemData> FindItem(const std::wstring& entryId) const;
    // Adds an item from scenario fields (folder=, store=, subject=, entryid=,
    // due=, complete=, reminder=). Returns nullptr and sets error on a bad field.
    std::shared_ptr<ItemData> AddItem(const std::vector<std::wstring>& fields, std::wstring& error);
    // Changes fields of an existing item (the same names; folder= moves it).
    bool SetFields(ItemData& item, const std::vector<std::wstring>& fields, std::wstring& error);
    bool DeleteItem(const std::wstring& entryId);

    // Application.Reminders: the items with a reminder set (or shown), in
    // folder order, as Outlook lists every reminder, due or not.
    static bool HasReminder(const ItemData& item) noexcept;
    std::vector<std::shared_ptr<ItemData>> Reminders() const;

    std::wstring NewEntryId(const FolderData& folder);

    // Explorers in order of creation; closed ones stay listed, marked closed.
    std::vector<std::shared_ptr<ExplorerData>>& Explorers() noexcept { return m_explorers; }
    std::shared_ptr<ExplorerData> AddExplorer(FolderData* folder);
    std::vector<std::shared_ptr<ExplorerData>> OpenExplorers() const;
    // The explorer displayed or activated last and not closed, or nullptr.
    std::shared_ptr<ExplorerData> ActiveExplorer() const;
    void BringToFront(const std::shared_ptr<ExplorerData>& explorer);

    // Reads a scenario file's text; false with a message on the first bad line.
    bool LoadScenario(const std::wstring& text, ScenarioOptions& options, std::wstring& error);
    // The built-in mailbox of a small office.
    void LoadDemo();

private:
    void AddDefaultFolders(StoreData& store);

    FolderData m_root;
    std::vector<std::unique_ptr<FolderData>> m_roots;  // of the stores other than the default one
    std::vector<std::unique_ptr<FolderData>> m_folders;
    std::vector<std::unique_ptr<StoreData>> m_stores;
    std::vector<std::shared_ptr<ExplorerData>> m_explorers;
    std::vector<std::weak_ptr<ExplorerData>> m_zOrder;  // front last
    unsigned m_nextEntry = 1;
    int m_nextExplorer = 1;
    unsigned m_seed;
};

// An appointment's start and end as Outlook gives them.
double StartOf(const ItemData& item);
double EndOf(const ItemData& item);
// The occurrences of an appointment (itself when it does not repeat) that
// fall in [from, to): the end after from and the start before to. An
// occurrence is a copy with its own start and end and the series' entry id.
std::vector<std::shared_ptr<ItemData>> OccurrencesIn(const std::shared_ptr<ItemData>& item, double from, double to);

const wchar_t* KindClassName(ItemKind kind);  // MessageClass
long KindClassNumber(ItemKind kind);          // Class (OlObjectClass)
long KindItemType(ItemKind kind);             // DefaultItemType (OlItemType)

}  // namespace standin
