#include "Model.h"

#include "Text.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <optional>
#include <cstdio>

namespace standin {

namespace {

struct DefaultFolder {
    int number;
    const wchar_t* name;
    ItemKind kind;
};

constexpr DefaultFolder kDefaultFolders[] = {
    {6, L"Inbox", ItemKind::Mail},         {5, L"Sent Items", ItemKind::Mail},
    {16, L"Drafts", ItemKind::Mail},       {4, L"Outbox", ItemKind::Mail},
    {9, L"Calendar", ItemKind::Appointment}, {10, L"Contacts", ItemKind::Contact},
    {11, L"Journal", ItemKind::Journal},   {12, L"Notes", ItemKind::Note},
    {13, L"Tasks", ItemKind::Task},
};

std::wstring NoBlanks(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : Lower(text))
        if (c != L' ' && c != L'\t') out += c;
    return out;
}

std::wstring Hex(unsigned long long value, int digits)
{
    wchar_t buf[32];
    std::swprintf(buf, 32, L"%0*llX", digits, value);
    return buf;
}

bool ParseBool(const std::wstring& text, bool& out)
{
    std::wstring t = Lower(text);
    if (t == L"1" || t == L"true" || t == L"yes") return out = true, true;
    if (t == L"0" || t == L"false" || t == L"no") return out = false, true;
    return false;
}

// The built-in mailbox. Dates are relative so it always looks current.
constexpr const wchar_t* kDemoScenario = LR"demo(
store "Mailbox - Demo User"
item folder=Inbox subject="Quarterly figures - please review before Friday" reminder=today+10h
item folder=Inbox subject="Re: Parking spaces from next month"
item folder=Inbox subject="Lunch on Thursday?"
item folder=Inbox subject="Invoice 2024-0117 from Hollis Print"
item folder=Inbox subject="Your password expires in 5 days"
item folder=Inbox subject="Minutes of the team meeting"
item folder=Inbox subject="Fw: Offsite venue options"
item folder=Inbox subject="New starter: Ana Ferreira joins on Monday"
item folder=Inbox subject="Server maintenance Saturday 06:00-09:00"
item folder=Inbox subject="Re: Re: Printer on the 2nd floor"
item folder="Sent Items" subject="Re: Quarterly figures - please review before Friday"
item folder="Sent Items" subject="Holiday request 12-16 August"
item folder="Sent Items" subject="Re: Lunch on Thursday?"
item folder="Sent Items" subject="Updated price list"
item folder=Drafts subject="Proposal for the Brandt account (draft)"
item folder=Drafts subject="Re: Offsite venue options"
item folder=Calendar subject="Team meeting" reminder=today+9h
item folder=Calendar subject="Project review" start=now+25m end=now+85m reminder=none location="https://teams.microsoft.com/l/meetup-join/19%3ameeting_demo%40thread.v2/0"
item folder=Calendar subject="Dentist" start=now+2h end=now+3h reminder=none location="Dr. Mei Lin, High Street"
item folder=Calendar subject="Call with Brandt & Sons"
item folder=Calendar subject="Fire drill"
item folder=Contacts subject="Ana Ferreira"
item folder=Contacts subject="Brandt & Sons - Klaus Brandt"
item folder=Contacts subject="Hollis Print - accounts"
item folder=Contacts subject="Dr. Mei Lin"
item folder=Notes subject="Wi-Fi for guests: Orchard-Guest / see reception"
item folder=Notes subject="Ideas for the newsletter"
item folder=Journal subject="Phone call: Klaus Brandt"
item folder=Journal subject="Meeting notes: budget"
item folder=Tasks subject="Submit expense report" due=today-5d
item folder=Tasks subject="Renew the domain name" due=today-2d reminder=now-1h
item folder=Tasks subject="Book travel for the trade fair" due=today-1d
item folder=Tasks subject="Send the contract to Brandt & Sons" due=today
item folder=Tasks subject="Prepare slides for Monday" due=today+3d
item folder=Tasks subject="Order toner for the printer" due=today+7d
item folder=Tasks subject="Plan the summer party" due=today+21d
item folder=Tasks subject="Read the new security policy" due=none
item folder=Tasks subject="Tidy up the shared drive" due=none
item folder=Tasks subject="Pay invoice 2024-0117" due=today-3d complete=1
item folder=Tasks subject="Welcome pack for Ana" due=today-1d complete=1
item folder=Tasks subject="Update the phone list" due=none complete=1
)demo";

}  // namespace

