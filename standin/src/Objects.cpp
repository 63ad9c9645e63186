#include "Objects.h"

#include "Automation.h"
#include "Text.h"
#include "Ui.h"

#include <olectl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <functional>

namespace standin {

const wchar_t kItemGoneText[] = L"The item has been moved or deleted.";
const wchar_t kNotFoundText[] = L"The attempted operation failed.  An object could not be found.";
const wchar_t kBadParameterText[] = L"Could not complete the operation. One or more parameter values are not valid.";

void SetText(VARIANT* v, std::wstring_view text)
{
    v->vt = VT_BSTR;
    v->bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}
void SetLong(VARIANT* v, long n)
{
    v->vt = VT_I4;
    v->lVal = n;
}
void SetBool(VARIANT* v, bool b)
{
    v->vt = VT_BOOL;
    v->boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
}
void SetDate(VARIANT* v, double d)
{
    v->vt = VT_DATE;
    v->date = d;
}
void SetObject(VARIANT* v, wl::ComPtr<IDispatch> object)
{
    v->vt = VT_DISPATCH;
    v->pdispVal = object.Detach();
}

long ArgLong(const VARIANT* v)
{
    VARIANT out;
    ::VariantInit(&out);
    if (!v || FAILED(::VariantChangeType(&out, const_cast<VARIANT*>(v), 0, VT_I4)))
        throw DispError{DISP_E_TYPEMISMATCH, L"Type mismatch", true};
    return out.lVal;
}

std::wstring ArgText(const VARIANT* v)
{
    wl::Variant out;
    if (!v || FAILED(::VariantChangeType(out.Put(), const_cast<VARIANT*>(v), 0, VT_BSTR)))
        throw DispError{DISP_E_TYPEMISMATCH, L"Type mismatch", true};
    BSTR b = out.Ref().bstrVal;
    return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
}

bool ArgBool(const VARIANT* v)
{
    VARIANT out;
    ::VariantInit(&out);
    if (!v || FAILED(::VariantChangeType(&out, const_cast<VARIANT*>(v), 0, VT_BOOL)))
        throw DispError{DISP_E_TYPEMISMATCH, L"Type mismatch", true};
    return out.boolVal != VARIANT_FALSE;
}

VARTYPE ArgType(const VARIANT* v)
{
    if (!v) return VT_EMPTY;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) return static_cast<VARTYPE>(v->pvarVal->vt & ~VT_BYREF);
    return static_cast<VARTYPE>(v->vt & ~VT_BYREF);
}

ObjectBase* ArgObject(const VARIANT* v)
{
    if (!v) return nullptr;
    const VARIANT* d = v;
    if (v->vt == (VT_BYREF | VT_VARIANT)) d = v->pvarVal;
    IUnknown* unknown = nullptr;
    if (d->vt == VT_DISPATCH || d->vt == VT_UNKNOWN) unknown = d->punkVal;
    else if (d->vt == (VT_BYREF | VT_DISPATCH) || d->vt == (VT_BYREF | VT_UNKNOWN)) unknown = *d->ppunkVal;
    return unknown ? ObjectBase::FromDispatch(unknown) : nullptr;
}

void AddCommon(std::vector<Member>& list)
{
    list.push_back({L"Application", kIdApplication, MemberType::Get, {}});
    list.push_back({L"Class", kIdClass, MemberType::Get, {}});
    list.push_back({L"Session", kIdSession, MemberType::Get, {}});
}

bool CommonCall(DISPID id, VARIANT* result)
{
    if (id == kIdApplication) {
        SetObject(result, NewApplication());
        return true;
    }
    if (id == kIdSession) {
        SetObject(result, NewNameSpace());
        return true;
    }
    return false;
}

bool ParseCompleteFilter(const FolderData& folder, const std::wstring& filter)
{
    std::wstring key;
    for (wchar_t c : Lower(filter))
        if (!std::iswspace(c)) key += c;
    bool known = key == L"[complete]=false" || key == L"[complete]=true";
    if (known && folder.kind != ItemKind::Task) throw DispError{E_INVALIDARG, L"The property \"Complete\" is unknown."};
    if (!known) throw DispError{E_INVALIDARG, L"Cannot parse condition. Error at \"" + filter + L"\"."};
    return key == L"[complete]=true";
}