const wchar_t* KindClassName(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Mail: return L"IPM.Note";
    case ItemKind::Appointment: return L"IPM.Appointment";
    case ItemKind::Contact: return L"IPM.Contact";
    case ItemKind::Task: return L"IPM.Task";
    case ItemKind::Note: return L"IPM.StickyNote";
    case ItemKind::Journal: return L"IPM.Activity";
    }
    return L"IPM";
}

long KindClassNumber(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Mail: return 43;
    case ItemKind::Appointment: return 26;
    case ItemKind::Contact: return 40;
    case ItemKind::Task: return 48;
    case ItemKind::Note: return 44;
    case ItemKind::Journal: return 42;
    }
    return 0;
}

long KindItemType(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Mail: return 0;
    case ItemKind::Appointment: return 1;
    case ItemKind::Contact: return 2;
    case ItemKind::Task: return 3;
    case ItemKind::Journal: return 4;
    case ItemKind::Note: return 5;
    }
    return 0;
}

// The default store's id; the others differ in the last digits.
constexpr wchar_t kDefaultStoreId[] = L"0000000038A1BB1005E5101AA1BB08002B2A56C20000";

Model::Model(std::wstring storeName) : m_seed(::GetTickCount() ^ ::GetCurrentProcessId())
{
    m_root.name = std::move(storeName);
    m_root.number = 0;
    m_root.entryId = L"0000000038A1BB1005E5101AA1BB08002B2A56C20000454D534D44422E444C4C00000000";
    auto store = std::make_unique<StoreData>();
    store->id = kDefaultStoreId;
    store->root = &m_root;
    store->isDefault = true;
    m_root.store = store.get();
    m_stores.push_back(std::move(store));
    AddDefaultFolders(*m_stores.back());
}

void Model::AddDefaultFolders(StoreData& store)
{
    const unsigned long long index = m_stores.size() - 1;
    for (const DefaultFolder& f : kDefaultFolders) {
        auto folder = std::make_unique<FolderData>();
        folder->name = f.name;
        folder->number = f.number;
        folder->kind = f.kind;
        folder->store = &store;
        folder->entryId = L"000000001A447390AA6611CD9BC800AA002FC45A0100" + Hex(m_seed, 8) + Hex(f.number, 8) +
                          Hex(index, 20);
        m_folders.push_back(std::move(folder));
    }
}

FolderData* Model::FolderByNumber(int number, const StoreData* store)
{
    if (!store) store = m_stores.front().get();
    for (auto& f : m_folders)
        if (f->number == number && f->store == store) return f.get();
    return nullptr;
}

FolderData* Model::FolderByText(const std::wstring& text, const StoreData* store)
{
    if (!store) store = m_stores.front().get();
    std::wstring key = NoBlanks(text);
    if (!key.empty() && std::all_of(key.begin(), key.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return key.size() < 4 ? FolderByNumber(std::stoi(key), store) : nullptr;
    for (auto& f : m_folders)
        if (f->store == store && NoBlanks(f->name) == key) return f.get();
    if (key == L"sent") return FolderByNumber(5, store);
    return nullptr;
}

std::vector<StoreData*> Model::OpenStores() const
{
    std::vector<StoreData*> open;
    for (auto& store : m_stores)
        if (!store->removed) open.push_back(store.get());
    return open;
}

StoreData* Model::FindStore(const std::wstring& text) const
{
    for (auto& store : m_stores)
        if (!store->removed && (EqualsNoCase(store->id, text) || EqualsNoCase(store->root->name, text)))
            return store.get();
    return nullptr;
}

StoreData* Model::AddStore(const std::vector<std::wstring>& words, std::wstring& error)
{
    std::wstring name, id;
    bool tasksMissing = false;
    for (const std::wstring& w : words) {
        Field f = SplitField(w);
        if (!f.hasValue) name += (name.empty() ? L"" : L" ") + w;
        else if (f.name == L"storeid" && !f.value.empty()) id = f.value;
        else if (f.name == L"tasks" && f.value == L"missing") tasksMissing = true;
        else {
            error = L"unknown store field: " + w;
            return nullptr;
        }
    }
    if (name.empty()) {
        error = L"a store needs a name";
        return nullptr;
    }
    if (id.empty()) id = std::wstring(kDefaultStoreId).substr(0, 40) + Hex(m_stores.size(), 4);
    if (FindStore(name) || FindStore(id)) {
        error = L"store name or id in use: " + name;
        return nullptr;
    }
    auto root = std::make_unique<FolderData>();
    root->name = name;
    root->entryId = L"0000000038A1BB1005E5101AA1BB08002B2A56C2" + Hex(m_stores.size(), 4) +
                    L"454D534D44422E444C4C00000000";
    auto store = std::make_unique<StoreData>();
    store->id = id;
    store->root = root.get();
    store->tasksMissing = tasksMissing;
    root->store = store.get();
    m_roots.push_back(std::move(root));
    m_stores.push_back(std::move(store));
    AddDefaultFolders(*m_stores.back());
    return m_stores.back().get();
}

std::wstring Model::RefName(const FolderData& folder)
{
    if (!folder.store || folder.store->isDefault || folder.IsRoot()) return folder.name;
    return folder.store->root->name + L"/" + folder.name;
}

std::shared_ptr<ItemData> Model::FindItem(const std::wstring& entryId) const
{
    for (auto& f : m_folders)
        if (!f->store->removed)
            for (auto& item : f->items)
                if (EqualsNoCase(item->entryId, entryId)) return item;
    return nullptr;
}

std::wstring Model::NewEntryId(const FolderData& folder)
{
    // Outlook's entry ids are long hex strings: provider, folder and message parts.
    unsigned n = m_nextEntry++;
    m_seed = m_seed * 1103515245u + 12345u;
    return L"00000000" + folder.entryId.substr(8, 36) + L"0700" + Hex(m_seed, 8) + Hex(folder.number, 4) +
           Hex(::GetCurrentProcessId(), 8) + Hex(n, 12) + L"0000";
}

bool Model::SetFields(ItemData& item, const std::vector<std::wstring>& fields, std::wstring& error)
{
    for (const std::wstring& word : fields) {
        Field f = SplitField(word);
        if (!f.hasValue) {
            error = L"expected name=value: " + word;
            return false;
        }
        if (f.name == L"subject") {
            item.subject = f.value;
        } else if (f.name == L"entryid") {
            if (f.value.empty() || (FindItem(f.value) && !EqualsNoCase(item.entryId, f.value))) {
                error = L"entry id empty or in use: " + f.value;
                return false;
            }
            item.entryId = f.value;
        } else if (f.name == L"location") {
            item.location = f.value;
        } else if (f.name == L"body") {
            item.body = f.value;
        } else if (f.name == L"end") {
            auto date = ParseDate(f.value);
            if (!date) {
                error = L"not a date: " + f.value;
                return false;
            }
            item.end = *date;
        } else if (f.name == L"allday" || f.name == L"daily") {
            if (!ParseBool(f.value, f.name == L"allday" ? item.allDay : item.daily)) {
                error = f.name + L" takes 0 or 1: " + f.value;
                return false;
            }
        } else if (f.name == L"busy" || f.name == L"response" || f.name == L"status") {
            // Outlook's numbers, or the names of the values tests use.
            static const std::pair<const wchar_t*, long> names[] = {
                {L"free", 0},     {L"tentative", 1}, {L"busy", 2},      {L"oof", 3},       {L"elsewhere", 4},
                {L"none", 0},     {L"organizer", 1}, {L"accepted", 3},  {L"declined", 4},  {L"notresponded", 5},
                {L"meeting", 1},  {L"received", 3},  {L"cancelled", 5}, {L"received-cancelled", 7},
            };
            std::optional<long> value;
            for (const auto& [name, number] : names)
                if (EqualsNoCase(f.value, name)) value = number;
            if (!value && !f.value.empty() && std::all_of(f.value.begin(), f.value.end(), iswdigit))
                value = std::stol(f.value);
            if (!value) {
                error = L"not a value of " + f.name + L": " + f.value;
                return false;
            }
            (f.name == L"busy" ? item.busyStatus : f.name == L"response" ? item.responseStatus : item.meetingStatus) =
                *value;
        } else if (f.name == L"start") {
            auto date = ParseDate(f.value);
            if (!date) {
                error = L"not a date: " + f.value;
                return false;
            }
            item.start = *date;
        } else if (f.name == L"due" || f.name == L"reminder") {
            auto date = ParseDate(f.value);
            if (!date) {
                error = L"not a date: " + f.value;
                return false;
            }
            (f.name == L"due" ? item.due : item.reminder) = *date;
            if (f.name == L"reminder") {
                item.reminderOff = false;
                item.nextReminder = 0;
            }
        } else if (f.name == L"visible") {
            if (!ParseBool(f.value, item.reminderVisible)) {
                error = L"visible takes 0 or 1: " + f.value;
                return false;
            }
            if (item.reminderVisible) item.reminderOff = false;
        } else if (f.name == L"complete") {
            if (!ParseBool(f.value, item.complete)) {
                error = L"complete takes 0 or 1: " + f.value;
                return false;
            }
        } else if (f.name == L"folder") {
            FolderData* target = FolderByText(f.value, item.folder ? item.folder->store : nullptr);
            if (!target) {
                error = L"no such folder: " + f.value;
                return false;
            }
            if (item.folder != target) {
                if (item.folder) {
                    auto& list = item.folder->items;
                    auto it = std::find_if(list.begin(), list.end(), [&](auto& p) { return p.get() == &item; });
                    if (it != list.end()) {
                        auto keep = *it;
                        list.erase(it);
                        target->items.push_back(keep);
                    }
                }
                item.folder = target;
            }
        } else {
            error = L"unknown field: " + f.name;
            return false;
        }
    }
    item.modified = NowDate();
    return true;
}

std::shared_ptr<ItemData> Model::AddItem(const std::vector<std::wstring>& fields, std::wstring& error)
{
    // The store, then the folder: it decides the entry id's shape.
    const StoreData* store = nullptr;
    for (const std::wstring& word : fields) {
        Field f = SplitField(word);
        if (f.name == L"store" && f.hasValue) {
            store = FindStore(f.value);
            if (!store) {
                error = L"no such store: " + f.value;
                return nullptr;
            }
        }
    }
    FolderData* folder = nullptr;
    std::vector<std::wstring> rest;
    for (const std::wstring& word : fields) {
        Field f = SplitField(word);
        if (f.name == L"store" && f.hasValue) continue;
        if (f.name == L"folder" && f.hasValue) {
            folder = FolderByText(f.value, store);
            if (!folder) {
                error = L"no such folder: " + f.value;
                return nullptr;
            }
        } else {
            rest.push_back(word);
        }
    }
    if (!folder) {
        error = L"item needs folder=<name or number>";
        return nullptr;
    }
    auto item = std::make_shared<ItemData>();
    item->due = kNoDate;
    item->reminder = kNoDate;
    item->folder = folder;
    if (!SetFields(*item, rest, error)) return nullptr;
    item->created = item->modified;
    if (item->entryId.empty()) item->entryId = NewEntryId(*folder);
    folder->items.push_back(item);
    return item;
}

bool Model::DeleteItem(const std::wstring& entryId)
{
    auto item = FindItem(entryId);
    if (!item) return false;
    auto& list = item->folder->items;
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
    item->deleted = true;
    return true;
}

bool Model::HasReminder(const ItemData& item) noexcept
{
    return !item.deleted && !item.reminderOff && (item.reminder != kNoDate || item.reminderVisible);
}

std::vector<std::shared_ptr<ItemData>> Model::Reminders() const
{
    std::vector<std::shared_ptr<ItemData>> list;
    for (const auto& folder : m_folders)
        if (!folder->store->removed)
            for (const auto& item : folder->items)
                if (HasReminder(*item)) list.push_back(item);
    return list;
}

std::shared_ptr<ExplorerData> Model::AddExplorer(FolderData* folder)
{
    auto e = std::make_shared<ExplorerData>();
    e->id = m_nextExplorer++;
    e->folder = folder;
    m_explorers.push_back(e);
    return e;
}

std::vector<std::shared_ptr<ExplorerData>> Model::OpenExplorers() const
{
    std::vector<std::shared_ptr<ExplorerData>> open;
    for (auto& e : m_explorers)
        if (!e->closed) open.push_back(e);
    return open;
}

std::shared_ptr<ExplorerData> Model::ActiveExplorer() const
{
    for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it)
        if (auto e = it->lock(); e && !e->closed && e->displayed) return e;
    return nullptr;
}

void Model::BringToFront(const std::shared_ptr<ExplorerData>& explorer)
{
    m_zOrder.erase(std::remove_if(m_zOrder.begin(), m_zOrder.end(),
                                  [&](const std::weak_ptr<ExplorerData>& w) {
                                      auto e = w.lock();
                                      return !e || e == explorer;
                                  }),
                   m_zOrder.end());
    m_zOrder.push_back(explorer);
}

bool Model::LoadScenario(const std::wstring& text, ScenarioOptions& options, std::wstring& error)
{
    size_t lineNo = 0, pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = Trim(std::wstring_view(text).substr(pos, end - pos));
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line[0] == 0xFEFF) line = Trim(line.substr(1));
        if (line.empty() || line[0] == L'#') continue;

        auto words = Tokenize(line);
        std::wstring directive = Lower(words[0]);
        std::vector<std::wstring> args(words.begin() + 1, words.end());
        std::wstring problem;
        if (directive == L"option") {
            for (const std::wstring& w : args) {
                Field f = SplitField(w);
                if (f.name == L"linger" && !f.hasValue) options.linger = true;
                else if (f.name == L"quit-on-last-close" && !f.hasValue) options.quitOnLastClose = true;
                else if (f.name == L"journal" && f.hasValue && !f.value.empty()) options.journalPath = f.value;
                else if (f.name == L"busy" && f.hasValue && ParseMilliseconds(f.value))
                    options.busyMs = *ParseMilliseconds(f.value);
                else if (f.name == L"quit-delay" && f.hasValue && ParseMilliseconds(f.value))
                    options.quitDelayMs = *ParseMilliseconds(f.value);
                else if (f.name == L"table-array" && f.hasValue && (f.value == L"column-row" || f.value == L"row-column"))
                    options.arrayColumnFirst = f.value == L"column-row";
                else if (f.name == L"table-rows-vanish" && f.hasValue && ParseMilliseconds(f.value))
                    options.rowsBeforeVanish = *ParseMilliseconds(f.value);
                else problem = L"unknown option: " + w;
            }
        } else if (directive == L"store") {
            std::wstring name;
            for (const std::wstring& w : args) name += (name.empty() ? L"" : L" ") + w;
            if (name.empty()) problem = L"store needs a name";
            else m_root.name = name;
        } else if (directive == L"other-store") {
            (void)AddStore(args, problem);
        } else if (directive == L"item") {
            if (!AddItem(args, problem)) {
                if (problem.empty()) problem = L"bad item";
            }
        } else {
            problem = L"unknown directive: " + words[0];
        }
        if (!problem.empty()) {
            error = L"line " + std::to_wstring(lineNo) + L": " + problem;
            return false;
        }
        if (end == text.size()) break;
    }
    return true;
}