namespace {

// What Outlook says of an object of a store taken out of the profile.
const wchar_t kStoreGoneText[] = L"The operation failed because the store is not available.";

void CheckStore(const StoreData* store)
{
    if (store && store->removed) throw DispError{kItemGone, kStoreGoneText};
}

bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// IEnumVARIANT over objects created as they are fetched. The count is asked
// again at every step: a live collection's enumerator (Outlook's Reminders)
// sees what was removed or added since it was made, a snapshot's does not.
class Enumerator final : public ComObject<IEnumVARIANT> {
public:
    using Maker = std::function<wl::ComPtr<IDispatch>(size_t)>;
    using Counter = std::function<size_t()>;
    Enumerator(std::wstring ref, Counter count, Maker maker, size_t position = 0)
        : m_ref(std::move(ref)), m_count(std::move(count)), m_maker(std::move(maker)), m_pos(position)
    {
    }

    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override
    {
        try {
            ++TheServer().stats.next;
            if (!items || (count > 1 && !fetched)) return E_POINTER;
            ULONG n = 0;
            try {
                while (n < count && m_pos < m_count()) {
                    ::VariantInit(&items[n]);
                    SetObject(&items[n], m_maker(m_pos));
                    ++m_pos;
                    ++n;
                }
            } catch (...) {
                for (ULONG i = 0; i < n; ++i) ::VariantClear(&items[i]);
                return E_OUTOFMEMORY;
            }
            if (fetched) *fetched = n;
            TheServer().journal.Write(m_ref + L".Next(" + std::to_wstring(count) + L") -> " + std::to_wstring(n));
            return n == count ? S_OK : S_FALSE;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        try {
            size_t total = m_count();
            size_t left = total > m_pos ? total - m_pos : 0;
            bool all = count <= left;
            m_pos += all ? count : left;
            TheServer().journal.Write(m_ref + L".Skip(" + std::to_wstring(count) + L") -> " +
                                      (all ? L"S_OK" : L"S_FALSE"));
            return all ? S_OK : S_FALSE;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP Reset() override
    {
        try {
            m_pos = 0;
            TheServer().journal.Write(m_ref + L".Reset() -> S_OK");
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP Clone(IEnumVARIANT** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            *out = new Enumerator(m_ref, m_count, m_maker, m_pos);
            TheServer().journal.Write(m_ref + L".Clone() -> " + m_ref);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    std::wstring m_ref;
    Counter m_count;
    Maker m_maker;
    size_t m_pos;
};

void SetEnumerator(VARIANT* result, std::wstring ref, Enumerator::Counter count, Enumerator::Maker maker)
{
    result->vt = VT_UNKNOWN;
    result->punkVal = static_cast<IEnumVARIANT*>(new Enumerator(std::move(ref), std::move(count), std::move(maker)));
}

// A snapshot: the objects the collection held when the enumerator was made.
void SetEnumerator(VARIANT* result, std::wstring ref, size_t count, Enumerator::Maker maker)
{
    SetEnumerator(result, std::move(ref), Enumerator::Counter([count] { return count; }), std::move(maker));
}

// Outlook.Application -------------------------------------------------------------------

class ConnectionPoint;
wl::ComPtr<IDispatch> NewReminders();

class Application final : public Automation<IConnectionPointContainer> {
public:
    Application() { TheServer().application = static_cast<IDispatch*>(static_cast<ObjectBase*>(this)); }
    ~Application() override
    {
        Server& s = TheServer();
        s.application = nullptr;
        try {
            s.journal.Write(L"Release Application");
        } catch (...) {
        }
        // Sinks belong to this object's connection points.
        std::vector<Sink> sinks;
        sinks.swap(s.sinks);
    }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    std::wstring Kind() const override { return L"Application"; }
    std::wstring Ref() const override { return L"Application"; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"GetNamespace", 0x110, MemberType::Method, {L"Type"}, 1},
            {L"ActiveExplorer", 0x111, MemberType::Method, {}},
            {L"Explorers", 0x112, MemberType::Get, {}},
            {L"Quit", 0x113, MemberType::Method, {}},
            {L"Name", 0x3001, MemberType::Get, {}},
            {L"Version", 0x114, MemberType::Get, {}},
            {L"Reminders", 0xFA9B, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }

    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        Server& s = TheServer();
        switch (member.id) {
        case 0x110:
            if (!EqualsNoCase(ArgText(args.At(0)), L"MAPI")) throw DispError{E_INVALIDARG, kBadParameterText};
            SetObject(result, NewNameSpace());
            break;
        case 0x111: {
            auto active = s.model.ActiveExplorer();
            SetObject(result, active ? NewExplorer(active) : nullptr);
            break;
        }
        case 0x112: SetObject(result, NewExplorers()); break;
        case 0x113: s.QuitLikeOutlook(); break;
        case 0x3001: SetText(result, L"Outlook"); break;
        case 0x114: SetText(result, L"16.0.0.0"); break;
        case 0xFA9B: SetObject(result, NewReminders()); break;
        case kIdClass: SetLong(result, 0); break;  // olApplication
        default: CommonCall(member.id, result); break;
        }
    }
};

class ConnectionPoint final : public ComObject<IConnectionPoint> {
public:
    // owner: the object whose IConnectionPointContainer hands this point out.
    ConnectionPoint(IDispatch* owner, const IID& iid) : m_owner(wl::ComPtr<IDispatch>::AddRef(owner)), m_iid(iid) {}

    STDMETHODIMP GetConnectionInterface(IID* iid) override
    {
        if (!iid) return E_POINTER;
        *iid = m_iid;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override
    {
        return m_owner->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
    }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override
    {
        try {
            if (!sink || !cookie) return E_POINTER;
            *cookie = 0;
            Server& s = TheServer();
            // Out of process under Wine the event interface cannot be marshalled
            // without a type library; every sink answers IDispatch.
            wl::ComPtr<IDispatch> target;
            if (FAILED(sink->QueryInterface(m_iid, target.PutVoid())) || !target)
                if (FAILED(sink->QueryInterface(IID_IDispatch, target.PutVoid())) || !target) {
                    s.journal.Write(std::wstring(L"Advise ") + EventInterfaceName(m_iid) + L" -> !" +
                                    HexResult(CONNECT_E_CANNOTCONNECT));
                    return CONNECT_E_CANNOTCONNECT;
                }
            FolderData* folder = nullptr;
            if (ObjectBase* owner = ObjectBase::FromDispatch(m_owner.Get())) folder = owner->EventFolder();
            try {
                s.sinks.push_back(Sink{s.nextCookie, m_iid, std::move(target), folder});
            } catch (...) {
                return E_OUTOFMEMORY;
            }
            *cookie = s.nextCookie++;
            s.journal.Write(std::wstring(L"Advise ") + EventInterfaceName(m_iid));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP Unadvise(DWORD cookie) override
    {
        try {
            Server& s = TheServer();
            auto it = std::find_if(s.sinks.begin(), s.sinks.end(),
                                   [&](const Sink& k) { return k.cookie == cookie && k.iid == m_iid; });
            if (it == s.sinks.end()) return CONNECT_E_NOCONNECTION;
            Sink gone = std::move(*it);
            s.sinks.erase(it);
            s.journal.Write(std::wstring(L"Unadvise ") + EventInterfaceName(m_iid));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    wl::ComPtr<IDispatch> m_owner;
    IID m_iid;
};

class ConnectionPointList final : public ComObject<IEnumConnectionPoints> {
public:
    explicit ConnectionPointList(std::vector<wl::ComPtr<IConnectionPoint>> points, size_t pos = 0)
        : m_points(std::move(points)), m_pos(pos)
    {
    }

    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override
    {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_pos < m_points.size()) {
            out[n] = m_points[m_pos++].Get();
            out[n++]->AddRef();
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
    {
        size_t left = m_points.size() - m_pos;
        m_pos += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_pos = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumConnectionPoints** out) override
    {
        if (!out) return E_POINTER;
        try {
            *out = new ConnectionPointList(m_points, m_pos);
        } catch (...) {
            *out = nullptr;
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    std::vector<wl::ComPtr<IConnectionPoint>> m_points;
    size_t m_pos;
};

STDMETHODIMP Application::EnumConnectionPoints(IEnumConnectionPoints** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<wl::ComPtr<IConnectionPoint>> points;
        points.push_back(wl::ComPtr<IConnectionPoint>::Attach(new ConnectionPoint(static_cast<ObjectBase*>(this), kIidApplicationEvents11)));
        points.push_back(wl::ComPtr<IConnectionPoint>::Attach(new ConnectionPoint(static_cast<ObjectBase*>(this), kIidApplicationEvents)));
        *out = new ConnectionPointList(std::move(points));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP Application::FindConnectionPoint(REFIID iid, IConnectionPoint** out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != kIidApplicationEvents11 && iid != kIidApplicationEvents) return CONNECT_E_NOCONNECTION;
    try {
        *out = new ConnectionPoint(static_cast<ObjectBase*>(this), iid);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// An object with the events of one dispinterface, through one connection point.
class OneEventSource : public Automation<IConnectionPointContainer> {
public:
    explicit OneEventSource(const IID& events) : m_events(events) {}

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            std::vector<wl::ComPtr<IConnectionPoint>> points;
            points.push_back(wl::ComPtr<IConnectionPoint>::Attach(
                new ConnectionPoint(static_cast<ObjectBase*>(this), m_events)));
            *out = new ConnectionPointList(std::move(points));
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != m_events) return CONNECT_E_NOCONNECTION;
        try {
            *out = new ConnectionPoint(static_cast<ObjectBase*>(this), iid);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    IID m_events;
};

// Reminders and Reminder ------------------------------------------------------------------

// Application.Reminders: every reminder set, due or not, with the events of
// ReminderCollectionEvents.
class Reminders final : public OneEventSource {
public:
    Reminders() : OneEventSource(kIidReminderCollectionEvents) {}
    std::wstring Kind() const override { return L"Reminders"; }
    std::wstring Ref() const override { return L"Reminders"; }


protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Count", 0x50, MemberType::Get, {}},
            {L"Item", DISPID_VALUE, MemberType::Method, {L"Index"}, 1},
            {L"_NewEnum", DISPID_NEWENUM, MemberType::Method, {}},
            {L"Remove", 0x54, MemberType::Method, {L"Index"}, 1},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }

    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        Server& s = TheServer();
        auto list = s.model.Reminders();
        switch (member.id) {
        case 0x50: SetLong(result, static_cast<long>(list.size())); break;
        case DISPID_VALUE: SetObject(result, NewReminder(Find(list, args.At(0)))); break;
        case DISPID_NEWENUM:
            // Live, as Outlook's: a reminder dismissed during a forward walk
            // moves the ones after it up, and the walk passes over one.
            SetEnumerator(
                result, L"Enum:Reminders", Enumerator::Counter([] { return TheServer().model.Reminders().size(); }),
                [](size_t i) { return NewReminder(TheServer().model.Reminders().at(i)); });
            break;
        case 0x54: {
            // Removing a reminder turns it off, as Dismiss does, shown or not.
            auto item = Find(list, args.At(0));
            item->reminderVisible = false;
            item->reminderOff = true;
            (void)s.Fire(kIdReminderRemove, L"ReminderRemove", nullptr, L"", true);
            break;
        }
        case kIdParent: SetObject(result, NewApplication()); break;
        case kIdClass: SetLong(result, 100); break;  // olReminders
        default: CommonCall(member.id, result); break;
        }
    }

private:
    // By 1-based index or by caption (the item's subject).
    static std::shared_ptr<ItemData> Find(const std::vector<std::shared_ptr<ItemData>>& list, const VARIANT* index)
    {
        if (ArgType(index) == VT_BSTR) {
            std::wstring caption = ArgText(index);
            for (auto& item : list)
                if (EqualsNoCase(item->subject, caption)) return item;
            throw DispError{kItemGone, kNotFoundText};
        }
        long i = ArgLong(index);
        if (i < 1 || static_cast<size_t>(i) > list.size()) throw DispError{DISP_E_BADINDEX, L"Array index out of bounds."};
        return list[static_cast<size_t>(i - 1)];
    }
};

// What Outlook's Dismiss and Snooze say of a reminder that is no longer shown.
const wchar_t kReminderNotVisibleText[] = L"The reminder is not visible. It may have been dismissed or snoozed.";

class Reminder final : public Automation<> {
public:
    explicit Reminder(std::shared_ptr<ItemData> item) : m_item(std::move(item)) {}
    std::wstring Kind() const override { return L"Reminder"; }
    std::wstring Ref() const override { return L"Reminder:" + m_item->entryId; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Caption", 0xFA49, MemberType::Get, {}},
            {L"IsVisible", 0xFA4A, MemberType::Get, {}},
            {L"Item", 0xFA4B, MemberType::Get, {}},
            {L"NextReminderDate", 0xFA4C, MemberType::Get, {}},
            {L"OriginalReminderDate", 0xFA4D, MemberType::Get, {}},
            {L"Snooze", 0xFA4E, MemberType::Method, {L"SnoozeTime"}},
            {L"Dismiss", 0xFA4F, MemberType::Method, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }

    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        Server& s = TheServer();
        // The reminder of a deleted item is gone with it.
        if (m_item->deleted) throw DispError{kItemGone, kItemGoneText};
        switch (member.id) {
        case 0xFA49: SetText(result, m_item->subject); break;
        case 0xFA4A: SetBool(result, m_item->reminderVisible && Model::HasReminder(*m_item)); break;
        case 0xFA4B: SetObject(result, NewItem(m_item)); break;
        case 0xFA4C: SetDate(result, m_item->nextReminder != 0 ? m_item->nextReminder : m_item->reminder); break;
        case 0xFA4D: SetDate(result, m_item->reminder); break;
        case 0xFA4E: {
            // Without an argument Outlook snoozes for the default of five minutes.
            long minutes = args.At(0) ? ArgLong(args.At(0)) : 5;
            if (minutes < 1) throw DispError{E_INVALIDARG, kBadParameterText};
            if (!s.SnoozeReminder(m_item, minutes)) throw DispError{E_FAIL, kReminderNotVisibleText};
            break;
        }
        case 0xFA4F:
            if (!s.DismissReminder(m_item)) throw DispError{E_FAIL, kReminderNotVisibleText};
            break;
        case kIdParent: SetObject(result, NewReminders()); break;
        case kIdClass: SetLong(result, 101); break;  // olReminder
        default: CommonCall(member.id, result); break;
        }
    }

private:
    std::shared_ptr<ItemData> m_item;
};

wl::ComPtr<IDispatch> NewReminders() { return Make<Reminders>(); }

// NameSpace ------------------------------------------------------------------------------

class NameSpace final : public Automation<> {
public:
    std::wstring Kind() const override { return L"NameSpace"; }
    std::wstring Ref() const override { return L"NameSpace"; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"GetDefaultFolder", 0x20B, MemberType::Method, {L"FolderType"}, 1},
            {L"GetItemFromID", 0x2109, MemberType::Method, {L"EntryIDItem", L"EntryIDStore"}, 1},
            {L"Parent", kIdParent, MemberType::Get, {}},
            {L"Type", 0x2101, MemberType::Get, {}},
            {L"Stores", 0xFAB8, MemberType::Get, {}},
            {L"DefaultStore", 0xFAB9, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        switch (member.id) {
        case 0x20B: {
            FolderData* folder = TheServer().model.FolderByNumber(ArgLong(args.At(0)));
            if (!folder) throw DispError{E_INVALIDARG, kBadParameterText};
            SetObject(result, NewFolder(folder));
            break;
        }
        case 0x2109: {
            // Given a store id, Outlook looks in that store only: an item of
            // another store is not found there.
            auto item = TheServer().model.FindItem(ArgText(args.At(0)));
            if (item && args.At(1) && !IsMissing(*args.At(1)) &&
                !EqualsNoCase(item->folder->store->id, ArgText(args.At(1))))
                item = nullptr;
            if (!item) throw DispError{kItemGone, kNotFoundText};
            SetObject(result, NewItem(item));
            break;
        }
        case 0xFAB8: SetObject(result, NewStores()); break;
        case 0xFAB9: SetObject(result, NewStore(&TheServer().model.DefaultStore())); break;
        case kIdParent: SetObject(result, NewApplication()); break;
        case 0x2101: SetText(result, L"MAPI"); break;
        case kIdClass: SetLong(result, 1); break;  // olNamespace
        default: CommonCall(member.id, result); break;
        }
    }
};

// MAPIFolder -----------------------------------------------------------------------------

class Folder final : public Automation<> {
public:
    explicit Folder(FolderData* folder) : m_folder(folder) {}
    std::wstring Kind() const override { return L"Folder"; }
    std::wstring Ref() const override { return L"Folder:" + Model::RefName(*m_folder); }
    FolderData* Data() const noexcept { return m_folder; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Name", 0x3001, MemberType::Get, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
            {L"Items", 0x3100, MemberType::Get, {}},
            {L"EntryID", 0x3010, MemberType::Get, {}},
            {L"StoreID", 0x3012, MemberType::Get, {}},
            {L"DefaultItemType", 0x3106, MemberType::Get, {}},
            {L"GetTable", 0xFB1D, MemberType::Method, {L"Filter", L"TableContents"}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        CheckStore(m_folder->store);
        switch (member.id) {
        case 0x3001: SetText(result, m_folder->name); break;
        case kIdParent:
            SetObject(result, m_folder->IsRoot() ? NewNameSpace() : NewFolder(m_folder->store->root));
            break;
        case 0x3100: SetObject(result, NewItems(m_folder, std::nullopt)); break;
        case 0x3010: SetText(result, m_folder->entryId); break;
        case 0x3012: SetText(result, m_folder->store->id); break;
        case 0x3106: SetLong(result, KindItemType(m_folder->kind)); break;
        case 0xFB1D: {
            std::optional<bool> complete;
            if (std::wstring filter = args.At(0) ? ArgText(args.At(0)) : L""; !Trim(filter).empty())
                complete = ParseCompleteFilter(*m_folder, filter);
            long contents = args.At(1) ? ArgLong(args.At(1)) : 0;  // olUserItems
            if (contents != 0 && contents != 1) throw DispError{E_INVALIDARG, kBadParameterText};
            SetObject(result, NewTable(m_folder, complete, contents == 1));
            break;
        }
        case kIdClass: SetLong(result, 2); break;  // olFolder
        default: CommonCall(member.id, result); break;
        }
    }

private:
    FolderData* m_folder;
};

// Items ----------------------------------------------------------------------------------

class Items final : public OneEventSource {
public:
    Items(FolderData* folder, std::optional<bool> complete)
        : OneEventSource(kIidItemsEvents), m_folder(folder), m_complete(complete)
    {
    }
    // A restriction by dates: the items (or, with recurrences, the occurrences) it found.
    Items(FolderData* folder, std::vector<std::shared_ptr<ItemData>> found, bool sorted)
        : OneEventSource(kIidItemsEvents), m_folder(folder), m_found(std::move(found)), m_sorted(sorted)
    {
    }
    std::wstring Kind() const override { return L"Items"; }
    std::wstring Ref() const override { return L"Items:" + Model::RefName(*m_folder); }
    FolderData* EventFolder() const override { return m_folder; }

protected:
    std::vector<std::shared_ptr<ItemData>> List() const
    {
        std::vector<std::shared_ptr<ItemData>> list;
        if (m_found) {
            for (auto& item : *m_found)
                if (!item->deleted) list.push_back(item);
            return list;
        }
        for (auto& item : m_folder->items)
            if (!m_complete || item->complete == *m_complete) list.push_back(item);
        if (m_sorted) SortByStart(list);
        return list;
    }

    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Count", 0x50, MemberType::Get, {}},
            {L"Item", DISPID_VALUE, MemberType::Method, {L"Index"}, 1},
            {L"_NewEnum", DISPID_NEWENUM, MemberType::Method, {}},
            {L"Restrict", 0x64, MemberType::Method, {L"Filter"}, 1},
            {L"Sort", 0x61, MemberType::Method, {L"Property", L"Descending"}, 1},
            {L"IncludeRecurrences", 0xCE, MemberType::GetPut, {}},
            {L"GetFirst", 0x56, MemberType::Method, {}},
            {L"GetNext", 0x58, MemberType::Method, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }

    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        switch (member.id) {
        case 0x50:
            // With recurrences included Outlook's count means nothing: it
            // gives the largest number there is.
            SetLong(result, m_found && m_recurrencesInside ? 0x7FFFFFFF : static_cast<long>(List().size()));
            break;
        case DISPID_VALUE: {
            auto list = List();
            const VARIANT* index = args.At(0);
            VARTYPE t = index ? static_cast<VARTYPE>(index->vt & ~VT_BYREF) : static_cast<VARTYPE>(VT_EMPTY);
            if (t == VT_BSTR) {
                // By default property: the subject.
                std::wstring subject = ArgText(index);
                for (auto& item : list)
                    if (EqualsNoCase(item->subject, subject)) {
                        SetObject(result, NewItem(item));
                        return;
                    }
                throw DispError{kItemGone, kNotFoundText};
            }
            long i = ArgLong(index);
            if (i < 1 || static_cast<size_t>(i) > list.size())
                throw DispError{DISP_E_BADINDEX, L"Array index out of bounds."};
            SetObject(result, NewItem(list[static_cast<size_t>(i - 1)]));
            break;
        }
        case DISPID_NEWENUM: {
            auto list = List();
            SetEnumerator(result, L"Enum:" + Model::RefName(*m_folder), list.size(),
                          [list](size_t i) { return NewItem(list[i]); });
            break;
        }
        case 0x64: Restrict(ArgText(args.At(0)), result); break;
        case 0x61: {
            // Outlook sorts by any property; the stand-in by the start, ascending.
            std::wstring property = Trim(ArgText(args.At(0)));
            bool descending = args.At(1) && ArgBool(args.At(1));
            if (!EqualsNoCase(property, L"[Start]") || descending)
                throw DispError{E_INVALIDARG, L"The stand-in sorts by [Start] ascending only."};
            m_sorted = true;
            // Set before the sort, IncludeRecurrences has no effect (Outlook's documented order).
            m_recurrencesAfterSort = false;
            m_cursor = 0;
            break;
        }
        case 0xCE:
            if (args.flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
                m_includeRecurrences = ArgBool(args.putValue);
                m_recurrencesAfterSort = m_includeRecurrences && m_sorted;
            } else {
                SetBool(result, m_includeRecurrences);
            }
            break;
        case 0x56:
            m_cursor = 0;
            [[fallthrough]];
        case 0x58: {
            auto list = List();
            if (m_cursor >= list.size()) {
                SetObject(result, nullptr);  // Nothing: the end
                break;
            }
            SetObject(result, NewItem(list[m_cursor++]));
            break;
        }
        case kIdParent: SetObject(result, NewFolder(m_folder)); break;
        case kIdClass: SetLong(result, 16); break;  // olItems
        default: CommonCall(member.id, result); break;
        }
    }

private:
    static void SortByStart(std::vector<std::shared_ptr<ItemData>>& list)
    {
        std::stable_sort(list.begin(), list.end(), [](auto& a, auto& b) { return StartOf(*a) < StartOf(*b); });
    }

    void Restrict(const std::wstring& filter, VARIANT* result)
    {
        const std::wstring lower = Lower(filter);
        if (lower.find(L"[complete]") != std::wstring::npos) {
            if (m_found) throw DispError{E_INVALIDARG, L"Cannot parse condition. Error at \"" + filter + L"\"."};
            SetObject(result, NewItems(m_folder, ParseFilter(filter)));
            return;
        }
        // "[Start] < 'date' AND [End] > 'date'", dates as the user's locale
        // writes them, without seconds, as Outlook reads them.
        double from = -1e9, to = 1e9;
        std::vector<std::wstring> conditions;
        for (size_t at = 0;;) {
            size_t next = lower.find(L" and ", at);
            conditions.push_back(filter.substr(at, next == std::wstring::npos ? std::wstring::npos : next - at));
            if (next == std::wstring::npos) break;
            at = next + 5;
        }
        auto bad = [&] { return DispError{E_INVALIDARG, L"Cannot parse condition. Error at \"" + filter + L"\"."}; };
        for (const std::wstring& condition : conditions) {
            std::wstring c = Trim(condition);
            size_t close = c.find(L']'), quote = c.find(L'\''), last = c.rfind(L'\'');
            if (c.empty() || c[0] != L'[' || close == std::wstring::npos || quote == std::wstring::npos ||
                last <= quote)
                throw bad();
            std::wstring property = Lower(c.substr(1, close - 1));
            std::wstring op = Trim(c.substr(close + 1, quote - close - 1));
            std::wstring text = c.substr(quote + 1, last - quote - 1);
            if (std::count(text.begin(), text.end(), L':') > 1) throw bad();  // seconds: Outlook's filter fails
            DATE date = 0;
            if (FAILED(::VarDateFromStr(text.data(), LOCALE_USER_DEFAULT, 0, &date))) throw bad();
            if (property == L"start" && op == L"<") to = date;
            else if (property == L"end" && op == L">") from = date;
            else throw bad();
        }
        std::vector<std::shared_ptr<ItemData>> found;
        const bool occurrences = m_recurrencesAfterSort && m_includeRecurrences;
        for (auto& item : List()) {
            if (occurrences) {
                for (auto& one : OccurrencesIn(item, from, to)) found.push_back(one);
            } else if (EndOf(*item) > from && StartOf(*item) < to) {
                found.push_back(item);  // a series by its first occurrence only
            }
        }
        if (m_sorted) SortByStart(found);
        auto restricted = std::make_unique<Items>(m_folder, std::move(found), m_sorted);
        restricted->m_recurrencesInside = occurrences;
        SetObject(result, wl::ComPtr<IDispatch>::Attach(static_cast<IDispatch*>(restricted.release())));
    }

    std::optional<bool> ParseFilter(const std::wstring& filter) const
    {
        bool complete = ParseCompleteFilter(*m_folder, filter);
        // Restricted once already: a second condition on the same property is not understood.
        if (m_complete) throw DispError{E_INVALIDARG, L"Cannot parse condition. Error at \"" + filter + L"\"."};
        return complete;
    }

    FolderData* m_folder;
    std::optional<bool> m_complete;
    std::optional<std::vector<std::shared_ptr<ItemData>>> m_found;
    bool m_sorted = false;
    bool m_includeRecurrences = false;
    bool m_recurrencesAfterSort = false;
    bool m_recurrencesInside = false;
    size_t m_cursor = 0;
};

// Item (mail, appointment, contact, task, note, journal entry) --------------------------

class Item final : public Automation<> {
public:
    explicit Item(std::shared_ptr<ItemData> item) : m_item(std::move(item)) {}
    std::wstring Kind() const override { return L"Item"; }
    std::wstring Ref() const override { return L"Item:" + m_item->entryId; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Subject", 0x37, MemberType::Get, {}},
            {L"EntryID", 0xF01E, MemberType::Get, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
            {L"ReminderTime", 0x8502, MemberType::Get, {}},
            {L"MessageClass", 0x1A, MemberType::Get, {}},
            {L"Display", 0xF0A6, MemberType::Method, {L"Modal"}},
            {L"Save", 0xF048, MemberType::Method, {}},
        };
        if (m_item->folder->kind == ItemKind::Appointment) {
            m.push_back({L"Start", 0x8602, MemberType::Get, {}});
            m.push_back({L"Location", 0x8208, MemberType::Get, {}});
            m.push_back({L"Body", 0x9100, MemberType::Get, {}});
            m.push_back({L"End", 0x8516, MemberType::Get, {}});
            m.push_back({L"AllDayEvent", 0x8215, MemberType::Get, {}});
            m.push_back({L"BusyStatus", 0x8205, MemberType::Get, {}});
            m.push_back({L"ResponseStatus", 0x8218, MemberType::Get, {}});
            m.push_back({L"MeetingStatus", 0x8217, MemberType::Get, {}});
            m.push_back({L"IsRecurring", 0xF01A, MemberType::Get, {}});
            m.push_back({L"ReminderSet", 0x8503, MemberType::Get, {}});
            m.push_back({L"ReminderMinutesBeforeStart", 0x8501, MemberType::Get, {}});
        }
        if (m_item->folder->kind == ItemKind::Task) {
            m.push_back({L"Complete", 0x811C, MemberType::Get, {}});
            m.push_back({L"DueDate", 0x8105, MemberType::Get, {}});
            m.push_back({L"MarkComplete", 0xF02A, MemberType::Method, {}});
        }
        AddCommon(m);
        return m;
    }

    void Call(const Member& member, const CallArgs&, VARIANT* result) override
    {
        if (m_item->deleted) throw DispError{kItemGone, kItemGoneText};
        switch (member.id) {
        case 0x37: SetText(result, m_item->subject); break;
        case 0xF01E: SetText(result, m_item->entryId); break;
        case kIdParent: SetObject(result, NewFolder(m_item->folder)); break;
        case 0x8502: SetDate(result, m_item->reminder); break;
        case 0x1A: SetText(result, KindClassName(m_item->folder->kind)); break;
        case 0xF0A6: ui::ShowItem(*m_item); break;
        case 0xF048: break;  // the stand-in keeps every change at once: nothing to write
        case 0x811C: SetBool(result, m_item->complete); break;
        case 0x8105: SetDate(result, m_item->due); break;
        case 0x8602: SetDate(result, StartOf(*m_item)); break;
        case 0x8516: SetDate(result, EndOf(*m_item)); break;
        case 0x8215: SetBool(result, m_item->allDay); break;
        case 0x8205: SetLong(result, m_item->busyStatus); break;
        case 0x8218: SetLong(result, m_item->responseStatus); break;
        case 0x8217: SetLong(result, m_item->meetingStatus); break;
        case 0xF01A: SetBool(result, m_item->daily); break;
        case 0x8503: SetBool(result, Model::HasReminder(*m_item)); break;
        case 0x8501:
            SetLong(result, Model::HasReminder(*m_item)
                                ? static_cast<long>(std::lround((StartOf(*m_item) - m_item->reminder) * 24 * 60))
                                : 15);
            break;
        case 0x8208: SetText(result, m_item->location); break;
        case 0x9100: SetText(result, m_item->body); break;
        case 0xF02A: {
            // A completed task keeps no reminder.
            bool hadReminder = Model::HasReminder(*m_item);
            m_item->complete = true;
            m_item->reminderVisible = false;
            m_item->reminderOff = true;
            m_item->modified = NowDate();
            TheServer().ReminderEdited(m_item, hadReminder);
            TheServer().RefreshWindows();
            break;
        }
        case kIdClass: SetLong(result, KindClassNumber(m_item->folder->kind)); break;
        default: CommonCall(member.id, result); break;
        }
    }

private:
    std::shared_ptr<ItemData> m_item;
};

// Explorers and Explorer -----------------------------------------------------------------

class Explorers final : public Automation<> {
public:
    std::wstring Kind() const override { return L"Explorers"; }
    std::wstring Ref() const override { return L"Explorers"; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Count", 0x50, MemberType::Get, {}},
            {L"Item", DISPID_VALUE, MemberType::Method, {L"Index"}, 1},
            {L"Add", 0x5F, MemberType::Method, {L"Folder", L"DisplayMode"}, 1},
            {L"_NewEnum", DISPID_NEWENUM, MemberType::Method, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        Model& model = TheServer().model;
        switch (member.id) {
        case 0x50: SetLong(result, static_cast<long>(model.OpenExplorers().size())); break;
        case DISPID_VALUE: {
            auto open = model.OpenExplorers();
            long i = ArgLong(args.At(0));
            if (i < 1 || static_cast<size_t>(i) > open.size())
                throw DispError{DISP_E_BADINDEX, L"Array index out of bounds."};
            SetObject(result, NewExplorer(open[static_cast<size_t>(i - 1)]));
            break;
        }
        case 0x5F: {
            auto* folder = dynamic_cast<Folder*>(ArgObject(args.At(0)));
            if (!folder) throw DispError{E_INVALIDARG, kBadParameterText};
            if (args.At(1)) (void)ArgLong(args.At(1));
            SetObject(result, NewExplorer(model.AddExplorer(folder->Data())));
            break;
        }
        case DISPID_NEWENUM: {
            auto open = model.OpenExplorers();
            SetEnumerator(result, L"Enum:Explorers", open.size(), [open](size_t i) { return NewExplorer(open[i]); });
            break;
        }
        case kIdParent: SetObject(result, NewApplication()); break;
        case kIdClass: SetLong(result, 60); break;  // olExplorers
        default: CommonCall(member.id, result); break;
        }
    }
};

class Explorer final : public Automation<> {
public:
    explicit Explorer(std::shared_ptr<ExplorerData> explorer) : m_explorer(std::move(explorer)) {}
    std::wstring Kind() const override { return L"Explorer"; }
    std::wstring Ref() const override { return L"Explorer:" + std::to_wstring(m_explorer->id); }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Display", 0x2104, MemberType::Method, {}},
            {L"Activate", 0x2105, MemberType::Method, {}},
            {L"CurrentFolder", 0x2200, MemberType::GetPutRef, {}},
            {L"Close", 0x2103, MemberType::Method, {}},
            {L"Caption", 0x2111, MemberType::Get, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        Server& s = TheServer();
        ExplorerData& e = *m_explorer;
        if (e.closed && member.id != kIdClass) throw DispError{E_FAIL, L"The Explorer has been closed."};
        switch (member.id) {
        case 0x2104:
        case 0x2105:
            // Activate shows an explorer not yet displayed, as Outlook does.
            e.displayed = true;
            s.model.BringToFront(m_explorer);
            ui::ShowExplorer(e);
            ui::Activate(e.window);
            break;
        case 0x2200:
            if (args.putValue) {
                auto* folder = dynamic_cast<Folder*>(ArgObject(args.putValue));
                if (!folder) throw DispError{E_INVALIDARG, kBadParameterText};
                e.folder = folder->Data();
                ui::FillExplorer(e);
            } else {
                SetObject(result, NewFolder(e.folder));
            }
            break;
        case 0x2103:
            e.closed = true;
            ui::Destroy(e.window);
            break;
        case 0x2111: SetText(result, ui::ExplorerCaption(e)); break;
        case kIdParent: SetObject(result, NewApplication()); break;
        case kIdClass: SetLong(result, 34); break;  // olExplorer
        default: CommonCall(member.id, result); break;
        }
    }

private:
    std::shared_ptr<ExplorerData> m_explorer;
};

// Word.Application -----------------------------------------------------------------------

class Word final : public Automation<> {
public:
    std::wstring Kind() const override { return L"Word"; }
    std::wstring Ref() const override { return L"Word"; }

protected:
    std::vector<Member> Members() const override
    {
        return {
            {L"Quit", 0x451, MemberType::Method, {L"SaveChanges", L"OriginalFormat", L"RouteDocument"}},
            {L"Visible", 0x17, MemberType::GetPut, {}},
            {L"Name", DISPID_VALUE, MemberType::Get, {}},
        };
    }
    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        switch (member.id) {
        case 0x451:
            // Like a Word process that has ended: later calls fail as disconnected.
            m_quit = true;
            break;
        case 0x17:
            if (args.putValue) m_visible = ArgBool(args.putValue);
            else SetBool(result, m_visible);
            break;
        case DISPID_VALUE: SetText(result, L"Microsoft Word"); break;
        }
    }

    bool Disconnected() const override { return m_quit; }

private:
    bool m_visible = false;
    bool m_quit = false;
};

// Stores and Store ----------------------------------------------------------------------

// NameSpace.Stores: the stores of the profile, with StoresEvents_12.
class Stores final : public OneEventSource {
public:
    Stores() : OneEventSource(kIidStoresEvents12) {}
    std::wstring Kind() const override { return L"Stores"; }
    std::wstring Ref() const override { return L"Stores"; }


protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"Count", 0x50, MemberType::Get, {}},
            {L"Item", DISPID_VALUE, MemberType::Method, {L"Index"}, 1},
            {L"_NewEnum", DISPID_NEWENUM, MemberType::Method, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }

    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        auto list = TheServer().model.OpenStores();
        switch (member.id) {
        case 0x50: SetLong(result, static_cast<long>(list.size())); break;
        case DISPID_VALUE: {
            // By 1-based index or by display name, as Outlook's.
            StoreData* store = nullptr;
            if (ArgType(args.At(0)) == VT_BSTR) {
                std::wstring name = ArgText(args.At(0));
                for (StoreData* s : list)
                    if (EqualsNoCase(s->root->name, name)) store = s;
                if (!store) throw DispError{kItemGone, kNotFoundText};
            } else {
                long i = ArgLong(args.At(0));
                if (i < 1 || static_cast<size_t>(i) > list.size())
                    throw DispError{DISP_E_BADINDEX, L"Array index out of bounds."};
                store = list[static_cast<size_t>(i - 1)];
            }
            SetObject(result, NewStore(store));
            break;
        }
        case DISPID_NEWENUM:
            SetEnumerator(result, L"Enum:Stores", list.size(),
                          [list](size_t i) { return NewStore(list.at(i)); });
            break;
        case kIdParent: SetObject(result, NewNameSpace()); break;
        case kIdClass: SetLong(result, 161); break;  // olStores
        default: CommonCall(member.id, result); break;
        }
    }
};

class Store final : public Automation<> {
public:
    explicit Store(StoreData* store) : m_store(store) {}
    std::wstring Kind() const override { return L"Store"; }
    std::wstring Ref() const override { return L"Store:" + m_store->root->name; }

protected:
    std::vector<Member> Members() const override
    {
        std::vector<Member> m = {
            {L"DisplayName", 0x3001, MemberType::Get, {}},
            {L"StoreID", 0x3012, MemberType::Get, {}},
            {L"GetDefaultFolder", 0xFAC5, MemberType::Method, {L"FolderType"}, 1},
            {L"GetRootFolder", 0xFAC1, MemberType::Method, {}},
            {L"Parent", kIdParent, MemberType::Get, {}},
        };
        AddCommon(m);
        return m;
    }

    void Call(const Member& member, const CallArgs& args, VARIANT* result) override
    {
        CheckStore(m_store);
        switch (member.id) {
        case 0x3001: SetText(result, m_store->root->name); break;
        case 0x3012: SetText(result, m_store->id); break;
        case 0xFAC5: {
            const long number = ArgLong(args.At(0));
            FolderData* folder = TheServer().model.FolderByNumber(number, m_store);
            if (!folder) throw DispError{E_INVALIDARG, kBadParameterText};
            // A store without that folder (a data file of mail only, a
            // public-folder store): Outlook cannot find it.
            if (number == 13 && m_store->tasksMissing) throw DispError{kItemGone, kNotFoundText};
            SetObject(result, NewFolder(folder));
            break;
        }
        case 0xFAC1: SetObject(result, NewFolder(m_store->root)); break;
        case kIdParent: SetObject(result, NewNameSpace()); break;
        case kIdClass: SetLong(result, 160); break;  // olStore
        default: CommonCall(member.id, result); break;
        }
    }

private:
    StoreData* m_store;
};

}  // namespace

wl::ComPtr<IDispatch> NewStores() { return Make<Stores>(); }
wl::ComPtr<IDispatch> NewStore(StoreData* store) { return Make<Store>(store); }

wl::ComPtr<IDispatch> NewNameSpace() { return Make<NameSpace>(); }
wl::ComPtr<IDispatch> NewFolder(FolderData* folder) { return Make<Folder>(folder); }
wl::ComPtr<IDispatch> NewItems(FolderData* folder, std::optional<bool> complete)
{
    return Make<Items>(folder, complete);
}
wl::ComPtr<IDispatch> NewExplorers() { return Make<Explorers>(); }
wl::ComPtr<IDispatch> NewExplorer(const std::shared_ptr<ExplorerData>& explorer) { return Make<Explorer>(explorer); }

namespace {

// Class factories ---------------------------------------------------------------------------

bool RefuseFileExists()
{
    std::wstring path = ExeFolder() + L"outlook-standin.refuse";
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A static of the process: registration holds it until the process ends.
class Factory final : public ProcessComObject<IClassFactory> {
public:
    explicit Factory(bool word) : m_word(word) {}
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        try {
            if (!out) return E_POINTER;
            *out = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            Server& s = TheServer();
            std::wstring line = m_word ? L"CreateObject Word.Application" : L"CreateObject Outlook.Application";
            // Outlook still registered while it closes its data file hands out an object of the dying process.
            if (s.quitting && !m_word) line += L" (quitting)";
            if (s.ending) {
                s.journal.Write(line + L" -> !" + HexResult(CO_E_SERVER_STOPPING));
                return CO_E_SERVER_STOPPING;
            }
            if (s.refused || RefuseFileExists()) {
                // Like an Outlook that fails to start: fail at once, then go away.
                s.refused = true;
                s.journal.Write(line + L" -> !" + HexResult(CO_E_SERVER_EXEC_FAILURE));
                ::SetTimer(s.controlWindow, kTimerRefused, 200, nullptr);
                return CO_E_SERVER_EXEC_FAILURE;
            }
            try {
                wl::ComPtr<IDispatch> object = m_word ? NewWord() : NewApplication();
                HRESULT hr = object->QueryInterface(iid, out);
                s.journal.Write(SUCCEEDED(hr) ? line : line + L" -> !" + HexResult(hr));
                return hr;
            } catch (...) {
                return E_OUTOFMEMORY;
            }
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        TheServer().LockChanged(lock != FALSE);
        return S_OK;
    }

private:
    bool m_word;
};

Factory g_outlookFactory(false);
Factory g_wordFactory(true);

std::wstring DescribeObject(IUnknown* unknown, const wchar_t* kindIfForeign)
{
    if (!unknown) return L"Nothing";
    if (ObjectBase* ours = ObjectBase::FromDispatch(unknown)) return ours->Ref();
    return kindIfForeign;
}

// Array(3x4): the size of each dimension, first (leftmost) first.
std::wstring DescribeArray(SAFEARRAY* array)
{
    std::wstring sizes;
    UINT dims = array ? ::SafeArrayGetDim(array) : 0;
    for (UINT d = 1; d <= dims; ++d) {
        LONG lower = 0, upper = -1;
        (void)::SafeArrayGetLBound(array, d, &lower);
        (void)::SafeArrayGetUBound(array, d, &upper);
        sizes += (d > 1 ? L"x" : L"") + std::to_wstring(upper - lower + 1);
    }
    return L"Array(" + sizes + L")";
}

std::wstring DoubleText(double d)
{
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.15g", d);
    return buf;
}

}  // namespace

// ObjectBase ---------------------------------------------------------------------------------

ObjectBase* ObjectBase::FromDispatch(IUnknown* object)
{
    if (!object) return nullptr;
    void* self = nullptr;
    if (FAILED(object->QueryInterface(kIidSelf, &self)) || !self) return nullptr;
    auto* base = static_cast<ObjectBase*>(self);
    base->Release();  // the caller's reference keeps it alive
    return base;
}

STDMETHODIMP ObjectBase::GetTypeInfoCount(UINT* count)
{
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP ObjectBase::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ObjectBase::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!names || !ids || count == 0) return E_POINTER;
    try {
        Server& s = TheServer();
        ++s.stats.getIdsOfNames;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        std::wstring name = names[0] ? names[0] : L"";
        auto members = Members();
        auto it = std::find_if(members.begin(), members.end(),
                               [&](const Member& m) { return EqualsNoCase(m.name, name); });
        HRESULT hr = S_OK;
        if (Disconnected() || s.ending) {
            hr = RPC_E_DISCONNECTED;
        } else if (it == members.end()) {
            hr = DISP_E_UNKNOWNNAME;
        } else if (auto f = s.FailureFor(Ref(), Kind(), it->name); f && *f == DISP_E_UNKNOWNNAME) {
            hr = DISP_E_UNKNOWNNAME;
        } else {
            ids[0] = it->id;
            for (UINT i = 1; i < count; ++i) {
                std::wstring param = names[i] ? names[i] : L"";
                for (size_t p = 0; p < it->params.size(); ++p)
                    if (EqualsNoCase(it->params[p], param)) ids[i] = static_cast<DISPID>(p);
                if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
            }
        }
        if (FAILED(hr)) s.journal.Write(L"GetIDsOfNames " + Ref() + L"." + name + L" -> !" + HexResult(hr));
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDMETHODIMP ObjectBase::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* info, UINT* argError)
{
    try {
        Server& s = TheServer();
        ++s.stats.invoke;
        auto members = Members();
        auto member = std::find_if(members.begin(), members.end(), [&](const Member& m) { return m.id == id; });
        if (member == members.end()) {
            s.journal.Write(Ref() + L".#" + std::to_wstring(id) + L"() -> !" + HexResult(DISP_E_MEMBERNOTFOUND));
            return DISP_E_MEMBERNOTFOUND;
        }
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        const bool read = (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) != 0;
        bool allowed = false;
        switch (member->type) {
        case MemberType::Method:
        case MemberType::Get: allowed = read && !put; break;
        case MemberType::GetPut: allowed = (read && !put) || flags == DISPATCH_PROPERTYPUT; break;
        case MemberType::GetPutRef:
            allowed = (read && !put) || flags == DISPATCH_PROPERTYPUT || flags == DISPATCH_PROPERTYPUTREF;
            break;
        }

        std::wstring head = Ref() + L"." + member->name;
        if (Disconnected() || s.ending) {
            s.journal.Write(head + L"() -> !" + HexResult(RPC_E_DISCONNECTED));
            return RPC_E_DISCONNECTED;
        }
        auto fail = [&](HRESULT hr, const std::wstring& text, bool direct) -> HRESULT {
            std::wstring line = head + L" -> !" + HexResult(hr);
            s.journal.Write(line);
            if (direct || !info) return hr;
            *info = EXCEPINFO{};
            info->scode = hr;
            info->bstrSource = ::SysAllocString(Kind() == L"Word" ? L"Microsoft Word" : L"Microsoft Outlook");
            info->bstrDescription = ::SysAllocString(text.empty() ? ErrorText(hr).c_str() : text.c_str());
            return DISP_E_EXCEPTION;
        };
        if (!allowed) {
            head += put ? L" = ?" : L"()";
            return fail(DISP_E_MEMBERNOTFOUND, L"", true);
        }

        // Arguments: rgvarg holds the named ones first, then the positional ones last first.
        CallArgs args;
        args.flags = flags;
        UINT total = params ? params->cArgs : 0;
        UINT named = params ? params->cNamedArgs : 0;
        if (named > total) return E_INVALIDARG;
        UINT positional = total - named;
        args.positional.assign(positional, nullptr);
        for (UINT i = 0; i < positional; ++i) {
            const VARIANT& v = params->rgvarg[total - 1 - i];
            if (!IsMissing(v)) args.positional[i] = &v;
        }
        for (UINT i = 0; i < named; ++i) {
            DISPID which = params->rgdispidNamedArgs[i];
            const VARIANT& v = params->rgvarg[i];
            if (which == DISPID_PROPERTYPUT && put) {
                args.putValue = &v;
            } else if (which >= 0 && static_cast<size_t>(which) < member->params.size()) {
                if (args.positional.size() <= static_cast<size_t>(which)) args.positional.resize(which + 1, nullptr);
                if (!IsMissing(v)) args.positional[static_cast<size_t>(which)] = &v;
            } else {
                if (argError) *argError = i;
                head += L"()";
                return fail(DISP_E_PARAMNOTFOUND, L"", true);
            }
        }
        if (put && !args.putValue && positional == 1 && named == 0) {
            // Some callers pass the new value unnamed.
            args.putValue = args.positional[0];
            args.positional.clear();
        }

        if (put) {
            head += L" = " + (args.putValue ? Describe(*args.putValue) : std::wstring(L"Missing"));
        } else {
            std::wstring list;
            for (size_t i = 0; i < args.positional.size(); ++i) {
                if (i) list += L", ";
                list += args.positional[i] ? Describe(*args.positional[i]) : L"Missing";
            }
            head += L"(" + list + L")";
        }

        if (put && !args.putValue) return fail(DISP_E_PARAMNOTFOUND, L"", true);
        if (args.positional.size() > member->params.size()) return fail(DISP_E_BADPARAMCOUNT, L"", true);
        for (size_t i = 0; i < member->required; ++i)
            if (!args.At(i)) return fail(DISP_E_PARAMNOTFOUND, L"", true);

        s.FireDuringCall(Ref(), Kind(), member->name);
        if (auto failure = s.FailureFor(Ref(), Kind(), member->name)) {
            HRESULT hr = *failure == DISP_E_UNKNOWNNAME ? DISP_E_MEMBERNOTFOUND : *failure;
            unsigned facility = HRESULT_FACILITY(hr);
            bool direct = facility == FACILITY_DISPATCH || facility == FACILITY_RPC ||
                          (facility == FACILITY_WIN32 && HRESULT_CODE(hr) >= 1700 && HRESULT_CODE(hr) < 1800);
            return fail(hr, L"", direct);
        }

        wl::Variant local;
        VARIANT* out = result ? result : local.Put();
        if (result) ::VariantInit(result);
        try {
            Call(*member, args, out);
        } catch (const DispError& e) {
            ::VariantClear(out);
            return fail(e.scode, e.description, e.direct);
        }
        if (put) s.journal.Write(head);
        else s.journal.Write(head + L" -> " + Describe(*out));
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Builders and factories ----------------------------------------------------------------------

wl::ComPtr<IDispatch> NewApplication()
{
    Server& s = TheServer();
    if (s.application) return wl::ComPtr<IDispatch>::AddRef(s.application);
    return Make<Application>();
}

wl::ComPtr<IDispatch> NewItem(const std::shared_ptr<ItemData>& item) { return Make<Item>(item); }

wl::ComPtr<IDispatch> NewWord() { return Make<Word>(); }

wl::ComPtr<IDispatch> NewReminder(const std::shared_ptr<ItemData>& item) { return Make<Reminder>(item); }

IClassFactory* OutlookFactory() { return &g_outlookFactory; }
IClassFactory* WordFactory() { return &g_wordFactory; }

bool KnownMember(const std::wstring& kind, const std::wstring& member)
{
    static const std::vector<std::pair<const wchar_t*, std::vector<const wchar_t*>>> kTable = {
        {L"application", {L"GetNamespace", L"ActiveExplorer", L"Explorers", L"Quit", L"Name", L"Version", L"Reminders"}},
        {L"namespace", {L"GetDefaultFolder", L"GetItemFromID", L"Parent", L"Type", L"Stores", L"DefaultStore"}},
        {L"folder", {L"Name", L"Parent", L"Items", L"EntryID", L"StoreID", L"DefaultItemType", L"GetTable"}},
        {L"stores", {L"Count", L"Item", L"_NewEnum", L"Parent"}},
        {L"store", {L"DisplayName", L"StoreID", L"GetDefaultFolder", L"GetRootFolder", L"Parent"}},
        {L"items",
         {L"Count", L"Item", L"_NewEnum", L"Restrict", L"Sort", L"IncludeRecurrences", L"GetFirst", L"GetNext",
          L"Parent"}},
        {L"item", {L"Subject", L"EntryID", L"Parent", L"ReminderTime", L"MessageClass", L"Display", L"Complete",
                   L"DueDate", L"MarkComplete", L"Save", L"Start", L"End", L"Location", L"Body", L"AllDayEvent",
                   L"BusyStatus", L"ResponseStatus", L"MeetingStatus", L"IsRecurring", L"ReminderSet",
                   L"ReminderMinutesBeforeStart"}},
        {L"reminders", {L"Count", L"Item", L"_NewEnum", L"Remove", L"Parent"}},
        {L"reminder",
         {L"Caption", L"IsVisible", L"Item", L"NextReminderDate", L"OriginalReminderDate", L"Snooze", L"Dismiss",
          L"Parent"}},
        {L"explorers", {L"Count", L"Item", L"Add", L"_NewEnum", L"Parent"}},
        {L"explorer", {L"Display", L"Activate", L"CurrentFolder", L"Close", L"Caption", L"Parent"}},
        {L"word", {L"Quit", L"Visible", L"Name"}},
        {L"table",
         {L"GetArray", L"GetNextRow", L"GetRowCount", L"MoveToStart", L"EndOfTable", L"Columns", L"Parent"}},
        {L"columns", {L"Count", L"Item", L"Add", L"Remove", L"RemoveAll", L"Parent"}},
        {L"column", {L"Name", L"Parent"}},
        {L"row", {L"Item", L"GetValues", L"Parent"}},
    };
    for (auto& [k, members] : kTable) {
        if (kind != k) continue;
        if (kind != L"word")
            for (const wchar_t* common : {L"Application", L"Class", L"Session"})
                if (EqualsNoCase(common, member)) return true;
        for (const wchar_t* m : members)
            if (EqualsNoCase(m, member)) return true;
    }
    return false;
}

std::wstring Describe(const VARIANT& value)
{
    const VARIANT* v = &value;
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
    VARTYPE t = v->vt;
    bool byref = (t & VT_BYREF) != 0;
    if (t & VT_ARRAY) return DescribeArray(byref ? *v->pparray : v->parray);
    switch (t & ~VT_BYREF) {
    case VT_EMPTY: return L"Empty";
    case VT_NULL: return L"Null";
    case VT_BSTR: {
        BSTR b = byref ? *v->pbstrVal : v->bstrVal;
        return Quoted(b ? std::wstring_view(b, ::SysStringLen(b)) : std::wstring_view());
    }
    case VT_BOOL: return (byref ? *v->pboolVal : v->boolVal) ? L"True" : L"False";
    case VT_I2: return std::to_wstring(byref ? *v->piVal : v->iVal);
    case VT_I4: return std::to_wstring(byref ? *v->plVal : v->lVal);
    case VT_INT: return std::to_wstring(byref ? *v->pintVal : v->intVal);
    case VT_UI1: return std::to_wstring(byref ? *v->pbVal : v->bVal);
    case VT_R4: return DoubleText(byref ? *v->pfltVal : v->fltVal);
    case VT_R8: return DoubleText(byref ? *v->pdblVal : v->dblVal);
    case VT_DATE: return JournalDate(byref ? *v->pdate : v->date);
    case VT_ERROR: return (byref ? *v->pscode : v->scode) == DISP_E_PARAMNOTFOUND ? L"Missing" : L"Error";
    case VT_DISPATCH: return DescribeObject(byref ? *v->ppdispVal : v->pdispVal, L"Object");
    case VT_UNKNOWN: {
        IUnknown* u = byref ? *v->ppunkVal : v->punkVal;
        if (!u) return L"Nothing";
        // Enumerators are not IDispatch objects of ours.
        wl::ComPtr<IEnumVARIANT> e;
        if (SUCCEEDED(u->QueryInterface(IID_IEnumVARIANT, e.PutVoid()))) return L"Enum";
        return DescribeObject(u, L"Unknown");
    }
    default: {
        wl::Variant text;
        if (SUCCEEDED(::VariantChangeType(text.Put(), const_cast<VARIANT*>(v), 0, VT_BSTR)) && text.Ref().bstrVal)
            return text.Ref().bstrVal;
        return L"?";
    }
    }
}

}  // namespace standin