void Model::LoadDemo()
{
    ScenarioOptions ignored;
    std::wstring error;
    LoadScenario(kDemoScenario, ignored, error);
}

}  // namespace standin

namespace standin {

double StartOf(const ItemData& item) { return item.start != 0 ? item.start : item.reminder + 15.0 / (24 * 60); }

double EndOf(const ItemData& item)
{
    const double start = StartOf(item);
    return item.end > start ? item.end : start + 30.0 / (24 * 60);
}

std::vector<std::shared_ptr<ItemData>> OccurrencesIn(const std::shared_ptr<ItemData>& item, double from, double to)
{
    std::vector<std::shared_ptr<ItemData>> found;
    const double start = StartOf(*item), length = EndOf(*item) - start;
    if (!item->daily) {
        if (start + length > from && start < to) found.push_back(item);
        return found;
    }
    // The first day whose occurrence may still run at from.
    double day = std::floor(from - length - start);
    if (day < 0) day = 0;
    for (double at = start + day; at < to; at += 1.0) {
        if (at + length <= from) continue;
        auto occurrence = std::make_shared<ItemData>(*item);
        occurrence->start = at;
        occurrence->end = at + length;
        occurrence->daily = false;
        found.push_back(std::move(occurrence));
    }
    return found;
}

}  // namespace standin
